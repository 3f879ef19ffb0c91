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

// The message an unsupported statement carries ("" when the batch's only
// statement is not one).
std::string Unsupported(const std::string& sql) {
  Batch b = ParseBatch(sql);
  if (b.statements.size() != 1 || b.statements[0]->kind != StatementKind::Unsupported) return "";
  return static_cast<const UnsupportedStatement&>(*b.statements[0]).message;
}

std::vector<StatementKind> Kinds(const Batch& b) {
  std::vector<StatementKind> kinds;
  for (const StatementPtr& s : b.statements) kinds.push_back(s->kind);
  return kinds;
}

TEST(ParserTest, UnsupportedConstructsSayWhat) {
  EXPECT_THAT(Unsupported("merge into t using s on 1=1 when matched then delete;"),
              HasSubstr("not supported by the embedded server: MERGE"));
  EXPECT_THAT(Unsupported("declare @c cursor"), HasSubstr("cursor variables"));
  EXPECT_THAT(Unsupported("select a from t for xml explicit"), HasSubstr("FOR XML EXPLICIT"));
  EXPECT_THAT(Unsupported("select a from t for browse"), HasSubstr("SELECT … FOR"));
}

// An unsupported construct takes only its own statement: the statements
// around it are read as they are, in blocks, branches and routine bodies.
TEST(ParserTest, UnsupportedStatementEndsWhereTheNextBegins) {
  using K = StatementKind;
  EXPECT_EQ(Kinds(ParseBatch("select 1 merge t using s on t.a = s.a when matched then update "
                             "set b = 1 when not matched then insert (a) values (s.a); select 2")),
            (std::vector<K>{K::Select, K::Unsupported, K::Select}));
  EXPECT_EQ(Kinds(ParseBatch("select a from t group by all a union select b from u "
                             "print 'x'")),
            (std::vector<K>{K::Unsupported, K::Print}));
  EXPECT_EQ(Kinds(ParseBatch("select a from t group by grouping sets ((a)) set @a = 1")),
            (std::vector<K>{K::Unsupported, K::SetVariable}));
  EXPECT_EQ(Kinds(ParseBatch("if 1 = 0 insert t exec p else select 1")), (std::vector<K>{K::If}));
  EXPECT_EQ(Kinds(ParseBatch(
                "if exists (select * from ::fn_x(1)) select 1 else begin select 2 "
                "end while (select top 1 with ties a from t order by a) > 0 delete t select 3")),
            (std::vector<K>{K::Unsupported, K::Unsupported, K::Select}));
  Batch inBlock = ParseBatch(
      "while 1 = 1 begin merge t using s on 1 = 1 when matched then delete; break end select 1");
  ASSERT_EQ(Kinds(inBlock), (std::vector<K>{K::While, K::Select}));
  const auto& loop = static_cast<const WhileStatement&>(*inBlock.statements[0]);
  const auto& body = static_cast<const BlockStatement&>(*loop.body);
  ASSERT_EQ(body.statements.size(), 2u);
  EXPECT_EQ(body.statements[0]->kind, K::Unsupported);
  EXPECT_EQ(body.statements[1]->kind, K::Break);
}

TEST(ParserTest, RoutineWithAnUnsupportedStatementIsStillCreated) {
  Batch b = ParseBatch(
      "create procedure p as begin select 1 merge t using s on 1 = 1 when matched then delete; "
      "select 2 end");
  ASSERT_EQ(Kinds(b), (std::vector<StatementKind>{StatementKind::CreateRoutine}));
  // A routine kind the server does not create takes the rest of the batch.
  EXPECT_EQ(Kinds(ParseBatch("create trigger tr on database for create_table as update t set a = 1 "
                             "select 1")),
            (std::vector<StatementKind>{StatementKind::Unsupported}));
  // A table's trigger is a routine: its body is the rest of the batch.
  EXPECT_EQ(Kinds(ParseBatch("create trigger tr on t after insert as update t set a = 1 "
                             "select 1")),
            (std::vector<StatementKind>{StatementKind::CreateRoutine}));
}

TEST(ParserTest, ParametersOfAnUnsupportedStatementKeepTheirPlaces) {
  Batch b = ParseBatch("merge t using s on t.a = :a when matched then delete; select :b");
  EXPECT_EQ(b.parameterCount, 2);
  const auto& select = static_cast<const SelectStatement&>(*b.statements[1]);
  EXPECT_EQ(select.select->items[0].expr->index, 1);
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
