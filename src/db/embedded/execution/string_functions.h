// SQL Server's string functions beyond SQLite's own: CONCAT, CONCAT_WS,
// STUFF, QUOTENAME, REVERSE, STR, NEWID, PATINDEX and the STRING_AGG
// aggregate (the last two under the database collation).
#pragma once

#include <string>

struct sqlite3;

namespace moltaro::db::embedded {

// tsql_concat, tsql_concat_ws, tsql_stuff, tsql_quotename, tsql_reverse,
// tsql_str, tsql_newid.
void RegisterStringFunctions(sqlite3* db);

// tsql_patindex and tsql_string_agg under the collation.
void RegisterCollatedStringFunctions(sqlite3* db, const std::string& collationName);

}  // namespace moltaro::db::embedded
