// Recursive-descent parser of the T-SQL subset. Never crashes on any text:
// syntax errors throw DatabaseError "Incorrect syntax near 'X'.", constructs
// outside the subset throw DatabaseError "… is not supported by the embedded
// server: …", and nesting is bounded.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/parser/tsql_ast.h"
#include "db/errors.h"

namespace moltaro::db::embedded {

// Deepest nesting of expressions, queries and blocks accepted.
inline constexpr int kMaxNesting = 128;

struct Batch {
  std::vector<StatementPtr> statements;
  int parameterCount = 0;                   // `:name` markers, in order of appearance
  std::vector<std::string> parameterNames;  // their names, without the colon
};

Batch ParseBatch(std::string_view sql);

// Error text for a construct the embedded server does not run.
std::string NotSupported(std::string_view construct);

// A construct the parser reads past but the server does not run: the
// statement holding it becomes an UnsupportedStatement.
class UnsupportedConstruct : public DatabaseError {
 public:
  explicit UnsupportedConstruct(std::string_view construct)
      : DatabaseError(NotSupported(construct)) {}
};

}  // namespace moltaro::db::embedded
