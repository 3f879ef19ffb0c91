#include "db/embedded/types/sql_types.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>

#include <unicode/utf8.h>

#include "common/text.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/types/temporal.h"
#include "db/embedded/types/variant.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

struct TypeInfo {
  std::string_view name;
  BaseType base;
  int xtype;
};

constexpr TypeInfo kTypes[] = {
    {"tinyint", BaseType::TinyInt, 48},
    {"smallint", BaseType::SmallInt, 52},
    {"int", BaseType::Int, 56},
    {"integer", BaseType::Int, 56},
    {"bigint", BaseType::BigInt, 127},
    {"bit", BaseType::Bit, 104},
    {"float", BaseType::Float, 62},
    {"real", BaseType::Real, 59},
    {"money", BaseType::Money, 60},
    {"smallmoney", BaseType::SmallMoney, 122},
    {"datetime", BaseType::DateTime, 61},
    {"smalldatetime", BaseType::SmallDateTime, 58},
    {"decimal", BaseType::Decimal, 106},
    {"dec", BaseType::Decimal, 106},
    {"numeric", BaseType::Numeric, 108},
    {"char", BaseType::Char, 175},
    {"character", BaseType::Char, 175},
    {"varchar", BaseType::VarChar, 167},
    {"nchar", BaseType::NChar, 239},
    {"nvarchar", BaseType::NVarChar, 231},
    {"text", BaseType::Text, 35},
    {"ntext", BaseType::NText, 99},
    {"sysname", BaseType::NVarChar, 231},
    {"date", BaseType::Date, 40},
    {"time", BaseType::Time, 41},
    {"datetime2", BaseType::DateTime2, 42},
    {"datetimeoffset", BaseType::DateTimeOffset, 43},
    {"uniqueidentifier", BaseType::UniqueIdentifier, 36},
    {"binary", BaseType::Binary, 173},
    {"varbinary", BaseType::VarBinary, 165},
    {"image", BaseType::Image, 34},
    {"xml", BaseType::Xml, 241},
    {"timestamp", BaseType::Timestamp, 189},
    {"rowversion", BaseType::Timestamp, 189},
    {"sql_variant", BaseType::SqlVariant, 98},
};

const TypeInfo* FindBase(BaseType base) {
  for (const TypeInfo& t : kTypes) {
    if (t.base == base) return &t;
  }
  return nullptr;
}

std::string Format(const char* fmt, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int DaysInMonth(int y, int m) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days since 1900-01-01 (negative before).
long long DaysFromCivil(int y, int m, int d) {
  return DaysSinceUnixEpoch(y, m, d) + 25567;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468 - 25567;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

std::string Canonical(int y, int mo, int d, int h, int mi, int s, int ms) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
  return buf;
}

// A tiny cursor over the date text.
struct Scan {
  std::string_view t;
  std::size_t i = 0;
  bool End() const { return i >= t.size(); }
  void Blanks() {
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  }
  bool Digits(int minCount, int maxCount, int& value) {
    std::size_t start = i;
    value = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) &&
           static_cast<int>(i - start) < maxCount) {
      value = value * 10 + (t[i] - '0');
      ++i;
    }
    return static_cast<int>(i - start) >= minCount;
  }
  bool Accept(char c) {
    if (i < t.size() && t[i] == c) {
      ++i;
      return true;
    }
    return false;
  }
};

bool ParseTime(Scan& s, int& h, int& mi, int& sec, int& ms) {
  h = mi = sec = ms = 0;
  if (!s.Digits(1, 2, h)) return false;
  if (!s.Accept(':')) return false;
  if (!s.Digits(1, 2, mi)) return false;
  if (s.Accept(':')) {
    if (!s.Digits(1, 2, sec)) return false;
    if (s.Accept('.') || s.Accept(',')) {
      std::size_t start = s.i;
      int frac = 0;
      if (!s.Digits(1, 9, frac)) return false;
      std::size_t n = s.i - start;
      double f = frac / std::pow(10.0, static_cast<double>(n));
      ms = static_cast<int>(std::lround(f * 1000));
      if (ms == 1000) ms = 999;
    }
  }
  s.Blanks();
  if (s.i + 1 < s.t.size() + 1) {
    // AM / PM
    std::string rest(s.t.substr(s.i));
    for (char& c : rest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (rest == "AM" || rest == "PM") {
      if (h > 12) return false;
      if (rest == "PM" && h < 12) h += 12;
      if (rest == "AM" && h == 12) h = 0;
      s.i = s.t.size();
    }
  }
  return h < 24 && mi < 60 && sec < 60;
}

}  // namespace

std::string_view TypeName(BaseType base) {
  return FindBase(base)->name;
}

bool IsSystemTypeName(std::string_view name) {
  for (const TypeInfo& t : kTypes) {
    if (t.name == name) return true;
  }
  return false;
}

