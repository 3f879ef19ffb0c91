#include "db/embedded/execution/sql_functions.h"

#include "db/embedded/types/sql_types.h"

#include <sqlite3.h>
#include <unicode/ucasemap.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <optional>

#include "common/text.h"
#include "common/utf8.h"
#include "db/embedded/execution/convert_styles.h"
#include "db/embedded/execution/date_construction.h"
#include "db/embedded/execution/date_functions.h"
#include "db/embedded/execution/format_function.h"
#include "db/embedded/execution/math_functions.h"
#include "db/embedded/execution/name_functions.h"
#include "db/embedded/execution/number_functions.h"
#include "db/embedded/execution/string_functions.h"
#include "db/embedded/execution/string_split.h"
#include "db/embedded/execution/xml_functions.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/collation.h"
#include "db/embedded/types/variant.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// tsql_store(value, base, length, precision, scale, flags, column, table)
void StoreFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  SourceValue in = ReadArg(argv[0]);
  const int flags = sqlite3_value_int(argv[5]);
  in.character = (flags & kStoreText) != 0;
  if (std::holds_alternative<std::monostate>(in.value)) {
    if (flags & kStoreNotNull) {
      const char* statement = (flags & kStoreAlter)    ? "ALTER TABLE"
                              : (flags & kStoreUpdate) ? "UPDATE"
                                                       : "INSERT";
      ResultError(ctx, SqlErrorByNumber(515, {ArgText(argv[6]), ArgText(argv[7]), statement}));
      return;
    }
    sqlite3_result_null(ctx);
    return;
  }
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, TypeFromArguments(argv + 1), true, SessionDates(ctx).order, out, error)) {
    ResultError(ctx, error);
    return;
  }
  ResultValue(ctx, out);
}

// tsql_rowversion(counter): the timestamp value a row takes from the
// database's counter (moltaro_dbts), kept by the timestamp column's triggers.
void RowversionFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  ResultValue(ctx, RowversionBinary(sqlite3_value_int64(argv[0])));
}

// tsql_variant(value, base, length, precision, scale): the value as a
// sql_variant of that base type (base -1: of the type its value shows).
void VariantFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::optional<SqlType> type;
  if (sqlite3_value_int(argv[1]) >= 0) type = TypeFromArguments(argv + 1);
  StoredValue out;
  SqlError error;
  try {
    if (!ToVariant(ReadArg(argv[0]), type, out, error)) return ResultError(ctx, error);
  } catch (const std::exception& e) {
    return ResultError(ctx, SqlError{0, e.what()});
  }
  ResultValue(ctx, out);
}

// tsql_variant_of(text): a sql_variant variable's value, passed to the
// statement as the 0x… text of its stored form.
void VariantOfFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const std::string text = ArgText(argv[0]);
  VariantPtr variant;
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT || text.size() < 2) {
    return sqlite3_result_null(ctx);
  }
  const auto bytes = BinaryFromHex(std::string_view(text).substr(2));
  if (!bytes || !DecodeVariant(reinterpret_cast<const unsigned char*>(bytes->bytes.data()),
                               bytes->bytes.size(), variant)) {
    return sqlite3_result_null(ctx);
  }
  ResultValue(ctx, variant);
}

// tsql_variant_property(value, property, collation): SQL_VARIANT_PROPERTY.
void VariantPropertyFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SourceValue in = ReadArg(argv[0]);
  const auto* variant = std::get_if<VariantPtr>(&in.value);
  if (!variant || sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  StoredValue out;
  SqlError error;
  if (!VariantProperty(**variant, ArgText(argv[1]), ArgText(argv[2]), out, error)) {
    return ResultError(ctx, error);
  }
  ResultValue(ctx, out);
}

