#include "db/embedded/types/temporal.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "common/text.h"

namespace moltaro::db::embedded {

namespace {

bool Leap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int MonthDays(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && Leap(y) ? 29 : kDays[m - 1];
}

struct Cursor {
  std::string_view t;
  std::size_t i = 0;
  bool End() const { return i >= t.size(); }
  char Peek() const { return End() ? '\0' : t[i]; }
  void Blanks() {
    while (!End() && (t[i] == ' ' || t[i] == '\t')) ++i;
  }
  // Up to maxCount digits, at least minCount; `count` tells how many.
  bool Digits(int minCount, int maxCount, long long& value, int* count = nullptr) {
    const std::size_t start = i;
    value = 0;
    while (!End() && std::isdigit(static_cast<unsigned char>(t[i])) &&
           static_cast<int>(i - start) < maxCount) {
      value = value * 10 + (t[i] - '0');
      ++i;
    }
    if (count) *count = static_cast<int>(i - start);
    return static_cast<int>(i - start) >= minCount;
  }
  bool Accept(char c) {
    if (Peek() != c) return false;
    ++i;
    return true;
  }
};

// hh:mm[:ss[.fffffff]] [AM|PM]
bool ReadTime(Cursor& c, Temporal& v) {
  long long h = 0, mi = 0, s = 0, frac = 0;
  if (!c.Digits(1, 2, h) || !c.Accept(':') || !c.Digits(1, 2, mi)) return false;
  int digits = 0;
  if (c.Accept(':')) {
    if (!c.Digits(1, 2, s)) return false;
    if (c.Accept('.')) {
      // SQL Server reads up to seven digits and refuses more.
      if (!c.Digits(1, 7, frac, &digits)) return false;
      if (std::isdigit(static_cast<unsigned char>(c.Peek()))) return false;
    }
  }
  const std::size_t before = c.i;
  c.Blanks();
  std::string rest;
  for (std::size_t k = c.i; k < c.t.size() && k < c.i + 2; ++k) {
    rest += static_cast<char>(std::toupper(static_cast<unsigned char>(c.t[k])));
  }
  if (rest == "AM" || rest == "PM") {
    if (h > 12) return false;
    if (rest == "PM" && h < 12) h += 12;
    if (rest == "AM" && h == 12) h = 0;
    c.i += 2;
  } else {
    c.i = before;
  }
  if (h > 23 || mi > 59 || s > 59) return false;
  for (int k = digits; k < 7; ++k) frac *= 10;
  v.ticks = ((h * 60 + mi) * 60 + s) * kTicksPerSecond + frac;
  v.fractionDigits = digits;
  return true;
}

// Z, or +hh:mm / -hh:mm up to 14 hours.
bool ReadOffset(Cursor& c, Temporal& v) {
  if (c.Accept('Z') || c.Accept('z')) {
    v.hasOffset = true;
    return true;
  }
  const char sign = c.Peek();
  if (sign != '+' && sign != '-') return false;
  ++c.i;
  long long h = 0, m = 0;
  if (!c.Digits(1, 2, h) || !c.Accept(':') || !c.Digits(2, 2, m)) return false;
  if (m > 59 || h * 60 + m > 14 * 60) return false;
  v.offsetMinutes = static_cast<int>((h * 60 + m) * (sign == '-' ? -1 : 1));
  v.hasOffset = true;
  return true;
}

bool ReadDate(Cursor& c, DateOrder order, Temporal& v) {
  long long first = 0;
  int firstLen = 0;
  if (!c.Digits(1, 8, first, &firstLen)) return false;
  long long y = 0, m = 0, d = 0;
  if (firstLen == 8) {
    y = first / 10000;
    m = first / 100 % 100;
    d = first % 100;
  } else if (firstLen == 4) {
    y = first;
    const char sep = c.Peek();
    if (sep != '-' && sep != '.' && sep != '/') return false;
    ++c.i;
    if (!c.Digits(1, 2, m) || !c.Accept(sep) || !c.Digits(1, 2, d)) return false;
  } else if (firstLen <= 2) {
    // In the session's DATEFORMAT; these types do not take ydm.
    if (order == DateOrder::Ydm) return false;
    const char sep = c.Peek();
    if (sep != '-' && sep != '.' && sep != '/') return false;
    ++c.i;
    long long groups[3] = {first, 0, 0};
    int lengths[3] = {firstLen, 0, 0};
    if (!c.Digits(1, 4, groups[1], &lengths[1]) || !c.Accept(sep) ||
        !c.Digits(1, 4, groups[2], &lengths[2])) {
      return false;
    }
    int yy = 0, mm = 0, dd = 0;
    if (!OrderDateGroups(order, groups, lengths, yy, mm, dd)) return false;
    y = yy;
    m = mm;
    d = dd;
  } else {
    return false;
  }
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 ||
      d > MonthDays(static_cast<int>(y), static_cast<int>(m))) {
    return false;
  }
  v.year = static_cast<int>(y);
  v.month = static_cast<int>(m);
  v.day = static_cast<int>(d);
  v.hasDate = true;
  return true;
}

std::string Fraction(long long ticks, int scale) {
  if (scale <= 0) return std::string();
  char buf[16];
  std::snprintf(buf, sizeof buf, "%07lld", ticks % kTicksPerSecond);
  return "." + std::string(buf, static_cast<std::size_t>(scale));
}

}  // namespace

