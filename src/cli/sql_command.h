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

// One batch of a script: its text, the script line it starts on (1-based),
// and how many times it runs (`GO 3` runs the batch before it three times).
struct ScriptBatch {
  std::string text;
  int firstLine = 1;
  int repeat = 1;
};

// Splits a script into batches at lines holding only GO, optionally followed
// by a repeat count (any case, blanks around it allowed). Batches of blanks
// only are dropped.
std::vector<ScriptBatch> SplitBatches(const std::string& script);

// The script as UTF-8: a UTF-8 byte order mark is dropped and a UTF-16 text
// with its byte order mark (as Windows editors save scripts) is converted.
// Returns false when a UTF-16 text ends in the middle of a character.
bool ScriptTextAsUtf8(std::string& script);

// A result set as a header line of column names and one line per row, tab
// separated, NULL written as NULL.
void PrintResultSet(const db::ResultSet& result, std::ostream& out);

int RunSqlCommand(const SqlOptions& options, const ServerSettings& settings);

}  // namespace moltaro::cli
