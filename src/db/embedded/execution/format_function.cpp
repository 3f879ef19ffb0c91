#include "db/embedded/execution/format_function.h"

#include <sqlite3.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "db/embedded/execution/convert_styles.h"
#include "db/embedded/execution/date_functions.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/decimal.h"
#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

namespace {

struct Culture {
  std::string_view name;
  std::string_view decimalPoint;
  std::string_view groupSeparator;
  std::string_view dateSeparator;
  std::string_view shortDate, longDate, shortTime, longTime, monthDay, yearMonth;
  std::string_view am, pm;
  std::string_view currencyBefore, currencyAfter;
  std::string_view percent;  // the number's text is "{}"
  std::array<std::string_view, 12> months, monthsShort;
  std::array<std::string_view, 7> days, daysShort;
  bool negativeCurrencyInParentheses = false;  // ($1.00) rather than -$1.00
};

constexpr std::array<std::string_view, 12> kEnglishMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 12> kEnglishMonthsShort = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kEnglishDays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr std::array<std::string_view, 7> kEnglishDaysShort = {"Sun", "Mon", "Tue", "Wed",
                                                               "Thu", "Fri", "Sat"};

// .NET's culture data for the cultures the server formats in.
constexpr std::array kCultures = std::to_array<Culture>({
    {"en-US",
     ".",
     ",",
     "/",
     "M/d/yyyy",
     "dddd, MMMM d, yyyy",
     "h:mm tt",
     "h:mm:ss tt",
     "MMMM d",
     "MMMM yyyy",
     "AM",
     "PM",
     "$",
     "",
     "{} %",
     kEnglishMonths,
     kEnglishMonthsShort,
     kEnglishDays,
     kEnglishDaysShort,
     true},
    {"en-GB", ".", ",", "/", "dd/MM/yyyy", "dd MMMM yyyy", "HH:mm", "HH:mm:ss", "d MMMM",
     "MMMM yyyy", "AM", "PM", "\u00a3", "", "{}%", kEnglishMonths, kEnglishMonthsShort,
     kEnglishDays, kEnglishDaysShort},
    {"hu-HU",
     ",",
     "\u00a0",
     ". ",
     "yyyy. MM. dd.",
     "yyyy. MMMM d.",
     "H:mm",
     "H:mm:ss",
     "MMMM d.",
     "yyyy. MMMM",
     "de.",
     "du.",
     "",
     "\u00a0Ft",
     "{}%",
     {"január", "február", "március", "április", "május", "június", "július", "augusztus",
      "szeptember", "október", "november", "december"},
     {"jan.", "febr.", "márc.", "ápr.", "máj.", "jún.", "júl.", "aug.", "szept.", "okt.", "nov.",
      "dec."},
     {"vasárnap", "hétfő", "kedd", "szerda", "csütörtök", "péntek", "szombat"},
     {"V", "H", "K", "Sze", "Cs", "P", "Szo"}},
    {"de-DE",
     ",",
     ".",
     ".",
     "dd.MM.yyyy",
     "dddd, d. MMMM yyyy",
     "HH:mm",
     "HH:mm:ss",
     "d. MMMM",
     "MMMM yyyy",
     "",
     "",
     "",
     "\u00a0\u20ac",
     "{}\u00a0%",
     {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
      "November", "Dezember"},
     {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
     {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
     {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}},
});

// A culture by its name, or by its language alone ("hu").
const Culture* CultureNamed(std::string_view name) {
  for (const Culture& c : kCultures) {
    if (EqualsIgnoreCaseAscii(c.name, name) || EqualsIgnoreCaseAscii(c.name.substr(0, 2), name)) {
      return &c;
    }
  }
  return nullptr;
}

// ---- numbers ----------------------------------------------------------------

// The number's digits with `places` decimals: sign, integer digits (none for
// zero) and exactly `places` decimal digits.
struct Digits {
  bool negative = false;
  std::string integer;
  std::string fraction;
};

std::optional<Digits> RoundedDigits(const Decimal& d, int places) {
  const auto text = RoundedDecimalText(d, places);
  if (!text) return std::nullopt;
  Digits out;
  std::string_view t = *text;
  if (!t.empty() && t[0] == '-') {
    out.negative = true;
    t.remove_prefix(1);
  }
  const std::size_t point = t.find('.');
  out.integer = std::string(t.substr(0, point));
  if (point != std::string_view::npos) out.fraction = std::string(t.substr(point + 1));
  out.integer.erase(0, out.integer.find_first_not_of('0'));
  if (out.integer.empty() && out.fraction.find_first_not_of('0') == std::string::npos) {
    out.negative = false;  // no "-0"
  }
  return out;
}

std::string Grouped(const std::string& integer, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < integer.size(); ++i) {
    if (i && (integer.size() - i) % 3 == 0) out += separator;
    out += integer[i];
  }
  return out;
}

Decimal TimesHundred(Decimal d) {
  if (d.scale >= 2) {
    d.scale -= 2;
  } else {
    d.unscaled *= d.scale == 1 ? 10 : 100;
    d.scale = 0;
  }
  d.kind = ExactKind::Decimal;
  d.precision = kMaxPrecision;
  return d;
}

// N, F, D, C, P, G and X with their precision; nullopt when the letter is no
// standard format (the string is then a custom one).
std::optional<std::optional<std::string>> StandardNumber(const Decimal& value, bool integral,
                                                         std::string_view format,
                                                         const Culture& c) {
  if (format.empty() || format.size() > 3 || !std::isalpha(static_cast<unsigned char>(format[0])))
    return std::nullopt;
  const std::string_view precisionText = format.substr(1);
  for (const char ch : precisionText) {
    if (!std::isdigit(static_cast<unsigned char>(ch))) return std::nullopt;
  }
  const int precision = precisionText.empty() ? -1 : std::stoi(std::string(precisionText));
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(format[0])));
  auto fixed = [&](const Decimal& d, int places, bool group) -> std::optional<std::string> {
    const auto digits = RoundedDigits(d, places);
    if (!digits) return std::nullopt;
    std::string integer = digits->integer.empty() ? "0" : digits->integer;
    std::string out = group ? Grouped(integer, c.groupSeparator) : integer;
    if (places > 0) out += std::string(c.decimalPoint) + digits->fraction;
    return (digits->negative ? "-" : "") + out;
  };
  switch (letter) {
    case 'N':
      return fixed(value, precision < 0 ? 2 : precision, true);
    case 'F':
      return fixed(value, precision < 0 ? 2 : precision, false);
    case 'C': {
      auto text = fixed(value, precision < 0 ? 2 : precision, true);
      if (!text) return text;
      const bool negative = (*text)[0] == '-';
      if (negative) text->erase(0, 1);
      const std::string amount =
          std::string(c.currencyBefore) + *text + std::string(c.currencyAfter);
      if (!negative) return amount;
      return c.negativeCurrencyInParentheses ? "(" + amount + ")" : "-" + amount;
    }
    case 'P': {
      auto text = fixed(TimesHundred(value), precision < 0 ? 2 : precision, true);
      if (!text) return text;
      return ReplaceAll(c.percent, "{}", *text);
    }
    case 'D': {
      if (!integral) return std::optional<std::string>();  // .NET refuses: NULL
      auto text = fixed(value, 0, false);
      if (!text) return text;
      const bool negative = (*text)[0] == '-';
      if (negative) text->erase(0, 1);
      if (static_cast<int>(text->size()) < precision) {
        text->insert(0, static_cast<std::size_t>(precision) - text->size(), '0');
      }
      return (negative ? "-" : "") + *text;
    }
    case 'X': {
      if (!integral) return std::optional<std::string>();
      auto whole = static_cast<unsigned long long>(static_cast<long long>(value.unscaled));
      char buf[32];
      std::snprintf(buf, sizeof buf, format[0] == 'X' ? "%llX" : "%llx", whole);
      std::string text = buf;
      if (static_cast<int>(text.size()) < precision) {
        text.insert(0, static_cast<std::size_t>(precision) - text.size(), '0');
      }
      return text;
    }
    case 'G': {
      std::string text = DecimalText(value);
      if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
      }
      return ReplaceAll(text, ".", c.decimalPoint);
    }
    default:
      return std::optional<std::string>();  // an unknown standard format: NULL
  }
}