std::optional<Temporal> ParseTemporalText(std::string_view raw, DateOrder order) {
  const std::string text = Trim(raw);
  Cursor c{text};
  Temporal v;
  if (text.empty()) {
    v.hasDate = true;  // '' is 1900-01-01, as for datetime
    return v;
  }
  // A time alone starts hh: (a date never has a colon in its first three).
  const std::size_t colon = text.find(':');
  if (colon != std::string::npos && colon <= 2) {
    if (!ReadTime(c, v)) return std::nullopt;
  } else {
    if (!ReadDate(c, order, v)) return std::nullopt;
    if (c.Accept('T')) {
      if (!ReadTime(c, v)) return std::nullopt;
    } else {
      c.Blanks();
      if (!c.End() && std::isdigit(static_cast<unsigned char>(c.Peek())) && !ReadTime(c, v)) {
        return std::nullopt;
      }
    }
  }
  c.Blanks();
  if (!c.End() && !ReadOffset(c, v)) return std::nullopt;
  c.Blanks();
  if (!c.End()) return std::nullopt;
  return v;
}

long long TemporalDays(const Temporal& v) {
  return DaysSinceUnixEpoch(v.year, v.month, v.day);
}

void SetTemporalDays(Temporal& v, long long days) {
  DateFromUnixDays(days, v.year, v.month, v.day);
}

bool TemporalText(Temporal v, const SqlType& type, std::string& out) {
  const int scale = type.base == BaseType::Date ? 0 : type.scale;
  // Round half up to the scale.
  long long unit = 1;
  for (int k = scale; k < 7; ++k) unit *= 10;
  v.ticks = (v.ticks + unit / 2) / unit * unit;
  if (v.ticks >= kTicksPerDay) {
    v.ticks -= kTicksPerDay;
    // time wraps around midnight as SQL Server's does; a date carries.
    if (type.base != BaseType::Time) SetTemporalDays(v, TemporalDays(v) + 1);
  }
  if (v.year > 9999) return false;
  const long long secs = v.ticks / kTicksPerSecond;
  char date[48], time[48], offset[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", v.year, v.month, v.day);
  std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld", secs / 3600, secs / 60 % 60, secs % 60);
  const int off = v.offsetMinutes < 0 ? -v.offsetMinutes : v.offsetMinutes;
  std::snprintf(offset, sizeof offset, "%c%02d:%02d", v.offsetMinutes < 0 ? '-' : '+', off / 60,
                off % 60);
  switch (type.base) {
    case BaseType::Date:
      out = date;
      return true;
    case BaseType::Time:
      out = time + Fraction(v.ticks, scale);
      return true;
    case BaseType::DateTimeOffset:
      out = std::string(date) + " " + time + Fraction(v.ticks, scale) + " " + offset;
      return true;
    default:
      out = std::string(date) + " " + time + Fraction(v.ticks, scale);
      return true;
  }
}

Temporal NowTemporal() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  const long long sub =
      std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count() %
      1'000'000'000 / 100;
  Temporal v;
  v.year = tm.tm_year + 1900;
  v.month = tm.tm_mon + 1;
  v.day = tm.tm_mday;
  v.ticks = ((tm.tm_hour * 60LL + tm.tm_min) * 60 + tm.tm_sec) * kTicksPerSecond + sub;
  v.offsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
  v.hasDate = true;
  v.hasOffset = true;
  v.fractionDigits = 7;
  return v;
}

int CompareDateTimeOffsetText(std::string_view a, std::string_view b) {
  const auto ta = ParseTemporalText(a), tb = ParseTemporalText(b);
  if (!ta || !tb) return a.compare(b);
  const auto utc = [](const Temporal& t) {
    return TemporalDays(t) * kTicksPerDay + t.ticks - t.offsetMinutes * 60 * kTicksPerSecond;
  };
  const long long ua = utc(*ta), ub = utc(*tb);
  return ua < ub ? -1 : ua > ub ? 1 : 0;
}

bool ToTemporal(const SourceValue& in, const SqlType& type, bool assignment, DateOrder order,
                StoredValue& out, SqlError& error) {
  const auto* text = std::get_if<std::string>(&in.value);
  if (!text) {
    const std::string from = std::holds_alternative<std::int64_t>(in.value) ? "int"
                             : std::holds_alternative<double>(in.value)     ? "float"
                                                                            : "numeric";
    const std::string to = TypeText(type);
    error = assignment ? SqlErrorByNumber(206, {from, to}) : SqlErrorByNumber(529, {from, to});
    return false;
  }
  auto value = ParseTemporalText(*text, order);
  if (!value) {
    error = SqlErrorByNumber(241);
    return false;
  }
  // A time alone is on 1900-01-01; a datetimeoffset without an offset is UTC.
  if (type.base == BaseType::Time) value->year = 1900, value->month = 1, value->day = 1;
  if (type.base == BaseType::Date) value->ticks = 0;
  if (type.base != BaseType::DateTimeOffset) value->offsetMinutes = 0;
  std::string result;
  if (!TemporalText(*value, type, result)) {
    error = SqlErrorByNumber(517, {TypeName(type.base)});
    return false;
  }
  out = std::move(result);
  return true;
}

}  // namespace moltaro::db::embedded
