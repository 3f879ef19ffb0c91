#include "db/embedded/types/languages.h"

#include <array>

#include "common/text.h"

namespace moltaro::db::embedded {

namespace {

constexpr std::array<std::string_view, 6> kOrderNames = {"mdy", "dmy", "ymd", "ydm", "myd", "dym"};

// Only languages whose syslanguages row is known exactly are listed: a name
// guessed wrong would put wrong text into results.
constexpr std::array<Language, 1> kLanguages = {{
    {0, "us_english", "English", DateOrder::Mdy, 7,
     "January,February,March,April,May,June,July,August,September,October,November,December",
     "Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec",
     "Monday,Tuesday,Wednesday,Thursday,Friday,Saturday,Sunday", 1033, 1033},
}};

}  // namespace

std::optional<DateOrder> DateOrderNamed(std::string_view name) {
  for (std::size_t i = 0; i < kOrderNames.size(); ++i) {
    if (EqualsIgnoreCaseAscii(name, kOrderNames[i])) return static_cast<DateOrder>(i);
  }
  return std::nullopt;
}

std::string_view DateOrderName(DateOrder order) {
  return kOrderNames[static_cast<std::size_t>(order)];
}

bool DayBeforeMonth(DateOrder order) {
  return order == DateOrder::Dmy || order == DateOrder::Ydm || order == DateOrder::Dym;
}

std::span<const Language> Languages() {
  return kLanguages;
}

const Language* FindLanguage(std::string_view nameOrAlias) {
  for (const Language& l : kLanguages) {
    if (EqualsIgnoreCaseAscii(l.name, nameOrAlias) || EqualsIgnoreCaseAscii(l.alias, nameOrAlias)) {
      return &l;
    }
  }
  return nullptr;
}

const Language& DefaultLanguage() {
  return kLanguages[0];
}

std::string_view NameAt(std::string_view list, int n) {
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) {
    const std::size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) return {};
    start = comma + 1;
  }
  const std::size_t end = list.find(',', start);
  return list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

bool OrderDateGroups(DateOrder order, const long long (&groups)[3], const int (&lengths)[3],
                     int& year, int& month, int& day) {
  const std::string_view name = DateOrderName(order);
  for (std::size_t i = 0; i < 3; ++i) {
    const long long value = groups[i];
    const int length = lengths[i];
    switch (name[i]) {
      case 'y':
        if (length != 2 && length != 4) return false;
        year = static_cast<int>(length == 2 ? value + (value < 50 ? 2000 : 1900) : value);
        break;
      case 'm':
        if (length < 1 || length > 2) return false;
        month = static_cast<int>(value);
        break;
      default:
        if (length < 1 || length > 2) return false;
        day = static_cast<int>(value);
        break;
    }
  }
  return true;
}

}  // namespace moltaro::db::embedded
