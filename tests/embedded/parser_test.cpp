// The parser refuses what it does not know, never guesses.
#include <gmock/gmock.h>

#include "db/embedded/parser/tsql_parser.h"
#include "db/errors.h"

namespace moltaro::db::embedded {
namespace {

using ::testing::HasSubstr;

std::string ParseError(const std::string& sql) {
  try {
    ParseBatch(sql);
  } catch (const DatabaseError& e) {
    return e.what();
  }
  return "";
}

TEST(ParserTest, SyntaxErrorsNameTheToken) {
  EXPECT_EQ(ParseError("select * form t"), "Incorrect syntax near 'form'.");
  EXPECT_EQ(ParseError("create table x ()"), "Incorrect syntax near ')'.");
  EXPECT_EQ(ParseError("insert into t values (1"), "Incorrect syntax near '1'.");
  EXPECT_THAT(ParseError("select 'abc"), HasSubstr("Unclosed quotation mark"));
  EXPECT_EQ(ParseError("create table t (a int references u(a) on delete restrict)"),
            "Incorrect syntax near 'restrict'.");
}

TEST(ParserTest, UnsupportedConstructsSayWhat) {
  EXPECT_THAT(ParseError("merge into t using s on 1=1"),
              HasSubstr("not supported by the embedded server: MERGE"));
  EXPECT_THAT(ParseError("select a from t for xml auto"), HasSubstr("SELECT … FOR"));
  EXPECT_THAT(ParseError("declare @c cursor"), HasSubstr("cursor variables"));
}

TEST(ParserTest, DeepNestingIsRefusedNotCrashed) {
  std::string deep = "select ";
  for (int i = 0; i < 10000; ++i) deep += "(";
  deep += "1";
  for (int i = 0; i < 10000; ++i) deep += ")";
  EXPECT_THAT(ParseError(deep), HasSubstr("nested too deeply"));
}

TEST(ParserTest, ParametersAreNumberedInOrderOfAppearance) {
  Batch b = ParseBatch("update t set a = :x where b = :y and c = ':z' -- :w");
  EXPECT_EQ(b.parameterCount, 2);
}

TEST(ParserTest, DefaultTextKeepsOrAddsOuterParentheses) {
  Batch b = ParseBatch(
      "create table t (a int default (0), b nvarchar(1) default '_', c int default (1)+(2))");
  const auto& t = static_cast<const CreateTableStatement&>(*b.statements[0]);
  EXPECT_EQ(t.columns[0].defaultText, "(0)");
  EXPECT_EQ(t.columns[1].defaultText, "('_')");
  EXPECT_EQ(t.columns[2].defaultText, "((1)+(2))");
}

}  // namespace
}  // namespace moltaro::db::embedded
