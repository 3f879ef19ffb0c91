// moltaro-cli killed (SIGKILL) at many points of an upgrade with column
// rebuilds, of new-company and of a stream of inserts: afterwards every
// database file passes SQLite's integrity check, no value or acknowledged row
// is lost, and running the same command again completes.
//
// The kill points come from the program's crash-point hook: a traced run
// numbers the statements, and each kill stops the process just before the
// statement it names, inside the rebuild steps where they matter most.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"
#include "db/connection.h"

namespace {

namespace fs = std::filesystem;
namespace db = moltaro::db;

constexpr const char* kPassword = "Crash-Teszt-1";
constexpr int kRows = 300;

using moltaro::testing::CliOutcome;
using moltaro::testing::ShellQuote;

std::string Quote(const std::string& text) {
  return ShellQuote(text);
}

class CrashTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    root_ = fs::temp_directory_path() / ("moltaro-crash-" + std::to_string(std::random_device{}()));
    fs::create_directories(root_ / "site");
    BuildSite();
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  static fs::path Site() { return root_ / "site"; }

  // Runs moltaro-cli in the site with extra environment settings; its
  // standard error collects in one file for the whole suite.
  static CliOutcome Cli(const std::string& arguments, const std::string& environment = "") {
    return moltaro::testing::RunProcess(
        MOLTARO_CLI,
        "-C " + Quote(Site().string()) + " -U sa -P " + Quote(kPassword) + " " + arguments,
        environment, root_ / "stderr.txt");
  }

  static void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  static std::string VersionFile(const std::string& version, bool withDefaults) {
    const std::string osszegDefault = withDefaults ? "0" : "";
    const std::string megjDefault = withDefaults ? "-" : "";
    return "$$V$$" + version + "$$\r\n$$T$$10$$ZMP_TETEL$$\r\n" +
           "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$\r\n" + "$$t$$12$$10$$2$$OSSZEG$$108$$12$$2$$N$$" +
           osszegDefault + "$$\r\n" + "$$t$$13$$10$$3$$MEGJ$$231$$20$$0$$N$$" + megjDefault +
           "$$\r\n" + "$$I$$20$$10$$ZMP_TETEL_ID$$\r\n$$i$$21$$20$$11$$1$$\r\n" + "$$V$$" +
           version + "$$\r\n";
  }

  // A site with one company on version 1.0 holding kRows rows, kept as the
  // snapshot every kill starts from.
  static void BuildSite() {
    ASSERT_EQ(Cli("server-init data --sa-password " + Quote(kPassword)).status, 0);
    WriteFile(Site() / "VELDORAdb_new.ini", "local$$master\r\n");
    fs::copy(Site(), root_ / "new-site", fs::copy_options::recursive);
    ASSERT_EQ(Cli("new-company Crash ceg1").status, 0);
    WriteFile(Site() / "VELDORAdb_new.ini", "local$$ZMP_Vorel\r\n");
    WriteFile(Site() / "verzio.ver", VersionFile("1.0", false));
    ASSERT_EQ(Cli("upgrade ceg1 --yes").status, 0);
    WriteFile(Site() / "inserts.sql", Inserts(1, kRows));
    ASSERT_EQ(Cli("sql -d ceg1 -i " + Quote((Site() / "inserts.sql").string())).status, 0);
    fs::copy(Site(), root_ / "snapshot", fs::copy_options::recursive);
  }

  static std::string Inserts(int first, int last) {
    std::string text;
    for (int id = first; id <= last; ++id) {
      text += "insert into ZMP_TETEL (ID, OSSZEG, MEGJ) values (" + std::to_string(id) + ", " +
              std::to_string(id) + ".25, N'tétel " + std::to_string(id) + "')\r\nGO\r\n";
    }
    return text;
  }

  static void RestoreSnapshot(const std::string& name = "snapshot") {
    fs::remove_all(Site());
    fs::copy(root_ / name, Site(), fs::copy_options::recursive);
  }

