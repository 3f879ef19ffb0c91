#include "db/embedded/execution/date_functions.h"

#include <sqlite3.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <vector>

#include "common/text.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/decimal.h"
#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 7> kWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                       "Thursday", "Friday", "Saturday"};

bool LeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysIn(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return kDays[m - 1] + (m == 2 && LeapYear(y) ? 1 : 0);
}

long long DayNumber(const DateTimeParts& p) {
  return DaysSinceUnixEpoch(p.year, p.month, p.day);
}

int DayOfYear(const DateTimeParts& p) {
  return static_cast<int>(DayNumber(p) - DaysSinceUnixEpoch(p.year, 1, 1)) + 1;
}

// Week 1 holds January 1st; weeks start on the session's DATEFIRST day.
int WeekOfYear(const DateTimeParts& p, int firstDay) {
  const DateTimeParts jan1{p.year, 1, 1};
  const int jan1Offset = WeekdayUnder(jan1, firstDay) - 1;
  return static_cast<int>((DayNumber(p) - DayNumber(jan1) + jan1Offset) / 7) + 1;
}

// ISO 8601: weeks start on Monday, week 1 holds the year's first Thursday.
int IsoWeekOfYear(const DateTimeParts& p) {
  const long long days = DayNumber(p);
  const long long isoWeekday = ((days + 3) % 7 + 7) % 7 + 1;  // Monday 1
  const long long thursday = days - isoWeekday + 4;
  int y, m, d;
  DateFromUnixDays(thursday, y, m, d);
  return static_cast<int>((thursday - DaysSinceUnixEpoch(y, 1, 1)) / 7) + 1;
}

std::string PartName(DatePart part) {
  switch (part) {
    case DatePart::TzOffset:
      return "tzoffset";
    default:
      return std::string();
  }
}

// The value of the part; false (with the error) when the datetime has none.
// A datetime's parts with what the newer types add: the fraction of the
// second to 100 ns, and a datetimeoffset's offset.
struct PointInTime : DateTimeParts {
  long long fraction = 0;  // millisecond * 10000 for a datetime
  std::optional<int> offsetMinutes;
};

bool PartValue(const PointInTime& p, DatePart part, int firstDay, const char* function,
               long long& out, SqlError& error) {
  switch (part) {
    case DatePart::Year:
      out = p.year;
      return true;
    case DatePart::Quarter:
      out = (p.month - 1) / 3 + 1;
      return true;
    case DatePart::Month:
      out = p.month;
      return true;
    case DatePart::DayOfYear:
      out = DayOfYear(p);
      return true;
    case DatePart::Day:
      out = p.day;
      return true;
    case DatePart::Week:
      out = WeekOfYear(p, firstDay);
      return true;
    case DatePart::Weekday:
      out = WeekdayUnder(p, firstDay);
      return true;
    case DatePart::Hour:
      out = p.hour;
      return true;
    case DatePart::Minute:
      out = p.minute;
      return true;
    case DatePart::Second:
      out = p.second;
      return true;
    case DatePart::Millisecond:
      out = p.millisecond;
      return true;
    case DatePart::Microsecond:
      out = p.fraction / 10;
      return true;
    case DatePart::Nanosecond:
      out = p.fraction * 100;
      return true;
    case DatePart::IsoWeek:
      out = IsoWeekOfYear(p);
      return true;
    case DatePart::TzOffset:
      if (!p.offsetMinutes) break;
      out = *p.offsetMinutes;
      return true;
  }
  error = SqlErrorByNumber(9810, {PartName(part), function, "datetime"});
  return false;
}

bool IsNull(sqlite3_value* v) {
  return sqlite3_value_type(v) == SQLITE_NULL;
}