SqlType ResolveType(const TypeSpec& spec, int position) {
  const TypeInfo* info = nullptr;
  for (const TypeInfo& t : kTypes) {
    if (t.name == spec.name) {
      info = &t;
      break;
    }
  }
  if (!info) {
    throw ServerErrorByNumber(2715, {std::to_string(position), spec.name});
  }
  SqlType type;
  type.base = info->base;
  if (spec.name == "sysname") {
    type.length = 128;
    return type;
  }
  switch (type.base) {
    case BaseType::Char:
    case BaseType::VarChar:
    case BaseType::NChar:
    case BaseType::NVarChar: {
      const bool unicode = IsUnicode(type.base);
      const int limit = unicode ? 4000 : 8000;
      if (spec.length == -2) {
        if (type.base == BaseType::Char || type.base == BaseType::NChar) {
          throw ServerErrorByNumber(102, {"max"});
        }
        type.length = -1;
      } else if (spec.length == -1) {
        type.length = 1;
      } else if (spec.length < 1 || spec.length > limit || spec.scale >= 0) {
        throw ServerErrorByNumber(
            131, {std::to_string(spec.length), "type", spec.name, std::to_string(limit)});
      } else {
        type.length = spec.length;
      }
      break;
    }
    case BaseType::Text:
    case BaseType::NText:
    case BaseType::Image:
    case BaseType::Xml:
      type.length = -1;
      break;
    case BaseType::Binary:
    case BaseType::VarBinary:
      if (spec.length == -2) {
        if (type.base == BaseType::Binary) throw ServerErrorByNumber(102, {"max"});
        type.length = -1;
      } else if (spec.length == -1) {
        type.length = 1;
      } else if (spec.length < 1 || spec.length > 8000 || spec.scale >= 0) {
        throw ServerErrorByNumber(
            131, {std::to_string(spec.length), "type", spec.name, std::to_string(8000)});
      } else {
        type.length = spec.length;
      }
      break;
    case BaseType::Timestamp:
      if (spec.length != -1) throw ServerErrorByNumber(2716, {spec.name});
      type.length = 8;
      break;
    case BaseType::SqlVariant:
      if (spec.length != -1) throw ServerErrorByNumber(2716, {spec.name});
      type.length = 8016;
      break;
    case BaseType::Time:
    case BaseType::DateTime2:
    case BaseType::DateTimeOffset:
      // The size is the fraction digits, 7 when none is given.
      type.scale = spec.precision < 0 ? 7 : spec.precision;
      if (type.scale > 7 || spec.scale >= 0) {
        throw ServerErrorByNumber(1002,
                                  {std::to_string(spec.scale >= 0 ? spec.scale : type.scale)});
      }
      break;
    case BaseType::Decimal:
    case BaseType::Numeric:
      type.precision = spec.precision < 0 ? 18 : spec.precision;
      type.scale = spec.scale < 0 ? 0 : spec.scale;
      if (type.precision < 1 || type.precision > 38) {
        throw ServerErrorByNumber(2750,
                                  {std::to_string(position), std::to_string(type.precision), "38"});
      }
      if (type.scale > type.precision) {
        throw ServerErrorByNumber(2751, {std::to_string(position), std::to_string(type.scale),
                                         std::to_string(type.precision)});
      }
      break;
    case BaseType::Float:
      if (spec.precision >= 1 && spec.precision <= 24) type.base = BaseType::Real;
      break;
    default:
      if (spec.length != -1) {
        // int(10) and the like: SQL Server refuses a size on these types.
        throw ServerErrorByNumber(2716, {spec.name});
      }
      break;
  }
  return type;
}

std::string TypeText(const SqlType& type) {
  std::string name(TypeName(type.base));
  switch (type.base) {
    case BaseType::Char:
    case BaseType::VarChar:
    case BaseType::NChar:
    case BaseType::NVarChar:
    case BaseType::Binary:
    case BaseType::VarBinary:
      return name + "(" + (type.length < 0 ? std::string("max") : std::to_string(type.length)) +
             ")";
    case BaseType::Decimal:
    case BaseType::Numeric:
      return name + "(" + std::to_string(type.precision) + "," + std::to_string(type.scale) + ")";
    case BaseType::Time:
    case BaseType::DateTime2:
    case BaseType::DateTimeOffset:
      return name + "(" + std::to_string(type.scale) + ")";
    default:
      return name;
  }
}

int TypeXtype(BaseType base) {
  return FindBase(base)->xtype;
}

int TypeStorageLength(const SqlType& t) {
  switch (t.base) {
    case BaseType::TinyInt:
    case BaseType::Bit:
      return 1;
    case BaseType::SmallInt:
      return 2;
    case BaseType::Int:
    case BaseType::Real:
    case BaseType::SmallMoney:
    case BaseType::SmallDateTime:
      return 4;
    case BaseType::BigInt:
    case BaseType::Float:
    case BaseType::Money:
    case BaseType::DateTime:
      return 8;
    case BaseType::Decimal:
    case BaseType::Numeric:
      return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    case BaseType::Char:
    case BaseType::VarChar:
      return t.length < 0 ? -1 : t.length;
    case BaseType::NChar:
    case BaseType::NVarChar:
      return t.length < 0 ? -1 : t.length * 2;
    case BaseType::Text:
    case BaseType::NText:
    case BaseType::UniqueIdentifier:
    case BaseType::Image:
      return 16;
    case BaseType::Binary:
    case BaseType::VarBinary:
      return t.length < 0 ? -1 : t.length;
    case BaseType::Timestamp:
      return 8;
    case BaseType::SqlVariant:
      return 8016;
    case BaseType::Xml:
      return -1;
    case BaseType::Date:
      return 3;
    case BaseType::Time:
      return t.scale <= 2 ? 3 : t.scale <= 4 ? 4 : 5;
    case BaseType::DateTime2:
      return t.scale <= 2 ? 6 : t.scale <= 4 ? 7 : 8;
    case BaseType::DateTimeOffset:
      return t.scale <= 2 ? 8 : t.scale <= 4 ? 9 : 10;
  }
  return 0;
}

