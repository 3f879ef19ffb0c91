// The interface a server backend implements. Only db/ and the backends see it;
// the rest of the system uses db::Connection.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/procedure.h"
#include "db/result_set.h"
#include "db/value.h"

namespace moltaro::db {

// What one batch produced: its result sets in order and its informational
// messages (PRINT and the like).
struct BatchResult {
  std::vector<ResultSet> results;
  std::vector<std::string> messages;
  long long rowsAffected = -1;  // of the last statement that changed rows; -1 when none
};

class Session {
 public:
  virtual ~Session() = default;

  // Runs one batch. `sql` keeps its `:name` markers (see odbc/parameter_markers.h);
  // `params` are bound by their order of appearance. Server errors throw
  // DatabaseError with the server's message.
  virtual BatchResult Execute(std::string_view sql, const Params& params) = 0;

  // Calls a stored procedure; Output, InputOutput and ReturnValue parameters
  // receive what the call handed back.
  virtual void CallProcedure(std::string_view name, ProcedureParameters& params) = 0;

  // Seconds a statement may run before it is cancelled; 0 means no limit.
  virtual void SetCommandTimeout(int seconds) = 0;
};

}  // namespace moltaro::db
