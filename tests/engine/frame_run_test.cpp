#include "engine/tfra_valt.h"

#include <regex>

#include "common/codepage.h"
#include "engine/uninstall.h"
#include "scripted_run.h"

namespace moltaro::engine {
namespace {

using testing::Rows;
using Strings = std::vector<std::string>;
using I = std::int64_t;

db::Value T(const char* text) {
  return std::string(text);
}

Strings WithoutTimes(Strings lines) {
  const std::regex elapsed(R"(\(\d\d:\d\d\)$)");
  const std::regex moment(R"(! \d{4}\. \d\d\. \d\d\.( \d{1,2}:\d\d:\d\d)?$)");
  for (std::string& line : lines) {
    line = std::regex_replace(line, elapsed, "(mm:ss)");
    line = std::regex_replace(line, moment, "! <most>");
  }
  return lines;
}

class FrameRunTest : public ::testing::Test {
 protected:
  FrameRunTest() : frame(display, server.Factory()) { frame.SetWorkDirectory(dir.Path()); }
  Strings LogLines() {
    const std::string text = Cp1250ToUtf8(dir.Read("ZMP_CEG_verzio.log"));
    Strings lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

  testing::TempDir dir;
  testing::RecordingDisplay display;
  testing::ScriptedServer server;
  TfraValt frame;
};

TEST_F(FrameRunTest, PrepareNamesTheDatabasesAndFitToPanelSizesTheFrame) {
  frame.Prepare("ZMP_FORRAS", "ZMP_CEL", "a", "b", "IIIII", "sa", "x");
  EXPECT_EQ(display.hint, "ZMP_FORRAS -> ZMP_CEL");
  EXPECT_EQ(frame.LogPath(), dir.Path() / "ZMP_CEL_verzio.log");
  frame.FitToPanel();
  EXPECT_EQ(display.layout.frame.width, 280);
  EXPECT_EQ(display.layout.frame.height, 73);
}

TEST_F(FrameRunTest, WithoutPhasesTheRunStillRecordsTheVersion) {
  dir.Write("verzio.ver", "$$V$$3.0$$\r\n$$T$$10$$ZMP_A$$\r\n$$V$$3.0$$\r\n");
  dir.Write("ZMP_CEG_verzio.log", "an earlier run\r\n");
  frame.Prepare("ZMP_CEG", "ZMP_CEG", "a", "b", "XXXXX", "sa", "x");
  EXPECT_FALSE(frame.RunUpgrade());
  EXPECT_EQ(frame.NewVersion(), "3.0");
  EXPECT_EQ(display.maximum, 0);
  const testing::Sent* recorded =
      server.FindExecuted("insert into zmp_obj_ver (szam, datum)\r\nvalues (:xszam, getdate())");
  ASSERT_NE(recorded, nullptr);
  EXPECT_EQ(recorded->params, db::Params{T("3.0")});
  const Strings executed = server.Executed();
  EXPECT_EQ(executed[executed.size() - 2], "delete from zmp_obj_ver");
  EXPECT_EQ(WithoutTimes(LogLines()),
            (Strings{"ZMP_OBJ_FEJ Ok", "ZMP_OBJ_GYEREK Ok", "ZMP_OBJ_SZOVEG Ok", "ZMP_OBJ_VER Ok",
                     "ZMP_SYS_ID_SEQ Ok", "ZMP_DUAL Ok", "ZMP_SYS_SA Ok", "A verzio.ver betöltve !",
                     "", "Verzióváltás kész ! (mm:ss)", " ", "3.0. verzió leváltva ! <most>"}));
  frame.ResetProgress();
  EXPECT_EQ(display.labels[ValtLabel::lVerzio], "");
  EXPECT_EQ(display.labels[ValtLabel::lMit], "");
  EXPECT_EQ(display.labels[ValtLabel::lObj], "");
}

TEST_F(FrameRunTest, AFailingSystemTableReadLeavesTheRunWithTheServersError) {
  server.Fail("select id from dbo.sysobjects where xtype='U' and NAME=:xNAME",
              "The connection is broken.");
  frame.Prepare("ZMP_CEG", "ZMP_CEG", "a", "b", "IIIII", "sa", "x");
  EXPECT_THROW(frame.RunUpgrade(), db::DatabaseError);
  EXPECT_EQ(LogLines(), Strings{});
}

class UninstallTest : public testing::ScriptedRunTest {};

constexpr const char* kObjects =
    "select name, xtype from sysobjects where name like 'ZMP%' and xtype=:x1 order by name";
constexpr const char* kCaptured = "select id, tipus, nev from zmp_obj_fej where id > 0 order by id";

TEST_F(UninstallTest, CapturesInTypeOrderAndDropsTheCatalogueLast) {
  server.Answer("select count(id) mid from zmp_obj_fej", Rows({"mid"}, {{I{0}}}));
  server.Answer("select count(id) mid from zmp_obj_fej", Rows({"mid"}, {{I{1}}}));
  server.Answer("select count(id) mid from zmp_obj_fej", Rows({"mid"}, {{I{2}}}));
  server.Answer("select count(id) mid from zmp_obj_fej", Rows({"mid"}, {{I{3}}}));
  server.Answer(kObjects, {T("FN")}, Rows({"name", "xtype"}, {{T("ZMP_F1"), T("FN")}}));
  server.Answer(kObjects, {T("P")}, Rows({"name", "xtype"}, {{T("ZMP_P1"), T("P")}}));
  server.Answer(kObjects, {T("V")}, Rows({"name", "xtype"}, {{T("ZMP_V1"), T("V")}}));
  server.Answer(kObjects, {T("U")},
                Rows({"name", "xtype"}, {{T("ZMP_OBJ_FEJ"), T("U")}, {T("ZMP_T1"), T("U")}}));
  server.Answer("select count(*) db from ZMP_OBJ_FEJ", Rows({"db"}, {{I{5}}}));
  server.Answer(kCaptured, Rows({"id", "tipus", "nev"}, {{I{1}, T("F"), T("ZMP_F1")},
                                                         {I{2}, T("P"), T("ZMP_P1")},
                                                         {I{3}, T("V"), T("ZMP_V1")},
                                                         {I{5}, T("U"), T("ZMP_T1")}}));
  RunUninstall(run);

  std::vector<db::Params> captured;
  for (const testing::Sent& sent : server.sent) {
    if (sent.sql == "insert into ZMP_OBJ_FEJ (id, tipus, nev) values (:x1, :x2, :x3)") {
      captured.push_back(sent.params);
    }
  }
  EXPECT_EQ(captured, (std::vector<db::Params>{{I{1}, T("F"), T("ZMP_F1")},
                                               {I{2}, T("P"), T("ZMP_P1")},
                                               {I{3}, T("V"), T("ZMP_V1")},
                                               {I{0}, T("U"), T("ZMP_OBJ_FEJ")},
                                               {I{5}, T("U"), T("ZMP_T1")}}));
  Strings drops;
  for (const std::string& sql : server.Executed()) {
    if (sql.rfind("drop ", 0) == 0 || sql.rfind("delete ", 0) == 0) drops.push_back(sql);
  }
  EXPECT_EQ(drops,
            (Strings{"delete from zmp_obj_fej", "drop function ZMP_F1", "drop procedure ZMP_P1",
                     "drop view ZMP_V1", "drop table ZMP_T1", "drop table zmp_obj_fej"}));
  EXPECT_EQ(display.maximum, 5);
  EXPECT_EQ(display.labels[ValtLabel::lVerzio], "Törlés");
  EXPECT_EQ(display.phases, (Strings{"Function", "Procedure", "View", "Table"}));
}

TEST_F(UninstallTest, ARefusedDropStopsTheRunWithTheServersError) {
  server.Answer(kCaptured, Rows({"id", "tipus", "nev"},
                                {{I{1}, T("U"), T("ZMP_T1")}, {I{2}, T("U"), T("ZMP_T2")}}));
  server.Fail("drop table ZMP_T1", "Could not drop object 'ZMP_T1' because it is referenced.");
  EXPECT_THROW(RunUninstall(run), db::DatabaseError);
  EXPECT_EQ(server.FindExecuted("drop table ZMP_T2"), nullptr);
  EXPECT_EQ(server.FindExecuted("drop table zmp_obj_fej"), nullptr);
}

}  // namespace
}  // namespace moltaro::engine
