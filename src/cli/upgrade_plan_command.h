// `moltaro-cli upgrade DATABASE --plan [--json]`: what the upgrade of an
// instance would do, without doing it.
#pragma once

#include <filesystem>
#include <string>

#include "cli/instance_commands.h"

namespace moltaro::cli {

// Finds the instance as `upgrade` does, copies its database and master into
// a scratch server (the embedded server only: a SQL Server database cannot be
// copied from here, and the command says so), runs the upgrade there with
// verzio.ver of `workDirectory` (default: the current directory), prints
// every statement of it (PrintPlanText, or PrintPlanJson with `json`) and
// throws the copy away. Exit 0 when the run would succeed, 1 when it would
// fail or could not be planned.
int PlanUpgrade(const ServerSettings& settings, const std::string& database, bool json,
                InstanceStreams streams, const std::filesystem::path& workDirectory = {},
                const instances::MainWindowConnections& connections = {});

}  // namespace moltaro::cli
