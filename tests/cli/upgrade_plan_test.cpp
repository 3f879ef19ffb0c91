// `upgrade --plan` against the run that follows it, on a real embedded
// server: the plan must list the very statements the run then sends, and
// leave the instance as it found it, byte for byte.
#include "cli/upgrade_plan_command.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "cli/program_start.h"
#include "common/codepage.h"
#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "engine/recording_display.h"
#include "engine/temp_dir.h"
#include "engine/tfra_valt.h"
#include "instances/fake_server.h"
#include "instances/main_window.h"

namespace moltaro::cli {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kPassword = "Titok-2024";

// Real connections that note every statement (not query) they send.
class NotingConnection : public db::ConnectionPort {
 public:
  explicit NotingConnection(Strings& sent) : real_(db::MakeServerConnection()), sent_(sent) {}
  void Open(const std::string& connectionString) override { real_->Open(connectionString); }
  void Close() override { real_->Close(); }
  db::ResultSet Query(std::string_view sql, const db::Params& params) override {
    return real_->Query(sql, params);
  }
  void Execute(std::string_view sql, const db::Params& params) override {
    sent_.emplace_back(sql);
    real_->Execute(sql, params);
  }

 private:
  std::unique_ptr<db::ConnectionPort> real_;
  Strings& sent_;
};

class UpgradePlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db::embedded::InitializeServer(Data(), kPassword);
    settings_.SetServerSettings("embedded:" + Data().string(), "ZMP_Vorel", "", "sa", kPassword);
    Sql("master", "create database ZMP_Vorel");
    Sql("master", "create database elso");
    Sql("ZMP_Vorel", "create table ZMP_Peldany (id int, pld nvarchar(20), fiznev nvarchar(20))");
    Sql("ZMP_Vorel", "insert into ZMP_Peldany values (1, N' Első ', N' elso ')");
  }

  std::filesystem::path Data() const { return dir_.Path() / "data"; }

  void Sql(const std::string& database, const std::string& statement) {
    db::Connection connection(settings_.DatabaseConnectionString(database));
    connection.Open();
    connection.Execute(statement);
  }
  std::string Scalar(const std::string& query) {
    db::Connection connection(settings_.DatabaseConnectionString("elso"));
    connection.Open();
    return db::ToText(connection.Query(query).Rows().at(0).at(0));
  }

  void WriteVersion(const std::string& number, const Strings& records) {
    std::string text = "$$V$$" + number + "$$Teszt$$\r\n";
    for (const std::string& record : records) text += record + "\r\n";
    text += "$$V$$" + number + "$$Teszt$$\r\n";
    std::ofstream(dir_.Path() / "verzio.ver", std::ios::binary) << Utf8ToCp1250(text);
  }

  // The real run, as "Vált" starts it, with every statement noted.
  bool Run(Strings& sent) {
    engine::testing::RecordingDisplay display;
    engine::TfraValt frame(display, [&sent] { return std::make_unique<NotingConnection>(sent); });
    frame.SetWorkDirectory(dir_.Path());
    const std::string cs = settings_.DatabaseConnectionString(" elso ");
    frame.Prepare(" elso ", " elso ", cs, cs, "IIIII", "sa", kPassword);
    const bool failed = frame.RunUpgrade();
    lastError_ = frame.LastError();
    return failed;
  }

  int Plan(nlohmann::json& document) {
    std::ostringstream out, err;
    const int status = PlanUpgrade(settings_, "elso ", true, {out, err}, dir_.Path());
    planErrors_ = err.str();
    if (!out.str().empty()) document = nlohmann::json::parse(out.str());
    return status;
  }

  // Every file of the server and the work directory, with its bytes.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.Path())) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      files[entry.path().lexically_relative(dir_.Path()).string()] =
          std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
  }

  static Strings Statements(const nlohmann::json& plan) {
    Strings statements;
    for (const auto& step : plan["steps"]) statements.push_back(step["statement"]);
    return statements;
  }
  static const nlohmann::json* Step(const nlohmann::json& plan, const std::string& kind,
                                    const std::string& part) {
    for (const auto& step : plan["steps"]) {
      if (step["kind"] == kind &&
          step["statement"].get<std::string>().find(part) != std::string::npos) {
        return &step;
      }
    }
    return nullptr;
  }

  engine::testing::TempDir dir_;
  ServerSettings settings_;
  std::string lastError_;
  std::string planErrors_;
};