  // Statement numbers of a traced run whose text contains one of `marks`.
  static std::vector<long long> TracedNumbers(const std::string& arguments,
                                              const std::vector<std::string>& marks,
                                              long long* total) {
    const fs::path trace = root_ / "trace.txt";
    fs::remove(trace);
    EXPECT_EQ(Cli(arguments, "MOLTARO_TEST_STATEMENT_TRACE=" + Quote(trace.string())).status, 0);
    std::ifstream in(trace);
    std::vector<long long> numbers;
    std::string line;
    *total = 0;
    while (std::getline(in, line)) {
      const long long number = std::stoll(line.substr(0, line.find('\t')));
      *total = number;
      for (const std::string& mark : marks) {
        if (line.find(mark) != std::string::npos) {
          numbers.push_back(number);
          break;
        }
      }
    }
    return numbers;
  }

  static db::Connection Open(const std::string& database) {
    db::Connection c("Provider=SQLOLEDB.1;Server=embedded:" + (Site() / "data").string() +
                     ";Password=" + kPassword + ";User ID=sa;Initial Catalog=" + database + ";");
    c.Open();
    return c;
  }

  // The server's storage check of every database it lists.
  static void ExpectIntactDatabases() {
    db::Connection master = Open("master");
    db::ResultSet names = master.Query("select name from sysdatabases");
    for (; !names.Eof(); names.Next()) {
      db::Connection c = Open(names.Text("name"));
      EXPECT_NO_THROW(c.Execute("dbcc checkdb with no_infomsgs")) << names.Text("name");
    }
  }

  // Every row of the snapshot, value for value, under the columns' own names.
  static void ExpectEveryValue(int rows) {
    db::Connection c = Open("ceg1");
    const db::ResultSet totals = c.Query(
        "select count(*) n, sum(ID) ids, sum(OSSZEG) osszeg, sum(len(MEGJ)) megj from "
        "ZMP_TETEL where OSSZEG = ID + 0.25 and MEGJ = N'tétel ' + convert(varchar(10), ID)");
    EXPECT_EQ(totals.Integer("n"), rows);
    EXPECT_EQ(totals.Integer("ids"), static_cast<long long>(rows) * (rows + 1) / 2);
    EXPECT_EQ(c.Query("select count(*) n from syscolumns where name like '%qxq'").Integer("n"), 0)
        << "no temporary column of a rebuild is left";
  }

  static inline fs::path root_;
};

// Kill points: every statement from just before the first to just after the
// last marked one, and a few more across the rest of the run, at least 20.
std::vector<long long> KillPoints(const std::vector<long long>& marked, long long total) {
  std::set<long long> points;
  if (!marked.empty()) {
    for (long long n = marked.front() - 1; n <= marked.back() + 1; ++n) points.insert(n);
  }
  for (long long n = 1; points.size() < 20 || n <= total; n += std::max(1LL, total / 8)) {
    points.insert(n);
    if (n > total + 20) break;
  }
  points.erase(0);
  return {points.begin(), points.end()};
}

