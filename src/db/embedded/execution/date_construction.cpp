// Dates built from numbers and offsets. Every value is checked part by part
// before it is written, so that a 30 February or a 25th hour is SQL
// Server's 289 rather than a date that rolled over.
#include "db/embedded/execution/date_construction.h"

#include <sqlite3.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>

#include "common/text.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/temporal.h"

namespace moltaro::db::embedded {

namespace {

constexpr int kMaxOffsetMinutes = 14 * 60;

bool AnyNull(int count, sqlite3_value** argv) {
  for (int i = 0; i < count; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

void ResultText(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The arguments as integers, as SQL Server converts them to int.
bool IntegerArgs(int count, sqlite3_value** argv, std::array<long long, 10>& out, SqlError& error) {
  for (int i = 0; i < count; ++i) {
    StoredValue v;
    if (!ConvertValue(ReadArg(argv[i]), SqlType{BaseType::Int, 0, 0, 0}, false, v, error)) {
      return false;
    }
    out[static_cast<std::size_t>(i)] = std::get<std::int64_t>(v);
  }
  return true;
}

bool LeapYear(long long y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

bool ValidDate(long long y, long long m, long long d) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  return d <= kDays[m - 1] + (m == 2 && LeapYear(y) ? 1 : 0);
}

bool ValidTime(long long h, long long mi, long long s) {
  return h >= 0 && h <= 23 && mi >= 0 && mi <= 59 && s >= 0 && s <= 59;
}

// The ticks (100 ns) of `fractions` at `precision` digits; false when the
// fraction does not fit the digits (5 at precision 0, 1000 at 3).
bool FractionTicks(long long fractions, int precision, long long& ticks) {
  long long limit = 1;
  for (int k = 0; k < precision; ++k) limit *= 10;
  if (fractions < 0 || fractions >= limit) return false;
  ticks = fractions;
  for (int k = precision; k < 7; ++k) ticks *= 10;
  return true;
}

Temporal MakeTemporal(long long y, long long m, long long d, long long ticks) {
  Temporal t;
  t.year = static_cast<int>(y);
  t.month = static_cast<int>(m);
  t.day = static_cast<int>(d);
  t.ticks = ticks;
  t.hasDate = true;
  return t;
}

long long ClockTicks(long long h, long long mi, long long s) {
  return ((h * 60 + mi) * 60 + s) * kTicksPerSecond;
}

void ResultTemporal(sqlite3_context* ctx, const Temporal& t, const SqlType& type) {
  std::string text;
  if (!TemporalText(t, type, text)) {
    return ResultError(ctx, SqlErrorByNumber(289, {TypeName(type.base)}));
  }
  ResultText(ctx, text);
}

// The same instant at another offset from UTC.
Temporal AtOffset(Temporal t, int offsetMinutes) {
  long long ticks = t.ticks + (offsetMinutes - t.offsetMinutes) * 60LL * kTicksPerSecond;
  long long days = TemporalDays(t);
  while (ticks < 0) ticks += kTicksPerDay, --days;
  while (ticks >= kTicksPerDay) ticks -= kTicksPerDay, ++days;
  SetTemporalDays(t, days);
  t.ticks = ticks;
  t.offsetMinutes = offsetMinutes;
  return t;
}

// A time zone argument: "+hh:mm" / "-hh:mm" text, or a number of minutes;
// within 14 hours of UTC.
std::optional<int> OffsetArg(sqlite3_value* v) {
  const SourceValue in = ReadArg(v);
  long long minutes = 0;
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    minutes = *i;
  } else if (const auto* s = std::get_if<std::string>(&in.value)) {
    const std::string text = Trim(*s);
    int h = 0, m = 0;
    char sign = 0;
    char rest = 0;
    if (text.size() != 6 || std::sscanf(text.c_str(), "%c%2d:%2d%c", &sign, &h, &m, &rest) != 3 ||
        (sign != '+' && sign != '-') || !std::isdigit(static_cast<unsigned char>(text[1])) ||
        !std::isdigit(static_cast<unsigned char>(text[4])) || m > 59) {
      return std::nullopt;
    }
    minutes = (h * 60 + m) * (sign == '-' ? -1 : 1);
  } else {
    return std::nullopt;
  }
  if (minutes < -kMaxOffsetMinutes || minutes > kMaxOffsetMinutes) return std::nullopt;
  return static_cast<int>(minutes);
}

// ---- clocks -----------------------------------------------------------------

Temporal NowUtc() {
  return AtOffset(NowTemporal(), 0);
}

void GetUtcDateFn(sqlite3_context* ctx, int, sqlite3_value**) {
  std::string text;
  TemporalText(NowUtc(), SqlType{BaseType::DateTime2, 0, 0, 3}, text);
  ResultText(ctx, text);
}

void SysUtcDateTimeFn(sqlite3_context* ctx, int, sqlite3_value**) {
  std::string text;
  TemporalText(NowUtc(), SqlType{BaseType::DateTime2, 0, 0, 7}, text);
  ResultText(ctx, text);
}

void SysDateTimeOffsetFn(sqlite3_context* ctx, int, sqlite3_value**) {
  std::string text;
  TemporalText(NowTemporal(), SqlType{BaseType::DateTimeOffset, 0, 0, 7}, text);
  ResultText(ctx, text);
}

// ---- …FROMPARTS ----------------------------------------------------------------

// tsql_datetimefromparts(y, m, d, h, mi, s, ms): datetime, milliseconds
// rounded to its 1/300 s as any datetime's are.
void DateTimeFromPartsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(7, argv)) return sqlite3_result_null(ctx);
  std::array<long long, 10> p{};
  SqlError error;
  if (!IntegerArgs(7, argv, p, error)) return ResultError(ctx, error);
  if (!ValidDate(p[0], p[1], p[2]) || p[0] < 1753 || !ValidTime(p[3], p[4], p[5]) || p[6] < 0 ||
      p[6] > 999) {
    return ResultError(ctx, SqlErrorByNumber(289, {"datetime"}));
  }
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%03lld", p[0], p[1],
                p[2], p[3], p[4], p[5], p[6]);
  StoredValue out;
  if (!ConvertValue(SourceValue{std::string(text), false}, SqlType{BaseType::DateTime, 0, 0, 0},
                    false, out, error)) {
    return ResultError(ctx, SqlErrorByNumber(289, {"datetime"}));
  }
  ResultValue(ctx, out);
}

// tsql_smalldatetimefromparts(y, m, d, h, mi): 1900-01-01 to 2079-06-06.
void SmallDateTimeFromPartsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (AnyNull(5, argv)) return sqlite3_result_null(ctx);
  std::array<long long, 10> p{};
  SqlError error;
  if (!IntegerArgs(5, argv, p, error)) return ResultError(ctx, error);
  const long long ymd = p[0] * 10000 + p[1] * 100 + p[2];
  if (!ValidDate(p[0], p[1], p[2]) || ymd < 19000101 || ymd > 20790606 ||
      !ValidTime(p[3], p[4], 0)) {
    return ResultError(ctx, SqlErrorByNumber(289, {"smalldatetime"}));
  }
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:00.000", p[0], p[1], p[2],
                p[3], p[4]);
  ResultText(ctx, text);
}