// The datetime a value converts to, or the conversion's error. The text of
// the newer date types keeps its fraction and offset.
bool DateTimeArg(sqlite3_value* v, DateOrder order, PointInTime& out, SqlError& error) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    if (const auto t = ParseTemporalText(ArgText(v), order)) {
      out.year = t->year;
      out.month = t->month;
      out.day = t->day;
      const long long secs = t->ticks / kTicksPerSecond;
      out.hour = static_cast<int>(secs / 3600);
      out.minute = static_cast<int>(secs / 60 % 60);
      out.second = static_cast<int>(secs % 60);
      out.fraction = t->ticks % kTicksPerSecond;
      out.millisecond = static_cast<int>(out.fraction / 10000);
      if (t->hasOffset) out.offsetMinutes = t->offsetMinutes;
      return true;
    }
  }
  StoredValue converted;
  if (!ConvertValue(ReadArg(v), SqlType{BaseType::DateTime, 0, 0, 0}, false, order, converted,
                    error)) {
    return false;
  }
  static_cast<DateTimeParts&>(out) = PartsOfCanonical(std::get<std::string>(converted));
  out.fraction = out.millisecond * 10000LL;
  return true;
}

bool IntegerArg(sqlite3_value* v, long long& out, SqlError& error) {
  StoredValue converted;
  if (!ConvertValue(ReadArg(v), SqlType{BaseType::Int, 0, 0, 0}, false, converted, error)) {
    return false;
  }
  out = std::get<std::int64_t>(converted);
  return true;
}

// tsql_datepart(part, date) and tsql_datename(part, date).
void PartFn(sqlite3_context* ctx, sqlite3_value** argv, bool name) {
  const char* function = name ? "datename" : "datepart";
  const std::string partText = ArgText(argv[0]);
  const auto part = DatePartNamed(partText);
  if (!part) {
    ResultError(ctx, SqlErrorByNumber(155, {partText, function}));
    return;
  }
  if (IsNull(argv[1])) {
    sqlite3_result_null(ctx);
    return;
  }
  PointInTime p;
  SqlError error;
  long long value = 0;
  const DateSettings& dates = SessionDates(ctx);
  if (!DateTimeArg(argv[1], dates.order, p, error) ||
      !PartValue(p, *part, dates.firstDay, function, value, error)) {
    ResultError(ctx, error);
    return;
  }
  if (!name) {
    sqlite3_result_int64(ctx, value);
    return;
  }
  std::string text = *part == DatePart::Month     ? std::string(MonthName(p.month))
                     : *part == DatePart::Weekday ? std::string(WeekdayName(WeekdayOf(p)))
                                                  : std::to_string(value);
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void DatePartFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  PartFn(ctx, argv, false);
}

void DateNameFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  PartFn(ctx, argv, true);
}

// A date's text.
void ResultDate(sqlite3_context* ctx, const DateTimeParts& p) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.year, p.month, p.day);
  sqlite3_result_text(ctx, text, -1, SQLITE_TRANSIENT);
}

// tsql_eomonth(date[, months]): the last day of the month, months later.
void EoMonthFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) {
    sqlite3_result_null(ctx);
    return;
  }
  PointInTime p;
  SqlError error;
  long long months = 0;
  if (!DateTimeArg(argv[0], SessionDates(ctx).order, p, error) ||
      (argc > 1 && !IntegerArg(argv[1], months, error))) {
    ResultError(ctx, error);
    return;
  }
  const long long total = p.year * 12LL + (p.month - 1) + months;
  if (total < 12 || total >= 10000 * 12LL) {
    ResultError(ctx, SqlErrorByNumber(517, {"date"}));
    return;
  }
  DateTimeParts end;
  end.year = static_cast<int>(total / 12);
  end.month = static_cast<int>(total % 12) + 1;
  end.day = DaysIn(end.year, end.month);
  ResultDate(ctx, end);
}

