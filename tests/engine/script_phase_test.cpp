#include "engine/script_phase.h"

#include <gtest/gtest.h>

namespace moltaro::engine {
namespace {

using Pieces = std::vector<std::string>;

TEST(SplitScript, SplitsAtSeparatorsTakingTheirLineBreaks) {
  EXPECT_EQ(SplitScript("\r\nupdate a set x=1$$\r\nupdate b set y=2$$"),
            (Pieces{"\r\nupdate a set x=1", "update b set y=2"}));
  EXPECT_EQ(SplitScript("select 1$$select 2"), (Pieces{"select 1", "select 2"}));
  EXPECT_EQ(SplitScript("select 1"), (Pieces{"select 1"}));
}

TEST(SplitScript, ConsecutiveSeparatorsGiveAnEmptyPiece) {
  EXPECT_EQ(SplitScript("a$$$$b$$"), (Pieces{"a", "", "b"}));
}

TEST(SplitScript, ATrailingSeparatorAddsNoPieceOfItsOwn) {
  EXPECT_TRUE(SplitScript("").empty());
  EXPECT_EQ(SplitScript("a$$"), (Pieces{"a"}));
  EXPECT_EQ(SplitScript("$$"), (Pieces{""}));
  // The first "$$" of "$$$" ends an empty piece.
  EXPECT_EQ(SplitScript("x$$$"), (Pieces{"x", ""}));
}

TEST(FilterScriptPiece, SkipsLineComments) {
  bool inComment = false;
  EXPECT_FALSE(FilterScriptPiece("\r\n-- megjegyzes\r\nupdate a set x=1", inComment));
  EXPECT_FALSE(FilterScriptPiece("  // megjegyzes", inComment));
  EXPECT_EQ(FilterScriptPiece("update a set x=1", inComment), "update a set x=1");
}

TEST(FilterScriptPiece, EitherClosingMarkEndsEitherComment) {
  bool inComment = false;
  EXPECT_EQ(FilterScriptPiece("{ régi */select 1", inComment), "select 1");
  EXPECT_EQ(FilterScriptPiece("/* régi }select 2", inComment), "select 2");
  // A closed comment alone leaves an empty statement to send.
  EXPECT_EQ(FilterScriptPiece("/* csak megjegyzés */", inComment), "");
}

TEST(PrepareProcedureText, CutsTheNameAtBlankParenthesisOrLineEnd) {
  EXPECT_EQ(PrepareProcedureText("create function zmp_f1(@x int) returns int").name, "ZMP_F1");
  EXPECT_EQ(PrepareProcedureText("create procedure  zmp_p2\r\nas select 1").name, "ZMP_P2");
  EXPECT_EQ(PrepareProcedureText("create procedure dbo.zmp_p3 as select 1").name, "DBO.ZMP_P3");
}

TEST(PrepareProcedureText, ReplacesKeywordsEverywhereInTheText) {
  // A lower-case create inside the body is turned into ALTER as well.
  const ProcedureText p = PrepareProcedureText("create procedure p as create table #t (a int)");
  EXPECT_EQ(ProcedureStatement(p.text, true), "ALTER PROCEDURE p as ALTER table #t (a int)");
}

TEST(PrepareProcedureText, MixedCaseKeywordsAreLeftAlone) {
  EXPECT_FALSE(PrepareProcedureText("Create Procedure p as select 1").defines);
  const ProcedureText p = PrepareProcedureText("Create procedure p as select 1");
  EXPECT_TRUE(p.defines);
  EXPECT_EQ(ProcedureStatement(p.text, true), "Create PROCEDURE p as select 1");
}

}  // namespace
}  // namespace moltaro::engine