// tsql_cast(value, base, length, precision, scale); tsql_cast_text for a
// value that is character data (SourceValue::character).
void Cast(sqlite3_context* ctx, sqlite3_value** argv, bool character) {
  // Integers into integer types are most of the calls (arguments and
  // results of user functions taken into a statement): no conversion to make.
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
    const sqlite3_int64 v = sqlite3_value_int64(argv[0]);
    const auto base = static_cast<BaseType>(sqlite3_value_int(argv[1]));
    const bool fits = base == BaseType::BigInt ||
                      (base == BaseType::Int && v >= INT32_MIN && v <= INT32_MAX) ||
                      (base == BaseType::SmallInt && v >= INT16_MIN && v <= INT16_MAX) ||
                      (base == BaseType::TinyInt && v >= 0 && v <= UINT8_MAX);
    if (fits) {
      sqlite3_result_int64(ctx, v);
      return;
    }
  }
  SourceValue in = ReadArg(argv[0]);
  in.character = character;
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, TypeFromArguments(argv + 1), false, SessionDates(ctx).order, out, error)) {
    ResultError(ctx, error);
    return;
  }
  ResultValue(ctx, out);
}

void CastFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Cast(ctx, argv, false);
}

void CastTextFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Cast(ctx, argv, true);
}

void GetDateFn(sqlite3_context* ctx, int, sqlite3_value**) {
  ResultText(ctx, NowCanonical());
}

std::string RightTrimBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void LenFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_int64(ctx, static_cast<long long>(Utf8Length(RightTrimBlanks(ArgText(argv[0])))));
}

// Bytes of text in UTF-16, as nchar, nvarchar and ntext keep it.
long long Utf16Bytes(const std::string& text) {
  long long units = 0;
  for (std::size_t i = 0; i < text.size();) units += DecodeUtf8(text, i) > 0xFFFF ? 2 : 1;
  return units * 2;
}

// tsql_datalength(x [, national]): text takes one byte a character in char,
// varchar and text (a single-byte code page), UTF-16 in the national types
// and where the type is not known.
void DataLengthFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL) {
    sqlite3_result_null(ctx);
  } else if (t == SQLITE_INTEGER) {
    sqlite3_result_int(ctx, 4);
  } else if (t == SQLITE_FLOAT) {
    sqlite3_result_int(ctx, 8);
  } else if (const SourceValue in = ReadArg(argv[0]); std::holds_alternative<Decimal>(in.value)) {
    const Decimal& d = std::get<Decimal>(in.value);
    const int p = d.precision;
    sqlite3_result_int(ctx, d.kind == ExactKind::Money        ? 8
                            : d.kind == ExactKind::SmallMoney ? 4
                            : p <= 9                          ? 5
                            : p <= 19                         ? 9
                            : p <= 28                         ? 13
                                                              : 17);
  } else if (const auto* b = std::get_if<Binary>(&in.value)) {
    sqlite3_result_int64(ctx, static_cast<long long>(b->bytes.size()));
  } else if (argc > 1 && sqlite3_value_int(argv[1]) == 0) {
    sqlite3_result_int64(ctx, static_cast<long long>(Utf8Length(ArgText(argv[0]))));
  } else {
    sqlite3_result_int64(ctx, Utf16Bytes(ArgText(argv[0])));
  }
}

void CaseMapFn(sqlite3_context* ctx, sqlite3_value** argv, bool upper) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string in = ArgText(argv[0]);
  UErrorCode status = U_ZERO_ERROR;
  UCaseMap* map = ucasemap_open("hu", 0, &status);
  std::string out(in.size() * 3 + 4, '\0');
  int32_t n = upper ? ucasemap_utf8ToUpper(map, out.data(), static_cast<int32_t>(out.size()),
                                           in.data(), static_cast<int32_t>(in.size()), &status)
                    : ucasemap_utf8ToLower(map, out.data(), static_cast<int32_t>(out.size()),
                                           in.data(), static_cast<int32_t>(in.size()), &status);
  ucasemap_close(map);
  if (U_FAILURE(status)) {
    ResultText(ctx, upper ? ToUpperAscii(in) : ToLowerAscii(in));
    return;
  }
  out.resize(static_cast<std::size_t>(n));
  ResultText(ctx, out);
}
void UpperFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  CaseMapFn(ctx, argv, true);
}
void LowerFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  CaseMapFn(ctx, argv, false);
}

// Byte offset of character `index` (0-based), or the size when beyond.
std::size_t CharOffset(const std::string& s, long long index) {
  std::size_t i = 0;
  while (index > 0 && i < s.size()) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    --index;
  }
  return i;
}

