// The `:name` parameter markers of a statement text, found by the T-SQL
// tokenizer the embedded server reads the same text with, so both backends
// agree on what is a marker (nested comments, names with accented letters,
// literals, bracketed and quoted names).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace moltaro::db::odbc {

struct MarkedStatement {
  std::string text;                // the statement with each marker replaced by "?"
  std::vector<std::string> names;  // marker names (without ":") in order of appearance
};

// Replaces each `:name` marker with "?" and leaves everything else as written.
// "::" and a colon not followed by a name letter are no markers. Text the
// tokenizer cannot read (an unclosed literal or comment) goes unchanged, for
// the server to refuse in its own words.
MarkedStatement MarkParameters(std::string_view sql);

}  // namespace moltaro::db::odbc
