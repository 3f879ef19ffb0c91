// The SQL functions of numbers: arithmetic and comparison over integers,
// floats, exact numbers and number text with SQL Server's data type
// precedence, and the aggregates that keep exact numbers exact.
#include "db/embedded/execution/number_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>

#include "common/text.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/collation.h"

namespace moltaro::db::embedded {

namespace {

// A number as an operator sees it: the operand of higher precedence decides
// what the other converts to (float > exact > integer; text converts to the
// other side's type).
enum class Rank { Null, Text, Integer, Exact, Float };

Rank RankOf(const StoredValue& v) {
  if (std::holds_alternative<std::monostate>(v)) return Rank::Null;
  if (std::holds_alternative<std::int64_t>(v)) return Rank::Integer;
  if (std::holds_alternative<double>(v)) return Rank::Float;
  if (std::holds_alternative<Decimal>(v)) return Rank::Exact;
  return Rank::Text;
}

// Converts number text to the rank of the other operand, with SQL Server's
// error for text that is not such a number.
bool TextToRank(const SourceValue& text, Rank rank, StoredValue& out, SqlError& error) {
  const std::string& s = std::get<std::string>(text.value);
  const char* type = text.national ? "nvarchar" : "varchar";
  switch (rank) {
    case Rank::Float: {
      auto d = ParseNumberText(s);
      if (!d) {
        error = {8114, std::string("Error converting data type ") + type + " to float."};
        return false;
      }
      out = *d;
      return true;
    }
    case Rank::Exact: {
      auto d = ParseDecimalText(s);
      if (!d) {
        error = {8114, std::string("Error converting data type ") + type + " to numeric."};
        return false;
      }
      out = *d;
      return true;
    }
    default: {
      StoredValue converted;
      if (!ConvertValue(text, SqlType{BaseType::BigInt, 0, 0, 0}, true, converted, error)) {
        // A bigint's message names int, as the comparison with an int column does.
        if (error.number == 245 || error.number == 248) {
          error = {245, "Conversion failed when converting the " + std::string(type) + " value '" +
                            s + "' to data type int."};
        }
        return false;
      }
      out = converted;
      return true;
    }
  }
}

// Brings two operands to one rank; false with an error when text does not
// convert. Text with text stays text.
bool Unify(sqlite3_value* a, sqlite3_value* b, StoredValue& x, StoredValue& y, Rank& rank,
           SqlError& error) {
  SourceValue sa = ReadArg(a), sb = ReadArg(b);
  // Binary meets a number as the integer of its last bytes; two binary
  // values compare by their bytes.
  auto* ba = std::get_if<Binary>(&sa.value);
  auto* bb = std::get_if<Binary>(&sb.value);
  if (ba && bb) {
    sa.value = ba->bytes;
    sb.value = bb->bytes;
  } else if (ba) {
    sa.value = BinaryToInteger(*ba, 8);
  } else if (bb) {
    sb.value = BinaryToInteger(*bb, 8);
  }
  const Rank ra = RankOf(sa.value), rb = RankOf(sb.value);
  x = sa.value;
  y = sb.value;
  if (ra == Rank::Null || rb == Rank::Null) {
    rank = Rank::Null;
    return true;
  }
  if (ra == Rank::Text && rb == Rank::Text) {
    rank = Rank::Text;
    return true;
  }
  if (ra == Rank::Text && !TextToRank(sa, rb, x, error)) return false;
  if (rb == Rank::Text && !TextToRank(sb, ra, y, error)) return false;
  const Rank r1 = RankOf(x), r2 = RankOf(y);
  rank = r1 > r2 ? r1 : r2;
  return true;
}

double AsDouble(const StoredValue& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<Decimal>(&v)) return DecimalToDouble(*d);
  return std::get<double>(v);
}

Decimal AsDecimal(const StoredValue& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) return DecimalFromInteger(*i);
  return std::get<Decimal>(v);
}

const SqlError kDivideByZero{8134, "Divide by zero error encountered."};

SqlError BigintOverflow() {
  return {8115, "Arithmetic overflow error converting expression to data type bigint."};
}