int TypePrec(const SqlType& t) {
  switch (t.base) {
    case BaseType::TinyInt:
      return 3;
    case BaseType::SmallInt:
      return 5;
    case BaseType::Int:
      return 10;
    case BaseType::BigInt:
      return 19;
    case BaseType::Bit:
      return 1;
    case BaseType::Float:
      return 53;
    case BaseType::Real:
      return 24;
    case BaseType::Money:
      return 19;
    case BaseType::SmallMoney:
      return 10;
    case BaseType::DateTime:
      return 23;
    case BaseType::SmallDateTime:
      return 16;
    case BaseType::Decimal:
    case BaseType::Numeric:
      return t.precision;
    case BaseType::Char:
    case BaseType::VarChar:
    case BaseType::NChar:
    case BaseType::NVarChar:
      return t.length;
    case BaseType::Text:
      return 2147483647;
    case BaseType::NText:
      return 1073741823;
    case BaseType::UniqueIdentifier:
      return 0;
    case BaseType::Binary:
    case BaseType::VarBinary:
      return t.length;
    case BaseType::Timestamp:
      return 8;
    case BaseType::SqlVariant:
      return 8016;
    case BaseType::Image:
      return 2147483647;
    case BaseType::Xml:
      return -1;
    case BaseType::Date:
      return 10;
    case BaseType::Time:
      return 8 + (t.scale ? t.scale + 1 : 0);
    case BaseType::DateTime2:
      return 19 + (t.scale ? t.scale + 1 : 0);
    case BaseType::DateTimeOffset:
      return 26 + (t.scale ? t.scale + 1 : 0);
  }
  return 0;
}

int TypeXprec(const SqlType& t) {
  if (IsCharacter(t.base) || IsBinary(t.base)) return 0;
  if (t.base == BaseType::Text || t.base == BaseType::NText || t.base == BaseType::Xml ||
      t.base == BaseType::SqlVariant) {
    return 0;
  }
  return TypePrec(t);
}

int TypeXscale(const SqlType& t) {
  switch (t.base) {
    case BaseType::Decimal:
    case BaseType::Numeric:
      return t.scale;
    case BaseType::Money:
    case BaseType::SmallMoney:
      return 4;
    case BaseType::DateTime:
      return 3;
    case BaseType::Time:
    case BaseType::DateTime2:
    case BaseType::DateTimeOffset:
      return t.scale;
    default:
      return 0;
  }
}

std::optional<SqlType> TypeFromCodes(int xtype, int length, int xprec, int xscale) {
  for (const TypeInfo& info : kTypes) {
    if (info.xtype != xtype) continue;
    SqlType t;
    t.base = info.base;
    if (IsCharacter(t.base)) {
      t.length = length < 0 ? -1 : (IsUnicode(t.base) ? length / 2 : length);
    } else if (t.base == BaseType::Binary || t.base == BaseType::VarBinary) {
      t.length = length < 0 ? -1 : length;
    } else if (t.base == BaseType::Timestamp) {
      t.length = 8;
    } else if (t.base == BaseType::SqlVariant) {
      t.length = 8016;
    } else if (t.base == BaseType::Text || t.base == BaseType::NText || t.base == BaseType::Image ||
               t.base == BaseType::Xml) {
      t.length = -1;
    }
    t.precision = IsTemporal(t.base) ? 0 : xprec;
    t.scale = xscale;
    return t;
  }
  return std::nullopt;
}

bool IsCharacter(BaseType b) {
  return b == BaseType::Char || b == BaseType::VarChar || b == BaseType::NChar ||
         b == BaseType::NVarChar;
}
bool IsBinary(BaseType b) {
  return b == BaseType::Binary || b == BaseType::VarBinary || b == BaseType::Image ||
         b == BaseType::Timestamp;
}
bool IsUnicode(BaseType b) {
  return b == BaseType::NChar || b == BaseType::NVarChar || b == BaseType::NText;
}
bool IsInteger(BaseType b) {
  return b == BaseType::TinyInt || b == BaseType::SmallInt || b == BaseType::Int ||
         b == BaseType::BigInt || b == BaseType::Bit;
}
bool IsDateTime(BaseType b) {
  return b == BaseType::DateTime || b == BaseType::SmallDateTime;
}
bool IsTemporal(BaseType b) {
  return b == BaseType::Date || b == BaseType::Time || b == BaseType::DateTime2 ||
         b == BaseType::DateTimeOffset;
}
bool IsDateOrTime(BaseType b) {
  return IsDateTime(b) || IsTemporal(b);
}
bool IsApproximateOrExact(BaseType b) {
  return b == BaseType::Float || b == BaseType::Real || b == BaseType::Money ||
         b == BaseType::SmallMoney || b == BaseType::Decimal || b == BaseType::Numeric;
}

bool StoresAsInteger(const SqlType& type) {
  if (IsInteger(type.base)) return true;
  return (type.base == BaseType::Decimal || type.base == BaseType::Numeric) && type.scale == 0 &&
         type.precision <= 18;
}

bool IsExact(BaseType b) {
  return b == BaseType::Money || b == BaseType::SmallMoney || b == BaseType::Decimal ||
         b == BaseType::Numeric;
}

bool StoresAsDecimal(const SqlType& type) {
  return IsExact(type.base) && !StoresAsInteger(type);
}