TEST_F(CrashTest, AnUpgradeKilledAnywhereLosesNoValueAndTheRerunCompletes) {
  WriteFile(root_ / "snapshot" / "verzio.ver", VersionFile("1.1", true));
  RestoreSnapshot();
  long long total = 0;
  const std::vector<long long> rebuild =
      TracedNumbers("upgrade ceg1 --yes", {"_qxq", "transaction"}, &total);
  ASSERT_GE(rebuild.size(), 10u) << "two rebuilds, each in its own transaction";
  const std::vector<long long> points = KillPoints(rebuild, total);
  ASSERT_GE(points.size(), 20u);

  int killed = 0;
  for (const long long point : points) {
    SCOPED_TRACE("killed before statement " + std::to_string(point) + " of " +
                 std::to_string(total));
    RestoreSnapshot();
    const CliOutcome interrupted =
        Cli("upgrade ceg1 --yes", "MOLTARO_TEST_KILL_AT=" + std::to_string(point));
    killed += interrupted.killed ? 1 : 0;
    ExpectIntactDatabases();
    ExpectEveryValue(kRows);
    const CliOutcome rerun = Cli("upgrade ceg1 --yes");
    // Killed after the new version was recorded, the rerun finds it installed.
    const bool alreadyInstalled = rerun.out.find("verziót már") != std::string::npos;
    EXPECT_TRUE(rerun.status == 0 || alreadyInstalled) << rerun.out;
    ExpectEveryValue(kRows);
    db::Connection c = Open("ceg1");
    EXPECT_EQ(c.Query("select szam from zmp_obj_ver").Text("szam"), "1.1");
    c.Execute("insert into ZMP_TETEL (ID) values (0)");
    EXPECT_EQ(c.Query("select MEGJ from ZMP_TETEL where ID = 0").Text("MEGJ"), "-")
        << "the rebuilt column has its new default";
  }
  EXPECT_GE(killed, 20);
  RecordProperty("upgrade_kills", killed);
}

// Both kinds of new-company: the first company of a new site, which creates
// the common database too, and a further company of a running site.
TEST_F(CrashTest, NewCompanyKilledAnywhereCanBeRunAgain) {
  int killed = 0;
  for (const std::string snapshot : {"new-site", "snapshot"}) {
    RestoreSnapshot(snapshot);
    long long total = 0;
    TracedNumbers("new-company Uj ceg2", {}, &total);
    for (long long point = 1; point <= total; ++point) {
      SCOPED_TRACE(snapshot + ": killed before statement " + std::to_string(point) + " of " +
                   std::to_string(total));
      RestoreSnapshot(snapshot);
      killed += Cli("new-company Uj ceg2", "MOLTARO_TEST_KILL_AT=" + std::to_string(point)).killed;
      ExpectIntactDatabases();
      EXPECT_EQ(Cli("new-company Uj ceg2").status, 0);
      WriteFile(Site() / "VELDORAdb_new.ini", "local$$ZMP_Vorel\r\n");
      EXPECT_NE(Cli("instances").out.find("ceg2"), std::string::npos);
      if (snapshot == "snapshot") ExpectEveryValue(kRows);
      EXPECT_NO_THROW(Open("ceg2").Execute("create table ZMP_PROBA (ID int)"));
    }
  }
  EXPECT_GE(killed, 20);
  RecordProperty("new_company_kills", killed);
}

TEST_F(CrashTest, InsertsKilledAnywhereKeepEveryAcknowledgedRow) {
  RestoreSnapshot();
  WriteFile(Site() / "more.sql", Inserts(kRows + 1, kRows + 100));
  long long total = 0;
  const std::vector<long long> inserts = TracedNumbers(
      "sql -d ceg1 -i " + Quote((Site() / "more.sql").string()), {"insert into ZMP_TETEL"}, &total);
  ASSERT_EQ(inserts.size(), 100u);
  int killed = 0;
  for (std::size_t i = 0; i < inserts.size(); i += 4) {
    SCOPED_TRACE("killed before insert " + std::to_string(i + 1));
    RestoreSnapshot();
    WriteFile(Site() / "more.sql", Inserts(kRows + 1, kRows + 100));
    killed += Cli("sql -d ceg1 -i " + Quote((Site() / "more.sql").string()),
                  "MOLTARO_TEST_KILL_AT=" + std::to_string(inserts[i]))
                  .killed;
    ExpectIntactDatabases();
    // Every insert sent before the kill was acknowledged, and is there.
    ExpectEveryValue(kRows + static_cast<int>(i));
  }
  EXPECT_EQ(killed, 25);
  RecordProperty("insert_kills", killed);
}

}  // namespace
