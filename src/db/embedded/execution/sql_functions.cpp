#include "db/embedded/execution/sql_functions.h"

#include "db/embedded/types/sql_types.h"

#include <sqlite3.h>
#include <unicode/ucasemap.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "common/text.h"
#include "db/embedded/execution/convert_styles.h"
#include "db/embedded/execution/date_functions.h"
#include "db/embedded/execution/format_function.h"
#include "db/embedded/execution/number_functions.h"
#include "db/embedded/execution/string_functions.h"
#include "db/embedded/execution/xml_functions.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/collation.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// tsql_store(value, base, length, precision, scale, flags, column, table)
void StoreFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SourceValue in = ReadArg(argv[0]);
  const int flags = sqlite3_value_int(argv[5]);
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
  if (!ConvertValue(in, TypeFromArguments(argv + 1), true, out, error)) {
    ResultError(ctx, error);
    return;
  }
  ResultValue(ctx, out);
}

// tsql_cast(value, base, length, precision, scale)
void CastFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
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
  const SourceValue in = ReadArg(argv[0]);
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, TypeFromArguments(argv + 1), false, out, error)) {
    ResultError(ctx, error);
    return;
  }
  ResultValue(ctx, out);
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

void DataLengthFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
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
  } else {
    sqlite3_result_int64(ctx, static_cast<long long>(Utf8Length(ArgText(argv[0]))) * 2);
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
  const std::string s = ArgText(argv[0]);
  long long start = sqlite3_value_int64(argv[1]);
  long long length = sqlite3_value_int64(argv[2]);
  if (length < 0) {
    ResultError(ctx, {536, "Invalid length parameter passed to the substring function."});
    return;
  }
  // Characters before position 1 count against the length, as in SQL Server.
  long long end = start + length;  // exclusive, 1-based
  if (start < 1) start = 1;
  ResultText(ctx, CharSlice(s, start - 1, end - start));
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
bool DateOf(sqlite3_value* v, std::string& canonical) {
  SourceValue in = ReadArg(v);
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, SqlType{BaseType::DateTime, 0, 0, 0}, false, out, error)) return false;
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
  if (!DateOf(argv[2], c)) {
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

void DateDiffFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  Temporal ta, tb;
  if (!TemporalArg(argv[1], ta) || !TemporalArg(argv[2], tb)) {
    ResultError(ctx, SqlErrorByNumber(241));
    return;
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
  long long r = 0;
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
    return;
  }
  sqlite3_result_int64(ctx, r);
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
  const std::string escape = argc > 2 ? ArgText(argv[2]) : std::string();
  sqlite3_result_int(ctx, coll->Like(ArgText(argv[0]), ArgText(argv[1]), escape) ? 1 : 0);
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

void RegisterFunctions(sqlite3* db) {
  RegisterNumberFunctions(db);
  RegisterDateFunctions(db);
  RegisterStringFunctions(db);
  RegisterConvertFunctions(db);
  RegisterFormatFunction(db);
  RegisterXmlFunctions(db);
  RegisterScalar(db, "tsql_store", 8, StoreFn);
  RegisterScalar(db, "tsql_cast", 5, CastFn);
  RegisterScalar(db, "tsql_getdate", 0, GetDateFn, false);
  RegisterScalar(db, "tsql_len", 1, LenFn);
  RegisterScalar(db, "tsql_datalength", 1, DataLengthFn);
  RegisterScalar(db, "tsql_upper", 1, UpperFn);
  RegisterScalar(db, "tsql_lower", 1, LowerFn);
  RegisterScalar(db, "tsql_substring", 3, SubstringFn);
  RegisterScalar(db, "tsql_left", 2, LeftFn);
  RegisterScalar(db, "tsql_right", 2, RightFn);
  RegisterScalar(db, "tsql_space", 1, SpaceFn);
  RegisterScalar(db, "tsql_replicate", 2, ReplicateFn);
  RegisterScalar(db, "tsql_isnumeric", 1, IsNumericFn);
  RegisterScalar(db, "tsql_dateadd", 3, DateAddFn);
  RegisterScalar(db, "tsql_datediff", 3, DateDiffFn);
  RegisterScalar(db, "tsql_objname", 1, ObjectNameFn);
  RegisterScalar(db, "tsql_raise", 1, RaiseFn, false);
  RegisterScalar(db, "tsql_recursion", 2, RecursionFn);
  RegisterScalar(db, "tsql_raise", 2, RaiseFn, false);
}

void RegisterCollatedFunctions(sqlite3* db, const std::string& collationName) {
  RegisterCollatedComparisons(db, collationName);
  RegisterCollatedStringFunctions(db, collationName);
  auto like = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, like.get(),
                             LikeFn, nullptr, nullptr, DestroyCollation);
  Collation* shared = like.release();
  auto like3 = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, like3.get(),
                             LikeFn, nullptr, nullptr, DestroyCollation);
  like3.release();
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