std::string_view TypeCollation(const SqlType& type) {
  if (type.base == BaseType::DateTimeOffset) return kDateTimeOffsetCollation;
  if (type.base == BaseType::UniqueIdentifier) return kUniqueIdentifierCollation;
  return {};
}

int CompareUniqueIdentifierText(std::string_view a, std::string_view b) {
  static constexpr std::size_t kOrder[] = {24, 26, 28, 30, 32, 34, 19, 21,
                                           16, 14, 11, 9,  6,  4,  2,  0};
  if (a.size() != 36 || b.size() != 36) return a.compare(b);
  for (std::size_t at : kOrder) {
    for (std::size_t k = at; k < at + 2; ++k) {
      const int ca = std::toupper(static_cast<unsigned char>(a[k]));
      const int cb = std::toupper(static_cast<unsigned char>(b[k]));
      if (ca != cb) return ca < cb ? -1 : 1;
    }
  }
  return 0;
}

std::string_view SqliteAffinity(const SqlType& type) {
  if (StoresAsInteger(type)) return "INTEGER";
  if (StoresAsDecimal(type) || IsBinary(type.base) || type.base == BaseType::SqlVariant) {
    return "BLOB";
  }
  if (IsApproximateOrExact(type.base)) return "REAL";
  return "TEXT";
}

std::optional<double> ParseNumberText(std::string_view raw) {
  std::string text = Trim(raw);
  if (text.empty()) return std::nullopt;
  // The workstation writes a decimal comma; either separator is accepted,
  // but only one of them.
  std::size_t comma = text.find(',');
  if (comma != std::string::npos) {
    if (text.find('.') != std::string::npos || text.find(',', comma + 1) != std::string::npos) {
      return std::nullopt;
    }
    text[comma] = '.';
  }
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    ++i;
    digits = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      digits = true;
    }
  }
  if (!digits) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool exp = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      exp = true;
    }
    if (!exp) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  return std::strtod(text.c_str(), nullptr);
}

std::optional<std::string> ParseDateTimeText(std::string_view raw, DateOrder order) {
  bool outOfRange = false;
  return ParseDateTimeText(raw, order, false, outOfRange);
}

std::optional<std::string> ParseDateTimeText(std::string_view raw, DateOrder order, bool character,
                                             bool& outOfRange) {
  outOfRange = false;
  const std::string text = Trim(raw);
  Scan s{text};
  int y = 1900, mo = 1, d = 1, h = 0, mi = 0, sec = 0, ms = 0;
  if (text.empty()) return Canonical(1900, 1, 1, 0, 0, 0, 0);
  // Time only.
  if (text.find(':') != std::string::npos && text.find_first_of("-./") == std::string::npos &&
      text.find(' ') == std::string::npos && text.size() <= 12) {
    if (!ParseTime(s, h, mi, sec, ms) || !s.End()) return std::nullopt;
    return Canonical(1900, 1, 1, h, mi, sec, ms);
  }
  int first = 0;
  const std::size_t start = s.i;
  if (!s.Digits(1, 8, first)) return std::nullopt;
  const std::size_t firstLen = s.i - start;
  if (firstLen == 8 && (s.End() || s.t[s.i] == ' ' || s.t[s.i] == 'T')) {
    // yyyymmdd reads the same under every DATEFORMAT.
    y = first / 10000;
    mo = first / 100 % 100;
    d = first % 100;
  } else if (firstLen == 4) {
    y = first;
    char sep = s.End() ? '\0' : s.t[s.i];
    if (sep != '-' && sep != '.' && sep != '/') return std::nullopt;
    ++s.i;
    s.Blanks();
    int a = 0, b = 0;
    if (!s.Digits(1, 2, a)) return std::nullopt;
    if (!s.Accept(sep)) return std::nullopt;
    s.Blanks();
    if (!s.Digits(1, 2, b)) return std::nullopt;
    if (sep == '.') s.Accept('.');
    // ISO 8601 (yyyy-mm-ddThh:mm:ss) ignores DATEFORMAT; otherwise datetime
    // reads a year first as year, day, month under an order with the day
    // before the month.
    const bool dayFirst =
        character && DayBeforeMonth(order) && !(sep == '-' && !s.End() && s.t[s.i] == 'T');
    mo = dayFirst ? b : a;
    d = dayFirst ? a : b;
  } else if (firstLen <= 2) {
    // 11/05/2009, 11-05-2009, 11.05.2009: the session's DATEFORMAT orders them.
    char sep = s.End() ? '\0' : s.t[s.i];
    if (sep != '-' && sep != '.' && sep != '/') return std::nullopt;
    ++s.i;
    long long groups[3] = {first, 0, 0};
    int lengths[3] = {static_cast<int>(firstLen), 0, 0};
    for (std::size_t k = 1; k < 3; ++k) {
      const std::size_t at = s.i;
      int value = 0;
      if (!s.Digits(1, 4, value)) return std::nullopt;
      groups[k] = value;
      lengths[k] = static_cast<int>(s.i - at);
      if (k == 1 && !s.Accept(sep)) return std::nullopt;
    }
    if (!OrderDateGroups(order, groups, lengths, y, mo, d)) return std::nullopt;
  } else {
    return std::nullopt;
  }
  if (!s.End()) {
    if (s.t[s.i] == 'T') {
      ++s.i;
    } else if (s.t[s.i] == ' ') {
      s.Blanks();
    } else {
      return std::nullopt;
    }
    if (!s.End()) {
      if (!ParseTime(s, h, mi, sec, ms)) return std::nullopt;
      s.Blanks();
      if (!s.End()) return std::nullopt;
    }
  }
  if (mo < 1 || mo > 12 || d < 1 || y < 1 || y > 9999 || d > DaysInMonth(y, mo)) {
    outOfRange = true;
    return std::nullopt;
  }
  return Canonical(y, mo, d, h, mi, sec, ms);
}

