#include "engine/plan_step.h"

#include <gtest/gtest.h>

namespace moltaro::engine {
namespace {

TEST(PlanStep, KindsOfTheEnginesStatements) {
  const std::string tables(kPlanTables);
  EXPECT_EQ(StatementKind(tables, "alter table ZMP_AR add MEGJ_qxq Nvarchar(20) NULL"),
            "add temporary column");
  EXPECT_EQ(StatementKind(tables, "alter table ZMP_AR add MEGJ Nvarchar(20) NULL default ('x')"),
            "add column");
  EXPECT_EQ(StatementKind(tables, "alter table ZMP_AR add constraint DF_X default (5) for AR"),
            "create default");
  EXPECT_EQ(StatementKind(tables, "alter table ZMP_AR drop constraint DF_X"), "drop default");
  EXPECT_EQ(StatementKind(tables, "alter table ZMP_AR drop column MEGJ_qxq"),
            "drop temporary column");
  EXPECT_EQ(StatementKind(tables, "alter table ZMP_AR drop column MEGJ"), "drop column");
  EXPECT_EQ(StatementKind(tables, "update ZMP_AR set MEGJ_qxq=MEGJ"),
            "keep values in temporary column");
  EXPECT_EQ(StatementKind(tables, "update ZMP_AR set MEGJ=MEGJ_qxq where MEGJ_qxq is not null"),
            "copy values");
  EXPECT_EQ(StatementKind(kPlanIndexes, "create unique clustered index I on T (A,B)"),
            "create index");
  EXPECT_EQ(StatementKind(kPlanProcedures, "ALTER FUNCTION ZMP_F (@a int) returns int"),
            "alter function");
  // A script's statement is the script's, whatever it says.
  EXPECT_EQ(StatementKind(kPlanPreScripts, "create table X (a int)"), "script statement");
  EXPECT_EQ(PlanPhase("", "insert into ZMP_OBJ_FEJ (id) values (:x)"), kPlanCatalogue);
  EXPECT_EQ(PlanPhase("", "insert into zmp_obj_ver (szam, datum)"), kPlanVersion);
  EXPECT_EQ(PlanPhase("Tábla", "alter table T add C Int NULL"), kPlanTables);
}

TEST(PlanStep, TheColumnAStatementWorksOn) {
  // A table whose name holds the verb does not mislead it.
  const auto altered = ColumnOf("alter table ZMP_ALTER alter column ALTERED Nvarchar(4) NOT NULL");
  ASSERT_TRUE(altered);
  EXPECT_EQ(altered->table, "ZMP_ALTER");
  EXPECT_EQ(altered->column, "ALTERED");
  EXPECT_EQ(altered->definition, "Nvarchar(4) NOT NULL");
  const auto copied = ColumnOf("update T set C=C_qxq where C_qxq is not null");
  ASSERT_TRUE(copied);
  EXPECT_EQ(copied->column, "C");
  EXPECT_EQ(copied->source, "C_qxq");
  EXPECT_FALSE(ColumnOf("alter table T add constraint D default (1) for C"));
  EXPECT_FALSE(ColumnOf("drop index T.I"));
}

TEST(PlanStep, WhichTypeChangesRewriteOrCanFail) {
  EXPECT_FALSE(CompareTypes("Nvarchar(20)", "Nvarchar(60)").rewrites);
  EXPECT_TRUE(CompareTypes("Nvarchar(20)", "Nvarchar(60)").risk.empty());
  EXPECT_TRUE(CompareTypes("Varchar(20)", "Nvarchar(20)").risk.empty());
  EXPECT_NE(CompareTypes("Nvarchar(20)", "Nvarchar(4)").risk.find("narrows"), std::string::npos);
  EXPECT_TRUE(CompareTypes("Char(6)", "Char(8)").rewrites) << "padded to the new length";
  // Fewer decimals round; fewer whole digits can refuse a value.
  EXPECT_TRUE(CompareTypes("Numeric(12,2)", "Numeric(12,0)").risk.empty());
  EXPECT_TRUE(CompareTypes("Numeric(12,2)", "Numeric(12,0)").rewrites);
  EXPECT_FALSE(CompareTypes("Numeric(12,2)", "Numeric(8,2)").risk.empty());
  EXPECT_FALSE(CompareTypes("Int", "Numeric(12,2)").risk.empty());
  EXPECT_FALSE(CompareTypes("Int", "Int").rewrites);
}

}  // namespace
}  // namespace moltaro::engine
