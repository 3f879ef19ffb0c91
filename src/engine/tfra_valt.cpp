#include "engine/tfra_valt.h"

#include <optional>

#include "engine/run_context.h"
#include "engine/run_log.h"
#include "engine/run_phases.h"
#include "engine/system_tables.h"
#include "engine/uninstall.h"
#include "engine/version_loader.h"
#include "startup/instance_lock.h"

namespace moltaro::engine {

namespace {

// Closes the run log however the run ends, so an error that leaves the
// engine still leaves a complete file behind.
class LogCloser {
 public:
  explicit LogCloser(RunLog& log) : log_(log) {}
  ~LogCloser() { log_.Close(); }
  LogCloser(const LogCloser&) = delete;
  LogCloser& operator=(const LogCloser&) = delete;

 private:
  RunLog& log_;
};

}  // namespace

TfraValt::TfraValt(ValtDisplay& display, const db::ConnectionFactory& connect)
    : run_(std::make_unique<RunContext>(display, connect)) {}

TfraValt::~TfraValt() = default;

void TfraValt::FitToPanel() {
  layout_.pAlap.left = 0;
  layout_.pAlap.top = 0;
  layout_.frame.width = layout_.pAlap.width;
  layout_.frame.height = layout_.pAlap.height;
  run_->ApplyLayout(layout_);
}

void TfraValt::Prepare(const std::string& sourceDatabase, const std::string& targetDatabase,
                       const std::string& sourceConnectionString,
                       const std::string& targetConnectionString, const std::string& phaseMask,
                       const std::string& loginName, const std::string& password) {
  run_->SetVersionHint(sourceDatabase + " -> " + targetDatabase);
  RunState& state = run_->state;
  state.NewVersion.clear();
  state.TargetDatabase = targetDatabase;
  state.PhaseMask = phaseMask;
  state.LoginName = loginName;
  state.LoginPassword = password;
  run_->dbForras->Open(sourceConnectionString);
  run_->dbCel->Open(targetConnectionString);
}

bool TfraValt::RunUpgrade() {
  RunContext& run = *run_;
  run.state.Failed = false;
  // Taken before the run log is recreated: a refused run leaves the log of
  // the run that holds the instance as it is.
  std::optional<InstanceLock> lock;
  try {
    lock.emplace(*run.dbCel, run.state.TargetDatabase);
  } catch (const InstanceBusy& busy) {
    run.Fail(busy.what());
    return true;
  }
  run.log.Recreate(LogPath());
  const LogCloser closer(run.log);
  if (!run.state.Failed) PrepareSystemTables(run);
  if (!run.state.Failed) LoadVersionFile(run);
  if (!run.state.Failed) RunPhases(run);
  if (!run.state.Failed) RecordVersion(run);
  return run.state.Failed;
}

void TfraValt::RunUninstall() {
  const InstanceLock lock(*run_->dbCel, run_->state.TargetDatabase);
  engine::RunUninstall(*run_);
}

void TfraValt::ResetProgress() {
  run_->ShowStatus(ValtLabel::lVerzio, "");
  run_->ShowStatus(ValtLabel::lMit, "");
  run_->ShowStatus(ValtLabel::lObj, "");
  run_->SetProgressRange(0, 0);
}

const std::string& TfraValt::LastError() const {
  return run_->state.LastError;
}

const std::string& TfraValt::NewVersion() const {
  return run_->state.NewVersion;
}

std::filesystem::path TfraValt::LogPath() const {
  return run_->WorkPath(RunLogFileName(run_->state.TargetDatabase));
}

void TfraValt::SetWorkDirectory(std::filesystem::path directory) {
  run_->workDirectory = std::move(directory);
}

}  // namespace moltaro::engine
