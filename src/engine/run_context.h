// The state of one run and the services every step of it uses: the two
// connections, the run log, the statement executor with its error policy, and
// the frame's labels and progress bar.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "db/connection_port.h"
#include "engine/run_log.h"
#include "engine/valt_display.h"

namespace moltaro::engine {

// Error kind that makes a failing statement only logged, never fatal.
inline constexpr std::string_view kTolerated = "E";
// Error kind of statements whose failure fails the run.
inline constexpr std::string_view kFatal = "V";

// Message that any fatal statement failure leaves in `LastError`.
inline constexpr const char* kStatementFailed = "Hiba a vezió váltás közben !";

struct RunState {
  std::string TargetDatabase;
  std::string PhaseMask;  // character k is "I" when phase k runs
  std::string NewVersion;
  std::string LoginName;
  std::string LoginPassword;
  bool Failed = false;
  bool InComment = false;  // comment state of the script filter
  std::string LastError;   // never cleared, so it outlives the run that set it
};

class RunContext {
 public:
  RunContext(ValtDisplay& display, const db::ConnectionFactory& connect)
      : dbForras(connect()), dbCel(connect()), display_(display) {}

  // Catalogue side: reads of the catalogue heads, columns, keys and texts.
  std::unique_ptr<db::ConnectionPort> dbForras;
  // Target side: every change, every insert of the loader, the reads of the
  // server's system tables and of the installed version.
  std::unique_ptr<db::ConnectionPort> dbCel;
  RunState state;
  RunLog log;
  // Where verzio.ver is read and the run log written; empty means the
  // process's current working directory at the time of the run.
  std::filesystem::path workDirectory;

  std::filesystem::path WorkPath(std::string_view fileName) const;

  void WriteLog(std::string_view line) { log.WriteLine(line); }

  // Sends one statement (trimmed) over dbCel. A failure is logged; unless the
  // error kind is "E" it also fails the run. Never throws. Returns whether
  // the statement succeeded, for steps that must not go on after a failure.
  bool ExecuteStatement(std::string_view statement, std::string_view errorKind);

  // Sets `Failed` and `LastError` together.
  void Fail(std::string message);

  void ShowStatus(ValtLabel label, std::string_view text);
  void SetVersionHint(const std::string& hint) { display_.SetVersionHint(hint); }
  void ApplyLayout(const ValtLayout& layout) { display_.ApplyLayout(layout); }

  // pbFolyam. The position stays within the range: a step past the maximum
  // leaves the bar full.
  void SetProgressRange(int minimum, int maximum);
  void SetProgressPosition(int position);
  void StepProgress() { SetProgressPosition(progressPosition_ + 1); }
  int ProgressMaximum() const { return progressMaximum_; }
  int ProgressPosition() const { return progressPosition_; }

 private:
  ValtDisplay& display_;
  int progressMinimum_ = 0;
  int progressMaximum_ = 0;
  int progressPosition_ = 0;
};

}  // namespace moltaro::engine
