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

TEST(ColumnKind, FractionsAndWideDecimalsReadAsFloatingPoint) {
  EXPECT_EQ(ColumnKindOf(SQL_DECIMAL, 19, 4), ColumnKind::Real);  // money
  EXPECT_EQ(ColumnKindOf(SQL_NUMERIC, 38, 0), ColumnKind::Real);  // beyond 64 bits
  EXPECT_EQ(ColumnKindOf(SQL_FLOAT, 53, 0), ColumnKind::Real);
  EXPECT_EQ(ColumnKindOf(SQL_REAL, 24, 0), ColumnKind::Real);
}

TEST(ColumnKind, TextsDatesAndEverythingElseReadAsText) {
  for (const SQLSMALLINT type :
       {SQL_VARCHAR, SQL_WVARCHAR, SQL_WLONGVARCHAR, SQL_TYPE_TIMESTAMP, SQL_GUID, SQL_CHAR}) {
    EXPECT_EQ(ColumnKindOf(type, 10, 0), ColumnKind::Text) << type;
  }
}

}  // namespace
}  // namespace moltaro::db::odbc
