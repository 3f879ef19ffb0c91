// The catalogue and system tables every upgrade run prepares first.
#pragma once

#include <string_view>

#include "engine/run_context.h"

namespace moltaro::engine {

// True when the target database has a user table of that name.
bool TableExists(RunContext& run, std::string_view name);

// Recreates the catalogue tables empty, makes sure ZMP_OBJ_VER has its newest
// column, creates and seeds ZMP_SYS_ID_SEQ and ZMP_DUAL when missing, and
// rewrites ZMP_SYS_SA with the login of this run. Logs "<table> Ok" per table.
void PrepareSystemTables(RunContext& run);

}  // namespace moltaro::engine
