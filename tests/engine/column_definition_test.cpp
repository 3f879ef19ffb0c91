#include "engine/column_definition.h"

#include <gtest/gtest.h>

#include "engine/index_phase.h"

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

TEST(KeyListText, ListsKeysInOrderWithoutBlanks) {
  EXPECT_EQ(KeyListText({"DOLGOZO_ID", "HONAP"}), "(DOLGOZO_ID,HONAP)");
  EXPECT_EQ(KeyListText({"ID"}), "(ID)");
  EXPECT_EQ(KeyListText({}), ")");
}

}  // namespace
}  // namespace moltaro::engine