// tsql_datefromparts(year, month, day)
void DateFromPartsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  long long v[3] = {0, 0, 0};
  SqlError error;
  for (int i = 0; i < 3; ++i) {
    if (IsNull(argv[i])) {
      sqlite3_result_null(ctx);
      return;
    }
    if (!IntegerArg(argv[i], v[i], error)) {
      ResultError(ctx, error);
      return;
    }
  }
  if (v[0] < 1 || v[0] > 9999 || v[1] < 1 || v[1] > 12 || v[2] < 1 ||
      v[2] > DaysIn(static_cast<int>(v[0]), static_cast<int>(v[1]))) {
    ResultError(ctx, SqlErrorByNumber(289, {"date"}));
    return;
  }
  DateTimeParts p;
  p.year = static_cast<int>(v[0]);
  p.month = static_cast<int>(v[1]);
  p.day = static_cast<int>(v[2]);
  ResultDate(ctx, p);
}

std::string Printf(const char* format, auto... args) {
  char buf[96];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}

std::string ShortMonth(int month) {
  return std::string(kMonths[static_cast<std::size_t>(month - 1)].substr(0, 3));
}

int Hour12(int hour) {
  return hour % 12 == 0 ? 12 : hour % 12;
}

const char* Meridiem(int hour) {
  return hour < 12 ? "AM" : "PM";
}

// ---- reading styled text ---------------------------------------------------

enum class Order { Mdy, Dmy, Ymd };

Order StyleOrder(int style) {
  switch (style % 100) {
    case 3:
    case 4:
    case 5:
    case 6:
    case 13:
      return Order::Dmy;
    case 2:
    case 11:
      return Order::Ymd;
    default:
      return Order::Mdy;
  }
}

std::optional<int> MonthNamed(std::string_view word) {
  const std::string upper = ToUpperAscii(word);
  if (upper.size() < 3) return std::nullopt;
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    const std::string full = ToUpperAscii(kMonths[i]);
    if (full == upper || full.substr(0, 3) == upper) return static_cast<int>(i) + 1;
  }
  return std::nullopt;
}

int FullYear(int year, std::size_t digits) {
  // The two-digit year cutoff of 2049.
  if (digits <= 2) return year + (year < 50 ? 2000 : 1900);
  return year;
}

// h[:mi[:ss[(:|.)fff]]][ ][AM|PM]
bool ParseClock(std::string_view t, DateTimeParts& p) {
  std::size_t i = 0;
  auto number = [&](int maxDigits, int& out, std::size_t* count = nullptr) {
    const std::size_t start = i;
    out = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) &&
           static_cast<int>(i - start) < maxDigits) {
      out = out * 10 + (t[i] - '0');
      ++i;
    }
    if (count) *count = i - start;
    return i > start;
  };
  if (!number(2, p.hour)) return false;
  if (i < t.size() && t[i] == ':') {
    ++i;
    if (!number(2, p.minute)) return false;
    if (i < t.size() && t[i] == ':') {
      ++i;
      if (!number(2, p.second)) return false;
      if (i < t.size() && (t[i] == ':' || t[i] == '.')) {
        const bool thousandths = t[i] == ':';
        ++i;
        std::size_t digits = 0;
        int fraction = 0;
        if (!number(9, fraction, &digits)) return false;
        if (thousandths) {
          p.millisecond = fraction;
        } else {
          // .5 is half a second; beyond milliseconds the digits round.
          double seconds = fraction;
          for (std::size_t k = 0; k < digits; ++k) seconds /= 10;
          p.millisecond = static_cast<int>(seconds * 1000 + 0.5);
          if (p.millisecond > 999) p.millisecond = 999;
        }
      }
    }
  }
  while (i < t.size() && t[i] == ' ') ++i;
  if (i < t.size()) {
    const std::string rest = ToUpperAscii(t.substr(i));
    // 0 to 12 take AM (12 AM is midnight); 1 to 23 take PM.
    if (rest == "AM") {
      if (p.hour > 12) return false;
      p.hour %= 12;
    } else if (rest == "PM") {
      if (p.hour == 0) return false;
      if (p.hour < 12) p.hour += 12;
    } else {
      return false;
    }
  }
  return p.hour < 24 && p.minute < 60 && p.second < 60 && p.millisecond < 1000;
}

