#include "engine/script_phase.h"

#include "scripted_run.h"

namespace moltaro::engine {
namespace {

using testing::Rows;
using Strings = std::vector<std::string>;
using I = std::int64_t;

constexpr const char* kScriptHeads =
    "select a.ID, a.HIBA, a.NEV, a.UTASIT from ZMP_OBJ_FEJ a\r\n"
    " where a.VERZIO<>'T' and a.TIPUS=:xTIPUS order by a.SOR";
constexpr const char* kProcedureHeads =
    "select a.ID, a.NEV, a.HIBA, a.UTASIT from ZMP_OBJ_FEJ a \r\n"
    " where a.VERZIO<>'T' and a.TIPUS='P' order by a.SOR";
constexpr const char* kText =
    "select b.SZOVEG from ZMP_OBJ_SZOVEG b where b.FEJ_ID=:xfej_id order by b.SOR";
constexpr const char* kProcedureExists =
    "select NAME from SYSOBJECTS where NAME=:xNAME and TYPE in ('P', 'FN')";

db::Value T(const char* text) {
  return std::string(text);
}

class ScriptRunTest : public testing::ScriptedRunTest {
 protected:
  void Text(I head, Strings chunks) {
    std::vector<std::vector<db::Value>> rows;
    for (const std::string& chunk : chunks) rows.push_back({chunk});
    server.Answer(kText, {head}, Rows({"SZOVEG"}, rows));
  }
};

TEST_F(ScriptRunTest, SendsScriptPiecesThroughTheCommentFilter) {
  server.Answer(kScriptHeads, {T("E")},
                Rows({"ID", "HIBA", "NEV", "UTASIT"}, {{I{1}, T("V"), T("első"), T("N")},
                                                       {I{2}, T("V"), T("második"), T("E")},
                                                       {I{3}, T("V"), T("nyitva"), T("N")},
                                                       {I{4}, T("V"), T("negyedik"), T("N")}}));
  // Chunks join with nothing between them, even inside a statement.
  Text(1, {"\r\n/* régi$$\r\nupdate a set x=1$$\r\nvége */ update b set y=2$$\r\n-- megj$$\r\nupd",
           "ate c set z=3$$\r\n"});
  Text(2, {"\r\nupdate d set w=1$$\r\nupdate e set v=2$$"});
  Text(3, {"\r\n/* sosem zárul$$\r\nupdate f set u=1$$"});
  Text(4, {"\r\nupdate g set t=1"});
  RunScripts(run, "E");
  EXPECT_EQ(server.Executed(), (Strings{"update b set y=2", "update c set z=3",
                                        // Sent whole: the server answers per its own syntax.
                                        "update d set w=1$$\r\nupdate e set v=2$$",
                                        // An unclosed comment does not reach the next script.
                                        "update g set t=1"}));
  EXPECT_EQ(display.labels[ValtLabel::lObj], "negyedik");
}

TEST_F(ScriptRunTest, ABatchBeginningWithALineCommentIsSkippedWhole) {
  server.Answer(kScriptHeads, {T("U")},
                Rows({"ID", "HIBA", "NEV", "UTASIT"}, {{I{1}, T("V"), T("utó"), T("E")}}));
  Text(1, {"\r\n-- leírás\r\nupdate a set x=1"});
  RunScripts(run, "U");
  EXPECT_TRUE(server.Executed().empty());
  EXPECT_EQ(LogLines(), Strings{});
}

TEST_F(ScriptRunTest, ScriptStatementsFailAsTheirHeadSays) {
  server.Answer(kScriptHeads, {T("E")},
                Rows({"ID", "HIBA", "NEV", "UTASIT"},
                     {{I{1}, T("E"), T("tűrt"), T("N")}, {I{2}, T("V"), T("végzetes"), T("N")}}));
  Text(1, {"update x set a=1$$"});
  Text(2, {"update y set a=1$$update z set a=1$$"});
  server.Fail("update x set a=1", "Invalid object name 'x'.");
  server.Fail("update y set a=1", "Invalid object name 'y'.");
  RunScripts(run, "E");
  EXPECT_EQ(server.Executed(),
            (Strings{"update x set a=1", "update y set a=1", "update z set a=1"}));
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(LogLines(),
            (Strings{" HIBA  (elmegy)", " Utasítás : update x set a=1", " Invalid object name 'x'.",
                     " HIBA ", " Utasítás : update y set a=1", " Invalid object name 'y'."}));
}

TEST_F(ScriptRunTest, ProceduresAreSentAsAlterWhenTheyExistAndAsCreateOtherwise) {
  server.Answer(kProcedureHeads,
                Rows({"ID", "NEV", "HIBA", "UTASIT"}, {{I{30}, T("p1"), T("V"), T("N")},
                                                       {I{31}, T("f1"), T("E"), T("N")},
                                                       {I{32}, T("p3"), T("V"), T("N")},
                                                       {I{33}, T("üres"), T("V"), T("N")}}));
  Text(30, {"\r\ncreate procedure zmp_p1\r\nas return 1"});
  Text(31, {"\r\nalter function zmp_f1() returns int as begin return 1 end"});
  Text(32, {"\r\nCreate Procedure zmp_p3 as return 1"});
  server.Answer(kProcedureExists, {T("ZMP_P1")}, Rows({"NAME"}, {{T("zmp_p1")}}));
  run.SetProgressRange(0, 4);

  ReconcileProcedures(run);

  EXPECT_EQ(server.Executed(),
            (Strings{"ALTER PROCEDURE zmp_p1\r\nas return 1",
                     "CREATE FUNCTION zmp_f1() returns int as begin return 1 end"}));
  for (const testing::Sent& sent : server.sent) {
    EXPECT_EQ(sent.connection, sent.sql == kProcedureExists || !sent.query ? "dbCel" : "dbForras")
        << sent.sql;
  }
  EXPECT_EQ(LogLines(), (Strings{"ZMP_P1", "ZMP_F1"}));
  EXPECT_EQ(display.position, 4);
}

}  // namespace
}  // namespace moltaro::engine