std::string CharSlice(const std::string& s, long long start, long long count) {
  if (count <= 0) return std::string();
  const std::size_t a = CharOffset(s, start);
  const std::size_t b = CharOffset(s, start + count);
  return s.substr(a, b - a);
}

void SubstringFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  for (int i = 0; i < 3; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
  }
  long long start = sqlite3_value_int64(argv[1]);
  long long length = sqlite3_value_int64(argv[2]);
  if (length < 0) {
    ResultError(ctx, {536, "Invalid length parameter passed to the substring function."});
    return;
  }
  // Characters before position 1 count against the length, as in SQL Server.
  long long end = start + length;  // exclusive, 1-based
  if (start < 1) start = 1;
  const SourceValue in = ReadArg(argv[0]);
  if (const auto* binary = std::get_if<Binary>(&in.value)) {
    // Of a binary value, its bytes.
    Binary slice;
    const auto size = static_cast<long long>(binary->bytes.size());
    if (start <= size && end > start) {
      slice.bytes = binary->bytes.substr(static_cast<std::size_t>(start - 1),
                                         static_cast<std::size_t>(std::min(end, size + 1) - start));
    }
    ResultValue(ctx, slice);
    return;
  }
  ResultText(ctx, CharSlice(ArgText(argv[0]), start - 1, end - start));
}

void LeftFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const long long n = sqlite3_value_int64(argv[1]);
  if (n < 0) {
    ResultError(ctx, {536, "Invalid length parameter passed to the left function."});
    return;
  }
  ResultText(ctx, CharSlice(ArgText(argv[0]), 0, n));
}

void RightFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const long long n = sqlite3_value_int64(argv[1]);
  if (n < 0) {
    ResultError(ctx, {536, "Invalid length parameter passed to the right function."});
    return;
  }
  const std::string s = ArgText(argv[0]);
  const long long len = static_cast<long long>(Utf8Length(s));
  const long long start = len > n ? len - n : 0;
  ResultText(ctx, CharSlice(s, start, n));
}

void SpaceFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const long long n = sqlite3_value_int64(argv[0]);
  if (n < 0 || n > 8000) {
    sqlite3_result_null(ctx);
    return;
  }
  ResultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
}

void ReplicateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string s = ArgText(argv[0]);
  const long long n = sqlite3_value_int64(argv[1]);
  if (n < 0) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string out;
  for (long long i = 0; i < n && out.size() < 8000000; ++i) out += s;
  ResultText(ctx, out);
}

void IsNumericFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT ||
      std::holds_alternative<Decimal>(ReadArg(argv[0]).value)) {
    sqlite3_result_int(ctx, 1);
    return;
  }
  if (t == SQLITE_NULL) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  sqlite3_result_int(ctx, ParseNumberText(ArgText(argv[0])) ? 1 : 0);
}

// Canonical date parts of a value; false when it is not a date.
bool DateOf(sqlite3_context* ctx, sqlite3_value* v, std::string& canonical) {
  SourceValue in = ReadArg(v);
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, SqlType{BaseType::DateTime, 0, 0, 0}, false, SessionDates(ctx).order, out,
                    error)) {
    return false;
  }
  canonical = std::get<std::string>(out);
  return true;
}

struct Parts {
  int y, mo, d, h, mi, s, ms;
};
Parts Split(const std::string& c) {
  return Parts{std::stoi(c.substr(0, 4)),  std::stoi(c.substr(5, 2)),  std::stoi(c.substr(8, 2)),
               std::stoi(c.substr(11, 2)), std::stoi(c.substr(14, 2)), std::stoi(c.substr(17, 2)),
               std::stoi(c.substr(20, 3))};
}