struct Token {
  std::string text;
  bool digits = false;
};

// Whether the type has the part DATEADD adds.
bool TypeHasPart(BaseType base, DatePart part) {
  const bool timePart = part == DatePart::Hour || part == DatePart::Minute ||
                        part == DatePart::Second || part == DatePart::Millisecond ||
                        part == DatePart::Microsecond || part == DatePart::Nanosecond;
  if (base == BaseType::Date) return !timePart;
  if (base == BaseType::Time) return timePart;
  return true;
}

// tsql_dateadd(part, number, date, base, length, precision, scale): the
// newer date types, to the last 100 ns, in the date's own type.
void TypedDateAddFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[1]) || IsNull(argv[2])) {
    sqlite3_result_null(ctx);
    return;
  }
  SqlType type;
  type.base = static_cast<BaseType>(sqlite3_value_int(argv[3]));
  type.length = sqlite3_value_int(argv[4]);
  type.precision = sqlite3_value_int(argv[5]);
  type.scale = sqlite3_value_int(argv[6]);
  const std::string partText = ArgText(argv[0]);
  const auto part = DatePartNamed(partText);
  if (!part) {
    ResultError(ctx, SqlErrorByNumber(155, {partText, "dateadd"}));
    return;
  }
  if (!TypeHasPart(type.base, *part)) {
    ResultError(ctx, SqlErrorByNumber(9810, {ToLowerAscii(partText), "dateadd",
                                             std::string(TypeName(type.base))}));
    return;
  }
  Temporal t;
  long long n = 0;
  SqlError error;
  if (!TemporalArg(argv[2], SessionDates(ctx).order, t) || !IntegerArg(argv[1], n, error)) {
    ResultError(ctx, error.number ? error : SqlErrorByNumber(241));
    return;
  }
  const auto overflow = [&] { ResultError(ctx, SqlErrorByNumber(517, {TypeName(type.base)})); };
  if (*part == DatePart::Year || *part == DatePart::Quarter || *part == DatePart::Month) {
    const long long months = *part == DatePart::Year      ? n * 12
                             : *part == DatePart::Quarter ? n * 3
                                                          : n;
    const long long total = t.year * 12LL + (t.month - 1) + months;
    if (total < 12 || total >= 10000 * 12LL) return overflow();
    t.year = static_cast<int>(total / 12);
    t.month = static_cast<int>(total % 12) + 1;
    t.day = std::min(t.day, DaysIn(t.year, t.month));
  } else {
    long long unit = 0;  // in 100 ns
    switch (*part) {
      case DatePart::Week:
        unit = kTicksPerDay;
        n *= 7;
        break;
      case DatePart::Hour:
        unit = 3600 * kTicksPerSecond;
        break;
      case DatePart::Minute:
        unit = 60 * kTicksPerSecond;
        break;
      case DatePart::Second:
        unit = kTicksPerSecond;
        break;
      case DatePart::Millisecond:
        unit = 10000;
        break;
      case DatePart::Microsecond:
        unit = 10;
        break;
      case DatePart::Nanosecond:
        // Rounds to the 100 ns the types count in.
        unit = 1;
        n = n >= 0 ? (n + 50) / 100 : -((-n + 50) / 100);
        break;
      default:
        unit = kTicksPerDay;  // day, dayofyear, weekday
        break;
    }
    // Whole days and the rest apart, so that no product leaves 64 bits.
    const long long perDay = kTicksPerDay / unit;
    long long days = n / perDay;
    long long ticks = t.ticks + (n % perDay) * unit;
    days += ticks >= 0 ? ticks / kTicksPerDay : -((-ticks + kTicksPerDay - 1) / kTicksPerDay);
    ticks -= (ticks >= 0 ? ticks / kTicksPerDay : -((-ticks + kTicksPerDay - 1) / kTicksPerDay)) *
             kTicksPerDay;
    t.ticks = ticks;
    if (type.base != BaseType::Time) {
      const long long day = TemporalDays(t) + days;
      if (day < DaysSinceUnixEpoch(1, 1, 1) || day > DaysSinceUnixEpoch(9999, 12, 31)) {
        return overflow();
      }
      SetTemporalDays(t, day);
    }
  }
  std::string text;
  if (!TemporalText(t, type, text)) return overflow();
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// tsql_sysdatetime(): datetime2(7), local time.
void SysDateTimeFn(sqlite3_context* ctx, int, sqlite3_value**) {
  std::string text;
  TemporalText(NowTemporal(), SqlType{BaseType::DateTime2, 0, 0, 7}, text);
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

bool TemporalArg(sqlite3_value* v, DateOrder order, Temporal& out) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    if (auto t = ParseTemporalText(ArgText(v), order)) {
      out = *t;
      return true;
    }
  }
  StoredValue converted;
  SqlError error;
  if (!ConvertValue(ReadArg(v), SqlType{BaseType::DateTime, 0, 0, 0}, false, order, converted,
                    error)) {
    return false;
  }
  auto t = ParseTemporalText(std::get<std::string>(converted));
  if (!t) return false;
  out = *t;
  return true;
}

