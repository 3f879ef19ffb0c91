#include "cli/instance_commands.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <random>
#include <sstream>

#include "cli/program_start.h"
#include "cli/valt_terminal.h"
#include "engine/scripted_server.h"
#include "instances/fake_server.h"
#include "instances/main_window.h"
#include "instances/new_company_statements.h"

namespace moltaro::cli {
namespace {

using instances::testing::FakeServer;

class InstanceCommands : public ::testing::Test {
 protected:
  void SetUp() override { settings_.SetServerSettings("", "Sbo-Common", "", "sa", "titok"); }
  void TwoInstances() {
    server_.Answer(
        "Sbo-Common", instances::kSboInstanceListSql,
        db::ResultSet({"nev", "dbname"}, {{std::string("Alfa Kft"), std::string(" ceg1 ")},
                                          {std::string("Béta"), db::Null()},
                                          {std::string("Gamma"), std::string("ceg1")}}));
    server_.Answer("ceg1", instances::kVersionColumnSql,
                   db::ResultSet({"id"}, {{std::int64_t{3}}}));
    server_.Answer("ceg1", instances::kInstalledVersionSql,
                   db::ResultSet({"szam"}, {{std::string("2024.1234567890123")}}));
  }
  InstanceStreams Streams() { return {out_, err_}; }
  instances::MainWindowConnections Connections() {
    return {server_.Factory(), db::MakeServerConnection};
  }

  ServerSettings settings_;
  FakeServer server_;
  std::ostringstream out_, err_;
};

TEST_F(InstanceCommands, ListIsTabSeparatedInListOrderAsStored) {
  TwoInstances();
  EXPECT_EQ(ListInstances(settings_, false, Streams(), Connections()), kExitOk);
  EXPECT_EQ(out_.str(),
            "Alfa Kft\t ceg1 \t2024.1234567890\n"
            "Béta\t\tNincs telepítve\n"
            "Gamma\tceg1\t2024.1234567890\n");
}

TEST_F(InstanceCommands, JsonGivesTheCalculatedFieldsToo) {
  TwoInstances();
  EXPECT_EQ(ListInstances(settings_, true, Streams(), Connections()), kExitOk);
  const auto rows = nlohmann::json::parse(out_.str());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]["nev"], "Alfa Kft");
  EXPECT_EQ(rows[0]["dbname"], " ceg1 ");
  EXPECT_EQ(rows[0]["Ver"], "2024.1234567890");
  EXPECT_EQ(rows[0]["VanVer"], "I");
  EXPECT_TRUE(rows[1]["dbname"].is_null());
  EXPECT_EQ(rows[1]["VanVer"], "N");
}

TEST_F(InstanceCommands, UnreadableInstanceFailsTheListButItsRowsArePrinted) {
  TwoInstances();
  server_.RefuseOpen("ceg1");
  EXPECT_EQ(ListInstances(settings_, false, Streams(), Connections()), kExitFailed);
  EXPECT_NE(err_.str().find("ceg1"), std::string::npos);
  // Every row is read; the ones on the unreadable database show as not installed.
  EXPECT_EQ(out_.str(),
            "Alfa Kft\t ceg1 \tNincs telepítve\nBéta\t\tNincs telepítve\nGamma\tceg1\tNincs "
            "telepítve\n");
}

TEST_F(InstanceCommands, ReportDirectoryPrintsTheStoredOneOfTheFirstMatchingRow) {
  TwoInstances();
  server_.Answer("ceg1", instances::kReportDirSelectSql,
                 db::ResultSet({"id", "kod"}, {{std::int64_t{4}, std::string("D:\\Riport")}}));
  EXPECT_EQ(ReportDirectory(settings_, "ceg1", std::nullopt, Streams(), Connections()), kExitOk);
  EXPECT_EQ(out_.str(), "D:\\Riport\n");
  EXPECT_EQ(server_.calls.back().sql, instances::kReportDirSelectSql);
}

