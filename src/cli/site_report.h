// The closing table of `moltaro-cli upgrade --all`: one row an instance, in
// list order, as text for people or as JSON for scripts.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace moltaro::cli {

struct SiteRunRow {
  std::string database;  // as the list stores it
  std::string before;    // the list's version text before the run
  std::string after;     // and after it
  std::string outcome;   // "ok", "failed" (the run failed) or "error" (it could not run)
  std::string reason;    // why the run failed, when it says
  double seconds = 0;
  std::string log;  // the run log's path; empty when the run wrote none
};

// Tab-separated lines under a header line.
void PrintSiteTable(const std::vector<SiteRunRow>& rows, std::ostream& out);
// An array of objects with database, before, after, outcome, reason, seconds, log.
void PrintSiteJson(const std::vector<SiteRunRow>& rows, std::ostream& out);

}  // namespace moltaro::cli