const Strings kVersion1 = {
    "$$T$$10$$ZMP_AR$$",
    "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
    "$$t$$12$$10$$2$$NEV$$231$$30$$0$$N$$$$",
    "$$t$$13$$10$$3$$KOD$$231$$10$$0$$N$$$$",
    "$$t$$14$$10$$4$$AR$$56$$0$$0$$I$$5$$",
    "$$t$$15$$10$$5$$MEGJ$$231$$20$$0$$N$$$$",
    "$$t$$16$$10$$6$$DB$$56$$0$$0$$N$$$$",
    "$$I$$20$$10$$ZMP_AR_AR$$",
    "$$i$$21$$20$$14$$1$$",
    "$$I$$30$$10$$ZMP_AR_NEV$$",
    "$$i$$31$$30$$12$$1$$",
    "$$P$$40$$Első eljárás$$1$$V$$N$$",
    "create procedure ZMP_P1 as select 1 x",
};

// Every kind of step a run takes: a script before and after, a new table, a
// new column, a column widened, one narrowed, a type change under a default
// and an index, a default change that rebuilds the column, an index with new
// keys, a new index, a procedure altered and one created.
const Strings kVersion2 = {
    "$$E$$1$$Előfutó$$1$$E$$N$$",
    "update ZMP_AR set NEV = NEV$$",
    "$$T$$10$$ZMP_AR$$",
    "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
    "$$t$$12$$10$$2$$NEV$$231$$60$$0$$N$$$$",
    "$$t$$13$$10$$3$$KOD$$231$$4$$0$$N$$$$",
    "$$t$$14$$10$$4$$AR$$108$$12$$2$$I$$5$$",
    "$$t$$15$$10$$5$$MEGJ$$231$$20$$0$$N$$'x'$$",
    "$$t$$16$$10$$6$$DB$$56$$0$$0$$N$$$$",
    "$$t$$17$$10$$7$$UJ$$231$$5$$0$$N$$$$",
    "$$T$$50$$ZMP_UJ$$",
    "$$t$$51$$50$$1$$ID$$56$$0$$0$$I$$$$",
    "$$I$$20$$10$$ZMP_AR_AR$$",
    "$$i$$21$$20$$14$$1$$",
    "$$I$$30$$10$$ZMP_AR_NEV$$",
    "$$i$$31$$30$$12$$1$$",
    "$$i$$32$$30$$11$$2$$",
    "$$I$$60$$10$$ZMP_AR_KOD$$",
    "$$i$$61$$60$$13$$1$$",
    "$$P$$40$$Első eljárás$$1$$V$$N$$",
    "create procedure ZMP_P1 as select 2 x",
    "$$P$$41$$Második eljárás$$2$$V$$N$$",
    "create procedure ZMP_P2 as select 3 x",
    "$$U$$70$$Utánfutó$$1$$V$$N$$",
    "update ZMP_AR set DB = 1 where DB is null$$",
};

