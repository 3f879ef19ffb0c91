// Dates in SQL Server's functions: the parts DATEPART and DATENAME read,
// EOMONTH and DATEFROMPARTS, and datetime text in CONVERT's styles (written
// and read back) under the us_english language.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/embedded/types/date_parts.h"
#include "db/embedded/types/temporal.h"

struct sqlite3_value;

struct sqlite3;

namespace moltaro::db::embedded {

class SqliteDb;

struct DateTimeParts {
  int year = 1900, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The parts of the canonical "YYYY-MM-DD HH:MM:SS.mmm" text.
DateTimeParts PartsOfCanonical(const std::string& canonical);
std::string CanonicalOf(const DateTimeParts& p);

// The datetime as CONVERT writes it in the style; nullopt when the style
// writes no datetime text.
std::optional<std::string> DateTimeStyleText(const DateTimeParts& p, int style);

// Whether CONVERT reads datetime text in the style.
bool IsDateTimeInputStyle(int style);

// Reads datetime text written in the style (day, month and year in the
// style's order, month names, 12-hour times); nullopt when it is not one.
// `outOfRange` tells a well-formed text naming no real day from text that is
// not a date at all.
std::optional<DateTimeParts> ParseStyledDateTime(std::string_view text, int style,
                                                 bool& outOfRange);

// us_english names.
std::string_view MonthName(int month);      // January …
std::string_view WeekdayName(int weekday);  // 1 Sunday … 7 Saturday

// The date's day of the week under us_english (DATEFIRST 7): 1 Sunday …
// 7 Saturday.
int WeekdayOf(const DateTimeParts& p);
// The same under SET DATEFIRST `firstDay` (1 Monday … 7 Sunday): the first
// day of the week is 1.
int WeekdayUnder(const DateTimeParts& p, int firstDay);

// The point in time a value names: the text of any date type, or what
// converts to datetime (numbers of days); false when it is none.
// Text is read in the session's `order`.
bool TemporalArg(sqlite3_value* v, DateOrder order, Temporal& out);

// tsql_datepart, tsql_datename, tsql_eomonth, tsql_datefromparts,
// tsql_sysdatetime, and tsql_dateadd for the types of IsTemporal (its
// result's type as four more arguments).
// Those that read text as dates follow the session running on `connection`.
void RegisterDateFunctions(sqlite3* db, const SqliteDb* connection);

}  // namespace moltaro::db::embedded
