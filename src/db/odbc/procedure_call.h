// Stored procedure calls through the ODBC call escape,
// `{? = call name(?, ?)}`: the driver sends them as remote procedure calls,
// so output parameters and the return value come back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "db/procedure.h"

namespace moltaro::db::odbc {

struct ProcedureCall {
  std::string text;  // the call escape
  // Indexes into the parameters in the order of the escape's markers: the
  // return value first, then the others in the order given, which must be
  // the procedure's own order (the escape binds by position, not by name).
  std::vector<std::size_t> order;
};

// Throws db::Error for a name that is not a procedure name (one to four
// dot-separated parts, each a plain identifier or [bracketed], optionally
// followed by ";number"), or for more than one return value, since the name
// is spliced into the call text.
ProcedureCall MakeProcedureCall(std::string_view name, const ProcedureParameters& params);

}  // namespace moltaro::db::odbc
