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
constexpr const char* kText =
    "select b.SZOVEG from ZMP_OBJ_SZOVEG b where b.FEJ_ID=:xfej_id order by b.SOR";

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

}  // namespace
}  // namespace moltaro::engine