std::string NormalPart(std::string p) {
  p = ToUpperAscii(p);
  if (p == "YY" || p == "YYYY" || p == "YEAR") return "YEAR";
  if (p == "MM" || p == "M" || p == "MONTH") return "MONTH";
  if (p == "DD" || p == "D" || p == "DAY") return "DAY";
  if (p == "DY" || p == "Y" || p == "DAYOFYEAR") return "DAYOFYEAR";
  if (p == "HH" || p == "HOUR") return "HOUR";
  if (p == "MI" || p == "N" || p == "MINUTE") return "MINUTE";
  if (p == "SS" || p == "S" || p == "SECOND") return "SECOND";
  if (p == "MS" || p == "MILLISECOND") return "MILLISECOND";
  if (p == "DW" || p == "W" || p == "WEEKDAY") return "WEEKDAY";
  if (p == "MCS" || p == "MICROSECOND") return "MICROSECOND";
  if (p == "NS" || p == "NANOSECOND") return "NANOSECOND";
  if (p == "QQ" || p == "Q" || p == "QUARTER") return "QUARTER";
  if (p == "WK" || p == "WW" || p == "WEEK") return "WEEK";
  return std::string();
}

long long DaysFrom(int y, int m, int d) {
  return DaysSinceUnixEpoch(y, m, d);
}

std::string FromMillis(long long days, long long msOfDay) {
  // days since 1970-01-01
  long long z = days + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int y = static_cast<int>(yy + (m <= 2));
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, m, d,
                static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000));
  return buf;
}

void DateAddFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string c;
  if (!DateOf(ctx, argv[2], c)) {
    ResultError(ctx, {241,
                      "Conversion failed when converting date and/or time from character "
                      "string."});
    return;
  }
  Parts p = Split(c);
  const long long n = sqlite3_value_int64(argv[1]);
  const std::string part = NormalPart(ArgText(argv[0]));
  if (part == "YEAR" || part == "MONTH" || part == "QUARTER") {
    long long months = part == "YEAR" ? n * 12 : part == "QUARTER" ? n * 3 : n;
    long long total = p.y * 12LL + (p.mo - 1) + months;
    p.y = static_cast<int>(total / 12);
    p.mo = static_cast<int>(total % 12) + 1;
    static constexpr int dim[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int maxDay =
        dim[p.mo - 1] + (p.mo == 2 && ((p.y % 4 == 0 && p.y % 100 != 0) || p.y % 400 == 0));
    if (p.d > maxDay) p.d = maxDay;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.y, p.mo, p.d, p.h, p.mi,
                  p.s, p.ms);
    ResultText(ctx, buf);
    return;
  }
  long long unit = 0;
  if (part == "DAY" || part == "DAYOFYEAR" || part == "WEEKDAY")
    unit = 86400000LL;
  else if (part == "WEEK")
    unit = 7 * 86400000LL;
  else if (part == "HOUR")
    unit = 3600000LL;
  else if (part == "MINUTE")
    unit = 60000LL;
  else if (part == "SECOND")
    unit = 1000LL;
  else if (part == "MILLISECOND")
    unit = 1LL;
  else if (part == "MICROSECOND" || part == "NANOSECOND") {
    // A datetime counts in milliseconds: nothing finer can be added to it.
    ResultError(ctx, SqlErrorByNumber(9810, {ToLowerAscii(part), "dateadd", "datetime"}));
    return;
  } else {
    ResultError(ctx, SqlErrorByNumber(155, {ArgText(argv[0]), "dateadd"}));
    return;
  }
  long long total = DaysFrom(p.y, p.mo, p.d) * 86400000LL + p.h * 3600000LL + p.mi * 60000LL +
                    p.s * 1000LL + p.ms + n * unit;
  long long days = total >= 0 ? total / 86400000LL : -((-total + 86399999LL) / 86400000LL);
  ResultText(ctx, FromMillis(days, total - days * 86400000LL));
}

