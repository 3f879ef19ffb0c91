// Removing the product from an instance database: every scalar function,
// procedure, view and user table whose name begins with "ZMP".
#pragma once

#include <string_view>

#include "engine/run_context.h"

namespace moltaro::engine {

// Lists the target's "ZMP" objects of one server type ("FN", "P", "V", "U")
// into ZMP_OBJ_FEJ, numbering them on from the rows already there; ZMP_OBJ_FEJ
// itself gets id 0 so that it is dropped last. Kind "D" empties the table.
void CaptureObjects(RunContext& run, std::string_view kind);

// Captures, then drops in capture order, then drops ZMP_OBJ_FEJ. Writes no
// log and catches nothing: a refused drop stops the run with the server's
// error, leaving the catalogue listing what was captured.
void RunUninstall(RunContext& run);

}  // namespace moltaro::engine
