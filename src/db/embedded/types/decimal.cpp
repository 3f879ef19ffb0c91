#include "db/embedded/types/decimal.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

__extension__ typedef unsigned __int128 U128;

constexpr std::uint8_t kNegative = 0x10;
constexpr std::uint8_t kZero = 0x20;
constexpr std::uint8_t kPositive = 0x30;
constexpr std::uint8_t kMoneyTag = 0x40;
constexpr std::uint8_t kSmallMoneyTag = 0x41;

constexpr std::array<U128, 39> MakePowers() {
  std::array<U128, 39> p{};
  p[0] = 1;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
  return p;
}
constexpr std::array<U128, 39> kPowers = MakePowers();

// Money's range in units of 1/10000.
constexpr Int128 kMoneyMax = static_cast<Int128>(922337203685477LL) * 10000 + 5807;
constexpr Int128 kMoneyMin = -(static_cast<Int128>(922337203685477LL) * 10000 + 5808);
constexpr Int128 kSmallMoneyMax = 2147483647;
constexpr Int128 kSmallMoneyMin = -2147483648LL;

U128 Magnitude(Int128 v) {
  return v < 0 ? static_cast<U128>(0) - static_cast<U128>(v) : static_cast<U128>(v);
}

int DigitCount(U128 v) {
  int n = 1;
  while (n < 39 && v >= kPowers[static_cast<std::size_t>(n)]) ++n;
  return n;
}

// Unsigned 256-bit arithmetic for the intermediate results of * and /, whose
// exact values can have up to 77 digits.
struct U256 {
  std::array<std::uint64_t, 4> w{};  // least significant first

  static U256 From(U128 v) {
    U256 r;
    r.w[0] = static_cast<std::uint64_t>(v);
    r.w[1] = static_cast<std::uint64_t>(v >> 64);
    return r;
  }
  bool FitsU128() const { return w[2] == 0 && w[3] == 0; }
  U128 Low() const { return (static_cast<U128>(w[1]) << 64) | w[0]; }
  bool IsZero() const { return (w[0] | w[1] | w[2] | w[3]) == 0; }
};

int Compare(const U256& a, const U256& b) {
  for (int i = 3; i >= 0; --i) {
    if (a.w[static_cast<std::size_t>(i)] != b.w[static_cast<std::size_t>(i)]) {
      return a.w[static_cast<std::size_t>(i)] < b.w[static_cast<std::size_t>(i)] ? -1 : 1;
    }
  }
  return 0;
}

U256 Add(const U256& a, const U256& b) {
  U256 r;
  U128 carry = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const U128 s = static_cast<U128>(a.w[i]) + b.w[i] + carry;
    r.w[i] = static_cast<std::uint64_t>(s);
    carry = s >> 64;
  }
  return r;
}

// a - b for a >= b.
U256 Sub(const U256& a, const U256& b) {
  U256 r;
  std::uint64_t borrow = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const U128 d = static_cast<U128>(a.w[i]) - b.w[i] - borrow;
    r.w[i] = static_cast<std::uint64_t>(d);
    borrow = (d >> 64) != 0 ? 1 : 0;
  }
  return r;
}

U256 MulSmall(const U256& a, std::uint64_t m) {
  U256 r;
  U128 carry = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const U128 p = static_cast<U128>(a.w[i]) * m + carry;
    r.w[i] = static_cast<std::uint64_t>(p);
    carry = p >> 64;
  }
  return r;
}

U256 Mul(U128 a, U128 b) {
  const std::uint64_t a0 = static_cast<std::uint64_t>(a), a1 = static_cast<std::uint64_t>(a >> 64);
  const std::uint64_t b0 = static_cast<std::uint64_t>(b), b1 = static_cast<std::uint64_t>(b >> 64);
  U256 r = U256::From(static_cast<U128>(a0) * b0);
  U256 mid1 = U256::From(static_cast<U128>(a0) * b1);
  U256 mid2 = U256::From(static_cast<U128>(a1) * b0);
  U256 high = U256::From(static_cast<U128>(a1) * b1);
  auto shift = [](U256 v, int words) {
    U256 s;
    for (int i = 3; i >= words; --i) {
      s.w[static_cast<std::size_t>(i)] = v.w[static_cast<std::size_t>(i - words)];
    }
    return s;
  };
  r = Add(r, shift(mid1, 1));
  r = Add(r, shift(mid2, 1));
  return Add(r, shift(high, 2));
}