// A custom numeric format: 0 and # digits, one decimal point, group commas,
// % and ‰, quoted and escaped literals; ";" separates the sections for
// positive, negative and zero numbers.
std::optional<std::string> CustomNumber(const Decimal& value, std::string_view format,
                                        const Culture& c) {
  std::vector<std::string_view> sections;
  {
    std::size_t start = 0;
    char quote = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
      const char ch = format[i];
      if (quote) {
        if (ch == quote) quote = 0;
      } else if (ch == '\\') {
        ++i;
      } else if (ch == '\'' || ch == '"') {
        quote = ch;
      } else if (ch == ';') {
        sections.push_back(format.substr(start, i - start));
        start = i + 1;
      }
    }
    sections.push_back(format.substr(start));
  }
  const bool negative = value.unscaled < 0;
  std::string_view section = sections[0];
  bool signInSection = false;
  if (negative && sections.size() > 1 && !sections[1].empty()) {
    section = sections[1];
    signInSection = true;
  } else if (value.unscaled == 0 && sections.size() > 2 && !sections[2].empty()) {
    section = sections[2];
  }
  // The items of the section.
  enum class Kind { Digit, Point, Comma, Percent, Literal };
  struct Item {
    Kind kind;
    char ch = 0;
    std::string text;
  };
  std::vector<Item> items;
  bool percent = false;
  for (std::size_t i = 0; i < section.size(); ++i) {
    const char ch = section[i];
    if (ch == '0' || ch == '#') {
      items.push_back({Kind::Digit, ch, {}});
    } else if (ch == '.') {
      bool seen = false;
      for (const Item& it : items) seen = seen || it.kind == Kind::Point;
      items.push_back(seen ? Item{Kind::Literal, 0, {}} : Item{Kind::Point, ch, {}});
    } else if (ch == ',') {
      items.push_back({Kind::Comma, ch, {}});
    } else if (ch == '%') {
      percent = true;
      items.push_back({Kind::Percent, ch, {}});
    } else if (ch == '\\' && i + 1 < section.size()) {
      items.push_back({Kind::Literal, 0, std::string(1, section[++i])});
    } else if (ch == '\'' || ch == '"') {
      const std::size_t end = section.find(ch, i + 1);
      const std::size_t stop = end == std::string_view::npos ? section.size() : end;
      items.push_back({Kind::Literal, 0, std::string(section.substr(i + 1, stop - i - 1))});
      i = stop;
    } else {
      items.push_back({Kind::Literal, 0, std::string(1, ch)});
    }
  }
  // Integer placeholders, grouping, scaling commas and decimal places.
  std::size_t point = items.size();
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind == Kind::Point) {
      point = i;
      break;
    }
  }
  int fractionPlaces = 0, fractionZeros = 0, minInteger = 0;
  bool group = false, zeroSeen = false;
  int scaleCommas = 0;
  std::size_t lastIntegerDigit = items.size();
  for (std::size_t i = 0; i < point; ++i) {
    if (items[i].kind == Kind::Digit) lastIntegerDigit = i;
  }
  for (std::size_t i = 0; i < point; ++i) {
    const Item& it = items[i];
    if (it.kind == Kind::Digit) {
      zeroSeen = zeroSeen || it.ch == '0';
      if (zeroSeen) ++minInteger;
    } else if (it.kind == Kind::Comma) {
      if (lastIntegerDigit != items.size() && i < lastIntegerDigit) {
        group = true;
      } else if (lastIntegerDigit != items.size()) {
        ++scaleCommas;
      }
    }
  }
  for (std::size_t i = point + 1; i < items.size(); ++i) {
    if (items[i].kind == Kind::Digit) {
      ++fractionPlaces;
      if (items[i].ch == '0') fractionZeros = fractionPlaces;
    }
  }
  Decimal scaled = percent ? TimesHundred(value) : value;
  for (int k = 0; k < scaleCommas; ++k) {
    scaled.scale += 3;
    scaled.precision = kMaxPrecision;
    if (scaled.scale > kMaxPrecision) return std::nullopt;
  }
  auto digits = RoundedDigits(scaled, fractionPlaces);
  if (!digits) return std::nullopt;
  std::string fraction = digits->fraction;
  while (static_cast<int>(fraction.size()) > fractionZeros && fraction.back() == '0') {
    fraction.pop_back();
  }
  std::string integer = digits->integer;
  if (static_cast<int>(integer.size()) < minInteger) {
    integer.insert(0, static_cast<std::size_t>(minInteger) - integer.size(), '0');
  }
  // Integer digits fill the placeholders from the right; the leftmost one
  // takes all that remain.
  std::vector<std::string> integerOut(point);
  std::size_t firstDigit = point;
  for (std::size_t i = 0; i < point; ++i) {
    if (items[i].kind == Kind::Digit) {
      firstDigit = i;
      break;
    }
  }
  if (group) {
    if (firstDigit < point) integerOut[firstDigit] = Grouped(integer, c.groupSeparator);
    for (std::size_t i = 0; i < point; ++i) {
      if (items[i].kind == Kind::Literal) integerOut[i] = items[i].text;
      if (items[i].kind == Kind::Percent) integerOut[i] = "%";
    }
  } else {
    std::size_t remaining = integer.size();
    for (std::size_t i = point; i-- > 0;) {
      const Item& it = items[i];
      if (it.kind == Kind::Digit) {
        if (i == firstDigit) {
          integerOut[i] = integer.substr(0, remaining);
          remaining = 0;
        } else if (remaining > 0) {
          integerOut[i] = integer.substr(remaining - 1, 1);
          --remaining;
        }
      } else if (it.kind == Kind::Literal) {
        integerOut[i] = it.text;
      } else if (it.kind == Kind::Percent) {
        integerOut[i] = "%";
      }
    }
  }
  std::string out;
  if (digits->negative && !signInSection) out += '-';
  for (const std::string& piece : integerOut) out += piece;
  if (point < items.size()) {
    std::string tail;
    std::size_t next = 0;
    for (std::size_t i = point + 1; i < items.size(); ++i) {
      const Item& it = items[i];
      if (it.kind == Kind::Digit) {
        if (next < fraction.size()) tail += fraction[next];
        ++next;
      } else if (it.kind == Kind::Literal) {
        tail += it.text;
      } else if (it.kind == Kind::Percent) {
        tail += '%';
      }
    }
    if (!fraction.empty()) out += c.decimalPoint;
    out += tail;
  }
  return out;
}

