// T-SQL cursors: a query's rows taken when the cursor is opened, read a row
// at a time by FETCH. The rows are a snapshot (as a STATIC cursor's are);
// product procedures walk them forward and update the tables by key.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

struct Cursor {
  std::string name;       // as declared
  bool scroll = false;    // FETCH PRIOR, FIRST, LAST, ABSOLUTE, RELATIVE allowed
  std::string queryText;  // the SELECT, run by OPEN with the variables of that moment
  bool open = false;
  std::vector<std::string> columns;
  std::vector<std::vector<StoredValue>> rows;
  // The row last fetched: -1 before the first, rows.size() past the last.
  long long position = -1;
};

// Cursors by name (upper case): a session's global ones, or a batch's or
// procedure's local ones.
using CursorSet = std::map<std::string, std::shared_ptr<Cursor>>;

// Where FETCH in `direction` (NEXT, PRIOR, FIRST, LAST, ABSOLUTE, RELATIVE,
// with `offset` for the last two) moves from `position` among `count` rows;
// outside [0, count) when there is no such row (-1 before, count after).
long long FetchTarget(const std::string& direction, long long offset, long long position,
                      long long count);

}  // namespace moltaro::db::embedded