U256 TimesPowerOfTen(U256 v, int n) {
  while (n > 0) {
    const int step = std::min(n, 19);
    v = MulSmall(v, static_cast<std::uint64_t>(kPowers[static_cast<std::size_t>(step)]));
    n -= step;
  }
  return v;
}

U256 ShiftLeft1(const U256& v) {
  U256 r;
  for (std::size_t i = 4; i-- > 0;) {
    r.w[i] = (v.w[i] << 1) | (i ? v.w[i - 1] >> 63 : 0);
  }
  return r;
}

// Bit-by-bit long division; slow but only division and rescaling of wide
// products need it.
void DivMod(const U256& n, const U256& d, U256& q, U256& r) {
  q = U256{};
  r = U256{};
  for (int bit = 255; bit >= 0; --bit) {
    r = ShiftLeft1(r);
    r.w[0] |= (n.w[static_cast<std::size_t>(bit / 64)] >> (bit % 64)) & 1;
    if (Compare(r, d) >= 0) {
      r = Sub(r, d);
      q.w[static_cast<std::size_t>(bit / 64)] |= std::uint64_t{1} << (bit % 64);
    }
  }
}

// A signed exact intermediate: sign and a 256-bit magnitude at a scale.
struct Wide {
  bool negative = false;
  U256 magnitude;
  int scale = 0;
};

Wide WideOf(const Decimal& d) {
  return Wide{d.unscaled < 0, U256::From(Magnitude(d.unscaled)), d.scale};
}

// Drops `digits` decimal places, rounding half away from zero (or truncating).
U256 DropDigits(const U256& v, int digits, bool truncate) {
  if (digits <= 0) return v;
  const U256 divisor = TimesPowerOfTen(U256::From(1), digits);
  U256 q, r;
  DivMod(v, divisor, q, r);
  if (!truncate && Compare(ShiftLeft1(r), divisor) >= 0) q = Add(q, U256::From(1));
  return q;
}

// Puts a wide value into precision/scale; false when it does not fit.
bool Narrow(const Wide& w, int precision, int scale, bool truncate, Decimal& out) {
  U256 m = w.scale > scale ? DropDigits(w.magnitude, w.scale - scale, truncate)
                           : TimesPowerOfTen(w.magnitude, scale - w.scale);
  if (!m.FitsU128() || m.Low() >= kPowers[static_cast<std::size_t>(precision)]) return false;
  const Int128 v = static_cast<Int128>(m.Low());
  out.unscaled = w.negative ? -v : v;
  out.precision = precision;
  out.scale = scale;
  return true;
}

bool FitsMoney(Int128 units, ExactKind kind) {
  if (kind == ExactKind::SmallMoney) return units >= kSmallMoneyMin && units <= kSmallMoneyMax;
  return units >= kMoneyMin && units <= kMoneyMax;
}

Decimal AsMoneyType(ExactKind kind) {
  Decimal d;
  d.kind = kind;
  d.precision = kind == ExactKind::SmallMoney ? 10 : 19;
  d.scale = 4;
  return d;
}

// SQL Server's rule when a product or quotient needs more than 38 digits:
// keep the integral digits, and at least 6 decimals unless that overflows.
void ReduceToMax(int& precision, int& scale) {
  if (precision <= kMaxPrecision) return;
  const int integral = precision - scale;
  if (integral < 32) {
    scale = std::min(scale, kMaxPrecision - integral);
  } else {
    scale = std::min(scale, 6);
  }
  precision = kMaxPrecision;
}

