// moltaro-cli convert, convert --check and convert-delete run as an installer
// runs them, on one embedded server: the example company end to end, the
// failures that must name their file and line, the check of a faulty export
// set that writes nothing, and the refusal while another run holds the
// instance.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "convert/legacy_site.h"
#include "startup/instance_lock.h"

namespace moltaro::convert::testing {
namespace {

class ConvertCli : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    site_ = new LegacySite("convert-cli");
    site_->Build();
  }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }
  void SetUp() override { site_->RestoreSnapshot(); }

  static CliOutcome Convert(const fs::path& source, const std::string& flags = "--yes") {
    return site_->Cli(std::string("convert ") + LegacySite::kDatabase + " " +
                      LegacySite::Quote(source.string()) + " " + flags);
  }

  static std::string Scalar(const std::string& sql) {
    db::Connection c = site_->Open();
    const db::ResultSet result = c.Query(sql);
    return result.Rows().empty() ? std::string() : db::ToText(result.Rows()[0][0]);
  }

  static std::string Version() { return Scalar("select szam from zmp_obj_ver"); }

  // Changes one line (1-based) of an export file of `dir`.
  template <typename Change>
  static void SpoilLine(const fs::path& dir, const std::string& file, std::size_t line,
                        Change change) {
    std::vector<std::string> lines = ExportLines(dir / file);
    change(lines.at(line - 1));
    WriteExportLines(dir / file, lines);
  }

  static inline LegacySite* site_ = nullptr;
};

TEST_F(ConvertCli, TheExampleCompanyConvertsAndIsDeletedAgain) {
  const CliOutcome unconfirmed = Convert(LegacySite::ExampleCompany(), "");
  EXPECT_EQ(unconfirmed.status, 1);
  EXPECT_NE(unconfirmed.err.find("Not confirmed"), std::string::npos) << unconfirmed.err;
  EXPECT_EQ(Scalar("select count(*) from zmp_kod"), "0");

  const CliOutcome run = Convert(LegacySite::ExampleCompany());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Rendben lefutott !\n");
  EXPECT_EQ(run.err, "") << "no record of the example company is reported";
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt"), "36");
  EXPECT_EQ(Scalar("select count(*) from zmp_havi"), "792");
  EXPECT_EQ(Version(), " 3.33 ");

  const CliOutcome deleted =
      site_->Cli(std::string("convert-delete ") + LegacySite::kDatabase + " --yes");
  ASSERT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_EQ(deleted.out, "Kész !\n");
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt"), "0");
  EXPECT_EQ(Scalar("select count(*) from zmp_cim"), "0");
  EXPECT_EQ(Version(), " 3.33 ");
}

TEST_F(ConvertCli, AFaultyFileEndsTheRunNamingTheFileAndTheLine) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> spoil;
    std::string expected;  // in the error output
  };
  const std::vector<Case> cases{
      {"missing file", [](const fs::path& d) { fs::remove(d / "ypuy.txt"); }, "ypuy.txt"},
      {"directory",
       [](const fs::path& d) {
         fs::remove(d / "ypuy.txt");
         fs::create_directory(d / "ypuy.txt");
       },
       "ypuy.txt"},
      {"record too short for an integer",
       [](const fs::path& d) {
         SpoilLine(d, "yptido.txt", 3, [](std::string& l) { l.resize(20); });
       },
       "yptido.txt 3. sora: "},
      {"person code that is no number",
       [](const fs::path& d) {
         SpoilLine(d, "yput.txt", 4, [](std::string& l) { l.replace(4, 1, "A"); });
       },
       "yput.txt 4. sora: A személykód nem szám"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    site_->RestoreSnapshot();
    const fs::path source = site_->CopyOfExample("faulty");
    c.spoil(source);
    const CliOutcome run = Convert(source);
    EXPECT_FALSE(run.killed);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Rendben lefutott"), std::string::npos);
    EXPECT_NE(Version(), " 3.33 ") << "no stamp after a run that stopped";
  }
  const CliOutcome notDirectory = Convert(site_->Root() / "nincs-ilyen");
  EXPECT_EQ(notDirectory.status, 2);
  EXPECT_NE(notDirectory.err.find("nincs-ilyen"), std::string::npos);
}

