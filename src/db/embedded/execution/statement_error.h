// A statement's failure as TRY … CATCH sees it, and the errors of binding
// a statement, which are compile errors.
#pragma once

#include <string>

#include "db/errors.h"

namespace moltaro::db::embedded {

// A statement's failure with where it happened: what TRY … CATCH and the
// ERROR_…() functions report.
class StatementError : public DatabaseError {
 public:
  StatementError(const DatabaseError& error, int state) : DatabaseError(error), state(state) {}
  int state;
  bool compile = false;  // raised while the statement was bound, before it ran
  bool located = false;
  int line = 0;
  std::string procedure;
  int scope = 0;
};

// Runs a translation of the statement; its errors are compile errors.
template <typename Bind>
auto Bound(Bind&& bind) -> decltype(bind()) {
  try {
    return bind();
  } catch (const DatabaseError& e) {
    StatementError error(e, 1);
    error.compile = true;
    throw error;
  }
}

}  // namespace moltaro::db::embedded