std::optional<Decimal> NumberOf(const SourceValue& in, bool& integral) {
  integral = false;
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    integral = true;
    return DecimalFromInteger(*i);
  }
  if (const auto* d = std::get_if<Decimal>(&in.value)) return *d;
  if (const auto* f = std::get_if<double>(&in.value)) {
    // A float shows its first 15 significant digits, as .NET writes a double.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", *f);
    if (auto d = ParseDecimalText(buf)) return d;
    return DecimalFromDouble(*f);
  }
  return std::nullopt;
}

// ---- datetimes --------------------------------------------------------------

std::string Padded(int value, std::size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

std::string CustomDate(const DateTimeParts& p, std::string_view f, const Culture& c) {
  std::string out;
  for (std::size_t i = 0; i < f.size();) {
    const char ch = f[i];
    std::size_t run = 1;
    while (i + run < f.size() && f[i + run] == ch) ++run;
    const int weekday = WeekdayOf(p);
    switch (ch) {
      case 'd':
        out += run == 1   ? std::to_string(p.day)
               : run == 2 ? Padded(p.day, 2)
               : run == 3 ? std::string(c.daysShort[static_cast<std::size_t>(weekday - 1)])
                          : std::string(c.days[static_cast<std::size_t>(weekday - 1)]);
        break;
      case 'M':
        out += run == 1   ? std::to_string(p.month)
               : run == 2 ? Padded(p.month, 2)
               : run == 3 ? std::string(c.monthsShort[static_cast<std::size_t>(p.month - 1)])
                          : std::string(c.months[static_cast<std::size_t>(p.month - 1)]);
        break;
      case 'y':
        out += run == 1   ? std::to_string(p.year % 100)
               : run == 2 ? Padded(p.year % 100, 2)
                          : Padded(p.year, run);
        break;
      case 'h':
        out += run == 1 ? std::to_string(p.hour % 12 == 0 ? 12 : p.hour % 12)
                        : Padded(p.hour % 12 == 0 ? 12 : p.hour % 12, 2);
        break;
      case 'H':
        out += run == 1 ? std::to_string(p.hour) : Padded(p.hour, 2);
        break;
      case 'm':
        out += run == 1 ? std::to_string(p.minute) : Padded(p.minute, 2);
        break;
      case 's':
        out += run == 1 ? std::to_string(p.second) : Padded(p.second, 2);
        break;
      case 'f':
      case 'F': {
        std::string fraction = Padded(p.millisecond, 3) + "0000";
        fraction.resize(std::min<std::size_t>(run, 7));
        if (ch == 'F') {
          while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
          // An empty F fraction drops the point written before it.
          if (fraction.empty() && !out.empty() && out.back() == '.') out.pop_back();
        }
        out += fraction;
        break;
      }
      case 't': {
        const std::string_view mark = p.hour < 12 ? c.am : c.pm;
        out += run == 1 ? std::string(mark.substr(0, 1)) : std::string(mark);
        break;
      }
      case '/':
        for (std::size_t k = 0; k < run; ++k) out += c.dateSeparator;
        break;
      case ':':
        for (std::size_t k = 0; k < run; ++k) out += ':';
        break;
      case '\'':
      case '"': {
        const std::size_t end = f.find(ch, i + 1);
        const std::size_t stop = end == std::string_view::npos ? f.size() : end;
        out += std::string(f.substr(i + 1, stop - i - 1));
        i = stop + 1;
        continue;
      }
      case '\\':
        if (i + 1 < f.size()) out += f[i + 1];
        i += 2;
        continue;
      case '%':
        i += 1;
        continue;
      default:
        out.append(run, ch);
        break;
    }
    i += run;
  }
  return out;
}

// A one-letter standard date format's pattern; nullopt when it is none.
std::optional<std::string> StandardDatePattern(char letter, const Culture& c) {
  const std::string d(c.shortDate), D(c.longDate), t(c.shortTime), T(c.longTime);
  switch (letter) {
    case 'd':
      return d;
    case 'D':
      return D;
    case 't':
      return t;
    case 'T':
      return T;
    case 'f':
      return D + " " + t;
    case 'F':
      return D + " " + T;
    case 'g':
      return d + " " + t;
    case 'G':
      return d + " " + T;
    case 'm':
    case 'M':
      return std::string(c.monthDay);
    case 'y':
    case 'Y':
      return std::string(c.yearMonth);
    case 's':
      return std::string("yyyy'-'MM'-'dd'T'HH':'mm':'ss");
    case 'u':
      return std::string("yyyy'-'MM'-'dd HH':'mm':'ss'Z'");
    case 'o':
    case 'O':
      return std::string("yyyy'-'MM'-'dd'T'HH':'mm':'ss'.'fffffff");
    default:
      return std::nullopt;
  }
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// tsql_format(value, format, culture, kind)
void FormatFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const Culture* culture = &kCultures[0];
  if (sqlite3_value_type(argv[2]) != SQLITE_NULL) {
    const std::string name = ArgText(argv[2]);
    culture = CultureNamed(name);
    if (!culture) {
      ResultError(ctx, SqlErrorByNumber(9818, {name}));
      return;
    }
  }
  const SourceValue in = ReadArg(argv[0]);
  const int kind = sqlite3_value_int(argv[3]);
  std::optional<std::string> date;
  if (const auto* text = std::get_if<std::string>(&in.value)) {
    // A date's own text is canonical (year first): no session order applies.
    if (kind != kFormatText) date = ParseDateTimeText(*text, DateOrder::Ymd);
    if (!date) {
      ResultError(ctx,
                  SqlErrorByNumber(8116, {in.national ? "nvarchar" : "varchar", "1", "format"}));
      return;
    }
  }
  if (std::holds_alternative<std::monostate>(in.value) ||
      sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string format = ArgText(argv[1]);
  std::optional<std::string> out;
  if (date) {
    const DateTimeParts parts = PartsOfCanonical(*date);
    if (format.size() == 1) {
      const auto pattern = StandardDatePattern(format[0], *culture);
      if (!pattern) {
        sqlite3_result_null(ctx);  // .NET refuses the format: NULL
        return;
      }
      out = CustomDate(parts, *pattern, *culture);
    } else {
      out = CustomDate(parts, format, *culture);
    }
  } else {
    bool integral = false;
    const auto number = NumberOf(in, integral);
    if (!number) {
      sqlite3_result_null(ctx);
      return;
    }
    if (auto standard = StandardNumber(*number, integral, format, *culture)) {
      out = *standard;
    } else {
      out = CustomNumber(*number, format, *culture);
    }
  }
  if (!out) {
    sqlite3_result_null(ctx);
    return;
  }
  ResultText(ctx, *out);
}

}  // namespace

void RegisterFormatFunction(sqlite3* db) {
  sqlite3_create_function_v2(db, "tsql_format", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                             FormatFn, nullptr, nullptr, nullptr);
}

}  // namespace moltaro::db::embedded