const char* OperatorName(ExactOp op) {
  switch (op) {
    case ExactOp::Add:
      return "add";
    case ExactOp::Subtract:
      return "subtract";
    case ExactOp::Multiply:
      return "multiply";
    case ExactOp::Divide:
      return "divide";
    case ExactOp::Modulo:
      return "modulo";
  }
  return "";
}

void Arithmetic(sqlite3_context* ctx, ExactOp op, sqlite3_value* a, sqlite3_value* b) {
  StoredValue x, y;
  Rank rank;
  SqlError error;
  if (!Unify(a, b, x, y, rank, error)) return ResultError(ctx, error);
  switch (rank) {
    case Rank::Null:
      sqlite3_result_null(ctx);
      return;
    case Rank::Text:
      if (op == ExactOp::Add) {
        const std::string joined = std::get<std::string>(x) + std::get<std::string>(y);
        sqlite3_result_text(ctx, joined.data(), static_cast<int>(joined.size()), SQLITE_TRANSIENT);
        return;
      }
      return ResultError(ctx, {8117, std::string("Operand data type varchar is invalid for ") +
                                         OperatorName(op) + " operator."});
    case Rank::Integer: {
      const std::int64_t i = std::get<std::int64_t>(x), j = std::get<std::int64_t>(y);
      long long r = 0;
      bool overflow = false;
      switch (op) {
        case ExactOp::Add:
          overflow = __builtin_add_overflow(i, j, &r);
          break;
        case ExactOp::Subtract:
          overflow = __builtin_sub_overflow(i, j, &r);
          break;
        case ExactOp::Multiply:
          overflow = __builtin_mul_overflow(i, j, &r);
          break;
        case ExactOp::Divide:
        case ExactOp::Modulo:
          if (j == 0) return ResultError(ctx, kDivideByZero);
          if (i == std::numeric_limits<std::int64_t>::min() && j == -1) {
            overflow = op == ExactOp::Divide;
            r = 0;
          } else {
            r = op == ExactOp::Divide ? i / j : i % j;
          }
          break;
      }
      if (overflow) return ResultError(ctx, BigintOverflow());
      sqlite3_result_int64(ctx, r);
      return;
    }
    case Rank::Float: {
      const double i = AsDouble(x), j = AsDouble(y);
      double r = 0;
      switch (op) {
        case ExactOp::Add:
          r = i + j;
          break;
        case ExactOp::Subtract:
          r = i - j;
          break;
        case ExactOp::Multiply:
          r = i * j;
          break;
        case ExactOp::Divide:
          if (j == 0) return ResultError(ctx, kDivideByZero);
          r = i / j;
          break;
        case ExactOp::Modulo:
          if (j == 0) return ResultError(ctx, kDivideByZero);
          r = std::fmod(i, j);
          break;
      }
      if (!std::isfinite(r)) {
        return ResultError(ctx, {8115,
                                 "Arithmetic overflow error converting expression to "
                                 "data type float."});
      }
      sqlite3_result_double(ctx, r);
      return;
    }
    case Rank::Exact: {
      Decimal r;
      if (!DecimalArithmetic(op, AsDecimal(x), AsDecimal(y), r, error)) {
        return ResultError(ctx, error);
      }
      ResultValue(ctx, r);
      return;
    }
  }
}

void AddFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Arithmetic(ctx, ExactOp::Add, argv[0], argv[1]);
}
void SubtractFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Arithmetic(ctx, ExactOp::Subtract, argv[0], argv[1]);
}
void MultiplyFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Arithmetic(ctx, ExactOp::Multiply, argv[0], argv[1]);
}
void DivideFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Arithmetic(ctx, ExactOp::Divide, argv[0], argv[1]);
}
void ModuloFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Arithmetic(ctx, ExactOp::Modulo, argv[0], argv[1]);
}

void NegateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SourceValue in = ReadArg(argv[0]);
  if (const auto* d = std::get_if<Decimal>(&in.value)) return ResultValue(ctx, NegateDecimal(*d));
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    if (*i == std::numeric_limits<std::int64_t>::min()) return ResultError(ctx, BigintOverflow());
    return sqlite3_result_int64(ctx, -*i);
  }
  if (const auto* f = std::get_if<double>(&in.value)) return sqlite3_result_double(ctx, -*f);
  if (std::holds_alternative<std::string>(in.value)) {
    return ResultError(ctx, {8117, "Operand data type varchar is invalid for minus operator."});
  }
  sqlite3_result_null(ctx);
}

// -1, 0, 1; nullopt for NULL. Text with a number converts to the number;
// text with text compares under the collation (when there is one).
bool Compare(sqlite3_value* a, sqlite3_value* b, const Collation* collation,
             std::optional<int>& result, SqlError& error) {
  StoredValue x, y;
  Rank rank;
  if (!Unify(a, b, x, y, rank, error)) return false;
  switch (rank) {
    case Rank::Null:
      result.reset();
      break;
    case Rank::Text: {
      std::string_view s = std::get<std::string>(x), t = std::get<std::string>(y);
      if (collation) {
        const int c = collation->Compare(s, t);
        result = c < 0 ? -1 : c > 0 ? 1 : 0;
        break;
      }
      while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
      while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
      result = s < t ? -1 : s > t ? 1 : 0;
      break;
    }
    case Rank::Integer: {
      const std::int64_t i = std::get<std::int64_t>(x), j = std::get<std::int64_t>(y);
      result = i < j ? -1 : i > j ? 1 : 0;
      break;
    }
    case Rank::Float: {
      const double i = AsDouble(x), j = AsDouble(y);
      result = i < j ? -1 : i > j ? 1 : 0;
      break;
    }
    case Rank::Exact:
      result = CompareDecimal(AsDecimal(x), AsDecimal(y));
      break;
  }
  return true;
}

// tsql_cmp(a, b): the sign of a - b, NULL when either is NULL.
void CompareFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::optional<int> result;
  SqlError error;
  if (!Compare(argv[0], argv[1], static_cast<const Collation*>(sqlite3_user_data(ctx)), result,
               error)) {
    return ResultError(ctx, error);
  }
  if (!result) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, *result);
}

// tsql_in(x, v1, v2, …): x IN (v1, v2, …) with the comparison of tsql_cmp.
void InFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  bool sawNull = false;
  for (int i = 1; i < argc; ++i) {
    std::optional<int> result;
    SqlError error;
    if (!Compare(argv[0], argv[i], static_cast<const Collation*>(sqlite3_user_data(ctx)), result,
                 error)) {
      return ResultError(ctx, error);
    }
    if (!result) {
      sawNull = true;
    } else if (*result == 0) {
      return sqlite3_result_int(ctx, 1);
    }
  }
  if (sawNull) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, 0);
}

// tsql_exact(integer, precision): a numeric(p,0) kept as an integer, as the
// exact number it stands for.
void ExactFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_INTEGER) {
    return ResultValue(ctx, ReadArg(argv[0]).value);
  }
  Decimal d = DecimalFromInteger(sqlite3_value_int64(argv[0]));
  d.precision = std::clamp(sqlite3_value_int(argv[1]), 1, kMaxPrecision);
  ResultValue(ctx, d);
}

void AbsFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const SourceValue in = ReadArg(argv[0]);
  if (const auto* d = std::get_if<Decimal>(&in.value)) {
    return ResultValue(ctx, d->unscaled < 0 ? NegateDecimal(*d) : *d);
  }
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    if (*i == std::numeric_limits<std::int64_t>::min()) return ResultError(ctx, BigintOverflow());
    return sqlite3_result_int64(ctx, *i < 0 ? -*i : *i);
  }
  if (const auto* f = std::get_if<double>(&in.value)) {
    return sqlite3_result_double(ctx, std::fabs(*f));
  }
  if (const auto* s = std::get_if<std::string>(&in.value)) {
    auto d = ParseNumberText(*s);
    if (!d) {
      return ResultError(ctx, {8114, "Error converting data type varchar to float."});
    }
    return sqlite3_result_double(ctx, std::fabs(*d));
  }
  sqlite3_result_null(ctx);
}

void RoundFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    return sqlite3_result_null(ctx);
  }
  const int places = sqlite3_value_int(argv[1]);
  const bool truncate = argc > 2 && sqlite3_value_int(argv[2]) != 0;
  const SourceValue in = ReadArg(argv[0]);
  if (const auto* d = std::get_if<Decimal>(&in.value)) {
    Decimal r;
    SqlError error;
    if (!RoundDecimal(*d, places, truncate, r, error)) return ResultError(ctx, error);
    return ResultValue(ctx, r);
  }
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    if (places >= 0) return sqlite3_result_int64(ctx, *i);
    Decimal r;
    SqlError error;
    if (!RoundDecimal(DecimalFromInteger(*i), places, truncate, r, error)) {
      return ResultError(ctx, {8115,
                               "Arithmetic overflow error converting expression to data "
                               "type int."});
    }
    return sqlite3_result_int64(ctx, static_cast<std::int64_t>(r.unscaled));
  }
  const double factor = std::pow(10.0, places);
  const double v = sqlite3_value_double(argv[0]) * factor;
  sqlite3_result_double(ctx, (truncate ? std::trunc(v) : std::round(v)) / factor);
}

void FloorCeiling(sqlite3_context* ctx, sqlite3_value** argv, bool ceiling) {
  const SourceValue in = ReadArg(argv[0]);
  if (const auto* d = std::get_if<Decimal>(&in.value)) {
    Decimal r;
    SqlError error;
    if (!FloorCeilingDecimal(*d, ceiling, r, error)) return ResultError(ctx, error);
    return ResultValue(ctx, r);
  }
  const int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (t == SQLITE_INTEGER) return sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
  const double v = sqlite3_value_double(argv[0]);
  sqlite3_result_double(ctx, ceiling ? std::ceil(v) : std::floor(v));
}
void FloorFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  FloorCeiling(ctx, argv, false);
}
void CeilingFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  FloorCeiling(ctx, argv, true);
}

// SUM and AVG over any mix of numbers: integers sum as bigint, exact
// numbers exactly at the largest scale seen, anything with a float as float.
// SQLite hands the state over zero-filled, which is the empty state.
struct Accumulator {
  Rank rank = Rank::Null;
  std::int64_t integer = 0;
  double real = 0;
  Int128 exact = 0;
  int scale = 0;
  ExactKind kind = ExactKind::Decimal;
  bool anyDecimal = false;  // a decimal among money values makes the sum a decimal
  long long count = 0;
  bool failed = false;
};

// SQLite's aggregate memory is only 8-byte aligned; the 128-bit sum needs 16.
Accumulator* State(sqlite3_context* ctx, bool create) {
  void* raw = sqlite3_aggregate_context(
      ctx, create ? static_cast<int>(sizeof(Accumulator) + alignof(Accumulator)) : 0);
  if (!raw) return nullptr;
  std::size_t space = sizeof(Accumulator) + alignof(Accumulator);
  return static_cast<Accumulator*>(
      std::align(alignof(Accumulator), sizeof(Accumulator), raw, space));
}

bool AddExact(Accumulator& acc, const Decimal& d, SqlError& error) {
  Int128 value = d.unscaled;
  if (d.scale > acc.scale) {
    if (__builtin_mul_overflow(acc.exact, PowerOfTen(d.scale - acc.scale), &acc.exact)) {
      error = {8115, "Arithmetic overflow error converting expression to data type numeric."};
      return false;
    }
    acc.scale = d.scale;
  } else if (d.scale < acc.scale &&
             __builtin_mul_overflow(value, PowerOfTen(acc.scale - d.scale), &value)) {
    error = {8115, "Arithmetic overflow error converting expression to data type numeric."};
    return false;
  }
  if (__builtin_add_overflow(acc.exact, value, &acc.exact)) {
    error = {8115, "Arithmetic overflow error converting expression to data type numeric."};
    return false;
  }
  return true;
}

