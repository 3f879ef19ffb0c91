// `moltaro-cli sql`: batches separated by GO lines, results as tab-separated text.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "db/result_set.h"
#include "startup/server_settings.h"

namespace moltaro::cli {

struct SqlOptions {
  std::string database;   // empty: the login's default database
  std::string query;      // -Q
  std::string inputFile;  // -i
  bool hasQuery = false;
};

// Splits a script into batches at lines holding only GO (any case, blanks
// around it allowed). Batches of blanks only are dropped.
std::vector<std::string> SplitBatches(const std::string& script);

// A result set as a header line of column names and one line per row, tab
// separated, NULL written as NULL.
void PrintResultSet(const db::ResultSet& result, std::ostream& out);

int RunSqlCommand(const SqlOptions& options, const ServerSettings& settings);

}  // namespace moltaro::cli
