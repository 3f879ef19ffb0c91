// How result columns of each SQL type are read.
#include <gtest/gtest.h>

#include "db/odbc/result_reader.h"

namespace moltaro::db::odbc {
namespace {

TEST(ColumnKind, WholeNumbersReadAsIntegers) {
  for (const SQLSMALLINT type : {SQL_BIT, SQL_TINYINT, SQL_SMALLINT, SQL_INTEGER, SQL_BIGINT}) {
    EXPECT_EQ(ColumnKindOf(type, 10, 0), ColumnKind::Integer) << type;
  }
  // numeric(18,0) identifiers must read back as "1234", not "1234.0".
  EXPECT_EQ(ColumnKindOf(SQL_NUMERIC, 18, 0), ColumnKind::Integer);
  EXPECT_EQ(ColumnKindOf(SQL_DECIMAL, 9, 0), ColumnKind::Integer);
}

TEST(ColumnKind, FractionsAndWideDecimalsReadExactlyApproximateOnesAsFloatingPoint) {
  // Through a double, numeric(10,2) 2.50 read "2.5" and 38 digits lost 21.
  EXPECT_EQ(ColumnKindOf(SQL_DECIMAL, 19, 4), ColumnKind::Exact);  // money
  EXPECT_EQ(ColumnKindOf(SQL_NUMERIC, 10, 2), ColumnKind::Exact);
  EXPECT_EQ(ColumnKindOf(SQL_NUMERIC, 38, 0), ColumnKind::Exact);  // beyond 64 bits
  EXPECT_EQ(ColumnKindOf(SQL_NUMERIC, 19, 0), ColumnKind::Exact);
  EXPECT_EQ(ColumnKindOf(SQL_FLOAT, 53, 0), ColumnKind::Real);
  EXPECT_EQ(ColumnKindOf(SQL_REAL, 24, 0), ColumnKind::Real);
}

TEST(ExactText, WritesTheScaleAndTheZeroBeforeThePoint) {
  EXPECT_EQ(ExactText("2.5", 2), "2.50");
  EXPECT_EQ(ExactText(".50", 2), "0.50");
  EXPECT_EQ(ExactText("-.5000", 4), "-0.5000");
  EXPECT_EQ(ExactText("32.38", 4), "32.3800");  // money
  EXPECT_EQ(ExactText("7", 3), "7.000");
  EXPECT_EQ(ExactText("1234.", 0), "1234");
  EXPECT_EQ(ExactText(" +0012.1 ", 1), "12.1");
}

TEST(ExactText, KeepsEveryDigitAndLeavesOtherTextAlone) {
  EXPECT_EQ(ExactText("12345678901234567890123456.789012345678", 12),
            "12345678901234567890123456.789012345678");
  EXPECT_EQ(ExactText("-99999999999999999999999999999999999999", 0),
            "-99999999999999999999999999999999999999");
  // More digits than the scale come from a driver that does not round: kept.
  EXPECT_EQ(ExactText("2.675", 2), "2.675");
  EXPECT_EQ(ExactText("1.0e+20", 2), "1.0e+20");
  EXPECT_EQ(ExactText("", 2), "");
  EXPECT_EQ(ExactText("-", 2), "-");
  EXPECT_EQ(ExactText("1.2.3", 2), "1.2.3");
}

TEST(ColumnKind, TextsDatesAndEverythingElseReadAsText) {
  for (const SQLSMALLINT type :
       {SQL_VARCHAR, SQL_WVARCHAR, SQL_WLONGVARCHAR, SQL_TYPE_TIMESTAMP, SQL_GUID, SQL_CHAR}) {
    EXPECT_EQ(ColumnKindOf(type, 10, 0), ColumnKind::Text) << type;
  }
}

}  // namespace
}  // namespace moltaro::db::odbc
