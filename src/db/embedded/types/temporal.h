// The date and time types of SQL Server 2008 on: date, time(n), datetime2(n)
// and datetimeoffset(n). A value is kept as the text SQL Server prints for
// its type, fixed width per column, so that text order is time order.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

constexpr long long kTicksPerSecond = 10'000'000;  // 100 ns
constexpr long long kTicksPerDay = 86'400 * kTicksPerSecond;

// A point in time as the text of any date or time type gives it.
struct Temporal {
  int year = 1900, month = 1, day = 1;
  long long ticks = 0;     // of the day, in 100 ns
  int offsetMinutes = 0;   // datetimeoffset only
  bool hasDate = false;    // the text named a day
  bool hasOffset = false;  // the text named an offset from UTC
  int fractionDigits = 0;  // as written
};

// Reads ISO and compact date text (yyyy-mm-dd and yyyymmdd whatever the
// order), date text led by one or two digits in `order` (refused under ydm,
// which these types do not take), a time with up to seven fraction digits,
// and an offset ("+02:00", "Z"); nullopt when the text is none of them or
// names no real day. Stored text is ISO and reads the same in every order.
std::optional<Temporal> ParseTemporalText(std::string_view text, DateOrder order = DateOrder::Mdy);

// The value in the type's own text: date "2024-02-29", time(7)
// "13:05:00.1234567", datetime2(0) "2024-02-29 13:05:00", datetimeoffset
// "… +01:00". Fractions round to the type's scale, which may carry into the
// next day; false when that leaves year 9999.
bool TemporalText(Temporal value, const SqlType& type, std::string& out);

// Days since 1970-01-01 and back.
long long TemporalDays(const Temporal& value);
void SetTemporalDays(Temporal& value, long long days);

// Current local time, with the clock's full precision.
Temporal NowTemporal();

// Orders two datetimeoffset texts by the instant they name (UTC), as SQL
// Server compares them; the collation of such columns.
int CompareDateTimeOffsetText(std::string_view a, std::string_view b);

// Converts a stored value to one of the types of IsTemporal: text by
// ParseTemporalText, a datetime's canonical text too; a number is refused
// (206 on assignment, 529 for CAST) as SQL Server refuses it.
bool ToTemporal(const SourceValue& in, const SqlType& type, bool assignment, DateOrder order,
                StoredValue& out, SqlError& error);

}  // namespace moltaro::db::embedded
