// CONVERT with a style, and TRY_CAST / TRY_CONVERT: datetime written as and
// read from the style's text, money written in its styles, and a conversion
// that fails giving NULL instead of its error when tried.
#pragma once

#include <string>

#include "db/embedded/types/decimal.h"

struct sqlite3;

namespace moltaro::db::embedded {

class SqliteDb;

// Flags of tsql_convert's `how` argument.
inline constexpr int kConvertFromDateTime = 1;  // the value is a datetime
inline constexpr int kConvertTry = 2;           // a failed conversion is NULL
inline constexpr int kConvertText = 4;          // the value is character data

// The exact number with `places` decimals, rounded half away from zero and
// its integer digits grouped by `groupSeparator` in threes when one is given;
// nullopt when it does not fit 38 digits.
std::optional<std::string> RoundedDecimalText(const Decimal& d, int places,
                                              std::string_view groupSeparator = {});

// tsql_convert(value, style, how, base, length, precision, scale).
void RegisterConvertFunctions(sqlite3* db, const SqliteDb* connection);

}  // namespace moltaro::db::embedded
