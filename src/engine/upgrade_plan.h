// What an upgrade run would do to an instance, learnt by doing it: the run
// goes on a server that is a scratch copy (db::ScratchServer), every
// statement it sends is recorded, and the copy is thrown away. The plan is
// then the run itself, step for step, and a step that fails on the copy
// fails for the same reason on the instance, as long as nothing changes in
// between.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/plan_step.h"
#include "engine/valt_display.h"

namespace moltaro::engine {

struct UpgradePlan {
  std::string newVersion;  // the version file's
  bool failed = false;     // the run would fail
  std::string error;       // why, when the run says (may be empty)
  std::vector<PlanStep> steps;
};

// Runs the upgrade of `database` on the server `connectionString` names,
// with verzio.ver of `workDirectory` (the run log goes there too), and
// records it. Everything the run does happens on that server: give it a
// scratch copy, never the instance.
UpgradePlan RecordUpgradeRun(ValtDisplay& progress, const std::string& database,
                             const std::string& connectionString, const std::string& login,
                             const std::string& password,
                             const std::filesystem::path& workDirectory);

}  // namespace moltaro::engine
