#include "db/embedded/types/date_parts.h"

#include "common/text.h"

namespace moltaro::db::embedded {

std::optional<DatePart> DatePartNamed(std::string_view name) {
  struct Entry {
    const char* name;
    DatePart part;
  };
  static constexpr Entry kNames[] = {
      {"YEAR", DatePart::Year},
      {"YY", DatePart::Year},
      {"YYYY", DatePart::Year},
      {"QUARTER", DatePart::Quarter},
      {"QQ", DatePart::Quarter},
      {"Q", DatePart::Quarter},
      {"MONTH", DatePart::Month},
      {"MM", DatePart::Month},
      {"M", DatePart::Month},
      {"DAYOFYEAR", DatePart::DayOfYear},
      {"DY", DatePart::DayOfYear},
      {"Y", DatePart::DayOfYear},
      {"DAY", DatePart::Day},
      {"DD", DatePart::Day},
      {"D", DatePart::Day},
      {"WEEK", DatePart::Week},
      {"WK", DatePart::Week},
      {"WW", DatePart::Week},
      {"WEEKDAY", DatePart::Weekday},
      {"DW", DatePart::Weekday},
      {"W", DatePart::Weekday},
      {"HOUR", DatePart::Hour},
      {"HH", DatePart::Hour},
      {"MINUTE", DatePart::Minute},
      {"MI", DatePart::Minute},
      {"N", DatePart::Minute},
      {"SECOND", DatePart::Second},
      {"SS", DatePart::Second},
      {"S", DatePart::Second},
      {"MILLISECOND", DatePart::Millisecond},
      {"MS", DatePart::Millisecond},
      {"MICROSECOND", DatePart::Microsecond},
      {"MCS", DatePart::Microsecond},
      {"NANOSECOND", DatePart::Nanosecond},
      {"NS", DatePart::Nanosecond},
      {"ISO_WEEK", DatePart::IsoWeek},
      {"ISOWK", DatePart::IsoWeek},
      {"ISOWW", DatePart::IsoWeek},
      {"TZOFFSET", DatePart::TzOffset},
      {"TZ", DatePart::TzOffset},
  };
  const std::string upper = ToUpperAscii(name);
  for (const Entry& e : kNames) {
    if (upper == e.name) return e.part;
  }
  return std::nullopt;
}

}  // namespace moltaro::db::embedded
