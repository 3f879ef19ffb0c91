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
  EXPECT_THAT(Unsupported("merge top (5) percent into t using s on 1=1 when matched then delete;"),
              HasSubstr("not supported by the embedded server: TOP … PERCENT"));
  EXPECT_THAT(Unsupported("declare @c cursor"), HasSubstr("cursor variables"));
  EXPECT_THAT(Unsupported("select a from t for xml explicit"), HasSubstr("FOR XML EXPLICIT"));
  EXPECT_THAT(Unsupported("select a from t for browse"), HasSubstr("SELECT … FOR"));
}

// An unsupported construct takes only its own statement: the statements
// around it are read as they are, in blocks, branches and routine bodies.
TEST(ParserTest, UnsupportedStatementEndsWhereTheNextBegins) {
  using K = StatementKind;
  EXPECT_EQ(Kinds(ParseBatch(
                "select 1 merge top (1) percent t using s on t.a = s.a when matched then update "
                "set b = 1 when not matched then insert (a) values (s.a); "
                "select 2")),
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
      "while 1 = 1 begin merge top (1) percent t using s on 1 = 1 when matched then delete; "
      "break end select 1");
  ASSERT_EQ(Kinds(inBlock), (std::vector<K>{K::While, K::Select}));
  const auto& loop = static_cast<const WhileStatement&>(*inBlock.statements[0]);
  const auto& body = static_cast<const BlockStatement&>(*loop.body);
  ASSERT_EQ(body.statements.size(), 2u);
  EXPECT_EQ(body.statements[0]->kind, K::Unsupported);
  EXPECT_EQ(body.statements[1]->kind, K::Break);
}

TEST(ParserTest, RoutineWithAnUnsupportedStatementIsStillCreated) {
  Batch b = ParseBatch(
      "create procedure p as begin select 1 merge top (1) percent t using s on 1 = 1 when "
      "matched then delete; select 2 end");
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
  Batch b =
      ParseBatch("merge top (1) percent t using s on t.a = :a when matched then delete; select :b");
  EXPECT_EQ(b.parameterCount, 2);
  const auto& select = static_cast<const SelectStatement&>(*b.statements[1]);
  EXPECT_EQ(select.select->items[0].expr->index, 1);
}

// A MERGE is read whole: its clauses in order, a table value constructor
// as the UNION ALL of its rows named by the alias's column list, and a
// target without an alias does not take USING for one.
TEST(ParserTest, MergeIsReadWithItsClauses) {
  Batch b = ParseBatch(
      "with c as (select 1 as a) merge top (3) into t with (holdlock) as x "
      "using (values (1, 'a'), (2, 'b')) as v (k, n) on x.k = v.k "
      "when matched and x.n <> v.n then update set n = v.n "
      "when not matched by source then delete "
      "when not matched then insert (k, n) values (v.k, default);");
  ASSERT_EQ(Kinds(b), (std::vector<StatementKind>{StatementKind::Merge}));
  const auto& m = static_cast<const MergeStatement&>(*b.statements[0]);
  EXPECT_EQ(m.with.size(), 1u);
  EXPECT_TRUE(m.top);
  EXPECT_EQ(m.target.name, "t");
  EXPECT_EQ(m.targetAlias, "x");
  ASSERT_TRUE(m.source.derived);
  EXPECT_EQ(m.source.alias, "v");
  const Select& first = *m.source.derived;
  ASSERT_EQ(first.items.size(), 2u);
  EXPECT_EQ(first.items[0].alias, "k");
  EXPECT_EQ(first.items[1].alias, "n");
  ASSERT_TRUE(first.unionNext);
  EXPECT_TRUE(first.unionAll);
  EXPECT_FALSE(first.unionNext->unionNext);
  ASSERT_EQ(m.clauses.size(), 3u);
  EXPECT_EQ(m.clauses[0].match, MergeMatch::Matched);
  EXPECT_TRUE(m.clauses[0].condition);
  EXPECT_EQ(m.clauses[0].action, MergeAction::Update);
  EXPECT_EQ(m.clauses[1].match, MergeMatch::NotMatchedBySource);
  EXPECT_EQ(m.clauses[1].action, MergeAction::Delete);
  EXPECT_EQ(m.clauses[2].match, MergeMatch::NotMatchedByTarget);
  EXPECT_EQ(m.clauses[2].columns, (std::vector<std::string>{"k", "n"}));
  EXPECT_EQ(m.clauses[2].values[1]->text, "DEFAULT");
  Batch plain = ParseBatch("merge t using s on t.a = s.a when matched then delete;");
  EXPECT_EQ(static_cast<const MergeStatement&>(*plain.statements[0]).targetAlias, "");
}

// SQL Server's rules of the MERGE syntax fail the batch before it runs.
TEST(ParserTest, MergeRulesFailTheBatch) {
  EXPECT_EQ(ParseError("merge t using s on t.a = s.a when matched then delete select 1"),
            "A MERGE statement must be terminated by a semi-colon (;).");
  EXPECT_EQ(ParseError("merge t using s on t.a = s.a when not matched then delete;"),
            "An action of type 'DELETE' is not allowed in the 'WHEN NOT MATCHED' clause of a "
            "MERGE statement.");
  EXPECT_EQ(ParseError("merge t using s on t.a = s.a when not matched by source then insert "
                       "values (1);"),
            "An action of type 'INSERT' is not allowed in the 'WHEN NOT MATCHED BY SOURCE' "
            "clause of a MERGE statement.");
  EXPECT_EQ(ParseError("merge t using s on t.a = s.a when matched then delete "
                       "when matched and s.b = 1 then update set b = 1;"),
            "In a MERGE statement, a 'WHEN MATCHED' clause with a search condition cannot appear "
            "after a 'WHEN MATCHED' clause with no search condition.");
  EXPECT_EQ(ParseError("merge t using s on t.a = s.a when matched and s.b = 1 then update set "
                       "b = 1 when matched then update set b = 2;"),
            "An action of type 'WHEN MATCHED' cannot appear more than once in a 'UPDATE' clause "
            "of a MERGE statement.");
  EXPECT_EQ(ParseError("merge t using s on t.a = s.a when not matched then insert values (1) "
                       "when not matched by target then insert values (2);"),
            "An action of type 'WHEN NOT MATCHED' cannot appear more than once in a 'INSERT' "
            "clause of a MERGE statement.");
  EXPECT_EQ(ParseError("merge t using s on t.a = s.a when not matched then insert (t.a) "
                       "values (1);"),
            "The insert column list used in the MERGE statement cannot contain multi-part "
            "identifiers. Use single part identifiers instead.");
  EXPECT_EQ(ParseError("merge t using (values (1, 2), (3)) v (a, b) on t.a = v.a when matched "
                       "then delete;"),
            "The number of columns for each row in a table value constructor must be the same.");
  EXPECT_EQ(ParseError("merge t using s on t.a = s.a;"), "Incorrect syntax near ';'.");
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
