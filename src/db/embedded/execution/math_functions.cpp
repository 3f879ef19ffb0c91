// The mathematical functions. SQL Server computes most of them in float and
// converts the result into the function's type; here an exact base with a
// whole exponent is multiplied out exactly instead, so POWER(1.1, 2) is
// 1.2 (1.21 rounded to the base's scale) and not a float's neighbour of it.
#include "db/embedded/execution/math_functions.h"

#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>
#include <random>

#include "db/embedded/storage/sqlite_values.h"

namespace moltaro::db::embedded {

namespace {

SqlError InvalidFloatOperation() {
  return SqlErrorByNumber(3623);
}

SqlError FloatOverflow() {
  return SqlErrorByNumber(8115, {"expression", "float"});
}

bool IsNullArg(sqlite3_value* v) {
  return sqlite3_value_type(v) == SQLITE_NULL;
}

// The value as float, as SQL Server converts a function's argument.
bool FloatArg(const SourceValue& in, double& out, SqlError& error) {
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    out = static_cast<double>(*i);
    return true;
  }
  if (const auto* d = std::get_if<double>(&in.value)) {
    out = *d;
    return true;
  }
  if (const auto* d = std::get_if<Decimal>(&in.value)) {
    out = DecimalToDouble(*d);
    return true;
  }
  StoredValue converted;
  if (!ConvertValue(in, SqlType{BaseType::Float, 0, 0, 0}, false, converted, error)) return false;
  out = std::get<double>(converted);
  return true;
}

// The result's type, when the statement passed it after `count` arguments.
std::optional<SqlType> ResultType(int argc, sqlite3_value** argv, int count) {
  if (argc < count + 4) return std::nullopt;
  return TypeFromArguments(argv + count);
}

// Writes the value in the function's result type: an integer type checks
// its range, numeric(p,0) kept as an integer stays one.
void ResultIn(sqlite3_context* ctx, const StoredValue& value, const std::optional<SqlType>& type) {
  if (!type) return ResultValue(ctx, value);
  StoredValue out;
  SqlError error;
  if (!ConvertValue(SourceValue{value, false}, *type, false, out, error)) {
    return ResultError(ctx, error);
  }
  ResultValue(ctx, out);
}

// A float result of the function's own computation: NaN is outside its
// domain (3623); an infinity is 3623 for a pole (LOG(0), COT(0)) and an
// overflow otherwise.
void ResultFloat(sqlite3_context* ctx, double v, bool infinityIsInvalid = false) {
  if (std::isnan(v)) return ResultError(ctx, InvalidFloatOperation());
  if (std::isinf(v))
    return ResultError(ctx, infinityIsInvalid ? InvalidFloatOperation() : FloatOverflow());
  sqlite3_result_double(ctx, v == 0 ? 0.0 : v);  // no negative zero
}

// The float the type of the argument turns back into: an integer truncates,
// a decimal keeps its scale (38 digits), money stays money.
void ResultLikeArgument(sqlite3_context* ctx, const SourceValue& in, double v,
                        const std::optional<SqlType>& type) {
  if (std::isnan(v)) return ResultError(ctx, InvalidFloatOperation());
  if (std::isinf(v)) return ResultError(ctx, FloatOverflow());
  if (std::holds_alternative<std::int64_t>(in.value)) {
    // A bit's result is a float; other integers' an integer of their kind.
    const SqlType target = type.value_or(SqlType{BaseType::BigInt, 0, 0, 0});
    if (IsInteger(target.base))
      return ResultIn(ctx, std::trunc(v) == 0 ? 0.0 : std::trunc(v), target);
    return ResultIn(ctx, v == 0 ? 0.0 : v, target);
  }
  if (const auto* d = std::get_if<Decimal>(&in.value)) {
    const auto exact = DecimalFromDouble(v);
    if (!exact) return ResultError(ctx, FloatOverflow());
    Decimal out;
    if (d->kind != ExactKind::Decimal) {
      if (!ToMoney(*exact, d->kind, out)) return ResultError(ctx, OverflowError("float", *d));
    } else if (!RescaleDecimal(*exact, kMaxPrecision, d->scale, out)) {
      Decimal target = *d;
      target.precision = kMaxPrecision;
      return ResultError(ctx, OverflowError("float", target));
    }
    return ResultIn(ctx, out, type);
  }
  ResultIn(ctx, v == 0 ? 0.0 : v, type);
}

// A whole exponent, when the value is one an exact base can be raised to.
std::optional<long long> WholeExponent(const SourceValue& y) {
  constexpr long long kLimit = 4096;  // beyond, any base but 0 and ±1 overflows or vanishes
  long long n = 0;
  if (const auto* i = std::get_if<std::int64_t>(&y.value)) {
    n = *i;
  } else if (const auto* d = std::get_if<Decimal>(&y.value)) {
    if (d->unscaled % PowerOfTen(d->scale) != 0) return std::nullopt;
    const Int128 whole = d->unscaled / PowerOfTen(d->scale);
    if (whole > kLimit || whole < -kLimit) return std::nullopt;
    n = static_cast<long long>(whole);
  } else if (const auto* f = std::get_if<double>(&y.value)) {
    if (std::trunc(*f) != *f || std::fabs(*f) > kLimit) return std::nullopt;
    n = static_cast<long long>(*f);
  } else {
    return std::nullopt;
  }
  if (n > kLimit || n < -kLimit) return std::nullopt;
  return n;
}

// base^n for an integer base, truncated toward zero as SQL Server's int
// result is; false on overflow of bigint.
bool IntegerPower(std::int64_t base, long long n, std::int64_t& out, SqlError& error) {
  if (n < 0) {
    if (base == 0) {
      error = InvalidFloatOperation();
      return false;
    }
    out = base == 1 ? 1 : base == -1 ? (n % 2 == 0 ? 1 : -1) : 0;
    return true;
  }
  std::int64_t r = 1;
  for (long long k = 0; k < n; ++k) {
    if (__builtin_mul_overflow(r, base, &r)) {
      error = SqlErrorByNumber(8115, {"expression", "bigint"});
      return false;
    }
    if (r == 0 || r == 1) break;
  }
  out = r;
  return true;
}

// d^n exactly (a negative n divides 1 by d^|n| at SQL Server's division
// scale), in decimal(38, s) or money.
bool DecimalPower(const Decimal& d, long long n, Decimal& out, SqlError& error) {
  if (d.unscaled == 0 && n < 0) {
    error = InvalidFloatOperation();
    return false;
  }
  Decimal r = DecimalFromInteger(1);
  const Decimal one = r;
  for (long long k = 0; k < (n < 0 ? -n : n); ++k) {
    if (!DecimalArithmetic(ExactOp::Multiply, r, d, r, error)) return false;
    if (r.unscaled == 0) break;
  }
  if (n < 0 && !DecimalArithmetic(ExactOp::Divide, one, r, r, error)) return false;
  if (d.kind != ExactKind::Decimal) {
    if (ToMoney(r, d.kind, out)) return true;
    error = OverflowError("expression", d);
    return false;
  }
  if (RescaleDecimal(r, kMaxPrecision, d.scale, out)) return true;
  Decimal target = d;
  target.precision = kMaxPrecision;
  error = OverflowError("expression", target);
  return false;
}

// tsql_power(x, y [, result type])
void PowerFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNullArg(argv[0]) || IsNullArg(argv[1])) return sqlite3_result_null(ctx);
  const SourceValue x = ReadArg(argv[0]);
  const SourceValue y = ReadArg(argv[1]);
  const std::optional<SqlType> type = ResultType(argc, argv, 2);
  SqlError error;
  if (const auto n = WholeExponent(y)) {
    if (const auto* i = std::get_if<std::int64_t>(&x.value)) {
      std::int64_t r = 0;
      if (!IntegerPower(*i, *n, r, error)) return ResultError(ctx, error);
      return ResultIn(ctx, r, type.value_or(SqlType{BaseType::BigInt, 0, 0, 0}));
    }
    if (const auto* d = std::get_if<Decimal>(&x.value)) {
      Decimal r;
      if (!DecimalPower(*d, *n, r, error)) return ResultError(ctx, error);
      return ResultIn(ctx, r, type);
    }
  }
  double base = 0, exponent = 0;
  if (!FloatArg(x, base, error) || !FloatArg(y, exponent, error)) return ResultError(ctx, error);
  if (base == 0 && exponent < 0) return ResultError(ctx, InvalidFloatOperation());
  const double v = std::pow(base, exponent);
  if (std::holds_alternative<std::string>(x.value)) return ResultFloat(ctx, v);
  ResultLikeArgument(ctx, x, v, type);
}

