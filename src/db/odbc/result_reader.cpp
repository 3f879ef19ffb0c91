#include "db/odbc/result_reader.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "db/odbc/diagnostics.h"
#include "db/odbc/utf16.h"

namespace moltaro::db::odbc {

namespace {

constexpr SQLLEN kUnit = sizeof(SQLWCHAR);
constexpr SQLULEN kMaxExactDigits = 18;

struct Column {
  std::string name;
  ColumnKind kind;
};

Column DescribeColumn(const Handle& statement, SQLUSMALLINT index) {
  std::u16string name(256, u'\0');
  SQLSMALLINT nameLength = 0;
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  SQLSMALLINT scale = 0;
  SQLSMALLINT nullable = 0;
  for (;;) {
    const SQLRETURN rc = SQLDescribeColW(
        statement.Get(), index, reinterpret_cast<SQLWCHAR*>(name.data()),
        static_cast<SQLSMALLINT>(name.size()), &nameLength, &type, &size, &scale, &nullable);
    Check(rc, statement, "Describing result column " + std::to_string(index));
    if (nameLength < static_cast<SQLSMALLINT>(name.size())) break;
    name.resize(static_cast<std::size_t>(nameLength) + 1);
  }
  name.resize(static_cast<std::size_t>(std::max<SQLSMALLINT>(nameLength, 0)));
  return {ToUtf8(name), ColumnKindOf(type, size, scale)};
}

Value ReadInteger(const Handle& statement, SQLUSMALLINT index) {
  std::int64_t value = 0;
  SQLLEN indicator = 0;
  Check(SQLGetData(statement.Get(), index, SQL_C_SBIGINT, &value, sizeof(value), &indicator),
        statement, "Reading result column " + std::to_string(index));
  if (indicator == SQL_NULL_DATA) return Null();
  return value;
}

Value ReadReal(const Handle& statement, SQLUSMALLINT index) {
  double value = 0;
  SQLLEN indicator = 0;
  Check(SQLGetData(statement.Get(), index, SQL_C_DOUBLE, &value, sizeof(value), &indicator),
        statement, "Reading result column " + std::to_string(index));
  if (indicator == SQL_NULL_DATA) return Null();
  return value;
}

// Long texts arrive in pieces: each call fills the buffer and says how much
// is left (or that it cannot tell), until the last piece fits.
Value ReadText(const Handle& statement, SQLUSMALLINT index) {
  std::array<SQLWCHAR, 4096> buffer{};
  constexpr SQLLEN kRoom = static_cast<SQLLEN>(buffer.size() - 1) * kUnit;
  std::u16string text;
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement.Get(), index, SQL_C_WCHAR, buffer.data(),
                                    static_cast<SQLLEN>(buffer.size()) * kUnit, &indicator);
    if (rc == SQL_NO_DATA) break;
    Check(rc, statement, "Reading result column " + std::to_string(index));
    if (indicator == SQL_NULL_DATA) return Null();
    const bool complete = indicator != SQL_NO_TOTAL && indicator <= kRoom;
    const SQLLEN bytes = complete ? indicator : kRoom;
    const auto* units = reinterpret_cast<const char16_t*>(buffer.data());
    text.append(units, static_cast<std::size_t>(bytes / kUnit));
    if (complete) break;
  }
  return ToUtf8(text);
}

Value ReadValue(const Handle& statement, SQLUSMALLINT index, ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Integer:
      return ReadInteger(statement, index);
    case ColumnKind::Real:
      return ReadReal(statement, index);
    case ColumnKind::Text:
      break;
  }
  return ReadText(statement, index);
}

}  // namespace

ColumnKind ColumnKindOf(SQLSMALLINT sqlType, SQLULEN precision, SQLSMALLINT scale) {
  switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return ColumnKind::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return ColumnKind::Real;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return scale == 0 && precision <= kMaxExactDigits ? ColumnKind::Integer : ColumnKind::Real;
    default:
      return ColumnKind::Text;
  }
}

ResultSet ReadResultSet(const Handle& statement) {
  SQLSMALLINT count = 0;
  Check(SQLNumResultCols(statement.Get(), &count), statement, "Counting result columns");
  std::vector<Column> columns;
  std::vector<std::string> names;
  for (SQLSMALLINT i = 1; i <= count; ++i) {
    columns.push_back(DescribeColumn(statement, static_cast<SQLUSMALLINT>(i)));
    names.push_back(columns.back().name);
  }
  std::vector<std::vector<Value>> rows;
  for (;;) {
    const SQLRETURN rc = SQLFetch(statement.Get());
    if (rc == SQL_NO_DATA) break;
    Check(rc, statement, "Fetching a row");
    std::vector<Value> row;
    row.reserve(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
      row.push_back(ReadValue(statement, static_cast<SQLUSMALLINT>(c + 1), columns[c].kind));
    }
    rows.push_back(std::move(row));
  }
  return ResultSet(std::move(names), std::move(rows));
}

}  // namespace moltaro::db::odbc