std::string NowCanonical() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  return Canonical(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                   static_cast<int>(ms.count()));
}

namespace {

std::string SourceTypeName(const SourceValue& in) {
  if (std::holds_alternative<std::int64_t>(in.value)) return "int";
  if (std::holds_alternative<double>(in.value)) return "float";
  if (const auto* d = std::get_if<Decimal>(&in.value)) return std::string(ExactTypeName(*d));
  if (std::holds_alternative<Binary>(in.value)) return "varbinary";
  if (std::holds_alternative<VariantPtr>(in.value)) return "sql_variant";
  return in.national ? "nvarchar" : "varchar";
}

std::string NumberToText(double v) {
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) {
    return std::to_string(static_cast<long long>(v));
  }
  std::string s = Format("%.15g", v);
  return s;
}

bool IntegerRange(BaseType base, long long& lo, long long& hi) {
  switch (base) {
    case BaseType::TinyInt:
      lo = 0;
      hi = 255;
      return true;
    case BaseType::SmallInt:
      lo = -32768;
      hi = 32767;
      return true;
    case BaseType::Int:
      lo = std::numeric_limits<std::int32_t>::min();
      hi = std::numeric_limits<std::int32_t>::max();
      return true;
    case BaseType::BigInt:
      lo = std::numeric_limits<std::int64_t>::min();
      hi = std::numeric_limits<std::int64_t>::max();
      return true;
    default:
      return false;
  }
}

SqlError Overflow(const std::string& target) {
  return SqlErrorByNumber(8115, {"expression", target});
}

// A time, datetime2 or datetimeoffset as datetime: milliseconds rounded, the
// offset dropped (the local time stays), a time alone on 1900-01-01.
std::optional<std::string> DateTimeOfTemporalText(const std::string& raw, DateOrder order,
                                                  bool character) {
  auto value = ParseTemporalText(raw, order);
  if (!value) return std::nullopt;
  // datetime reads a year first as year, day, month under an order with the
  // day before the month, where the newer types read it as ISO.
  const std::string text = Trim(raw);
  const bool yearFirst = text.size() > 4 &&
                         std::all_of(text.begin(), text.begin() + 4,
                                     [](unsigned char ch) { return std::isdigit(ch); }) &&
                         (text[4] == '-' || text[4] == '.' || text[4] == '/');
  const bool iso = text[4] == '-' && text.find('T') != std::string::npos;
  if (value->hasDate && yearFirst && !iso && character && DayBeforeMonth(order)) {
    std::swap(value->month, value->day);
    if (value->month > 12 || value->day > DaysInMonth(value->year, value->month)) {
      return std::nullopt;
    }
  }
  if (!value->hasDate) value->year = 1900, value->month = 1, value->day = 1;
  value->offsetMinutes = 0;
  std::string rounded;
  if (!TemporalText(*value, SqlType{BaseType::DateTime2, 0, 0, 3}, rounded)) return std::nullopt;
  return rounded;
}

bool ToDateTime(const SourceValue& in, const SqlType& type, DateOrder order, StoredValue& out,
                SqlError& error) {
  std::string canonical;
  if (const auto* s = std::get_if<std::string>(&in.value)) {
    bool outOfRange = false;
    auto parsed = ParseDateTimeText(*s, order, in.character, outOfRange);
    if (!parsed) parsed = DateTimeOfTemporalText(*s, order, in.character);
    if (!parsed) {
      // Text in a date's form that names no day is out of range.
      error = outOfRange ? SqlErrorByNumber(242, {SourceTypeName(in), TypeName(type.base)})
                         : SqlErrorByNumber(241);
      return false;
    }
    canonical = *parsed;
  } else {
    const double days = std::holds_alternative<std::int64_t>(in.value)
                            ? static_cast<double>(std::get<std::int64_t>(in.value))
                        : std::holds_alternative<Decimal>(in.value)
                            ? DecimalToDouble(std::get<Decimal>(in.value))
                            : std::get<double>(in.value);
    // 1753-01-01 … 9999-12-31 as days from 1900-01-01.
    if (!(days >= -53690.0 && days < 2958464.0)) {
      error = Overflow(std::string(TypeName(type.base)));
      return false;
    }
    const double whole = std::floor(days);
    long long msOfDay = std::llround((days - whole) * 86400000.0);
    int y, m, d;
    CivilFromDays(static_cast<long long>(whole), y, m, d);
    canonical = Canonical(y, m, d, static_cast<int>(msOfDay / 3600000),
                          static_cast<int>(msOfDay / 60000 % 60),
                          static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000));
  }
  const int year = std::stoi(canonical.substr(0, 4));
  const bool small = type.base == BaseType::SmallDateTime;
  if (year < (small ? 1900 : 1753) || (small && year > 2079)) {
    error = SqlErrorByNumber(242, {SourceTypeName(in), TypeName(type.base)});
    return false;
  }
  if (small) {
    // Rounds to the minute.
    int y = std::stoi(canonical.substr(0, 4)), mo = std::stoi(canonical.substr(5, 2)),
        d = std::stoi(canonical.substr(8, 2)), h = std::stoi(canonical.substr(11, 2)),
        mi = std::stoi(canonical.substr(14, 2));
    const double secs = std::stod(canonical.substr(17));
    if (secs >= 29.999) {
      ++mi;
      if (mi == 60) {
        mi = 0;
        ++h;
      }
      if (h == 24) {
        h = 0;
        long long days = DaysFromCivil(y, mo, d) + 1;
        CivilFromDays(days, y, mo, d);
      }
    }
    canonical = Canonical(y, mo, d, h, mi, 0, 0);
  }
  out = canonical;
  return true;
}

