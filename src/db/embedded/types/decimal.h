// Exact numbers: decimal/numeric up to precision 38, money and smallmoney, with
// SQL Server's result types for arithmetic and rounding half away from zero.
//
// Inside SQLite an exact number is a BLOB whose bytes sort as the numbers do
// (see EncodeDecimal), so indexes, ORDER BY, MIN and MAX work on the stored
// values as they are; the blob also carries the value's type, since SQLite's
// values are typed one by one and an operator only sees its operands.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace moltaro::db::embedded {

__extension__ typedef __int128 Int128;

enum class ExactKind : std::uint8_t { Decimal, Money, SmallMoney };

inline constexpr int kMaxPrecision = 38;

struct Decimal {
  Int128 unscaled = 0;  // the value times 10^scale
  int precision = 18;   // 1..38; money 19, smallmoney 10
  int scale = 0;        // 0..precision; money 4
  ExactKind kind = ExactKind::Decimal;
};

// An error with SQL Server's number and message.
struct SqlError {
  int number = 0;
  std::string message;
};

// The error with that number, its message formatted from the message table
// (db/server_messages.h).
SqlError SqlErrorByNumber(int number, std::initializer_list<std::string_view> args = {});

// 10^n for 0 <= n <= 38.
Int128 PowerOfTen(int n);

// "numeric", "money" or "smallmoney": the type name SQL Server's messages use.
std::string_view ExactTypeName(const Decimal& d);

// A literal as T-SQL types it: 12.50 is numeric(4,2), 0.285 numeric(3,3).
// nullopt when it has more than 38 digits or is not a plain decimal literal.
std::optional<Decimal> DecimalLiteral(std::string_view text);

// Text as CAST(text AS numeric) reads it: blanks around, a sign, digits with
// one decimal point or comma. The result has the precision and scale of the
// digits written; nullopt when the text is not such a number.
std::optional<Decimal> ParseDecimalText(std::string_view text);

// The integer as an exact number: int range is numeric(10,0), else (19,0).
Decimal DecimalFromInteger(std::int64_t v);
// A float's value by its shortest round-trip digits (0.1 is 0.1).
std::optional<Decimal> DecimalFromDouble(double v);

// Converts to decimal(precision, scale) rounding half away from zero; false
// when the value does not fit (SQL Server's error 8115).
bool RescaleDecimal(const Decimal& in, int precision, int scale, Decimal& out);
// Converts to money or smallmoney; false when out of its range.
bool ToMoney(const Decimal& in, ExactKind kind, Decimal& out);

double DecimalToDouble(const Decimal& d);
// The value truncated toward zero; false when beyond bigint.
bool DecimalToInteger(const Decimal& d, std::int64_t& out);

// Every digit of the scale: numeric(10,2) 2.5 → "2.50", money → "2.5000".
std::string DecimalText(const Decimal& d);
// As CAST(… AS varchar) writes it: decimals with their scale, money with
// two decimals.
std::string DecimalCastText(const Decimal& d);

int CompareDecimal(const Decimal& a, const Decimal& b);

// Arithmetic with SQL Server's result precision and scale; money with money
// (or with an integer) stays money, money with a decimal is a decimal. On
// overflow or division by zero returns false with SQL Server's error.
enum class ExactOp { Add, Subtract, Multiply, Divide, Modulo };
bool DecimalArithmetic(ExactOp op, const Decimal& a, const Decimal& b, Decimal& out,
                       SqlError& error);
Decimal NegateDecimal(const Decimal& d);
// The type DecimalArithmetic gives `a op b` (the value is zero): what the
// translator knows of an expression before any row is read.
Decimal ArithmeticType(ExactOp op, const Decimal& a, const Decimal& b);

// ROUND(d, places) (or truncation), FLOOR and CEILING keep SQL Server's types.
bool RoundDecimal(const Decimal& d, int places, bool truncate, Decimal& out, SqlError& error);
bool FloorCeilingDecimal(const Decimal& d, bool ceiling, Decimal& out, SqlError& error);

// The stored form. Byte order equals numeric order across all exact numbers
// (a value's digits come before its type bytes), so values of one column
// compare, sort and index as numbers with plain byte comparison.
std::string EncodeDecimal(const Decimal& d);
bool DecodeDecimal(const unsigned char* bytes, std::size_t size, Decimal& out);

// The SQL Server overflow error converting to the exact type of `target`
// from `from` ("int", "numeric", "varchar", "expression"…).
SqlError OverflowError(std::string_view from, const Decimal& target);

}  // namespace moltaro::db::embedded
