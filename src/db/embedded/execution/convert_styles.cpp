#include "db/embedded/execution/convert_styles.h"

#include <sqlite3.h>

#include <optional>

#include "db/embedded/execution/date_functions.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/sql_types.h"
#include "db/embedded/types/temporal.h"

namespace moltaro::db::embedded {

namespace {

std::string SourceName(const SourceValue& in) {
  if (std::holds_alternative<std::int64_t>(in.value)) return "int";
  if (std::holds_alternative<double>(in.value)) return "float";
  if (const auto* d = std::get_if<Decimal>(&in.value)) return std::string(ExactTypeName(*d));
  return in.national ? "nvarchar" : "varchar";
}

// The ISO styles of a date, a time, or a datetime2 finer than datetime:
// their own text (SQL Server writes every fraction digit), with the T of
// styles 126 and 127; nullopt for datetime's own texts and the other styles.
std::optional<std::string> IsoTextOfNewerType(const SourceValue& in, int style) {
  const auto* text = std::get_if<std::string>(&in.value);
  if (!text || (style != 21 && style != 121 && style != 126 && style != 127)) return std::nullopt;
  const auto value = ParseTemporalText(*text);
  if (!value || value->hasOffset) return std::nullopt;
  const std::string_view v = *text;
  const bool dateOnly = v.size() == 10;
  const bool timeOnly = !value->hasDate;
  if (!dateOnly && !timeOnly && value->fractionDigits <= 3) return std::nullopt;
  std::string out(v);
  if (!dateOnly && !timeOnly && (style == 126 || style == 127)) out[10] = 'T';
  return out;
}

// The styled text of a value converted to a character type; nullopt with no
// error when the style leaves the value's own text.
std::optional<std::string> StyledText(const SourceValue& in, int style, bool fromDateTime,
                                      DateOrder order, SqlError& error) {
  if (fromDateTime) {
    if (auto own = IsoTextOfNewerType(in, style)) return own;
    StoredValue date;
    if (!ConvertValue(in, SqlType{BaseType::DateTime, 0, 0, 0}, false, order, date, error)) {
      return std::nullopt;
    }
    auto text = DateTimeStyleText(PartsOfCanonical(std::get<std::string>(date)), style);
    if (!text) error = SqlErrorByNumber(281, {std::to_string(style), "datetime"});
    return text;
  }
  if (const auto* b = std::get_if<Binary>(&in.value)) {
    // Binary: 0 its bytes as characters, 1 hex with 0x, 2 hex without.
    if (style == 1 || style == 2) return BinaryHexText(*b, style == 1);
    return std::nullopt;
  }
  const auto* d = std::get_if<Decimal>(&in.value);
  if (!d || d->kind == ExactKind::Decimal) return std::nullopt;
  // Money: 0 two decimals, 1 two decimals with thousands grouped, 2 four.
  switch (style) {
    case 0:
      return RoundedDecimalText(*d, 2);
    case 1:
      return RoundedDecimalText(*d, 2, ",");
    case 2:
      return RoundedDecimalText(*d, 4);
    default:
      error = SqlErrorByNumber(281, {std::to_string(style), std::string(ExactTypeName(*d))});
      return std::nullopt;
  }
}

// tsql_convert(value, style, how, base, length, precision, scale)
void ConvertFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const int style = sqlite3_value_int(argv[1]);
  const int how = sqlite3_value_int(argv[2]);
  const bool tried = (how & kConvertTry) != 0;
  const SqlType target = TypeFromArguments(argv + 3);
  SourceValue in = ReadArg(argv[0]);
  in.character = (how & kConvertText) != 0;
  const DateOrder order = SessionDates(ctx).order;
  SqlError error;
  auto fail = [&] {
    // A style that does not exist fails even when tried.
    if (tried && error.number != 281 && error.number != 9809) {
      sqlite3_result_null(ctx);
    } else {
      ResultError(ctx, error);
    }
  };
  if (style >= 0 && IsCharacter(target.base)) {
    const bool national = in.national;
    auto text = StyledText(in, style, (how & kConvertFromDateTime) != 0, order, error);
    if (!text && error.number != 0) {
      fail();
      return;
    }
    if (text) in = SourceValue{*text, national, true};
  } else if ((style == 1 || style == 2) && IsBinary(target.base) &&
             std::holds_alternative<std::string>(in.value)) {
    // Hex text: style 1 with its 0x, style 2 without.
    std::string_view hex = std::get<std::string>(in.value);
    const bool prefixed = hex.size() >= 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X');
    auto bytes = prefixed == (style == 1) ? BinaryFromHex(hex.substr(prefixed ? 2 : 0))
                                          : std::optional<Binary>();
    if (!bytes) {
      error = SqlErrorByNumber(8114, {SourceName(in), "varbinary"});
      fail();
      return;
    }
    in.value = std::move(*bytes);
  } else if (style >= 0 && IsDateOrTime(target.base) &&
             std::holds_alternative<std::string>(in.value)) {
    if (!IsDateTimeInputStyle(style)) {
      error = SqlErrorByNumber(
          9809, {std::to_string(style), SourceName(in), std::string(TypeName(target.base))});
      fail();
      return;
    }
    bool outOfRange = false;
    const auto parts = ParseStyledDateTime(std::get<std::string>(in.value), style, outOfRange);
    if (!parts) {
      error = outOfRange ? SqlErrorByNumber(242, {SourceName(in), TypeName(target.base)})
                         : SqlErrorByNumber(241);
      fail();
      return;
    }
    in.value = CanonicalOf(*parts);
  }
  StoredValue out;
  if (!ConvertValue(in, target, false, order, out, error)) {
    fail();
    return;
  }
  ResultValue(ctx, out);
}

}  // namespace

std::optional<std::string> RoundedDecimalText(const Decimal& d, int places,
                                              std::string_view groupSeparator) {
  Decimal rounded;
  if (!RescaleDecimal(d, kMaxPrecision, places, rounded)) return std::nullopt;
  std::string text = DecimalText(rounded);
  if (groupSeparator.empty()) return text;
  const std::size_t start = text[0] == '-' ? 1 : 0;
  std::size_t end = text.find('.');
  if (end == std::string::npos) end = text.size();
  for (std::size_t i = end; i > start + 3; i -= 3) text.insert(i - 3, groupSeparator);
  return text;
}

void RegisterConvertFunctions(sqlite3* db, const SqliteDb* connection) {
  RegisterScalar(db, "tsql_convert", 7, ConvertFn, true, connection);
}

}  // namespace moltaro::db::embedded