void AccumulateStep(sqlite3_context* ctx, sqlite3_value* v) {
  Accumulator* acc = State(ctx, true);
  if (!acc || acc->failed) return;
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_NULL) return;
  SqlError error;
  ++acc->count;
  if (type == SQLITE_FLOAT || acc->rank == Rank::Float) {
    if (acc->rank == Rank::Integer) acc->real = static_cast<double>(acc->integer);
    if (acc->rank == Rank::Exact) {
      Decimal d;
      d.unscaled = acc->exact;
      d.scale = acc->scale;
      acc->real = DecimalToDouble(d);
    }
    acc->rank = Rank::Float;
    const SourceValue in = ReadArg(v);
    if (std::holds_alternative<std::string>(in.value)) {
      error = {8117, "Operand data type varchar is invalid for sum operator."};
    } else {
      acc->real += AsDouble(in.value);
      return;
    }
  } else if (type == SQLITE_INTEGER) {
    const std::int64_t i = sqlite3_value_int64(v);
    if (acc->rank == Rank::Exact) {
      if (AddExact(*acc, DecimalFromInteger(i), error)) return;
    } else {
      acc->rank = Rank::Integer;
      if (!__builtin_add_overflow(acc->integer, i, &acc->integer)) return;
      error = BigintOverflow();
    }
  } else if (type == SQLITE_BLOB) {
    Decimal d;
    const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(v));
    if (bytes && DecodeDecimal(bytes, static_cast<std::size_t>(sqlite3_value_bytes(v)), d)) {
      if (acc->rank == Rank::Integer) {
        acc->exact = acc->integer;
        acc->scale = 0;
      } else if (acc->rank != Rank::Exact) {
        acc->kind = d.kind;
      }
      if (acc->rank == Rank::Exact && acc->kind != d.kind) acc->anyDecimal = true;
      if (d.kind == ExactKind::Decimal) acc->anyDecimal = true;
      acc->rank = Rank::Exact;
      if (AddExact(*acc, d, error)) return;
    } else {
      error = {8117, "Operand data type varchar is invalid for sum operator."};
    }
  } else {
    error = {8117, "Operand data type varchar is invalid for sum operator."};
  }
  acc->failed = true;
  ResultError(ctx, error);
}

void SumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  AccumulateStep(ctx, argv[0]);
}

// Takes a value that leaves a window's frame back out of the total.
void SumInverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
  Accumulator* acc = State(ctx, true);
  if (!acc || acc->failed) return;
  sqlite3_value* v = argv[0];
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_NULL) return;
  --acc->count;
  SqlError error;
  if (acc->rank == Rank::Float) {
    acc->real -= AsDouble(ReadArg(v).value);
    return;
  }
  if (type == SQLITE_INTEGER) {
    const std::int64_t i = sqlite3_value_int64(v);
    if (acc->rank != Rank::Exact) {
      acc->integer -= i;
      return;
    }
    if (AddExact(*acc, DecimalFromInteger(-i), error)) return;
  } else if (type == SQLITE_BLOB) {
    Decimal d;
    const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(v));
    if (bytes && DecodeDecimal(bytes, static_cast<std::size_t>(sqlite3_value_bytes(v)), d)) {
      d.unscaled = -d.unscaled;
      if (AddExact(*acc, d, error)) return;
    }
  } else {
    return;  // never taken in: its step failed the statement
  }
  acc->failed = true;
  ResultError(ctx, error);
}

// The exact total as SQL Server types SUM: decimal(38, s), or money.
bool ExactTotal(const Accumulator& acc, Decimal& out, SqlError& error) {
  Decimal sum;
  sum.unscaled = acc.exact;
  sum.scale = acc.scale;
  sum.precision = kMaxPrecision;
  const Int128 limit = PowerOfTen(kMaxPrecision);
  if (acc.exact >= limit || acc.exact <= -limit) {
    error = {8115, "Arithmetic overflow error converting expression to data type numeric."};
    return false;
  }
  if (!acc.anyDecimal && acc.kind != ExactKind::Decimal) {
    if (!ToMoney(sum, ExactKind::Money, out)) {
      error = {8115, "Arithmetic overflow error converting expression to data type money."};
      return false;
    }
    return true;
  }
  out = sum;
  return true;
}

