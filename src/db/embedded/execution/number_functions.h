// The SQL functions of numbers the translated statements call: + - * / % and
// comparison under SQL Server's data type precedence (tsql_add, tsql_sub,
// tsql_mul, tsql_div, tsql_mod, tsql_neg, tsql_cmp, tsql_in), ABS, ROUND,
// FLOOR, CEILING, and the SUM and AVG aggregates (tsql_sum, tsql_avg).
#pragma once

#include <string>

struct sqlite3;

namespace moltaro::db::embedded {

void RegisterNumberFunctions(sqlite3* db);
// tsql_cmp and tsql_in again, comparing text with text under the database
// collation.
void RegisterCollatedComparisons(sqlite3* db, const std::string& collationName);

}  // namespace moltaro::db::embedded