// Money stays money with money or with an integer (scale 0 decimals stand
// for integers here); with any other decimal the decimal wins.
bool IsMoneyResult(const Decimal& a, const Decimal& b) {
  const bool moneyA = a.kind != ExactKind::Decimal, moneyB = b.kind != ExactKind::Decimal;
  return (moneyA && moneyB) || (moneyA && !moneyB && b.scale == 0 && b.precision <= 19) ||
         (moneyB && !moneyA && a.scale == 0 && a.precision <= 19);
}

// SQL Server's precision and scale of a decimal result.
void ResultShape(ExactOp op, const Decimal& a, const Decimal& b, int& precision, int& scale) {
  const int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
  switch (op) {
    case ExactOp::Add:
    case ExactOp::Subtract: {
      const int integral = std::max(p1 - s1, p2 - s2);
      scale = std::max(s1, s2);
      precision = scale + integral + 1;
      if (precision > kMaxPrecision) {
        precision = kMaxPrecision;
        scale = std::max(0, kMaxPrecision - integral);
      }
      break;
    }
    case ExactOp::Multiply:
      precision = p1 + p2 + 1;
      scale = s1 + s2;
      ReduceToMax(precision, scale);
      break;
    case ExactOp::Divide:
      scale = std::max(6, s1 + p2 + 1);
      precision = p1 - s1 + s2 + scale;
      ReduceToMax(precision, scale);
      break;
    case ExactOp::Modulo:
      scale = std::max(s1, s2);
      precision = std::min(p1 - s1, p2 - s2) + scale;
      precision = std::clamp(precision, 1, kMaxPrecision);
      break;
  }
}

SqlError ArithmeticOverflow(const Decimal& target) {
  return SqlErrorByNumber(8115, {"expression", ExactTypeName(target)});
}

}  // namespace

Int128 PowerOfTen(int n) {
  return static_cast<Int128>(kPowers[static_cast<std::size_t>(n)]);
}

std::string_view ExactTypeName(const Decimal& d) {
  switch (d.kind) {
    case ExactKind::Money:
      return "money";
    case ExactKind::SmallMoney:
      return "smallmoney";
    case ExactKind::Decimal:
      break;
  }
  return "numeric";
}

SqlError OverflowError(std::string_view from, const Decimal& target) {
  return SqlErrorByNumber(8115, {from, ExactTypeName(target)});
}

std::optional<Decimal> ParseDecimalText(std::string_view text) {
  std::size_t i = 0, end = text.size();
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (i < end && blank(text[i])) ++i;
  while (end > i && blank(text[end - 1])) --end;
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  U128 value = 0;
  int digits = 0, scale = 0;
  bool point = false, any = false;
  for (; i < end; ++i) {
    const char c = text[i];
    if (c == '.' || c == ',') {
      if (point) return std::nullopt;
      point = true;
      continue;
    }
    if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    any = true;
    if (digits == 0 && c == '0' && !point) continue;  // leading zeros
    if (digits >= kMaxPrecision) {
      // Digits beyond 38 only fit when they are decimals that round away.
      if (!point) return std::nullopt;
      continue;
    }
    value = value * 10 + static_cast<U128>(c - '0');
    ++digits;
    if (point) ++scale;
  }
  if (!any) return std::nullopt;
  Decimal d;
  d.unscaled = negative ? -static_cast<Int128>(value) : static_cast<Int128>(value);
  d.scale = scale;
  d.precision = std::max({digits, scale, 1});
  return d;
}

std::optional<Decimal> DecimalLiteral(std::string_view text) {
  if (text.find_first_of("eE") != std::string_view::npos) return std::nullopt;
  auto d = ParseDecimalText(text);
  if (!d) return std::nullopt;
  // A literal's precision counts its integral digits as written (0.5 is
  // numeric(1,1), 10.50 numeric(4,2)).
  return d;
}

