// moltaro-cli convert and convert-delete killed (SIGKILL) at points spread
// over the run: every database then passes the server's storage check, and
// "Törlés" followed by a new run gives the rows of a clean run.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "convert/legacy_site.h"

namespace moltaro::convert::testing {
namespace {

class ConvertCrash : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    site_ = new LegacySite("convert-crash");
    site_->Build();
  }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }

  static std::string Run() {
    return std::string("convert ") + LegacySite::kDatabase + " " +
           LegacySite::Quote(LegacySite::ExampleCompany().string()) + " --yes";
  }
  static std::string Delete() {
    return std::string("convert-delete ") + LegacySite::kDatabase + " --yes";
  }

  // The number of statements a command sends, from a traced run.
  static long long TracedStatements(const std::string& command) {
    const fs::path trace = site_->Root() / "trace.txt";
    fs::remove(trace);
    const CliOutcome traced =
        site_->Cli(command, "MOLTARO_TEST_STATEMENT_TRACE=" + LegacySite::Quote(trace.string()));
    EXPECT_EQ(traced.status, 0) << traced.err;
    std::ifstream in(trace);
    long long total = 0;
    for (std::string line; std::getline(in, line);) total = std::stoll(line);
    return total;
  }

  // What the converted tables hold, independent of identifiers and moments.
  static std::vector<std::string> Rows() {
    db::Connection c = site_->Open();
    std::vector<std::string> rows;
    for (const char* sql : {
             "select count(*) from zmp_jt",
             "select count(*) from zmp_kszt",
             "select count(*) from zmp_kszt3",
             "select count(*) from zmp_pszab",
             "select count(*) from zmp_cim",
             "select count(*) from zmp_jogc",
             "select count(*) from zmp_csp",
             "select count(*) from zmp_pszlatuk",
             "select count(*) from zmp_kjt",
             "select count(*) from zmp_ptag",
             "select count(*) from zmp_naplo",
             "select count(*) from zmp_puy",
             "select count(*) from zmp_pszak",
             "select count(*) from zmp_ido",
             "select count(*) from zmp_tido",
             "select count(*) from zmp_havih",
             "select count(*) from zmp_havi",
             "select count(*) from zmp_kszt2",
             "select count(*) from zmp_kodtar",
             "select count(*) from zmp_kod",
             "select count(*) from zmp_belap",
             "select count(*) from zmp_utalas",
             "select sum(nap1) from zmp_tido",
             "select sum(cast(ber as decimal(14,2))) from zmp_havi",
             "select count(*) from zmp_kszt2 where adojo = 'I'",
             "select count(*) from zmp_kszt where allamp = 'HU'",
             "select count(*) from zmp_cim c join zmp_kszt k on k.szem_id = c.szem_id",
             "select count(*) from zmp_utalas u join zmp_kszt k on k.szem_id = u.szem_id",
             "select szam from zmp_obj_ver",
         }) {
      const db::ResultSet result = c.Query(sql);
      rows.push_back(std::string(sql) + " = " + db::ToText(result.Rows().at(0).at(0)));
    }
    return rows;
  }

  static void ExpectIntactDatabases() {
    db::Connection master = site_->Open("master");
    db::ResultSet names = master.Query("select name from sysdatabases");
    for (; !names.Eof(); names.Next()) {
      db::Connection c = site_->Open(names.Text("name"));
      EXPECT_NO_THROW(c.Execute("dbcc checkdb with no_infomsgs")) << names.Text("name");
    }
  }

  static inline LegacySite* site_ = nullptr;
};

TEST_F(ConvertCrash, AKilledRunOrDeleteLeavesASoundDatabaseThatTorlesAndARerunMakeWhole) {
  site_->RestoreSnapshot();
  const long long runStatements = TracedStatements(Run());
  const std::vector<std::string> clean = Rows();
  const long long deleteStatements = TracedStatements(Delete());
  ASSERT_GT(runStatements, 3000) << "every record of the example company is a statement or more";
  ASSERT_GT(deleteStatements, 22);

  // Points inside the run, from its first statements to its closing ones,
  // and inside "Törlés" (started on a converted company).
  struct Kill {
    bool deleting;
    long long statement;
  };
  std::vector<Kill> kills;
  for (long long k = 1; k <= 7; ++k) kills.push_back({false, runStatements * k / 8});
  kills.push_back({false, runStatements - 2});
  kills.push_back({true, deleteStatements - 10});
  kills.push_back({true, deleteStatements - 2});

  for (const Kill& kill : kills) {
    SCOPED_TRACE(std::string(kill.deleting ? "convert-delete" : "convert") +
                 " killed before statement " + std::to_string(kill.statement));
    site_->RestoreSnapshot();
    if (kill.deleting) {
      ASSERT_EQ(site_->Cli(Run()).status, 0);
    }
    const CliOutcome killed = site_->Cli(kill.deleting ? Delete() : Run(),
                                         "MOLTARO_TEST_KILL_AT=" + std::to_string(kill.statement));
    ASSERT_TRUE(killed.killed) << killed.err;
    EXPECT_EQ(killed.out.find("Rendben lefutott"), std::string::npos);
    ExpectIntactDatabases();

    const CliOutcome emptied = site_->Cli(Delete());
    ASSERT_EQ(emptied.status, 0) << emptied.err;
    const CliOutcome rerun = site_->Cli(Run());
    ASSERT_EQ(rerun.status, 0) << rerun.err;
    EXPECT_EQ(Rows(), clean);
  }
}

}  // namespace
}  // namespace moltaro::convert::testing