// tsql_sign(x [, result type]): -1, 0 or 1 in the argument's type.
void SignFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNullArg(argv[0])) return sqlite3_result_null(ctx);
  const SourceValue x = ReadArg(argv[0]);
  const std::optional<SqlType> type = ResultType(argc, argv, 1);
  if (const auto* i = std::get_if<std::int64_t>(&x.value)) {
    return ResultIn(ctx, std::int64_t{(*i > 0) - (*i < 0)}, type);
  }
  if (const auto* d = std::get_if<Decimal>(&x.value)) {
    Decimal r = *d;
    r.precision = std::max(d->precision, d->scale + 1);  // room for the 1
    r.unscaled = PowerOfTen(d->scale) * ((d->unscaled > 0) - (d->unscaled < 0));
    return ResultIn(ctx, r, type);
  }
  double v = 0;
  SqlError error;
  if (!FloatArg(x, v, error)) return ResultError(ctx, error);
  sqlite3_result_double(ctx, static_cast<double>((v > 0) - (v < 0)));
}

// tsql_degrees and tsql_radians: the angle scaled, in the argument's type.
void AngleFn(sqlite3_context* ctx, int argc, sqlite3_value** argv, double factor) {
  if (IsNullArg(argv[0])) return sqlite3_result_null(ctx);
  const SourceValue x = ReadArg(argv[0]);
  double v = 0;
  SqlError error;
  if (!FloatArg(x, v, error)) return ResultError(ctx, error);
  if (std::holds_alternative<std::string>(x.value)) return ResultFloat(ctx, v * factor);
  ResultLikeArgument(ctx, x, v * factor, ResultType(argc, argv, 1));
}
void DegreesFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  AngleFn(ctx, argc, argv, 180.0 / std::numbers::pi);
}
void RadiansFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  AngleFn(ctx, argc, argv, std::numbers::pi / 180.0);
}