DateTimeParts PartsOfCanonical(const std::string& c) {
  DateTimeParts p;
  p.year = std::stoi(c.substr(0, 4));
  p.month = std::stoi(c.substr(5, 2));
  p.day = std::stoi(c.substr(8, 2));
  if (c.size() >= 23) {
    p.hour = std::stoi(c.substr(11, 2));
    p.minute = std::stoi(c.substr(14, 2));
    p.second = std::stoi(c.substr(17, 2));
    p.millisecond = std::stoi(c.substr(20, 3));
  }
  return p;
}

std::string CanonicalOf(const DateTimeParts& p) {
  return Printf("%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour, p.minute,
                p.second, p.millisecond);
}

std::string_view MonthName(int month) {
  return kMonths[static_cast<std::size_t>(month - 1)];
}

std::string_view WeekdayName(int weekday) {
  return kWeekdays[static_cast<std::size_t>(weekday - 1)];
}

int WeekdayOf(const DateTimeParts& p) {
  return static_cast<int>(((DayNumber(p) + 4) % 7 + 7) % 7) + 1;
}

int WeekdayUnder(const DateTimeParts& p, int firstDay) {
  const int sundayBased = WeekdayOf(p);  // 1 Sunday … 7 Saturday
  const int monday1 = sundayBased == 1 ? 7 : sundayBased - 1;
  return (monday1 - firstDay + 7) % 7 + 1;
}