TEST_F(InstanceCommands, ReportDirectoryRefusesUnknownDatabaseAndEmptyDirectory) {
  TwoInstances();
  EXPECT_EQ(ReportDirectory(settings_, "ceg9", std::nullopt, Streams(), Connections()),
            kExitFailed);
  EXPECT_NE(err_.str().find("\"ceg9\""), std::string::npos);
  const std::size_t sent = server_.calls.size();
  EXPECT_EQ(ReportDirectory(settings_, "ceg1", std::string(), Streams(), Connections()),
            kExitUsage);
  for (std::size_t i = sent; i < server_.calls.size(); ++i) {
    EXPECT_NE(server_.calls[i].sql, instances::kReportDirInsertSql);
  }
}

class NewCompanyCommand : public InstanceCommands {
 protected:
  void SetUp() override {
    settings_.SetServerSettings("", "ZMP_Vorel", "", "sa", "titok");
    server_.Answer("master", instances::kMasterFileNameSql,
                   db::ResultSet({"FILENAME"}, {{std::string("/d/master.mdf")}}));
    server_.Answer("master", instances::kCommonDatabaseCountSql,
                   db::ResultSet({"db"}, {{std::int64_t{1}}}));
  }
  bool Sent(const std::string& sql) {
    for (const auto& call : server_.calls) {
      if (call.sql == sql) return true;
    }
    return false;
  }
};

TEST_F(NewCompanyCommand, ExistingDatabaseMessageGoesToTheOutput) {
  server_.Answer("master", instances::DatabaseCountSql("kovacs"),
                 db::ResultSet({"db"}, {{std::int64_t{1}}}));
  EXPECT_EQ(NewCompany(settings_, "Kovács Kft", "kovacs", Streams(), Connections()), kExitOk);
  EXPECT_EQ(out_.str(), "A kovacs adatbázis már létezik!!\n");
}

TEST_F(NewCompanyCommand, ShortDatabaseNameWithALongCompanyName) {
  EXPECT_EQ(NewCompany(settings_, "Kovács Kft", "kv", Streams(), Connections()), kExitOk);
  EXPECT_TRUE(Sent(instances::RegistrationInsert(1, "Kovács Kft", "kv")));
}

TEST_F(NewCompanyCommand, RefusedBeforeAnythingIsSent) {
  EXPECT_EQ(NewCompany(settings_, "Kft", "kv", Streams(), Connections()), kExitUsage);
  EXPECT_EQ(NewCompany(settings_, "Kovács Kft", "adatbazis_tul_hosszu", Streams(), Connections()),
            kExitUsage);
  EXPECT_EQ(NewCompany(settings_, "Kovács Kft", "kov acs", Streams(), Connections()), kExitFailed);
  for (const auto& call : server_.calls) EXPECT_NE(call.catalogue, "master");
}

TEST_F(NewCompanyCommand, ServerErrorFailsTheCommand) {
  server_.Fail("master", "alter database kovacs set auto_close off", "ALTER DATABASE failed.");
  EXPECT_EQ(NewCompany(settings_, "Kovács Kft", "kovacs", Streams(), Connections()), kExitFailed);
  EXPECT_EQ(err_.str(), "ALTER DATABASE failed.\n");
}