// The float functions of one argument; `domain` says whether the argument
// is inside it (else 3623), `pole` that an infinite result is one too.
template <double (*F)(double), bool (*Domain)(double), bool Pole = false>
void FloatFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNullArg(argv[0])) return sqlite3_result_null(ctx);
  double v = 0;
  SqlError error;
  if (!FloatArg(ReadArg(argv[0]), v, error)) return ResultError(ctx, error);
  if (!Domain(v)) return ResultError(ctx, InvalidFloatOperation());
  ResultFloat(ctx, F(v), Pole);
}

bool Anywhere(double) {
  return true;
}
bool NotNegative(double v) {
  return v >= 0;
}
bool Positive(double v) {
  return v > 0;
}
bool UnitInterval(double v) {
  return v >= -1 && v <= 1;
}
bool NotZero(double v) {
  return v != 0;
}

double Sqrt(double v) {
  return std::sqrt(v);
}
double Square(double v) {
  return v * v;
}
double Exp(double v) {
  return std::exp(v);
}
double Log(double v) {
  return std::log(v);
}
double Log10(double v) {
  return std::log10(v);
}
double Sin(double v) {
  return std::sin(v);
}
double Cos(double v) {
  return std::cos(v);
}
double Tan(double v) {
  return std::tan(v);
}
double Cot(double v) {
  return 1.0 / std::tan(v);
}
double Asin(double v) {
  return std::asin(v);
}
double Acos(double v) {
  return std::acos(v);
}
double Atan(double v) {
  return std::atan(v);
}

// tsql_log(x, base): the logarithm to the base; a base of 1 or below 0 is
// outside the domain, as SQL Server says.
void LogBaseFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNullArg(argv[0]) || IsNullArg(argv[1])) return sqlite3_result_null(ctx);
  double v = 0, base = 0;
  SqlError error;
  if (!FloatArg(ReadArg(argv[0]), v, error) || !FloatArg(ReadArg(argv[1]), base, error)) {
    return ResultError(ctx, error);
  }
  if (v <= 0 || base <= 0 || base == 1) return ResultError(ctx, InvalidFloatOperation());
  ResultFloat(ctx, std::log(v) / std::log(base), true);
}

