#include "db/odbc/parameter_buffers.h"

#include <algorithm>
#include <variant>

#include "db/odbc/diagnostics.h"
#include "db/odbc/utf16.h"

namespace moltaro::db::odbc {

namespace {

constexpr SQLLEN kUnit = sizeof(SQLWCHAR);
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is UTF-16");

SQLSMALLINT IoType(ParameterDirection direction) {
  switch (direction) {
    case ParameterDirection::Input:
      return SQL_PARAM_INPUT;
    case ParameterDirection::InputOutput:
      return SQL_PARAM_INPUT_OUTPUT;
    case ParameterDirection::Output:
    case ParameterDirection::ReturnValue:
      return SQL_PARAM_OUTPUT;
  }
  return SQL_PARAM_INPUT;
}

void SetText(BoundParameter& p, const std::u16string& text, bool returnsValue) {
  p.cType = SQL_C_WCHAR;
  const std::size_t length = text.size();
  p.sqlType = length > kMaxShortText ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
  p.columnSize = std::max<std::size_t>(length, 1);
  p.text = text;
  if (returnsValue) {
    // Room for whatever the procedure hands back, up to a full nvarchar(4000).
    p.columnSize = std::max<std::size_t>(length, kMaxShortText);
    p.text.resize(p.columnSize + 1, u'\0');
  } else {
    p.text.push_back(u'\0');
  }
  p.indicator = static_cast<SQLLEN>(length) * kUnit;
}

}  // namespace

SQLPOINTER BoundParameter::Data() {
  switch (cType) {
    case SQL_C_SBIGINT:
      return &integer;
    case SQL_C_DOUBLE:
      return &real;
    default:
      return text.data();
  }
}

SQLLEN BoundParameter::BufferLength() const {
  switch (cType) {
    case SQL_C_SBIGINT:
      return sizeof(integer);
    case SQL_C_DOUBLE:
      return sizeof(real);
    default:
      return static_cast<SQLLEN>(text.size()) * kUnit;
  }
}

BoundParameter MakeBoundParameter(const Value& value, ParameterDirection direction) {
  BoundParameter p;
  p.ioType = IoType(direction);
  const bool returnsValue = direction != ParameterDirection::Input;
  if (direction == ParameterDirection::ReturnValue) {
    p.cType = SQL_C_SBIGINT;
    p.sqlType = SQL_INTEGER;
    p.columnSize = 10;
    p.indicator = 0;
    return p;
  }
  if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    p.cType = SQL_C_SBIGINT;
    p.sqlType = SQL_BIGINT;
    p.columnSize = 19;
    p.integer = *integer;
    p.indicator = 0;
  } else if (const auto* real = std::get_if<double>(&value)) {
    p.cType = SQL_C_DOUBLE;
    p.sqlType = SQL_DOUBLE;
    p.columnSize = 15;
    p.real = *real;
    p.indicator = 0;
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    SetText(p, ToUtf16(*text), returnsValue);
  } else {
    SetText(p, u"", returnsValue);
    p.indicator = SQL_NULL_DATA;
  }
  return p;
}

Value ReadBoundParameter(const BoundParameter& p) {
  if (p.indicator == SQL_NULL_DATA) return Null();
  switch (p.cType) {
    case SQL_C_SBIGINT:
      return p.integer;
    case SQL_C_DOUBLE:
      return p.real;
    default: {
      const std::size_t room = p.text.empty() ? 0 : p.text.size() - 1;
      const std::size_t units =
          p.indicator == SQL_NO_TOTAL
              ? std::char_traits<char16_t>::length(p.text.c_str())
              : std::min(room, static_cast<std::size_t>(std::max<SQLLEN>(p.indicator, 0) / kUnit));
      return ToUtf8(std::u16string_view(p.text.data(), units));
    }
  }
}

void ParameterBuffers::Add(const Value& value, ParameterDirection direction) {
  parameters_.push_back(std::make_unique<BoundParameter>(MakeBoundParameter(value, direction)));
}

void ParameterBuffers::BindAll(const Handle& statement) {
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    BoundParameter& p = *parameters_[i];
    const SQLRETURN rc =
        SQLBindParameter(statement.Get(), static_cast<SQLUSMALLINT>(i + 1), p.ioType, p.cType,
                         p.sqlType, p.columnSize, 0, p.Data(), p.BufferLength(), &p.indicator);
    Check(rc, statement, "Binding parameter " + std::to_string(i + 1));
  }
}

}  // namespace moltaro::db::odbc
