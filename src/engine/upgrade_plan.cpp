#include "engine/upgrade_plan.h"

#include <exception>

#include "engine/plan_recorder.h"
#include "engine/tfra_valt.h"

namespace moltaro::engine {

namespace {

// Every phase on, as the main window's "Vált" runs it.
constexpr const char* kAllPhases = "IIIII";

}  // namespace

UpgradePlan RecordUpgradeRun(ValtDisplay& progress, const std::string& database,
                             const std::string& connectionString, const std::string& login,
                             const std::string& password,
                             const std::filesystem::path& workDirectory) {
  PlanRecorder recorder(progress);
  UpgradePlan plan;
  {
    TfraValt frame(recorder.Display(), recorder.Connections());
    frame.SetWorkDirectory(workDirectory);
    try {
      frame.Prepare(database, database, connectionString, connectionString, kAllPhases, login,
                    password);
      plan.failed = frame.RunUpgrade();
      plan.error = frame.LastError();
    } catch (const std::exception& error) {
      // The real run would stop here with the same error.
      plan.failed = true;
      plan.error = error.what();
    }
    plan.newVersion = frame.NewVersion();
    frame.ResetProgress();
  }
  plan.steps = recorder.Steps();
  return plan;
}

}  // namespace moltaro::engine
