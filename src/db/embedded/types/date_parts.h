// The parts of a date that DATEPART, DATENAME, DATEADD and DATEDIFF name,
// known to the binder (a wrong name fails the statement) and to the
// functions that compute them.
#pragma once

#include <optional>
#include <string_view>

namespace moltaro::db::embedded {

enum class DatePart {
  Year,
  Quarter,
  Month,
  DayOfYear,
  Day,
  Week,
  Weekday,
  Hour,
  Minute,
  Second,
  Millisecond,
  Microsecond,
  Nanosecond,
  IsoWeek,
  TzOffset,
};

// The part a name or abbreviation stands for (year, yy, yyyy …), any case.
std::optional<DatePart> DatePartNamed(std::string_view name);

}  // namespace moltaro::db::embedded
