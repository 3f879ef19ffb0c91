#include "db/odbc/result_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "db/odbc/diagnostics.h"
#include "db/odbc/utf16.h"

namespace moltaro::db::odbc {

namespace {

constexpr SQLLEN kUnit = sizeof(SQLWCHAR);
// Every number of 18 digits fits 64 bits.
constexpr SQLULEN kMaxWholeDigits = 18;

struct Column {
  std::string name;
  ColumnKind kind;
  int scale = 0;
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
  return {ToUtf8(name), ColumnKindOf(type, size, scale), std::max<int>(scale, 0)};
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

// As text, never through a double: a numeric(38,10) keeps all its digits.
Value ReadExact(const Handle& statement, SQLUSMALLINT index, int scale) {
  Value text = ReadText(statement, index);
  if (IsNull(text)) return text;
  return ExactText(std::get<std::string>(text), scale);
}

Value ReadValue(const Handle& statement, SQLUSMALLINT index, const Column& column) {
  switch (column.kind) {
    case ColumnKind::Integer:
      return ReadInteger(statement, index);
    case ColumnKind::Real:
      return ReadReal(statement, index);
    case ColumnKind::Exact:
      return ReadExact(statement, index, column.scale);
    case ColumnKind::Text:
      break;
  }
  return ReadText(statement, index);
}

bool IsDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
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
      return scale == 0 && precision <= kMaxWholeDigits ? ColumnKind::Integer : ColumnKind::Exact;
    default:
      return ColumnKind::Text;
  }
}

std::string ExactText(std::string_view driverText, int scale) {
  const std::string_view blanks = " \t";
  std::string_view t = driverText;
  t.remove_prefix(std::min(t.size(), t.find_first_not_of(blanks)));
  t = t.substr(0, t.find_last_not_of(blanks) + 1);
  std::string sign;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    if (t.front() == '-') sign = "-";
    t.remove_prefix(1);
  }
  const std::size_t point = t.find('.');
  std::string_view whole = t.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? "" : t.substr(point + 1);
  if ((whole.empty() && fraction.empty()) || !IsDigits(whole) || !IsDigits(fraction)) {
    return std::string(driverText);
  }
  while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
  std::string out = sign + (whole.empty() ? "0" : std::string(whole));
  if (scale > 0 || !fraction.empty()) {
    out += '.';
    out += fraction;
    if (fraction.size() < static_cast<std::size_t>(scale)) {
      out.append(static_cast<std::size_t>(scale) - fraction.size(), '0');
    }
  }
  return out;
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
      row.push_back(ReadValue(statement, static_cast<SQLUSMALLINT>(c + 1), columns[c]));
    }
    rows.push_back(std::move(row));
  }
  return ResultSet(std::move(names), std::move(rows));
}

}  // namespace moltaro::db::odbc