// tsql_datetime2fromparts(y, m, d, h, mi, s, fractions, precision, type…)
void DateTime2FromPartsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SqlType type = TypeFromArguments(argv + 8);
  if (AnyNull(7, argv)) return sqlite3_result_null(ctx);
  std::array<long long, 10> p{};
  SqlError error;
  if (!IntegerArgs(7, argv, p, error)) return ResultError(ctx, error);
  long long fraction = 0;
  if (!ValidDate(p[0], p[1], p[2]) || !ValidTime(p[3], p[4], p[5]) ||
      !FractionTicks(p[6], type.scale, fraction)) {
    return ResultError(ctx, SqlErrorByNumber(289, {"datetime2"}));
  }
  ResultTemporal(ctx, MakeTemporal(p[0], p[1], p[2], ClockTicks(p[3], p[4], p[5]) + fraction),
                 type);
}

// tsql_timefromparts(h, mi, s, fractions, precision, type…)
void TimeFromPartsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SqlType type = TypeFromArguments(argv + 5);
  if (AnyNull(4, argv)) return sqlite3_result_null(ctx);
  std::array<long long, 10> p{};
  SqlError error;
  if (!IntegerArgs(4, argv, p, error)) return ResultError(ctx, error);
  long long fraction = 0;
  if (!ValidTime(p[0], p[1], p[2]) || !FractionTicks(p[3], type.scale, fraction)) {
    return ResultError(ctx, SqlErrorByNumber(289, {"time"}));
  }
  ResultTemporal(ctx, MakeTemporal(1900, 1, 1, ClockTicks(p[0], p[1], p[2]) + fraction), type);
}

// tsql_datetimeoffsetfromparts(y, m, d, h, mi, s, fractions, hour_offset,
// minute_offset, precision, type…): the offset's minutes take its hours'
// sign, and the whole offset stays within 14 hours.
void DateTimeOffsetFromPartsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SqlType type = TypeFromArguments(argv + 10);
  if (AnyNull(9, argv)) return sqlite3_result_null(ctx);
  std::array<long long, 10> p{};
  SqlError error;
  if (!IntegerArgs(9, argv, p, error)) return ResultError(ctx, error);
  long long fraction = 0;
  const long long hours = p[7], minutes = p[8];
  const bool signsAgree = (hours >= 0 && minutes >= 0) || (hours <= 0 && minutes <= 0);
  const long long offset = hours * 60 + minutes;
  if (!ValidDate(p[0], p[1], p[2]) || !ValidTime(p[3], p[4], p[5]) ||
      !FractionTicks(p[6], type.scale, fraction) || !signsAgree || minutes < -59 || minutes > 59 ||
      offset < -kMaxOffsetMinutes || offset > kMaxOffsetMinutes) {
    return ResultError(ctx, SqlErrorByNumber(289, {"datetimeoffset"}));
  }
  Temporal t = MakeTemporal(p[0], p[1], p[2], ClockTicks(p[3], p[4], p[5]) + fraction);
  t.offsetMinutes = static_cast<int>(offset);
  t.hasOffset = true;
  ResultTemporal(ctx, t, type);
}

