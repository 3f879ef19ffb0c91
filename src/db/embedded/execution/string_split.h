// STRING_SPLIT(string, separator [, enable_ordinal]) as the SQLite
// table-valued function tsql_string_split: a row for each piece of the
// string between separators (c0 the piece, c1 its 1-based ordinal).
#pragma once

#include <string>

struct sqlite3;

namespace moltaro::db::embedded {

// The pieces compare in the database's collation.
void RegisterStringSplit(sqlite3* db, const std::string& collationName);

}  // namespace moltaro::db::embedded