Decimal DecimalFromInteger(std::int64_t v) {
  Decimal d;
  d.unscaled = v;
  d.precision = v >= -2147483648LL && v <= 2147483647LL ? 10 : 19;
  d.scale = 0;
  return d;
}

std::optional<Decimal> DecimalFromDouble(double v) {
  if (!std::isfinite(v)) return std::nullopt;
  // The shortest digits that read back as the same float.
  char buffer[64];
  for (int digits = 15; digits <= 17; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, v);
    if (std::strtod(buffer, nullptr) == v) break;
  }
  // Exponent form: shift the digits ourselves.
  std::string text = buffer;
  const std::size_t e = text.find_first_of("eE");
  int exponent = 0;
  if (e != std::string::npos) {
    exponent = std::atoi(text.c_str() + e + 1);
    text.resize(e);
  }
  bool negative = !text.empty() && text[0] == '-';
  if (negative) text.erase(0, 1);
  std::string digits;
  int pointAt = -1;
  for (char c : text) {
    if (c == '.') {
      pointAt = static_cast<int>(digits.size());
    } else {
      digits += c;
    }
  }
  if (pointAt < 0) pointAt = static_cast<int>(digits.size());
  pointAt += exponent;
  // digits with the point after `pointAt` digits.
  std::string written;
  if (pointAt <= 0) {
    written = "0." + std::string(static_cast<std::size_t>(-pointAt), '0') + digits;
  } else if (pointAt >= static_cast<int>(digits.size())) {
    written = digits + std::string(static_cast<std::size_t>(pointAt) - digits.size(), '0');
  } else {
    written = digits.substr(0, static_cast<std::size_t>(pointAt)) + "." +
              digits.substr(static_cast<std::size_t>(pointAt));
  }
  if (written.size() > 80) return std::nullopt;
  auto d = ParseDecimalText((negative ? "-" : "") + written);
  if (!d) return std::nullopt;
  // Beyond 38 digits the decimals round away.
  if (d->scale > kMaxPrecision) return std::nullopt;
  return d;
}

bool RescaleDecimal(const Decimal& in, int precision, int scale, Decimal& out) {
  Decimal r;
  r.kind = ExactKind::Decimal;
  if (!Narrow(WideOf(in), precision, scale, false, r)) return false;
  out = r;
  return true;
}

bool ToMoney(const Decimal& in, ExactKind kind, Decimal& out) {
  Decimal r = AsMoneyType(kind);
  Decimal scaled;
  if (!Narrow(WideOf(in), kMaxPrecision, 4, false, scaled)) return false;
  if (!FitsMoney(scaled.unscaled, kind)) return false;
  r.unscaled = scaled.unscaled;
  out = r;
  return true;
}

double DecimalToDouble(const Decimal& d) {
  // Through the text: correctly rounded, unlike dividing by a power of ten.
  return std::strtod(DecimalText(d).c_str(), nullptr);
}

bool DecimalToInteger(const Decimal& d, std::int64_t& out) {
  const Int128 whole = d.unscaled / PowerOfTen(d.scale);
  if (whole > static_cast<Int128>(INT64_MAX) || whole < static_cast<Int128>(INT64_MIN)) {
    return false;
  }
  out = static_cast<std::int64_t>(whole);
  return true;
}

std::string DecimalText(const Decimal& d) {
  U128 m = Magnitude(d.unscaled);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m != 0);
  if (static_cast<int>(digits.size()) <= d.scale) {
    digits.insert(0, static_cast<std::size_t>(d.scale) + 1 - digits.size(), '0');
  }
  if (d.scale > 0) digits.insert(digits.size() - static_cast<std::size_t>(d.scale), 1, '.');
  if (d.unscaled < 0) digits.insert(0, 1, '-');
  return digits;
}

std::string DecimalCastText(const Decimal& d) {
  if (d.kind == ExactKind::Decimal) return DecimalText(d);
  Decimal two;
  RescaleDecimal(d, kMaxPrecision, 2, two);
  return DecimalText(two);
}

