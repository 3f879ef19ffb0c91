#include "engine/run_context.h"

#include <algorithm>

#include "common/text.h"
#include "db/errors.h"

namespace moltaro::engine {

std::filesystem::path RunContext::WorkPath(std::string_view fileName) const {
  const std::filesystem::path base =
      workDirectory.empty() ? std::filesystem::current_path() : workDirectory;
  return base / std::filesystem::path(std::string(fileName));
}

bool RunContext::ExecuteStatement(std::string_view statement, std::string_view errorKind) {
  const std::string suffix = errorKind == kTolerated ? " (elmegy)" : "";
  const std::string text = Trim(statement);
  try {
    dbCel->Execute(text);
    return true;
  } catch (const db::DatabaseError& error) {
    WriteLog(" HIBA " + suffix);
    WriteLog(" Utasítás : " + text);
    WriteLog(std::string(" ") + error.what());
  } catch (...) {
    // Anything but a server refusal: the statement never reached the server
    // in a usable state, so there is no server message to show.
    WriteLog(" EGYÉB HIBA " + suffix);
    WriteLog(" Utasítás : " + text);
  }
  if (errorKind != kTolerated) Fail(kStatementFailed);
  return false;
}

void RunContext::Fail(std::string message) {
  state.Failed = true;
  state.LastError = std::move(message);
}

void RunContext::ShowStatus(ValtLabel label, std::string_view text) {
  display_.ShowText(label, std::string(text));
}

void RunContext::SetProgressRange(int minimum, int maximum) {
  progressMinimum_ = minimum;
  progressMaximum_ = std::max(minimum, maximum);
  display_.SetProgressRange(progressMinimum_, progressMaximum_);
  SetProgressPosition(progressPosition_);
}

void RunContext::SetProgressPosition(int position) {
  progressPosition_ = std::clamp(position, progressMinimum_, progressMaximum_);
  display_.SetProgressPosition(progressPosition_);
}

}  // namespace moltaro::engine
