// A dry run over an export set: every record goes through its importer as in
// a real run, inside a transaction that is rolled back, so the server applies
// every conversion and nothing stays written. What would stop the run, be
// skipped or be reported is listed by file and line.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "db/connection.h"

namespace moltaro::convert {

enum class FindingKind {
  Stops,     // the run would end here
  Skipped,   // the record would write nothing, without a word
  Reported,  // the run would show a message and go on
};

struct CheckFinding {
  std::string file;
  std::size_t line = 0;  // 0: the file as a whole
  FindingKind kind = FindingKind::Stops;
  std::string reason;
};

// Called as each step begins, with its 1-based number and the file's path.
using CheckProgress = std::function<void(int step, const std::string& path)>;

// Checks the export set in `sourceDirectory` (ending in a separator, or
// empty) against the instance database `work` is open on. `work` must hold
// no open transaction. Throws only when the check itself cannot go on (its
// transaction cannot be begun).
std::vector<CheckFinding> CheckExportSet(db::Connection& work, const std::string& sourceDirectory,
                                         const CheckProgress& progress = {});

// "stops the run", "skipped", "reported".
const char* FindingKindText(FindingKind kind);

}  // namespace moltaro::convert
