#include "cli/site_report.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <ostream>

namespace moltaro::cli {

namespace {

// Tenths of a second are enough to compare runs; the JSON keeps the same.
double Tenths(double seconds) {
  return std::round(seconds * 10) / 10;
}

std::string SecondsText(double seconds) {
  const long long tenths = std::llround(seconds * 10);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

}  // namespace

void PrintSiteTable(const std::vector<SiteRunRow>& rows, std::ostream& out) {
  out << "database\tbefore\tafter\toutcome\tseconds\trun log\n";
  for (const SiteRunRow& row : rows) {
    out << row.database << '\t' << row.before << '\t' << row.after << '\t' << row.outcome << '\t'
        << SecondsText(row.seconds) << '\t' << row.log << '\n';
  }
}

void PrintSiteJson(const std::vector<SiteRunRow>& rows, std::ostream& out) {
  nlohmann::json array = nlohmann::json::array();
  for (const SiteRunRow& row : rows) {
    array.push_back({{"database", row.database},
                     {"before", row.before},
                     {"after", row.after},
                     {"outcome", row.outcome},
                     {"reason", row.reason},
                     {"seconds", Tenths(row.seconds)},
                     {"log", row.log}});
  }
  out << array.dump(2) << '\n';
}

}  // namespace moltaro::cli