int CompareDecimal(const Decimal& a, const Decimal& b) {
  if (a.scale == b.scale) return a.unscaled < b.unscaled ? -1 : a.unscaled > b.unscaled ? 1 : 0;
  const Wide wa = WideOf(a), wb = WideOf(b);
  const int scale = std::max(a.scale, b.scale);
  const U256 ma = TimesPowerOfTen(wa.magnitude, scale - a.scale);
  const U256 mb = TimesPowerOfTen(wb.magnitude, scale - b.scale);
  const int sa = a.unscaled < 0 ? -1 : a.unscaled > 0 ? 1 : 0;
  const int sb = b.unscaled < 0 ? -1 : b.unscaled > 0 ? 1 : 0;
  if (sa != sb) return sa < sb ? -1 : 1;
  const int c = Compare(ma, mb);
  return sa < 0 ? -c : c;
}

Decimal NegateDecimal(const Decimal& d) {
  Decimal r = d;
  r.unscaled = -d.unscaled;
  return r;
}

Decimal ArithmeticType(ExactOp op, const Decimal& a, const Decimal& b) {
  if (IsMoneyResult(a, b)) {
    return AsMoneyType((a.kind == ExactKind::Money || b.kind == ExactKind::Money)
                           ? ExactKind::Money
                           : ExactKind::SmallMoney);
  }
  Decimal type;
  ResultShape(op, a, b, type.precision, type.scale);
  return type;
}

SqlError SqlErrorByNumber(int number, std::initializer_list<std::string_view> args) {
  const DatabaseError error = ServerErrorByNumber(number, args);
  return SqlError{error.Number(), error.what()};
}

bool DecimalArithmetic(ExactOp op, const Decimal& a, const Decimal& b, Decimal& out,
                       SqlError& error) {
  const bool money = IsMoneyResult(a, b);
  int precision = 0, scale = 0;
  const int s1 = a.scale, s2 = b.scale;
  ResultShape(op, a, b, precision, scale);
  Decimal target;
  if (money) {
    target = AsMoneyType((a.kind == ExactKind::Money || b.kind == ExactKind::Money)
                             ? ExactKind::Money
                             : ExactKind::SmallMoney);
    // Money arithmetic keeps four decimals whatever the operation.
    precision = kMaxPrecision;
    scale = 4;
  }
  const Wide wa = WideOf(a), wb = WideOf(b);
  Wide result;
  bool truncate = false;
  switch (op) {
    case ExactOp::Add:
    case ExactOp::Subtract: {
      const int common = std::max(s1, s2);
      const U256 ma = TimesPowerOfTen(wa.magnitude, common - s1);
      const U256 mb = TimesPowerOfTen(wb.magnitude, common - s2);
      const bool negB = op == ExactOp::Subtract ? !wb.negative : wb.negative;
      result.scale = common;
      if (wa.negative == negB) {
        result.magnitude = Add(ma, mb);
        result.negative = wa.negative;
      } else if (Compare(ma, mb) >= 0) {
        result.magnitude = Sub(ma, mb);
        result.negative = wa.negative;
      } else {
        result.magnitude = Sub(mb, ma);
        result.negative = negB;
      }
      break;
    }
    case ExactOp::Multiply:
      result.magnitude = Mul(Magnitude(a.unscaled), Magnitude(b.unscaled));
      result.negative = wa.negative != wb.negative;
      result.scale = s1 + s2;
      break;
    case ExactOp::Divide:
    case ExactOp::Modulo: {
      if (b.unscaled == 0) {
        error = SqlErrorByNumber(8134);
        return false;
      }
      // a/10^s1 ÷ b/10^s2 = (a·10^s2) / (b·10^s1)
      const U256 n = TimesPowerOfTen(wa.magnitude, s2);
      const U256 d = TimesPowerOfTen(wb.magnitude, s1);
      U256 q, r;
      DivMod(n, d, q, r);
      if (op == ExactOp::Modulo) {
        // Both sides were scaled to s1 + s2 decimals; the remainder takes
        // the dividend's sign.
        result.magnitude = r;
        result.scale = s1 + s2;
        result.negative = wa.negative;
        break;
      }
      const int integral = money ? kMaxPrecision - 4 : precision - scale;
      if (!q.FitsU128() || q.Low() >= kPowers[static_cast<std::size_t>(integral)]) {
        error = ArithmeticOverflow(money ? target : Decimal{});
        return false;
      }
      // SQL Server truncates the quotient at its scale.
      for (int i = 0; i < scale; ++i) {
        r = MulSmall(r, 10);
        std::uint64_t digit = 0;
        while (Compare(r, d) >= 0) {
          r = Sub(r, d);
          ++digit;
        }
        q = Add(MulSmall(q, 10), U256::From(digit));
      }
      result.magnitude = q;
      result.scale = scale;
      result.negative = wa.negative != wb.negative;
      truncate = true;
      break;
    }
  }
  if (result.magnitude.IsZero()) result.negative = false;
  Decimal narrowed;
  if (!Narrow(result, money ? kMaxPrecision : precision, scale, truncate, narrowed)) {
    error = ArithmeticOverflow(money ? target : Decimal{});
    return false;
  }
  if (money) {
    if (!FitsMoney(narrowed.unscaled, target.kind)) {
      error = ArithmeticOverflow(target);
      return false;
    }
    target.unscaled = narrowed.unscaled;
    out = target;
    return true;
  }
  narrowed.kind = ExactKind::Decimal;
  out = narrowed;
  return true;
}