void SumFinal(sqlite3_context* ctx) {
  Accumulator* acc = State(ctx, false);
  if (!acc || acc->failed || acc->count == 0) return sqlite3_result_null(ctx);
  switch (acc->rank) {
    case Rank::Integer:
      return sqlite3_result_int64(ctx, acc->integer);
    case Rank::Float:
      return sqlite3_result_double(ctx, acc->real);
    case Rank::Exact: {
      Decimal total;
      SqlError error;
      if (!ExactTotal(*acc, total, error)) return ResultError(ctx, error);
      return ResultValue(ctx, total);
    }
    default:
      return sqlite3_result_null(ctx);
  }
}

void AvgFinal(sqlite3_context* ctx) {
  Accumulator* acc = State(ctx, false);
  if (!acc || acc->failed || acc->count == 0) return sqlite3_result_null(ctx);
  switch (acc->rank) {
    case Rank::Integer:
      // AVG of integers is an integer, truncated.
      return sqlite3_result_int64(ctx, acc->integer / acc->count);
    case Rank::Float:
      return sqlite3_result_double(ctx, acc->real / static_cast<double>(acc->count));
    case Rank::Exact: {
      Decimal total, quotient, result;
      SqlError error;
      if (!ExactTotal(*acc, total, error) ||
          !DecimalArithmetic(ExactOp::Divide, total, DecimalFromInteger(acc->count), quotient,
                             error)) {
        return ResultError(ctx, error);
      }
      // decimal(38, max(s, 6)); money stays money.
      if (quotient.kind == ExactKind::Decimal) {
        RescaleDecimal(quotient, kMaxPrecision, std::max(total.scale, 6), result);
        return ResultValue(ctx, result);
      }
      return ResultValue(ctx, quotient);
    }
    default:
      return sqlite3_result_null(ctx);
  }
}

}  // namespace

void RegisterCollatedComparisons(sqlite3* db, const std::string& collationName) {
  struct Entry {
    const char* name;
    int argc;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  };
  for (const Entry& e : {Entry{"tsql_cmp", 2, CompareFn}, Entry{"tsql_in", -1, InFn}}) {
    auto collation = std::make_unique<Collation>(collationName);
    sqlite3_create_function_v2(db, e.name, e.argc, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                               collation.get(), e.fn, nullptr, nullptr, DestroyCollation);
    collation.release();
  }
}

void RegisterNumberFunctions(sqlite3* db) {
  RegisterScalar(db, "tsql_add", 2, AddFn);
  RegisterScalar(db, "tsql_sub", 2, SubtractFn);
  RegisterScalar(db, "tsql_mul", 2, MultiplyFn);
  RegisterScalar(db, "tsql_div", 2, DivideFn);
  RegisterScalar(db, "tsql_mod", 2, ModuloFn);
  RegisterScalar(db, "tsql_neg", 1, NegateFn);
  RegisterScalar(db, "tsql_cmp", 2, CompareFn);
  RegisterScalar(db, "tsql_in", -1, InFn);
  RegisterScalar(db, "tsql_abs", 1, AbsFn);
  RegisterScalar(db, "tsql_exact", 2, ExactFn);
  RegisterScalar(db, "tsql_round", 2, RoundFn);
  RegisterScalar(db, "tsql_round", 3, RoundFn);
  RegisterScalar(db, "tsql_floor", 1, FloorFn);
  RegisterScalar(db, "tsql_ceiling", 1, CeilingFn);
  // Aggregates, and window functions too (a frame's total is read as it
  // moves, and values leaving it are taken back out).
  sqlite3_create_window_function(db, "tsql_sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                 SumStep, SumFinal, SumFinal, SumInverse, nullptr);
  sqlite3_create_window_function(db, "tsql_avg", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                 SumStep, AvgFinal, AvgFinal, SumInverse, nullptr);
}

}  // namespace moltaro::db::embedded
