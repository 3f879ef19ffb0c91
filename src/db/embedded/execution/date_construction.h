// Dates made rather than read: the clocks in UTC and with the offset
// (GETUTCDATE, SYSUTCDATETIME, SYSDATETIMEOFFSET), the …FROMPARTS functions,
// offsets given and moved (TODATETIMEOFFSET, SWITCHOFFSET) and ISDATE.
#pragma once

struct sqlite3;

namespace moltaro::db::embedded {
class SqliteDb;
}

namespace moltaro::db::embedded {

// tsql_getutcdate, tsql_sysutcdatetime, tsql_sysdatetimeoffset,
// tsql_datetimefromparts, tsql_smalldatetimefromparts,
// tsql_datetime2fromparts, tsql_timefromparts, tsql_datetimeoffsetfromparts,
// tsql_todatetimeoffset, tsql_switchoffset (the last five with their result
// type as four more arguments) and tsql_isdate (under the date settings of
// the session running on `connection`).
void RegisterDateConstruction(sqlite3* db, const SqliteDb* connection);

}  // namespace moltaro::db::embedded