bool ToInteger(const SourceValue& in, const SqlType& type, StoredValue& out, SqlError& error) {
  const std::string target(TypeName(type.base));
  long long value = 0;
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    value = *i;
  } else if (const auto* dec = std::get_if<Decimal>(&in.value)) {
    if (type.base == BaseType::Bit) {
      out = std::int64_t{dec->unscaled != 0 ? 1 : 0};
      return true;
    }
    std::int64_t whole = 0;
    if (!DecimalToInteger(*dec, whole)) {
      error = Overflow(target);
      return false;
    }
    value = whole;
  } else if (const auto* d = std::get_if<double>(&in.value)) {
    const double t = std::trunc(*d);
    if (type.base == BaseType::Bit) {
      out = std::int64_t{*d != 0.0 ? 1 : 0};
      return true;
    }
    if (!(t >= -9.2233720368547758e18 && t < 9.2233720368547758e18)) {
      error = Overflow(target);
      return false;
    }
    value = static_cast<long long>(t);
  } else {
    const std::string text = Trim(std::get<std::string>(in.value));
    const auto failed = [&](std::string_view target) {
      return SqlErrorByNumber(245, {SourceTypeName(in), std::get<std::string>(in.value), target});
    };
    if (type.base == BaseType::Bit) {
      const std::string upper = ToUpperAscii(text);
      if (upper == "TRUE" || upper == "FALSE") {
        out = std::int64_t{upper == "TRUE" ? 1 : 0};
        return true;
      }
      auto number = ParseNumberText(text);
      if (!number) {
        error = failed("bit");
        return false;
      }
      out = std::int64_t{*number != 0.0 ? 1 : 0};
      return true;
    }
    if (!text.empty()) {
      std::size_t i = 0;
      bool negative = false;
      if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        i = 1;
      }
      if (i == text.size() || text.find_first_not_of("0123456789", i) != std::string::npos) {
        error = failed(target);
        return false;
      }
      std::string digits = text.substr(i);
      digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
      if (digits.size() > 19 ||
          (digits.size() == 19 &&
           digits > (negative ? "9223372036854775808" : "9223372036854775807"))) {
        error =
            SqlErrorByNumber(248, {SourceTypeName(in), std::get<std::string>(in.value), target});
        return false;
      }
      unsigned long long u = std::stoull(digits);
      value = negative ? static_cast<long long>(0 - u) : static_cast<long long>(u);
    }
  }
  if (type.base == BaseType::Bit) {
    out = std::int64_t{value != 0 ? 1 : 0};
    return true;
  }
  long long lo = 0, hi = 0;
  IntegerRange(type.base, lo, hi);
  if (value < lo || value > hi) {
    if (std::holds_alternative<std::string>(in.value)) {
      error = SqlErrorByNumber(248, {SourceTypeName(in), std::get<std::string>(in.value), target});
    } else {
      error = Overflow(target);
    }
    return false;
  }
  out = std::int64_t{value};
  return true;
}

bool ToFloat(const SourceValue& in, const SqlType& type, StoredValue& out, SqlError& error) {
  double value = 0;
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    value = static_cast<double>(*i);
  } else if (const auto* d = std::get_if<double>(&in.value)) {
    value = *d;
  } else if (const auto* dec = std::get_if<Decimal>(&in.value)) {
    value = DecimalToDouble(*dec);
  } else {
    const std::string& text = std::get<std::string>(in.value);
    auto number = ParseNumberText(text);
    if (!number && !Trim(text).empty()) {
      error = SqlErrorByNumber(8114, {SourceTypeName(in), "float"});
      return false;
    }
    value = number.value_or(0.0);
  }
  if (type.base == BaseType::Real) value = static_cast<double>(static_cast<float>(value));
  if (!std::isfinite(value)) {
    error = Overflow(std::string(TypeName(type.base)));
    return false;
  }
  out = value;
  return true;
}

// decimal, numeric, money, smallmoney: exactly, rounding half away from zero.
bool ToExact(const SourceValue& in, const SqlType& type, StoredValue& out, SqlError& error) {
  const bool money = type.base == BaseType::Money || type.base == BaseType::SmallMoney;
  Decimal value;
  if (const auto* s = std::get_if<std::string>(&in.value)) {
    auto parsed = ParseDecimalText(*s);
    if (!parsed) {
      error =
          money ? SqlErrorByNumber(235) : SqlErrorByNumber(8114, {SourceTypeName(in), "numeric"});
      return false;
    }
    value = *parsed;
  } else if (!ToDecimal(in, value, error)) {
    return false;
  }
  Decimal result;
  if (money) {
    const ExactKind kind = type.base == BaseType::Money ? ExactKind::Money : ExactKind::SmallMoney;
    if (!ToMoney(value, kind, result)) {
      error = Overflow(std::string(TypeName(type.base)));
      return false;
    }
  } else if (!RescaleDecimal(value, type.precision, type.scale, result)) {
    error = OverflowError(SourceTypeName(in), result);
    return false;
  }
  if (StoresAsInteger(type)) {
    out = static_cast<std::int64_t>(result.unscaled);
  } else {
    out = result;
  }
  return true;
}

