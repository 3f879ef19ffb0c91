// A new site set up through the built moltaro-cli, as docs/new-site.md tells
// it: one embedded server for the suite, each test a step of the setup.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const char* kPassword = "Titok-2024";

struct Result {
  int status = -1;
  std::string out;
};

class NewSite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = std::filesystem::temp_directory_path() /
            ("moltaro-new-site-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(work_);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(work_); }

  static std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  }
  // Runs moltaro-cli in the site's directory; stdout is captured, stderr
  // goes to a file read by Errors().
  static Result Cli(const std::string& arguments, const std::filesystem::path& from = {}) {
    const std::string command = (from.empty() ? "" : "cd " + Quote(from.string()) + " && ") +
                                std::string(MOLTARO_CLI) + " -C " + Quote(work_.string()) +
                                " -U sa -P " + Quote(kPassword) + " " + arguments + " 2>" +
                                Quote((work_ / "stderr.txt").string()) + " </dev/null";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
      result.out.append(buffer.data(), n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
  }
  static std::string Errors() {
    std::ifstream in(work_ / "stderr.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Settings(const std::string& firstLine) {
    std::ofstream(work_ / "VELDORAdb_new.ini", std::ios::binary) << firstLine << "\r\n";
  }

  static inline std::filesystem::path work_;
};

// A password with a blank at either end could never be typed back at the
// login, which keeps the blanks: refused before anything is created.
TEST_F(NewSite, A0_ServerInitRefusesAPasswordWithSurroundingBlanks) {
  for (const std::string password : {" Titok-2024", "Titok-2024 ", "Titok-2024\t"}) {
    const Result refused = Cli("server-init " + Quote((work_ / "refused").string()) +
                               " --sa-password " + Quote(password));
    EXPECT_EQ(refused.status, 1) << password;
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(Errors().find("must not be empty, nor begin or end with a blank"), std::string::npos)
        << Errors();
    EXPECT_FALSE(std::filesystem::exists(work_ / "refused")) << password;
  }
}

TEST_F(NewSite, A_ServerInitAndTheListThatCannotBeReadYet) {
  ASSERT_EQ(
      Cli("server-init " + Quote((work_ / "data").string()) + " --sa-password " + Quote(kPassword))
          .status,
      0)
      << Errors();
  Settings("local$$master");
  const Result list = Cli("instances");
  EXPECT_EQ(list.status, 1);
  EXPECT_EQ(list.out, "");
  EXPECT_NE(Errors().find("ZMP_Peldany"), std::string::npos) << Errors();
}

TEST_F(NewSite, B_FirstCompanyCreatesTheCommonDatabase) {
  const Result first = Cli("new-company " + Quote("Első Kft") + " elso");
  ASSERT_EQ(first.status, 0) << Errors();
  EXPECT_EQ(first.out, "");
  const Result second = Cli("new-company " + Quote("O'Brien Bt") + " obrien");
  ASSERT_EQ(second.status, 0) << Errors();
  const Result again = Cli("new-company Ismét obrien");
  ASSERT_EQ(again.status, 0) << Errors();
  EXPECT_EQ(again.out, "A obrien adatbázis már létezik!!\n");
  const Result refused = Cli("new-company Negyedik " + Quote("x;drop"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(Errors().find("\"x;drop\""), std::string::npos);
}

TEST_F(NewSite, C_TheListOnTheCommonDatabase) {
  Settings("local$$ZMP_Vorel");
  const Result list = Cli("instances");
  ASSERT_EQ(list.status, 0) << Errors();
  EXPECT_EQ(list.out,
            " Első Kft \t elso \tNincs telepítve\n"
            " O'Brien Bt \t obrien \tNincs telepítve\n"
            " Ismét \t obrien \tNincs telepítve\n");
  const Result json = Cli("instances --json");
  ASSERT_EQ(json.status, 0) << Errors();
  EXPECT_NE(json.out.find("\"dbname\": \" obrien \""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"VanVer\": \"N\""), std::string::npos) << json.out;
}

// The product's own listing mode: the main window hides "Rep utvonal" and
// "Uninstall", so the command line refuses them too and touches nothing.
TEST_F(NewSite, D_ReportDirectoryAndUninstallAreNotOfferedInTheProductsOwnMode) {
  Result run = Cli("report-dir " + Quote(" elso "));  // as `instances` shows it
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(Errors().find("only in the SAP Business One listing mode"), std::string::npos)
      << Errors();
  run = Cli("uninstall elso --yes");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(Errors().find("\"Uninstall\" only in the SAP Business One listing mode"),
            std::string::npos)
      << Errors();
  EXPECT_EQ(Cli("report-dir nincs").status, 1);
  EXPECT_NE(Errors().find("\"nincs\""), std::string::npos) << Errors();
}

// Upgraded, then seen through SAP Business One's company list (common
// database Sbo-Common), where the window offers the report directory and
// the uninstall for an instance with a version.
TEST_F(NewSite, E_UpgradeThenReportDirectoryAndUninstallInTheSboMode) {
  std::filesystem::copy_file(std::filesystem::path(MOLTARO_EXAMPLES_DIR) / "verzio.ver",
                             work_ / "verzio.ver",
                             std::filesystem::copy_options::overwrite_existing);
  Result run = Cli("upgrade elso");  // no terminal to ask on: not confirmed
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(Errors().find("Not confirmed"), std::string::npos);

  const Result plan = Cli("upgrade elso --plan");
  EXPECT_EQ(plan.status, 0) << Errors();
  EXPECT_EQ(plan.out.rfind("Upgrade plan for \" elso \": Nincs telepítve -> 2.1.0\n", 0), 0u)
      << plan.out;
  EXPECT_FALSE(std::filesystem::exists(work_ / " elso _verzio.log"));

  run = Cli("upgrade elso --yes");
  ASSERT_EQ(run.status, 0) << Errors();
  // The row's name is passed on as stored, so the log carries its blanks.
  EXPECT_EQ(run.out, "A verzióváltás sikeresen lefutott !\nRun log: " +
                         (work_ / " elso _verzio.log").string() + "\n");
  EXPECT_TRUE(std::filesystem::exists(work_ / " elso _verzio.log"));
  Result list = Cli("instances");
  EXPECT_EQ(list.out.find(" Első Kft \t elso \tNincs telepítve\n"), std::string::npos) << list.out;

  run = Cli("upgrade elso --yes");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.rfind("A(z) ", 0), 0u) << run.out;

  ASSERT_EQ(Cli("sql -d master -Q " + Quote("create database [Sbo-Common]")).status, 0) << Errors();
  ASSERT_EQ(Cli("sql -d Sbo-Common -Q " +
                Quote("create table srgc (cmpName nvarchar(100), dbName nvarchar(100))\n"
                      "insert into srgc values (N'Első Kft', 'elso')\n"
                      "insert into srgc values (N'Második', 'obrien')"))
                .status,
            0)
      << Errors();
  Settings("local$$Sbo-Common");
  Result shown = Cli("report-dir " + Quote(" elso "));
  ASSERT_EQ(shown.status, 0) << Errors();
  EXPECT_EQ(shown.out, "C:\\ZMP\\Riport\n");  // as the example's post-run script seeds it
  ASSERT_EQ(Cli("report-dir elso " + Quote("  D:\\Riport ")).status, 0) << Errors();
  shown = Cli("report-dir elso");
  EXPECT_EQ(shown.out, "D:\\Riport\n");
  const Result stored =
      Cli("sql -d elso -Q " + Quote("select kod from zmp_puy where nev = 'PWREPUT'"));
  EXPECT_EQ(stored.out, "kod\nD:\\Riport\n");
  // obrien has no version: neither is offered for it.
  EXPECT_EQ(Cli("report-dir obrien").status, 1);
  EXPECT_NE(Errors().find("only for an instance with a version installed"), std::string::npos)
      << Errors();

  run = Cli("uninstall elso --yes");
  EXPECT_EQ(run.status, 0) << Errors();
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Cli("uninstall elso --yes").status, 1) << "nothing installed any more";
  Settings("local$$ZMP_Vorel");
  list = Cli("instances");
  EXPECT_NE(list.out.find(" Első Kft \t elso \tNincs telepítve\n"), std::string::npos) << list.out;
}

// elso, obrien (listed twice, run once) and harmadik without the product,
// masodik already on the version of the file: its run is refused and the
// others go on.
TEST_F(NewSite, F_UpgradeEveryInstanceGoingOnPastAFailure) {
  ASSERT_EQ(Cli("new-company " + Quote("Második") + " masodik").status, 0) << Errors();
  ASSERT_EQ(Cli("new-company " + Quote("Harmadik") + " harmadik").status, 0) << Errors();
  ASSERT_EQ(Cli("upgrade masodik --yes").status, 0) << Errors();

  Result run = Cli("upgrade --all");  // no terminal to ask on: not confirmed
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(Errors().find("Not confirmed"), std::string::npos);
  EXPECT_NE(Cli("instances").out.find("harmadik \tNincs telepítve\n"), std::string::npos);

  run = Cli("upgrade --all --yes");
  EXPECT_EQ(run.status, 1) << Errors();
  std::vector<std::vector<std::string>> table;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    table.push_back(fields);
  }
  ASSERT_EQ(table.size(), 5u) << run.out;
  EXPECT_EQ(table[0], (std::vector<std::string>{"database", "before", "after", "outcome", "seconds",
                                                "run log"}));
  const std::vector<std::string> expected[] = {{"elso", "Nincs telepítve", "2.1.0", "ok"},
                                               {"obrien", "Nincs telepítve", "2.1.0", "ok"},
                                               {"masodik", "2.1.0", "2.1.0", "failed"},
                                               {"harmadik", "Nincs telepítve", "2.1.0", "ok"}};
  for (std::size_t i = 0; i < 4; ++i) {
    std::vector<std::string>& row = table[i + 1];
    ASSERT_EQ(row.size(), 6u) << run.out;
    // Names as stored, with the blanks the dialog keeps.
    EXPECT_EQ(row[0], " " + expected[i][0] + " ");
    EXPECT_EQ(std::vector<std::string>(row.begin() + 1, row.begin() + 4),
              std::vector<std::string>(expected[i].begin() + 1, expected[i].end()));
    EXPECT_EQ(row[5], (work_ / (row[0] + "_verzio.log")).string());
    EXPECT_TRUE(std::filesystem::exists(row[5]));
  }
  // The refusal names the version already installed, on stderr with the runs' messages.
  EXPECT_NE(Errors().find("A(z) \"2.1.0\" verziót már"), std::string::npos) << Errors();
  EXPECT_NE(Errors().find("A verzióváltás sikeresen lefutott !"), std::string::npos);

  run = Cli("upgrade --all --yes --json");
  EXPECT_EQ(run.status, 1);
  const std::size_t failed = run.out.find("\"outcome\": \"failed\"");
  EXPECT_NE(failed, std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("\"outcome\": \"ok\""), std::string::npos) << run.out;
  EXPECT_EQ(Cli("upgrade --json masodik").status, 2);
}

// A script named by a relative path is read from the caller's directory,
// whatever -C says.
TEST_F(NewSite, G_SqlScriptFileIsFoundFromTheCallersDirectory) {
  const std::filesystem::path scripts = work_ / "scripts";
  std::filesystem::create_directories(scripts);
  std::ofstream(scripts / "count.sql", std::ios::binary) << "select 40 + 2 as answer\nGO\n";
  const Result run = Cli("sql -d master -i count.sql", scripts);
  ASSERT_EQ(run.status, 0) << Errors();
  EXPECT_EQ(run.out, "answer\n42\n");
}

}  // namespace
