#include "cli/convert_command.h"

#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/konvert_terminal.h"
#include "cli/program_start.h"
#include "cli/valt_terminal.h"
#include "convert/export_check.h"
#include "convert/konvert.h"
#include "startup/instance_lock.h"

namespace moltaro::cli {

namespace {

using convert::Tkonvert;

// The conversion window with its terminal view, connected to one instance.
class KonvertSession {
 public:
  KonvertSession(InstanceStreams streams, bool yes)
      : view_(streams.err, streams.progress, streams.progress ? StderrWidth() : 80),
        messages_(streams.out, streams.err, view_),
        questions_(yes),
        window_(view_, questions_, messages_) {}

  Tkonvert& Window() { return window_; }
  TerminalKonvertView& View() { return view_; }

 private:
  TerminalKonvertView view_;
  TerminalKonvertMessages messages_;
  TerminalKonvertQuestions questions_;
  Tkonvert window_;
};

int Outcome(const Tkonvert& window, InstanceStreams streams) {
  switch (window.LastOutcome()) {
    case Tkonvert::Outcome::NotRun:
      streams.err << "Not confirmed; nothing was changed (--yes confirms without asking).\n";
      return kExitFailed;
    case Tkonvert::Outcome::Succeeded:
      return kExitOk;
    case Tkonvert::Outcome::Failed:
      break;
  }
  return kExitFailed;
}

// Connects the window to the instance; false (with the reason printed) when
// there is no such instance or its database cannot be opened.
bool ConnectWindow(KonvertSession& session, const ServerSettings& settings,
                   const std::string& database, InstanceStreams streams,
                   const instances::MainWindowConnections& connections) {
  const std::optional<std::string> stored =
      FindInstanceDatabase(settings, database, streams, connections);
  if (!stored) return false;
  try {
    session.Window().Connect(settings.DatabaseConnectionString(*stored), *stored);
  } catch (const std::exception& error) {
    streams.err << error.what() << '\n';
    return false;
  }
  return true;
}

int Check(KonvertSession& session, InstanceStreams streams) {
  Tkonvert& window = session.Window();
  std::vector<convert::CheckFinding> findings;
  try {
    const InstanceLock lock(window.Work(), window.Instance());
    findings = convert::CheckExportSet(
        window.Work(), window.SourceDirectory(), [&session](int step, const std::string& path) {
          session.View().SetBarRange(convert::KonvertBar::ProgressBar1, 0, 19);
          session.View().SetBarPosition(convert::KonvertBar::ProgressBar1, step);
          session.View().ShowLabel(path);
        });
  } catch (const std::exception& error) {
    session.View().ShowError(error.what());
    return kExitFailed;
  }
  session.View().Finish();
  int stops = 0, skipped = 0, reported = 0;
  for (const convert::CheckFinding& f : findings) {
    streams.out << f.file;
    if (f.line > 0) streams.out << ':' << f.line;
    streams.out << ": " << convert::FindingKindText(f.kind) << ": " << f.reason << '\n';
    (f.kind == convert::FindingKind::Stops     ? stops
     : f.kind == convert::FindingKind::Skipped ? skipped
                                               : reported)++;
  }
  streams.err << stops << " would stop the run, " << skipped << " would be skipped, " << reported
              << " would be reported; nothing was written.\n";
  return stops == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int Convert(const ServerSettings& settings, const ConvertOptions& options, InstanceStreams streams,
            const instances::MainWindowConnections& connections) {
  std::error_code ec;
  if (!std::filesystem::is_directory(options.sourceDirectory, ec)) {
    streams.err << "The source directory \"" << options.sourceDirectory
                << "\" is not a directory.\n";
    return kExitUsage;
  }
  KonvertSession session(streams, options.yes);
  if (!ConnectWindow(session, settings, options.database, streams, connections)) {
    return kExitFailed;
  }
  session.Window().dEditChange(std::filesystem::absolute(options.sourceDirectory).string());
  if (options.check) return Check(session, streams);
  session.Window().Button1Click();
  session.View().Finish();
  return Outcome(session.Window(), streams);
}

int ConvertDelete(const ServerSettings& settings, const std::string& database, bool yes,
                  InstanceStreams streams, const instances::MainWindowConnections& connections) {
  KonvertSession session(streams, yes);
  if (!ConnectWindow(session, settings, database, streams, connections)) return kExitFailed;
  session.Window().Button2Click();
  session.View().Finish();
  return Outcome(session.Window(), streams);
}

}  // namespace moltaro::cli
