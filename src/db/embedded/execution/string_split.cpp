#include "db/embedded/execution/string_split.h"

#include <sqlite3.h>

#include "common/text.h"
#include "db/embedded/storage/sqlite_table_functions.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

TableRows SplitRows(const std::vector<sqlite3_value*>& arguments) {
  sqlite3_value* input = arguments[0];
  sqlite3_value* separatorValue = arguments[1];
  // The separator is one character of any character type; anything else,
  // NULL included, is refused whatever the string holds.
  const std::string separator = separatorValue && sqlite3_value_type(separatorValue) != SQLITE_NULL
                                    ? ArgText(separatorValue)
                                    : std::string();
  if (Utf8Length(separator) != 1) {
    throw ServerErrorByNumber(214, {"separator", "nchar(1)/nvarchar(1)"});
  }
  TableRows rows;
  if (!input || sqlite3_value_type(input) == SQLITE_NULL) return rows;
  const std::string text = ArgText(input);
  std::size_t start = 0;
  std::int64_t ordinal = 1;
  while (true) {
    const std::size_t end = text.find(separator, start);
    const std::size_t stop = end == std::string::npos ? text.size() : end;
    // Empty pieces (between two separators, or at either end) are rows too.
    rows.push_back({text.substr(start, stop - start), ordinal++});
    if (end == std::string::npos) break;
    start = end + separator.size();
  }
  return rows;
}

}  // namespace

void RegisterStringSplit(sqlite3* db, const std::string& collationName) {
  TableFunction split;
  split.collation = collationName;
  split.name = "tsql_string_split";
  split.resultColumns = 2;
  split.arguments = 3;
  split.rows = SplitRows;
  RegisterTableFunction(db, std::move(split));
}

}  // namespace moltaro::db::embedded