// Text is its bytes (nvarchar two to a character), an integer its four or
// eight bytes; binary(n) pads with zeros, and a longer value is cut, or
// refused with 8152 when assigned.
bool ToBinary(const SourceValue& in, const SqlType& type, bool assignment, StoredValue& out,
              SqlError& error) {
  Binary value;
  if (const auto* b = std::get_if<Binary>(&in.value)) {
    value = *b;
  } else if (const auto* s = std::get_if<std::string>(&in.value)) {
    if (in.national) {
      // UTF-16LE, as SQL Server keeps nvarchar.
      const auto unit = [&](std::uint32_t u) {
        value.bytes += static_cast<char>(u & 0xFF);
        value.bytes += static_cast<char>(u >> 8 & 0xFF);
      };
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(s->data());
      const auto size = static_cast<std::int32_t>(s->size());
      for (std::int32_t i = 0; i < size;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, size, c);
        if (c < 0) c = 0xFFFD;
        const auto u = static_cast<std::uint32_t>(c);
        if (u >= 0x10000) {
          unit(0xD800 + ((u - 0x10000) >> 10));
          unit(0xDC00 + ((u - 0x10000) & 0x3FF));
        } else {
          unit(u);
        }
      }
    } else {
      value.bytes = *s;
    }
  } else if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    value = IntegerToBinary(*i);
  } else {
    const std::string from = SourceTypeName(in);
    error = assignment ? SqlErrorByNumber(206, {from, TypeText(type)})
                       : SqlErrorByNumber(529, {from, TypeText(type)});
    return false;
  }
  if (type.length > 0) {
    const auto n = static_cast<std::size_t>(type.length);
    if (value.bytes.size() > n) {
      if (assignment) {
        error = SqlErrorByNumber(8152);
        return false;
      }
      value.bytes.resize(n);
    }
    if (type.base == BaseType::Binary || type.base == BaseType::Timestamp) {
      value.bytes.resize(n, '\0');
    }
  }
  out = std::move(value);
  return true;
}

// 8-4-4-4-12 hex digits, optionally in braces; SQL Server reads only the
// first 36 characters of longer text. Kept upper case, as SQL Server prints it.
bool ToUniqueIdentifier(const SourceValue& in, bool assignment, StoredValue& out, SqlError& error) {
  const auto* text = std::get_if<std::string>(&in.value);
  if (!text) {
    const std::string from = SourceTypeName(in);
    error = assignment ? SqlErrorByNumber(206, {from, "uniqueidentifier"})
                       : SqlErrorByNumber(529, {from, "uniqueidentifier"});
    return false;
  }
  std::string_view v = *text;
  if (v.size() >= 38 && v.front() == '{' && v[37] == '}') {
    v = v.substr(1, 36);
  } else {
    v = v.substr(0, std::min<std::size_t>(v.size(), 36));
  }
  std::string guid;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? v[i] != '-' : !std::isxdigit(static_cast<unsigned char>(v[i]))) break;
    guid += static_cast<char>(std::toupper(static_cast<unsigned char>(v[i])));
  }
  if (guid.size() != 36) {
    error = SqlErrorByNumber(8169);
    return false;
  }
  out = std::move(guid);
  return true;
}

}  // namespace

bool ToDecimal(const SourceValue& in, Decimal& out, SqlError& error) {
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    out = DecimalFromInteger(*i);
  } else if (const auto* d = std::get_if<double>(&in.value)) {
    auto exact = DecimalFromDouble(*d);
    if (!exact) {
      error = OverflowError("float", Decimal{});
      return false;
    }
    out = *exact;
  } else if (const auto* dec = std::get_if<Decimal>(&in.value)) {
    out = *dec;
  } else if (const auto* s = std::get_if<std::string>(&in.value)) {
    auto parsed = ParseDecimalText(*s);
    if (!parsed) {
      error = {8114, "Error converting data type " + SourceTypeName(in) + " to numeric."};
      return false;
    }
    out = *parsed;
  } else {
    return false;
  }
  return true;
}

Value ToApiValue(const StoredValue& v) {
  if (const auto* variant = std::get_if<VariantPtr>(&v)) return ToApiValue((*variant)->value);
  if (const auto* d = std::get_if<Decimal>(&v)) return DecimalText(*d);
  if (const auto* b = std::get_if<Binary>(&v)) return BinaryHexText(*b);
  if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
  if (const auto* f = std::get_if<double>(&v)) return *f;
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  return std::monostate{};
}

StoredValue FromApiValue(const Value& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
  if (const auto* f = std::get_if<double>(&v)) return *f;
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  return std::monostate{};
}

bool ConvertValue(const SourceValue& in, const SqlType& type, bool truncationIsError,
                  StoredValue& out, SqlError& error) {
  return ConvertValue(in, type, truncationIsError, DateOrder::Mdy, out, error);
}

