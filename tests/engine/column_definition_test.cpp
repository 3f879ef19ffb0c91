#include "engine/column_definition.h"

#include <gtest/gtest.h>

#include "engine/index_phase.h"
#include "engine/table_phase.h"

namespace moltaro::engine {
namespace {

TEST(CatalogueTypeText, WritesEveryKnownTypeCode) {
  EXPECT_EQ(CatalogueTypeText(48, 0, 0), "TinyInt");
  EXPECT_EQ(CatalogueTypeText(56, 0, 0), "Int");
  EXPECT_EQ(CatalogueTypeText(61, 0, 0), "DateTime");
  EXPECT_EQ(CatalogueTypeText(106, 12, 2), "Decimal(12,2)");
  EXPECT_EQ(CatalogueTypeText(108, 9, 0), "Numeric(9,0)");
  EXPECT_EQ(CatalogueTypeText(175, 3, 0), "Char(3)");
  EXPECT_EQ(CatalogueTypeText(231, 40, 0), "Nvarchar(40)");
  // varchar is catalogued as nvarchar.
  EXPECT_EQ(CatalogueTypeText(167, 20, 0), "Nvarchar(20)");
  EXPECT_EQ(CatalogueTypeText(35, 16, 0), "");
}

TEST(TargetTypeText, ReadsTheSizeFromTheColumnTheServerKeepsItIn) {
  // nvarchar keeps its length in bytes and its characters in prec.
  EXPECT_EQ(TargetTypeText(231, 40, 20, 0, 0), "Nvarchar(20)");
  EXPECT_EQ(TargetTypeText(167, 20, 20, 0, 0), "Varchar(20)");
  EXPECT_EQ(TargetTypeText(175, 3, 0, 0, 0), "Char(3)");
  EXPECT_EQ(TargetTypeText(106, 9, 0, 12, 2), "Decimal(12,2)");
  EXPECT_EQ(TargetTypeText(108, 5, 0, 9, 0), "Numeric(9,0)");
  EXPECT_EQ(TargetTypeText(56, 4, 10, 10, 0), "Int");
  EXPECT_EQ(TargetTypeText(99, 16, 0, 0, 0), "");
}

TEST(ComposeCatalogueColumn, BuildsNameTypeNullabilityAndDefault) {
  const CatalogueColumn column = ComposeCatalogueColumn(" AR ", "Int", true, " (0) ");
  EXPECT_EQ(column.Full(), "AR Int NOT NULL default (0)");
  EXPECT_EQ(column.definition, "AR Int NOT NULL");
  EXPECT_EQ(ComposeCatalogueColumn("NEV", "Nvarchar(40)", false, "").Full(),
            "NEV Nvarchar(40) NULL");
}

// The comparison of an existing column leaves the default clause out; a
// column whose own name holds "default" must still compare whole.
TEST(ComposeCatalogueColumn, KeepsNamesThatContainTheWordDefault) {
  const CatalogueColumn column = ComposeCatalogueColumn("is_default", "TinyInt", true, "(0)");
  EXPECT_EQ(column.definition, "is_default TinyInt NOT NULL");
}

TEST(CreateTableStatement, UpperCasesTheNameAndEndsColumnLinesWithCommas) {
  const std::vector<CatalogueColumn> columns = {
      ComposeCatalogueColumn("id", "Int", true, "(0)"),
      ComposeCatalogueColumn("nev", "Nvarchar(40)", false, ""),
  };
  EXPECT_EQ(CreateTableStatement("zmp_dolgozo", columns),
            "create table ZMP_DOLGOZO(id Int NOT NULL default (0),\r\n"
            "nev Nvarchar(40) NULL)");
  EXPECT_EQ(CreateTableStatement("zmp_ures", {}), "create table ZMP_URES()");
}

TEST(KeyListText, ListsKeysInOrderWithoutBlanks) {
  EXPECT_EQ(KeyListText({"DOLGOZO_ID", "HONAP"}), "(DOLGOZO_ID,HONAP)");
  EXPECT_EQ(KeyListText({"ID"}), "(ID)");
  EXPECT_EQ(KeyListText({}), ")");
}

}  // namespace
}  // namespace moltaro::engine