// DATEDIFF's count of boundaries; false when the function already has its
// result (NULL or an error).
bool DateDiffCount(sqlite3_context* ctx, sqlite3_value** argv, long long& r) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return false;
  }
  Temporal ta, tb;
  const DateOrder order = SessionDates(ctx).order;
  if (!TemporalArg(argv[1], order, ta) || !TemporalArg(argv[2], order, tb)) {
    ResultError(ctx, SqlErrorByNumber(241));
    return false;
  }
  // A datetimeoffset counts in UTC.
  const auto split = [](Temporal t) {
    long long ticks = t.ticks - t.offsetMinutes * 60 * kTicksPerSecond;
    long long days = TemporalDays(t);
    while (ticks < 0) ticks += kTicksPerDay, --days;
    while (ticks >= kTicksPerDay) ticks -= kTicksPerDay, ++days;
    SetTemporalDays(t, days);
    t.ticks = ticks;
    return t;
  };
  ta = split(ta);
  tb = split(tb);
  const auto parts = [](const Temporal& t) {
    const long long secs = t.ticks / kTicksPerSecond;
    return Parts{t.year,
                 t.month,
                 t.day,
                 static_cast<int>(secs / 3600),
                 static_cast<int>(secs / 60 % 60),
                 static_cast<int>(secs % 60),
                 static_cast<int>(t.ticks % kTicksPerSecond / 10000)};
  };
  const Parts a = parts(ta), b = parts(tb);
  const std::string part = NormalPart(ArgText(argv[0]));
  r = 0;
  const long long da = DaysFrom(a.y, a.mo, a.d), db = DaysFrom(b.y, b.mo, b.d);
  if (part == "YEAR")
    r = b.y - a.y;
  else if (part == "QUARTER")
    r = (b.y * 4 + (b.mo - 1) / 3) - (a.y * 4 + (a.mo - 1) / 3);
  else if (part == "MONTH")
    r = (b.y * 12 + b.mo) - (a.y * 12 + a.mo);
  else if (part == "DAY" || part == "DAYOFYEAR" || part == "WEEKDAY")
    r = db - da;
  else if (part == "WEEK")
    r = ((db + 4) - (((db + 4) % 7) + 7) % 7 - ((da + 4) - (((da + 4) % 7) + 7) % 7)) / 7;
  else if (part == "HOUR")
    r = (db * 24 + b.h) - (da * 24 + a.h);
  else if (part == "MINUTE")
    r = ((db * 24 + b.h) * 60 + b.mi) - ((da * 24 + a.h) * 60 + a.mi);
  else if (part == "SECOND")
    r = (((db * 24 + b.h) * 60 + b.mi) * 60 + b.s) - (((da * 24 + a.h) * 60 + a.mi) * 60 + a.s);
  else if (part == "MILLISECOND" || part == "MICROSECOND" || part == "NANOSECOND") {
    // Boundaries crossed at the part's unit, counted in 100 ns.
    const long long unit = part == "MILLISECOND" ? 10000 : part == "MICROSECOND" ? 10 : 1;
    const long long secs =
        (db - da) * 86400 + (tb.ticks / kTicksPerSecond) - (ta.ticks / kTicksPerSecond);
    r = secs * (kTicksPerSecond / unit) + (tb.ticks % kTicksPerSecond) / unit -
        (ta.ticks % kTicksPerSecond) / unit;
    if (part == "NANOSECOND") r *= 100;
  } else {
    ResultError(ctx, SqlErrorByNumber(155, {ArgText(argv[0]), "datediff"}));
    return false;
  }
  return true;
}

// DATEDIFF is an int: a count beyond it is SQL Server's 535, where
// DATEDIFF_BIG gives the bigint.
void DateDiffFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  long long r = 0;
  if (!DateDiffCount(ctx, argv, r)) return;
  if (r < std::numeric_limits<std::int32_t>::min() ||
      r > std::numeric_limits<std::int32_t>::max()) {
    return ResultError(ctx, SqlErrorByNumber(535));
  }
  sqlite3_result_int64(ctx, r);
}

void DateDiffBigFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  long long r = 0;
  if (DateDiffCount(ctx, argv, r)) sqlite3_result_int64(ctx, r);
}

// Strips brackets and the schema from an object name given as text:
// "dbo.[ZMP_X]" → "ZMP_X".
void ObjectNameFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string s = Trim(ArgText(argv[0]));
  std::string last;
  std::string current;
  bool bracket = false;
  for (char c : s) {
    if (bracket) {
      if (c == ']') {
        bracket = false;
      } else {
        current += c;
      }
    } else if (c == '[') {
      bracket = true;
    } else if (c == '.') {
      current.clear();
    } else if (c != '"') {
      current += c;
    }
  }
  last = current;
  ResultText(ctx, last);
}

void CharIndexFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const auto* coll = static_cast<const Collation*>(sqlite3_user_data(ctx));
  const std::string needle = ArgText(argv[0]);
  const std::string hay = ArgText(argv[1]);
  long long start = argc > 2 ? sqlite3_value_int64(argv[2]) : 1;
  if (start < 1) start = 1;
  if (needle.empty()) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  const long long hayLen = static_cast<long long>(Utf8Length(hay));
  const long long needleLen = static_cast<long long>(Utf8Length(needle));
  for (long long i = start - 1; i + needleLen <= hayLen; ++i) {
    if (coll->Equal(CharSlice(hay, i, needleLen) + "x", needle + "x")) {
      sqlite3_result_int64(ctx, i + 1);
      return;
    }
  }
  sqlite3_result_int(ctx, 0);
}

void LikeFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const auto* coll = static_cast<const Collation*>(sqlite3_user_data(ctx));
  const std::string escape =
      argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL ? ArgText(argv[2]) : std::string();
  const std::string value = ArgText(argv[0]);
  const std::string pattern = ArgText(argv[1]);
  bool match = coll->Like(value, pattern, escape);
  // tsql_like(value, pattern, escape, 1): a char or varchar value matches
  // with its trailing blanks or without them (a char(10) 'abc' is 'abc').
  if (!match && argc > 3 && sqlite3_value_int(argv[3]) != 0) {
    const std::size_t end = value.find_last_not_of(' ');
    match = coll->Like(value.substr(0, end == std::string::npos ? 0 : end + 1), pattern, escape);
  }
  sqlite3_result_int(ctx, match ? 1 : 0);
}

// tsql_raise(number): fails the statement with SQL Server's error of that
// number, its text from the message table. Views stored by earlier versions
// also pass the text (tsql_raise(number, message)); the table's wins.
void RaiseFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const int number = sqlite3_value_int(argv[0]);
  if (FindServerMessage(number) != nullptr) {
    ResultError(ctx, SqlErrorByNumber(number));
  } else {
    ResultError(ctx, SqlError{number, argc > 1 ? ArgText(argv[1]) : std::string()});
  }
}

// tsql_rowcount(table): the rows of a table of this database (sys.partitions).
void RowCountFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string table = ArgText(argv[0]);
  std::string quoted = "\"";
  for (const char ch : table) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  quoted += "\"";
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(sqlite3_context_db_handle(ctx),
                         ("SELECT count(*) FROM main." + quoted).c_str(), -1, &raw,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(raw);
    sqlite3_result_null(ctx);
    return;
  }
  const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
  if (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    sqlite3_result_int64(ctx, sqlite3_column_int64(stmt.get(), 0));
  } else {
    sqlite3_result_null(ctx);
  }
}

// tsql_recursion(depth, limit): a recursive CTE's row at that depth, or
// error 530 past the statement's MAXRECURSION (0: no limit).
void RecursionFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const sqlite3_int64 depth = sqlite3_value_int64(argv[0]);
  const sqlite3_int64 limit = sqlite3_value_int64(argv[1]);
  if (limit > 0 && depth > limit) {
    ResultError(ctx, SqlErrorByNumber(530, {std::to_string(limit)}));
    return;
  }
  sqlite3_result_int64(ctx, depth);
}

}  // namespace

std::string TypeArguments(const SqlType& type) {
  return std::to_string(static_cast<int>(type.base)) + ", " + std::to_string(type.length) + ", " +
         std::to_string(type.precision) + ", " + std::to_string(type.scale);
}

namespace {

// tsql_vcmp(a, b): two sql_variant values compared as SQL Server compares
// them (-1, 0, 1), NULL when either is NULL.
void VariantCompareFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SourceValue a = ReadArg(argv[0]), b = ReadArg(argv[1]);
  const auto* x = std::get_if<VariantPtr>(&a.value);
  const auto* y = std::get_if<VariantPtr>(&b.value);
  if (!x || !y) return sqlite3_result_null(ctx);
  try {
    const auto& collation = *static_cast<const Collation*>(sqlite3_user_data(ctx));
    sqlite3_result_int(ctx, CompareVariants(**x, **y, collation));
  } catch (const std::exception& e) {
    ResultError(ctx, SqlError{0, e.what()});
  }
}

}  // namespace

