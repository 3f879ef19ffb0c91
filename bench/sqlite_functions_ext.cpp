// The embedded server's SQL functions and collations as an extension of the
// sqlite3 shell (`.load`), so the shell can replay the server's statement
// trace (MOLTARO_SQL_TRACE) as the server ran it.
#include <sqlite3.h>

#include "db/embedded/execution/sql_functions.h"
#include "db/embedded/types/collation.h"

extern "C" int sqlite3_moltarofunctions_init(sqlite3* db, char**, const void*) {
  moltaro::db::embedded::RegisterCollationProvider(db);
  // No session here: dates are read under us_english's settings.
  moltaro::db::embedded::RegisterFunctions(db, nullptr);
  return SQLITE_OK;
}
