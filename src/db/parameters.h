// The `:name` parameter markers of a statement text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace moltaro::db {

struct MarkedStatement {
  std::string text;                // the statement with each marker replaced by "?"
  std::vector<std::string> names;  // marker names (without ":") in order of appearance
};

// Finds `:name` markers outside string literals, quoted and bracketed
// identifiers and comments. "::" and a colon not followed by a name letter
// are left as they are.
MarkedStatement MarkParameters(std::string_view sql);

}  // namespace moltaro::db