std::optional<std::string> DateTimeStyleText(const DateTimeParts& p, int style) {
  const int yy = p.year % 100;
  const int y = p.year;
  switch (style) {
    case 0:
    case 100:
      return Printf("%s %2d %d %2d:%02d%s", ShortMonth(p.month).c_str(), p.day, y, Hour12(p.hour),
                    p.minute, Meridiem(p.hour));
    case 1:
      return Printf("%02d/%02d/%02d", p.month, p.day, yy);
    case 101:
      return Printf("%02d/%02d/%04d", p.month, p.day, y);
    case 2:
      return Printf("%02d.%02d.%02d", yy, p.month, p.day);
    case 102:
      return Printf("%04d.%02d.%02d", y, p.month, p.day);
    case 3:
      return Printf("%02d/%02d/%02d", p.day, p.month, yy);
    case 103:
      return Printf("%02d/%02d/%04d", p.day, p.month, y);
    case 4:
      return Printf("%02d.%02d.%02d", p.day, p.month, yy);
    case 104:
      return Printf("%02d.%02d.%04d", p.day, p.month, y);
    case 5:
      return Printf("%02d-%02d-%02d", p.day, p.month, yy);
    case 105:
      return Printf("%02d-%02d-%04d", p.day, p.month, y);
    case 6:
      return Printf("%02d %s %02d", p.day, ShortMonth(p.month).c_str(), yy);
    case 106:
      return Printf("%02d %s %04d", p.day, ShortMonth(p.month).c_str(), y);
    case 7:
      return Printf("%s %02d, %02d", ShortMonth(p.month).c_str(), p.day, yy);
    case 107:
      return Printf("%s %02d, %04d", ShortMonth(p.month).c_str(), p.day, y);
    case 8:
    case 24:
    case 108:
      return Printf("%02d:%02d:%02d", p.hour, p.minute, p.second);
    case 9:
    case 109:
      return Printf("%s %2d %d %2d:%02d:%02d:%03d%s", ShortMonth(p.month).c_str(), p.day, y,
                    Hour12(p.hour), p.minute, p.second, p.millisecond, Meridiem(p.hour));
    case 10:
      return Printf("%02d-%02d-%02d", p.month, p.day, yy);
    case 110:
      return Printf("%02d-%02d-%04d", p.month, p.day, y);
    case 11:
      return Printf("%02d/%02d/%02d", yy, p.month, p.day);
    case 111:
      return Printf("%04d/%02d/%02d", y, p.month, p.day);
    case 12:
      return Printf("%02d%02d%02d", yy, p.month, p.day);
    case 112:
      return Printf("%04d%02d%02d", y, p.month, p.day);
    case 13:
    case 113:
      return Printf("%02d %s %04d %02d:%02d:%02d:%03d", p.day, ShortMonth(p.month).c_str(), y,
                    p.hour, p.minute, p.second, p.millisecond);
    case 14:
    case 114:
      return Printf("%02d:%02d:%02d:%03d", p.hour, p.minute, p.second, p.millisecond);
    case 20:
    case 120:
      return Printf("%04d-%02d-%02d %02d:%02d:%02d", y, p.month, p.day, p.hour, p.minute, p.second);
    case 21:
    case 25:
    case 121:
      return CanonicalOf(p);
    case 22:
      return Printf("%02d/%02d/%02d %2d:%02d:%02d %s", p.month, p.day, yy, Hour12(p.hour), p.minute,
                    p.second, Meridiem(p.hour));
    case 23:
      return Printf("%04d-%02d-%02d", y, p.month, p.day);
    case 126:
    case 127: {
      // Whole seconds are written without a fraction.
      std::string text =
          Printf("%04d-%02d-%02dT%02d:%02d:%02d", y, p.month, p.day, p.hour, p.minute, p.second);
      if (p.millisecond) text += Printf(".%03d", p.millisecond);
      return text;
    }
    default:
      return std::nullopt;
  }
}

bool IsDateTimeInputStyle(int style) {
  return (style >= 0 && style <= 14) || (style >= 20 && style <= 25) ||
         (style >= 100 && style <= 114) || style == 120 || style == 121 || style == 126 ||
         style == 127;
}