bool ConvertValue(const SourceValue& in, const SqlType& type, bool truncationIsError,
                  DateOrder order, StoredValue& out, SqlError& error) {
  if (std::holds_alternative<std::monostate>(in.value)) {
    out = std::monostate{};
    return true;
  }
  if (type.base == BaseType::SqlVariant) return ToVariant(in, std::nullopt, out, error);
  if (const auto* variant = std::get_if<VariantPtr>(&in.value)) {
    // Out of a sql_variant the value converts as its own type. A datetime's
    // text in CONVERT's style 0 is written by the statement, which cannot
    // tell the base type in advance.
    const SqlType& base = (*variant)->type;
    if (IsDateTime(base.base) && !IsDateOrTime(type.base)) {
      error = SqlError{0, NotSupported("converting a sql_variant that holds a " +
                                       std::string(TypeName(base.base)) + " to " +
                                       std::string(TypeName(type.base)))};
      return false;
    }
    return ConvertValue(SourceValue{(*variant)->value, IsUnicode(base.base)}, type,
                        truncationIsError, out, error);
  }
  if (IsBinary(type.base)) return ToBinary(in, type, truncationIsError, out, error);
  if (const auto* b = std::get_if<Binary>(&in.value)) {
    if (IsCharacter(type.base) || type.base == BaseType::Text || type.base == BaseType::NText) {
      // The bytes are the text, as SQL Server reads them.
      return ConvertValue(SourceValue{b->bytes, false}, type, truncationIsError, order, out, error);
    }
    if (IsInteger(type.base) || IsApproximateOrExact(type.base)) {
      const int width = type.base == BaseType::BigInt ? 8 : 4;
      return ConvertValue(SourceValue{BinaryToInteger(*b, width), false}, type, truncationIsError,
                          out, error);
    }
    error = truncationIsError ? SqlErrorByNumber(206, {"varbinary", TypeText(type)})
                              : SqlErrorByNumber(529, {"varbinary", TypeText(type)});
    return false;
  }
  if (IsInteger(type.base)) return ToInteger(in, type, out, error);
  if (type.base == BaseType::Float || type.base == BaseType::Real) {
    return ToFloat(in, type, out, error);
  }
  if (IsExact(type.base)) return ToExact(in, type, out, error);
  if (IsDateTime(type.base)) return ToDateTime(in, type, order, out, error);
  if (IsTemporal(type.base)) return ToTemporal(in, type, truncationIsError, order, out, error);
  if (type.base == BaseType::UniqueIdentifier) {
    return ToUniqueIdentifier(in, truncationIsError, out, error);
  }
  // Character types.
  std::string text;
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    text = std::to_string(*i);
  } else if (const auto* d = std::get_if<double>(&in.value)) {
    text = NumberToText(*d);
  } else if (const auto* dec = std::get_if<Decimal>(&in.value)) {
    text = DecimalCastText(*dec);
  } else {
    text = std::get<std::string>(in.value);
  }
  if (type.length > 0) {
    std::size_t chars = Utf8Length(text);
    if (chars > static_cast<std::size_t>(type.length)) {
      // Trailing blanks beyond the size are dropped silently, as SQL Server does.
      std::string trimmed = text;
      while (!trimmed.empty() && trimmed.back() == ' ' &&
             Utf8Length(trimmed) > static_cast<std::size_t>(type.length)) {
        trimmed.pop_back();
      }
      if (Utf8Length(trimmed) > static_cast<std::size_t>(type.length)) {
        if (truncationIsError) {
          error = SqlErrorByNumber(8152);
          return false;
        }
        trimmed = Utf8Left(trimmed, static_cast<std::size_t>(type.length));
      }
      text = trimmed;
      chars = Utf8Length(text);
    }
    if ((type.base == BaseType::Char || type.base == BaseType::NChar) &&
        chars < static_cast<std::size_t>(type.length)) {
      text.append(static_cast<std::size_t>(type.length) - chars, ' ');
    }
  }
  out = std::move(text);
  return true;
}

long long DaysSinceUnixEpoch(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void DateFromUnixDays(long long days, int& y, int& m, int& d) {
  const long long z = days + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

std::optional<SqlType> CommonDecimalType(const std::vector<SqlType>& types) {
  std::optional<BaseType> base;
  bool money = false, smallMoney = false;
  int scale = 0, integerDigits = 0;
  for (const SqlType& t : types) {
    if (t.base == BaseType::Decimal || t.base == BaseType::Numeric) {
      if (!base) base = t.base;
      scale = std::max(scale, t.scale);
      integerDigits = std::max(integerDigits, t.precision - t.scale);
    } else if (t.base == BaseType::Money || t.base == BaseType::SmallMoney) {
      (t.base == BaseType::Money ? money : smallMoney) = true;
    } else if (t.base == BaseType::TinyInt || t.base == BaseType::SmallInt ||
               t.base == BaseType::Int || t.base == BaseType::BigInt) {
      integerDigits = std::max(integerDigits, TypePrec(t));
    } else {
      return std::nullopt;
    }
  }
  // Money outranks decimal, smallmoney below money.
  if (money) return SqlType{BaseType::Money, 0, 19, 4};
  if (smallMoney) return SqlType{BaseType::SmallMoney, 0, 10, 4};
  if (!base) return std::nullopt;
  // Beyond 38 digits the integer part wins and the scale gives way.
  if (integerDigits + scale > 38) scale = std::max(0, 38 - integerDigits);
  return SqlType{*base, 0, std::min(38, integerDigits + scale), scale};
}

std::string TextOf(const StoredValue& v) {
  if (const auto* variant = std::get_if<VariantPtr>(&v)) return TextOf((*variant)->value);
  if (const auto* d = std::get_if<Decimal>(&v)) return DecimalCastText(*d);
  return ToText(ToApiValue(v));
}

}  // namespace moltaro::db::embedded
