// The session's language and the date settings it brings: the order in
// which text is read as a date (SET DATEFORMAT), the first day of the week
// (SET DATEFIRST), and the names of months and days.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace moltaro::db::embedded {

// The order of day, month and year in date text.
enum class DateOrder { Mdy, Dmy, Ymd, Ydm, Myd, Dym };

// "mdy", "dmy" … in any letter case; nullopt for anything else.
std::optional<DateOrder> DateOrderNamed(std::string_view name);
std::string_view DateOrderName(DateOrder order);  // "mdy" …

// Whether the order names the day before the month. datetime reads
// "yyyy-mm-dd" as year, day, month under such an order, as SQL Server does.
bool DayBeforeMonth(DateOrder order);

// A row of sys.syslanguages.
struct Language {
  int langid;
  std::string_view name;   // official name, as SET LANGUAGE reports it
  std::string_view alias;  // alternative name
  DateOrder dateFormat;
  int dateFirst;                 // 1 Monday … 7 Sunday
  std::string_view months;       // January to December, comma separated
  std::string_view shortMonths;  // Jan to Dec
  std::string_view days;         // Monday to Sunday
  int lcid;
  int msgLangid;
};

// Every language this server knows, by langid.
std::span<const Language> Languages();
// The language of that name or alias (any letter case); null when none.
const Language* FindLanguage(std::string_view nameOrAlias);
// us_english, every session's language when it begins.
const Language& DefaultLanguage();

// The n-th (1-based) name of a comma-separated list.
std::string_view NameAt(std::string_view list, int n);

// What a session has set: its language and what SET DATEFORMAT and SET
// DATEFIRST made of the language's defaults.
struct DateSettings {
  const Language* language = &DefaultLanguage();
  DateOrder order = DateOrder::Mdy;
  int firstDay = 7;
};

// The year, month and day of three numeric groups of date text read in
// `order`; `lengths` are their digit counts. A year has two or four digits
// (two: 1950–2049), a month and a day one or two. False when the groups do
// not fit the order (the caller checks that the day exists).
bool OrderDateGroups(DateOrder order, const long long (&groups)[3], const int (&lengths)[3],
                     int& year, int& month, int& day);

}  // namespace moltaro::db::embedded