// ---- offsets --------------------------------------------------------------------

// The point in time of a date argument, or 241 for text that is no date.
bool PointArg(sqlite3_value* v, Temporal& out, sqlite3_context* ctx) {
  const SourceValue in = ReadArg(v);
  const auto* text = std::get_if<std::string>(&in.value);
  auto t = text ? ParseTemporalText(*text, SessionDates(ctx).order) : std::nullopt;
  if (!t) {
    ResultError(ctx, SqlErrorByNumber(241));
    return false;
  }
  out = *t;
  return true;
}

// tsql_todatetimeoffset(date, zone, type…): the local time kept, the offset
// given.
void ToDateTimeOffsetFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SqlType type = TypeFromArguments(argv + 2);
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  Temporal t;
  if (!PointArg(argv[0], t, ctx)) return;
  const auto offset = OffsetArg(argv[1]);
  if (!offset) return ResultError(ctx, SqlErrorByNumber(9812, {"todatetimeoffset"}));
  t.offsetMinutes = *offset;
  t.hasOffset = true;
  std::string text;
  if (!TemporalText(t, type, text))
    return ResultError(ctx, SqlErrorByNumber(517, {"datetimeoffset"}));
  ResultText(ctx, text);
}

// tsql_switchoffset(datetimeoffset, zone, type…): the same instant at the
// new offset.
void SwitchOffsetFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SqlType type = TypeFromArguments(argv + 2);
  if (AnyNull(2, argv)) return sqlite3_result_null(ctx);
  Temporal t;
  if (!PointArg(argv[0], t, ctx)) return;
  const auto offset = OffsetArg(argv[1]);
  if (!offset) return ResultError(ctx, SqlErrorByNumber(9812, {"switchoffset"}));
  const Temporal moved = AtOffset(t, *offset);
  std::string text;
  if (moved.year < 1 || !TemporalText(moved, type, text)) {
    return ResultError(ctx, SqlErrorByNumber(517, {"datetimeoffset"}));
  }
  ResultText(ctx, text);
}

// tsql_isdate(value): 1 when the value converts to datetime as the session
// reads dates, else 0 (NULL included).
void IsDateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_int(ctx, 0);
  SourceValue in = ReadArg(argv[0]);
  if (std::holds_alternative<Binary>(in.value)) return sqlite3_result_int(ctx, 0);
  // A number is read as its text, as SQL Server converts it for ISDATE.
  if (!std::holds_alternative<std::string>(in.value)) in.value = TextOf(in.value);
  // More than milliseconds is a datetime2's text, which datetime refuses.
  const auto point = ParseTemporalText(std::get<std::string>(in.value), SessionDates(ctx).order);
  if (point && point->fractionDigits > 3) return sqlite3_result_int(ctx, 0);
  StoredValue out;
  SqlError error;
  const bool ok = ConvertValue(in, SqlType{BaseType::DateTime, 0, 0, 0}, false,
                               SessionDates(ctx).order, out, error);
  sqlite3_result_int(ctx, ok ? 1 : 0);
}

}  // namespace

void RegisterDateConstruction(sqlite3* db, const SqliteDb* connection) {
  RegisterScalar(db, "tsql_getutcdate", 0, GetUtcDateFn, false);
  RegisterScalar(db, "tsql_sysutcdatetime", 0, SysUtcDateTimeFn, false);
  RegisterScalar(db, "tsql_sysdatetimeoffset", 0, SysDateTimeOffsetFn, false);
  RegisterScalar(db, "tsql_datetimefromparts", 7, DateTimeFromPartsFn);
  RegisterScalar(db, "tsql_smalldatetimefromparts", 5, SmallDateTimeFromPartsFn);
  RegisterScalar(db, "tsql_datetime2fromparts", 12, DateTime2FromPartsFn);
  RegisterScalar(db, "tsql_timefromparts", 9, TimeFromPartsFn);
  RegisterScalar(db, "tsql_datetimeoffsetfromparts", 14, DateTimeOffsetFromPartsFn);
  RegisterScalar(db, "tsql_todatetimeoffset", 6, ToDateTimeOffsetFn, true, connection);
  RegisterScalar(db, "tsql_switchoffset", 6, SwitchOffsetFn, true, connection);
  RegisterScalar(db, "tsql_isdate", 1, IsDateFn, true, connection);
}

}  // namespace moltaro::db::embedded
