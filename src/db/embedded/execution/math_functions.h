// SQL Server's mathematical functions: POWER, SIGN, DEGREES and RADIANS in
// their argument's type (exact numbers computed exactly where the result
// can be), the float functions (SQRT, SQUARE, EXP, LOG, LOG10, PI, the
// trigonometric ones) with SQL Server's domain errors, and RAND.
#pragma once

struct sqlite3;

namespace moltaro::db::embedded {

// tsql_power, tsql_sign, tsql_degrees, tsql_radians (the value, then the
// result's type as four more arguments when the statement knows it),
// tsql_sqrt … tsql_atn2, tsql_pi, tsql_rand (its generator one per
// connection).
void RegisterMathFunctions(sqlite3* db);

}  // namespace moltaro::db::embedded