TEST_F(UpgradePlanTest, ThePlanIsTheRunThatFollowsStepForStepAndChangesNothing) {
  WriteVersion("1.0", kVersion1);
  Strings first;
  ASSERT_FALSE(Run(first)) << lastError_;
  Sql("elso", "insert into ZMP_AR (ID, NEV, KOD, AR, MEGJ) values (1, N'Kiss', N'ab', 7, N'm')");
  Sql("elso", "insert into ZMP_AR (ID, NEV, KOD, AR) values (2, N'Nagy', null, 8)");
  WriteVersion("2.0", kVersion2);
  const std::map<std::string, std::string> before = Files();

  nlohmann::json plan;
  ASSERT_EQ(Plan(plan), kExitOk) << planErrors_;
  EXPECT_EQ(Files(), before) << "the plan touched the server or the work directory";
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.0");
  EXPECT_EQ(plan["database"], " elso ");
  EXPECT_EQ(plan["version_before"], "1.0");
  EXPECT_EQ(plan["version_after"], "2.0");
  EXPECT_EQ(plan["outcome"], "ok");

  Strings sent;
  ASSERT_FALSE(Run(sent)) << lastError_;
  EXPECT_EQ(Statements(plan), sent);

  std::set<std::string> kinds;
  for (const auto& step : plan["steps"]) kinds.insert(step["kind"]);
  for (const char* kind :
       {"script statement", "create table", "add column", "alter column", "drop default",
        "create default", "drop index", "create index", "add temporary column",
        "keep values in temporary column", "drop column", "copy values", "drop temporary column",
        "begin transaction", "commit transaction", "alter procedure", "create procedure",
        "catalogue row", "record version"}) {
    EXPECT_EQ(kinds.count(kind), 1u) << kind;
  }

  const auto* narrowed = Step(plan, "alter column", "KOD Nvarchar(4)");
  ASSERT_NE(narrowed, nullptr);
  EXPECT_TRUE((*narrowed)["can_fail"]);
  EXPECT_NE((*narrowed)["risk"].get<std::string>().find("narrows Nvarchar(10) to Nvarchar(4)"),
            std::string::npos);
  const auto* widened = Step(plan, "alter column", "NEV Nvarchar(60)");
  ASSERT_NE(widened, nullptr);
  EXPECT_FALSE((*widened)["can_fail"]);
  EXPECT_FALSE((*widened)["rewrites_values"]);
  const auto* retyped = Step(plan, "alter column", "AR Numeric(12,2)");
  ASSERT_NE(retyped, nullptr);
  EXPECT_TRUE((*retyped)["rewrites_values"]);
  EXPECT_EQ((*retyped)["object"], "ZMP_AR");
  const auto* kept = Step(plan, "keep values in temporary column", "MEGJ_qxq");
  ASSERT_NE(kept, nullptr);
  EXPECT_TRUE((*kept)["rewrites_values"]);
  const auto* script = Step(plan, "script statement", "update ZMP_AR set DB");
  ASSERT_NE(script, nullptr);
  EXPECT_EQ((*script)["phase"], "post-run scripts");
  EXPECT_TRUE((*script)["can_fail"]);
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "2.0");
}

// A NOT NULL over rows holding NULL: the plan says the step fails, with the
// server's words, and the run that follows fails at that very statement.
TEST_F(UpgradePlanTest, AStepThatWillFailIsShownFailingAndTheRunFailsThere) {
  WriteVersion("1.0", kVersion1);
  Strings first;
  ASSERT_FALSE(Run(first)) << lastError_;
  Sql("elso", "insert into ZMP_AR (ID, AR, DB) values (1, 7, null)");
  Strings v2 = kVersion1;
  v2[6] = "$$t$$16$$10$$6$$DB$$56$$0$$0$$I$$$$";
  WriteVersion("2.0", v2);
  const std::map<std::string, std::string> before = Files();

  nlohmann::json plan;
  EXPECT_EQ(Plan(plan), kExitFailed) << planErrors_;
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(plan["outcome"], "fails");
  const auto* step = Step(plan, "alter column", "DB Int NOT NULL");
  ASSERT_NE(step, nullptr);
  EXPECT_TRUE((*step)["fails"]);
  EXPECT_NE((*step)["risk"].get<std::string>().find("(1 do now)"), std::string::npos)
      << (*step)["risk"];
  EXPECT_NE((*step)["error"].get<std::string>().find("NULL"), std::string::npos);

  Strings sent;
  EXPECT_TRUE(Run(sent));
  EXPECT_EQ(Statements(plan), sent);
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.0");
}

TEST_F(UpgradePlanTest, AnUnknownInstanceOrAServerElsewhereIsNotPlanned) {
  std::ostringstream out, err;
  EXPECT_EQ(PlanUpgrade(settings_, "nincs", false, {out, err}, dir_.Path()), kExitFailed);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find("\"nincs\""), std::string::npos);

  // A SQL Server database cannot be copied from here: refused, nothing sent
  // to the instance.
  instances::testing::FakeServer server;
  server.Answer("ZMP_Vorel", instances::kInstanceListSql,
                db::ResultSet({"nev", "dbname"}, {{std::string("Első"), std::string(" elso ")}}));
  settings_.SetServerSettings("sqlhost", "ZMP_Vorel", "", "sa", kPassword);
  err.str("");
  EXPECT_EQ(PlanUpgrade(settings_, "elso", false, {out, err}, dir_.Path(),
                        {server.Factory(), server.Factory()}),
            kExitFailed);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find("on the SQL Server sqlhost nothing was planned"), std::string::npos)
      << err.str();
  // Only the listing's reads: the list and the instance's version.
  for (const auto& call : server.calls) {
    EXPECT_EQ(call.sql.find("select"), call.sql.find_first_not_of(' ')) << call.sql;
  }
}

}  // namespace
}  // namespace moltaro::cli