bool RoundDecimal(const Decimal& d, int places, bool truncate, Decimal& out, SqlError& error) {
  Decimal r = d;
  if (places >= d.scale) {
    out = r;
    return true;
  }
  const int drop = d.scale - places;
  if (drop > kMaxPrecision) {
    r.unscaled = 0;
    out = r;
    return true;
  }
  const Int128 unit = PowerOfTen(std::min(drop, kMaxPrecision));
  const U128 m = Magnitude(d.unscaled);
  U128 kept = m / static_cast<U128>(unit);
  const U128 rest = m % static_cast<U128>(unit);
  if (!truncate && rest * 2 >= static_cast<U128>(unit)) ++kept;
  const U256 scaled = Mul(kept, static_cast<U128>(unit));
  // Rounding up may need one more digit than the type has.
  const int limit = d.kind == ExactKind::Decimal ? d.precision : kMaxPrecision;
  if (!scaled.FitsU128() || scaled.Low() >= kPowers[static_cast<std::size_t>(limit)]) {
    error = ArithmeticOverflow(d);
    return false;
  }
  const Int128 v = static_cast<Int128>(scaled.Low());
  r.unscaled = d.unscaled < 0 ? -v : v;
  if (d.kind != ExactKind::Decimal && !FitsMoney(r.unscaled, d.kind)) {
    error = ArithmeticOverflow(d);
    return false;
  }
  out = r;
  return true;
}

bool FloorCeilingDecimal(const Decimal& d, bool ceiling, Decimal& out, SqlError& error) {
  const Int128 unit = PowerOfTen(d.scale);
  Int128 whole = d.unscaled / unit;
  const Int128 rest = d.unscaled % unit;
  if (ceiling && rest > 0) ++whole;
  if (!ceiling && rest < 0) --whole;
  Decimal r = d;
  if (d.kind == ExactKind::Decimal) {
    r.scale = 0;
    r.precision = std::min(kMaxPrecision, d.precision - d.scale + 1);
    r.unscaled = whole;
    if (Magnitude(whole) >= kPowers[static_cast<std::size_t>(r.precision)]) {
      error = ArithmeticOverflow(d);
      return false;
    }
  } else {
    r.unscaled = whole * unit;
  }
  out = r;
  return true;
}