// tsql_atn2(y, x): the angle of the point (x, y).
void Atn2Fn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNullArg(argv[0]) || IsNullArg(argv[1])) return sqlite3_result_null(ctx);
  double y = 0, x = 0;
  SqlError error;
  if (!FloatArg(ReadArg(argv[0]), y, error) || !FloatArg(ReadArg(argv[1]), x, error)) {
    return ResultError(ctx, error);
  }
  if (x == 0 && y == 0) return ResultError(ctx, InvalidFloatOperation());
  ResultFloat(ctx, std::atan2(y, x));
}

void PiFn(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_double(ctx, std::numbers::pi);
}

// RAND's generator: one per connection, so that RAND(seed) followed by
// RAND() repeats its sequence on the connection that a batch runs on.
struct RandomState {
  std::mt19937_64 engine{std::random_device{}()};
};

void DestroyRandomState(void* state) {
  std::unique_ptr<RandomState> owned(static_cast<RandomState*>(state));
}

// tsql_rand([seed]): a float in [0, 1); a seed starts the sequence again.
void RandFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  auto& state = *static_cast<RandomState*>(sqlite3_user_data(ctx));
  if (argc > 0 && !IsNullArg(argv[0])) {
    StoredValue seed;
    SqlError error;
    if (!ConvertValue(ReadArg(argv[0]), SqlType{BaseType::Int, 0, 0, 0}, false, seed, error)) {
      return ResultError(ctx, error);
    }
    state.engine.seed(static_cast<std::uint64_t>(std::get<std::int64_t>(seed)));
  }
  // 53 random bits: every double in [0, 1) of that grid, never 1.
  const double v = static_cast<double>(state.engine() >> 11) * 0x1.0p-53;
  sqlite3_result_double(ctx, v);
}

}  // namespace

void RegisterMathFunctions(sqlite3* db) {
  for (int argc : {2, 6}) RegisterScalar(db, "tsql_power", argc, PowerFn);
  for (int argc : {1, 5}) {
    RegisterScalar(db, "tsql_sign", argc, SignFn);
    RegisterScalar(db, "tsql_degrees", argc, DegreesFn);
    RegisterScalar(db, "tsql_radians", argc, RadiansFn);
  }
  RegisterScalar(db, "tsql_sqrt", 1, FloatFn<Sqrt, NotNegative>);
  RegisterScalar(db, "tsql_square", 1, FloatFn<Square, Anywhere>);
  RegisterScalar(db, "tsql_exp", 1, FloatFn<Exp, Anywhere>);
  RegisterScalar(db, "tsql_log", 1, FloatFn<Log, Positive, true>);
  RegisterScalar(db, "tsql_log", 2, LogBaseFn);
  RegisterScalar(db, "tsql_log10", 1, FloatFn<Log10, Positive, true>);
  RegisterScalar(db, "tsql_sin", 1, FloatFn<Sin, Anywhere>);
  RegisterScalar(db, "tsql_cos", 1, FloatFn<Cos, Anywhere>);
  RegisterScalar(db, "tsql_tan", 1, FloatFn<Tan, Anywhere>);
  RegisterScalar(db, "tsql_cot", 1, FloatFn<Cot, NotZero, true>);
  RegisterScalar(db, "tsql_asin", 1, FloatFn<Asin, UnitInterval>);
  RegisterScalar(db, "tsql_acos", 1, FloatFn<Acos, UnitInterval>);
  RegisterScalar(db, "tsql_atan", 1, FloatFn<Atan, Anywhere>);
  RegisterScalar(db, "tsql_atn2", 2, Atn2Fn);
  RegisterScalar(db, "tsql_pi", 0, PiFn);
  // One registration for RAND() and RAND(seed), so both share the state.
  sqlite3_create_function_v2(db, "tsql_rand", -1, SQLITE_UTF8,
                             std::make_unique<RandomState>().release(), RandFn, nullptr, nullptr,
                             DestroyRandomState);
}

}  // namespace moltaro::db::embedded