// The version switch from the command line, on a scripted engine server; the
// run log goes to the working directory, so each test runs in a fresh one.
class RunCommands : public InstanceCommands {
 protected:
  void SetUp() override {
    InstanceCommands::SetUp();
    TwoInstances();
    previous_ = std::filesystem::current_path();
    work_ = std::filesystem::temp_directory_path() /
            ("moltaro-cli-run-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(work_);
    std::filesystem::current_path(work_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(work_);
  }
  instances::MainWindowConnections WithEngine() { return {server_.Factory(), engine_.Factory()}; }

  engine::testing::ScriptedServer engine_;
  std::filesystem::path previous_, work_;
};

TEST_F(RunCommands, FailedUpgradePrintsTheReasonAndTheRunLog) {
  // The row's name is passed on as stored, blanks included, and names the log.
  EXPECT_EQ(Upgrade(settings_, "ceg1", true, Streams(), WithEngine()), kExitFailed);
  EXPECT_EQ(out_.str(), "Nincs meg a verzió file !\nRun log: " +
                            (std::filesystem::current_path() / " ceg1 _verzio.log").string() +
                            "\n");
}

// "Uninstall" and "Rep utvonal" run only where the window offers them: not
// for an instance without a version, and never in the product's own listing
// mode, where the window hides both.
TEST_F(RunCommands, UninstallAndReportDirectoryOnlyWhereTheWindowOffersThem) {
  server_.Answer("Sbo-Common", instances::kSboInstanceListSql,
                 db::ResultSet({"nev", "dbname"}, {{std::string("Alfa Kft"), std::string(" ceg1 ")},
                                                   {std::string("Béta"), std::string("ceg2")}}));
  EXPECT_EQ(Uninstall(settings_, " ceg2 ", true, Streams(), WithEngine()), kExitFailed);
  EXPECT_EQ(ReportDirectory(settings_, "ceg2", std::nullopt, Streams(), WithEngine()), kExitFailed);
  EXPECT_EQ(
      err_.str(),
      "`uninstall` is not offered for \"ceg2\": the main window offers \"Uninstall\" only for "
      "an instance with a version installed, and this one has none (Nincs telepítve).\n"
      "`report-dir` is not offered for \"ceg2\": the main window offers \"Rep utvonal\" "
      "only for an instance with a version installed, and this one has none (Nincs "
      "telepítve).\n");
  EXPECT_TRUE(engine_.sent.empty());
  for (const auto& call : server_.calls) EXPECT_NE(call.sql, instances::kReportDirSelectSql);

  settings_.SetServerSettings("", "ZMP_Vorel", "", "sa", "titok");
  server_.Answer(
      "ZMP_Vorel", instances::kInstanceListSql,
      db::ResultSet({"nev", "dbname"}, {{std::string("Alfa Kft"), std::string(" ceg1 ")}}));
  err_.str("");
  EXPECT_EQ(Uninstall(settings_, "ceg1", true, Streams(), WithEngine()), kExitFailed);
  EXPECT_EQ(err_.str(),
            "`uninstall` is not offered for \"ceg1\": the main window offers \"Uninstall\" only in "
            "the SAP Business One listing mode, where the settings file names the common database "
            "Sbo-Common; it names ZMP_Vorel.\n");
  EXPECT_TRUE(engine_.sent.empty());
  // The version switch is offered in either mode.
  EXPECT_EQ(Upgrade(settings_, " ceg1", true, Streams(), WithEngine()), kExitFailed);
  EXPECT_FALSE(engine_.sent.empty());
}

TEST_F(RunCommands, UnknownDatabaseRunsNothing) {
  EXPECT_EQ(Upgrade(settings_, "ceg9", true, Streams(), WithEngine()), kExitFailed);
  EXPECT_TRUE(engine_.sent.empty());
}

TEST(TerminalValtDisplay, OneLineWithProgressCutToTheWidth) {
  std::ostringstream out;
  TerminalValtDisplay display(out, true, 30);
  display.ShowText(engine::ValtLabel::lVerzio, "2024.1");
  display.SetProgressRange(0, 8);
  display.SetProgressPosition(2);
  display.ShowText(engine::ValtLabel::lMit, "Táblák");
  display.ShowText(engine::ValtLabel::lObj, "ZMP_SZEMELY_ADATOK");
  EXPECT_EQ(display.Line(), "[25%]  2024.1  Táblák  ZMP_SZ");
  EXPECT_EQ(out.str().substr(out.str().rfind('\r')), "\r\033[K[25%]  2024.1  Táblák  ZMP_SZ");
  // A run over the whole site names the instance first.
  display.SetInstance("ceg2");
  display.SetProgressPosition(2);
  EXPECT_EQ(display.Line(), "ceg2  [25%]  2024.1  Táblák  ");
  display.Finish();
  EXPECT_EQ(out.str().substr(out.str().size() - 4), "\r\033[K");
}

TEST(TerminalValtDisplay, DrawsNothingOffATerminal) {
  std::ostringstream out;
  {
    TerminalValtDisplay display(out, false);
    display.ShowText(engine::ValtLabel::lMit, "Táblák");
  }
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace moltaro::cli
