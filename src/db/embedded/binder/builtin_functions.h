// The T-SQL built-in scalar functions the embedded server computes: what
// each takes and returns (for the binder) and the SQLite function that
// computes it (for the translator).
#pragma once

#include <cstddef>
#include <string_view>

namespace moltaro::db::embedded {

enum class BuiltinResult {
  Int,
  Text,
  Date,  // datetime
  // An exact number stays exact, in its own type (ROUND, ABS) or with no
  // decimals (FLOOR, CEILING); anything else comes back as a SQLite number.
  ExactOrNumber,
  WholeExactOrNumber,
  Float,
  // The argument's kind of number: integers int (bigint stays bigint),
  // money money, float and text float; a decimal keeps its precision and
  // scale (SIGN) or widens to 38 digits (POWER, DEGREES, RADIANS).
  NumberOfArgument,
  WideNumberOfArgument,
};

struct BuiltinFunction {
  std::string_view name;    // upper case
  std::string_view sqlite;  // the function computing it; empty: the translator writes it out
  std::size_t minArguments = 0;
  std::size_t maxArguments = 0;
  BuiltinResult result = BuiltinResult::Int;
  // A value of unknown type keeps its own (it may be exact).
  bool keepsUnknown = false;
  // The function takes the result's type as four more arguments.
  bool takesResultType = false;
};

// The function of that (upper-case) name; null when it is not one of them.
const BuiltinFunction* FindBuiltinFunction(std::string_view name);

// ROW_NUMBER, RANK, DENSE_RANK, NTILE: only with OVER (… ORDER BY …).
bool IsRankingFunction(std::string_view name);
// COUNT, SUM, AVG, MIN, MAX: over groups, or over a window with OVER.
bool IsAggregateFunction(std::string_view name);

// ERROR_NUMBER(), ERROR_MESSAGE() …, XACT_STATE(), MIN_ACTIVE_ROWVERSION() and
// COLUMNS_UPDATED(): the state of the running batch, read as the variable
// "NAME()" of its frame.
bool IsSessionStateFunction(std::string_view name);

// SQL Server functions the embedded server does not compute: refused as not
// supported rather than as unknown names.
bool IsKnownUnsupportedFunction(std::string_view name);

}  // namespace moltaro::db::embedded