TEST_F(ConvertCli, CheckListsEveryProblemOfAFaultySetAndWritesNothing) {
  const CliOutcome clean = Convert(LegacySite::ExampleCompany(), "--check");
  EXPECT_EQ(clean.status, 0) << clean.err;
  EXPECT_EQ(clean.out, "");

  const fs::path source = site_->CopyOfExample("faulty");
  SpoilLine(source, "ypjogc.txt", 1, [](std::string& l) { l.replace(1, 11, "00000088888"); });
  SpoilLine(source, "ypcsp.txt", 2, [](std::string& l) { l.replace(0, 11, "00000099999"); });
  SpoilLine(source, "yptag.txt", 1, [](std::string& l) { l.replace(33, 8, "20091399"); });
  SpoilLine(source, "yptido.txt", 3, [](std::string& l) { l.resize(20); });
  SpoilLine(source, "yphavi.txt", 5, [](std::string& l) { l.replace(49, 10, "12x4567890"); });
  SpoilLine(source, "yput.txt", 4, [](std::string& l) { l.replace(4, 1, "A"); });
  fs::remove(source / "ypkod.txt");
  const std::string sequence = Scalar("select id from zmp_sys_id_seq");
  const std::string settings = Scalar("select count(*) from zmp_puy");

  const CliOutcome check = Convert(source, "--check");
  EXPECT_EQ(check.status, 1) << check.err;
  const auto listed = [&check](const std::string& text) {
    return check.out.find(text) != std::string::npos;
  };
  EXPECT_TRUE(listed("ypjogc.txt:1: reported: Baj van!!:00000088888\n")) << check.out;
  EXPECT_TRUE(listed("ypcsp.txt:2: skipped: no person has the code \"00000099999\"\n"));
  EXPECT_TRUE(listed("yptag.txt:1: reported: 2009.13.99\n")) << "the refused membership";
  EXPECT_TRUE(listed("yptido.txt:3: stops the run: "));
  EXPECT_TRUE(listed("yphavi.txt:5: stops the run: '12x4567890'"));
  EXPECT_TRUE(listed("ypkod.txt: stops the run: "));
  EXPECT_TRUE(listed("yput.txt:4: stops the run: A személykód nem szám"));
  EXPECT_NE(check.err.find("4 would stop the run, 1 would be skipped"), std::string::npos)
      << check.err;
  // Records after the refused membership were still checked against the
  // persons of ypszt.txt: only the spoiled lines are listed.
  EXPECT_EQ(std::count(check.out.begin(), check.out.end(), '\n'), 4 + 1 + 1 + 11);

  EXPECT_EQ(Scalar("select count(*) from zmp_puy"), settings);
  for (const char* table : {"zmp_kszt", "zmp_jogc", "zmp_ptag", "zmp_havi", "zmp_kod"}) {
    EXPECT_EQ(Scalar(std::string("select count(*) from ") + table), "0") << table;
  }
  EXPECT_EQ(Scalar("select id from zmp_sys_id_seq"), sequence) << "no identifier spent";
}

TEST_F(ConvertCli, EveryCommandIsRefusedWhileAnotherRunHoldsTheInstance) {
  db::Connection other = site_->Open();
  const InstanceLock held(other, LegacySite::kDatabase);
  for (const std::string& command :
       {std::string("convert konv ") + LegacySite::Quote(LegacySite::ExampleCompany().string()) +
            " --yes",
        std::string("convert konv ") + LegacySite::Quote(LegacySite::ExampleCompany().string()) +
            " --check",
        std::string("convert-delete konv --yes")}) {
    SCOPED_TRACE(command);
    const CliOutcome refused = site_->Cli(command);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("példányon éppen fut egy másik"), std::string::npos) << refused.err;
  }
  EXPECT_EQ(Scalar("select count(*) from zmp_kod"), "0");
}

}  // namespace
}  // namespace moltaro::convert::testing