std::optional<DateTimeParts> ParseStyledDateTime(std::string_view raw, int style,
                                                 bool& outOfRange) {
  outOfRange = false;
  const std::string text = Trim(raw);
  DateTimeParts p;
  // The time starts at the word holding the first colon.
  std::string datePart = text, clockPart;
  if (const std::size_t colon = text.find(':'); colon != std::string::npos) {
    std::size_t start = text.find_last_of(" T", colon);
    start = start == std::string::npos ? 0 : start + 1;
    datePart = Trim(std::string_view(text).substr(0, start));
    if (!datePart.empty() && datePart.back() == 'T') datePart.pop_back();
    clockPart = text.substr(start);
    if (!ParseClock(clockPart, p)) return std::nullopt;
  }
  // Words of digits or letters; blanks, commas, and the separators - / .
  // between them.
  std::vector<Token> tokens;
  for (std::size_t i = 0; i < datePart.size();) {
    const auto c = static_cast<unsigned char>(datePart[i]);
    if (std::isdigit(c) || std::isalpha(c)) {
      Token t;
      t.digits = std::isdigit(c) != 0;
      while (i < datePart.size() &&
             (t.digits ? std::isdigit(static_cast<unsigned char>(datePart[i]))
                       : std::isalpha(static_cast<unsigned char>(datePart[i])))) {
        t.text += datePart[i++];
      }
      tokens.push_back(std::move(t));
    } else if (c == ' ' || c == ',' || c == '-' || c == '/' || c == '.') {
      ++i;
    } else {
      return std::nullopt;
    }
  }
  if (!tokens.empty() && !tokens.back().digits && clockPart.empty()) {
    // "10:00 AM" was taken as a clock above; a trailing word here is not.
    return std::nullopt;
  }
  if (tokens.empty()) {
    if (clockPart.empty()) return std::nullopt;
  } else if (tokens.size() == 1) {
    const std::string& t = tokens[0].text;
    if (!tokens[0].digits || (t.size() != 6 && t.size() != 8)) return std::nullopt;
    const std::size_t yearDigits = t.size() - 4;
    p.year = FullYear(std::stoi(t.substr(0, yearDigits)), yearDigits);
    p.month = std::stoi(t.substr(yearDigits, 2));
    p.day = std::stoi(t.substr(yearDigits + 2, 2));
  } else if (tokens.size() == 3) {
    int named = -1;
    for (int i = 0; i < 3; ++i) {
      if (!tokens[static_cast<std::size_t>(i)].digits) {
        if (named >= 0) return std::nullopt;
        named = i;
      }
    }
    std::vector<const Token*> numbers;
    for (const Token& t : tokens) {
      if (t.digits) {
        if (t.text.size() > 4) return std::nullopt;
        numbers.push_back(&t);
      }
    }
    auto year = [](const Token& t) { return FullYear(std::stoi(t.text), t.text.size()); };
    if (named >= 0) {
      const auto month = MonthNamed(tokens[static_cast<std::size_t>(named)].text);
      if (!month) return std::nullopt;
      p.month = *month;
      // "Jan 15 2008", "15 Jan 2008", "2008 Jan 15"
      if (numbers[0]->text.size() == 4) {
        p.year = year(*numbers[0]);
        p.day = std::stoi(numbers[1]->text);
      } else {
        p.day = std::stoi(numbers[0]->text);
        p.year = year(*numbers[1]);
      }
    } else {
      Order order = StyleOrder(style);
      if (tokens[0].text.size() == 4) order = Order::Ymd;
      const Token& a = tokens[0];
      const Token& b = tokens[1];
      const Token& c = tokens[2];
      switch (order) {
        case Order::Mdy:
          p.month = std::stoi(a.text);
          p.day = std::stoi(b.text);
          p.year = year(c);
          break;
        case Order::Dmy:
          p.day = std::stoi(a.text);
          p.month = std::stoi(b.text);
          p.year = year(c);
          break;
        case Order::Ymd:
          p.year = year(a);
          p.month = std::stoi(b.text);
          p.day = std::stoi(c.text);
          break;
      }
    }
  } else {
    return std::nullopt;
  }
  if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > DaysIn(p.year, p.month) ||
      p.year < 1753 || p.year > 9999) {
    outOfRange = true;
    return std::nullopt;
  }
  return p;
}

void RegisterDateFunctions(sqlite3* db, const SqliteDb* connection) {
  RegisterScalar(db, "tsql_datepart", 2, DatePartFn, true, connection);
  RegisterScalar(db, "tsql_datename", 2, DateNameFn, true, connection);
  RegisterScalar(db, "tsql_eomonth", 1, EoMonthFn, true, connection);
  RegisterScalar(db, "tsql_eomonth", 2, EoMonthFn, true, connection);
  RegisterScalar(db, "tsql_datefromparts", 3, DateFromPartsFn, true, connection);
  RegisterScalar(db, "tsql_dateadd", 7, TypedDateAddFn, true, connection);
  RegisterScalar(db, "tsql_sysdatetime", 0, SysDateTimeFn, false, connection);
}

}  // namespace moltaro::db::embedded