void RegisterFunctions(sqlite3* db, const SqliteDb* connection) {
  RegisterNumberFunctions(db);
  RegisterMathFunctions(db);
  RegisterDateFunctions(db, connection);
  RegisterDateConstruction(db, connection);
  RegisterStringFunctions(db);
  RegisterNameFunctions(db);
  RegisterConvertFunctions(db, connection);
  RegisterFormatFunction(db);
  RegisterXmlFunctions(db);
  RegisterScalar(db, "tsql_store", 8, StoreFn, true, connection);
  RegisterScalar(db, "tsql_cast", 5, CastFn, true, connection);
  RegisterScalar(db, "tsql_cast_text", 5, CastTextFn, true, connection);
  RegisterScalar(db, "tsql_rowversion", 1, RowversionFn);
  RegisterScalar(db, "tsql_variant", 5, VariantFn);
  RegisterScalar(db, "tsql_variant_of", 1, VariantOfFn);
  RegisterScalar(db, "tsql_variant_property", 3, VariantPropertyFn);
  RegisterScalar(db, "tsql_getdate", 0, GetDateFn, false);
  RegisterScalar(db, "tsql_len", 1, LenFn);
  RegisterScalar(db, "tsql_datalength", 1, DataLengthFn);
  RegisterScalar(db, "tsql_datalength", 2, DataLengthFn);
  RegisterScalar(db, "tsql_upper", 1, UpperFn);
  RegisterScalar(db, "tsql_lower", 1, LowerFn);
  RegisterScalar(db, "tsql_substring", 3, SubstringFn);
  RegisterScalar(db, "tsql_left", 2, LeftFn);
  RegisterScalar(db, "tsql_right", 2, RightFn);
  RegisterScalar(db, "tsql_space", 1, SpaceFn);
  RegisterScalar(db, "tsql_replicate", 2, ReplicateFn);
  RegisterScalar(db, "tsql_isnumeric", 1, IsNumericFn);
  RegisterScalar(db, "tsql_dateadd", 3, DateAddFn, true, connection);
  RegisterScalar(db, "tsql_datediff", 3, DateDiffFn, true, connection);
  RegisterScalar(db, "tsql_datediff_big", 3, DateDiffBigFn, true, connection);
  RegisterScalar(db, "tsql_objname", 1, ObjectNameFn);
  RegisterScalar(db, "tsql_rowcount", 1, RowCountFn, false);
  RegisterScalar(db, "tsql_raise", 1, RaiseFn, false);
  RegisterScalar(db, "tsql_recursion", 2, RecursionFn);
  RegisterScalar(db, "tsql_raise", 2, RaiseFn, false);
}

void RegisterCollatedFunctions(sqlite3* db, const std::string& collationName) {
  RegisterCollatedComparisons(db, collationName);
  RegisterCollatedStringFunctions(db, collationName);
  RegisterStringSplit(db, collationName);
  auto like = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, like.get(),
                             LikeFn, nullptr, nullptr, DestroyCollation);
  Collation* shared = like.release();
  auto like3 = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, like3.get(),
                             LikeFn, nullptr, nullptr, DestroyCollation);
  like3.release();
  auto like4 = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_like", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, like4.get(),
                             LikeFn, nullptr, nullptr, DestroyCollation);
  like4.release();
  auto variants = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_vcmp", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, variants.get(),
                             VariantCompareFn, nullptr, nullptr, DestroyCollation);
  variants.release();
  auto ci = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_charindex", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, ci.get(),
                             CharIndexFn, nullptr, nullptr, DestroyCollation);
  ci.release();
  auto ci3 = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_charindex", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, ci3.get(),
                             CharIndexFn, nullptr, nullptr, DestroyCollation);
  ci3.release();
  (void)shared;
}

}  // namespace moltaro::db::embedded