// The stored form: a class byte (negative < zero < positive), then for a
// non-zero value the decimal exponent and the significant digits in pairs
// (value = 0.d1d2d3… × 10^exponent), each pair one byte 2·pair+1 except the
// last, 2·pair, so that a shorter digit string ends where a longer one goes
// on; negative values have their exponent and digit bytes inverted. Two type
// bytes close it: the precision (or a money tag) and the scale.
std::string EncodeDecimal(const Decimal& d) {
  std::string out;
  out.reserve(24);
  const std::uint8_t tag = d.kind == ExactKind::Money ? kMoneyTag
                           : d.kind == ExactKind::SmallMoney
                               ? kSmallMoneyTag
                               : static_cast<std::uint8_t>(d.precision);
  if (d.unscaled == 0) {
    out += static_cast<char>(kZero);
  } else {
    const bool negative = d.unscaled < 0;
    U128 m = Magnitude(d.unscaled);
    int scale = d.scale;
    while (m % 10 == 0) {
      m /= 10;
      --scale;
    }
    const int digits = DigitCount(m);
    const int exponent = digits - scale;  // -37 … 38
    if (digits % 2) {
      m *= 10;  // pad to whole pairs
    }
    const int pairs = (digits + 1) / 2;
    out += static_cast<char>(negative ? kNegative : kPositive);
    const auto expByte = static_cast<std::uint8_t>(exponent + 64);
    out += static_cast<char>(negative ? 255 - expByte : expByte);
    for (int i = pairs - 1; i >= 0; --i) {
      const auto pair = static_cast<unsigned>((m / kPowers[static_cast<std::size_t>(2 * i)]) % 100);
      auto byte = static_cast<std::uint8_t>(2 * pair + (i > 0 ? 1 : 0));
      out += static_cast<char>(negative ? 255 - byte : byte);
    }
  }
  out += static_cast<char>(tag);
  out += static_cast<char>(d.scale);
  return out;
}

bool DecodeDecimal(const unsigned char* b, std::size_t size, Decimal& out) {
  if (size < 3) return false;
  const std::uint8_t tag = b[size - 2];
  const int scale = b[size - 1];
  Decimal d;
  if (tag == kMoneyTag) {
    d = AsMoneyType(ExactKind::Money);
  } else if (tag == kSmallMoneyTag) {
    d = AsMoneyType(ExactKind::SmallMoney);
  } else if (tag >= 1 && tag <= kMaxPrecision && scale <= tag) {
    d.precision = tag;
    d.scale = scale;
  } else {
    return false;
  }
  if (b[0] == kZero) {
    out = d;
    return size == 3;
  }
  if ((b[0] != kNegative && b[0] != kPositive) || size < 5) return false;
  const bool negative = b[0] == kNegative;
  const int exponent = (negative ? 255 - b[1] : b[1]) - 64;
  U128 m = 0;
  int digits = 0;
  std::size_t i = 2;
  for (; i < size - 2; ++i) {
    const unsigned byte = negative ? 255u - b[i] : b[i];
    m = m * 100 + (byte >> 1);
    digits += 2;
    if ((byte & 1) == 0) break;
    if (digits >= 40) return false;
  }
  if (i != size - 3) return false;
  // value = m × 10^(exponent - digits); unscaled = value × 10^scale
  const int shift = exponent - digits + scale;
  if (shift >= 0) {
    if (shift > kMaxPrecision ||
        m > kPowers[kMaxPrecision] / kPowers[static_cast<std::size_t>(shift)]) {
      return false;
    }
    m *= kPowers[static_cast<std::size_t>(shift)];
  } else {
    if (-shift > kMaxPrecision) return false;
    m /= kPowers[static_cast<std::size_t>(-shift)];
  }
  // Only what EncodeDecimal writes reads back: the digits fit the type.
  if (m >= kPowers[static_cast<std::size_t>(d.kind == ExactKind::Decimal ? d.precision : 19)]) {
    return false;
  }
  d.unscaled = negative ? -static_cast<Int128>(m) : static_cast<Int128>(m);
  out = d;
  return true;
}

}  // namespace moltaro::db::embedded
