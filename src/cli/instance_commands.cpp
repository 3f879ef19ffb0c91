#include "cli/instance_commands.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <ostream>
#include <set>
#include <vector>

#include "cli/instance_terminal.h"
#include "cli/program_start.h"
#include "cli/site_report.h"
#include "cli/terminal.h"
#include "cli/valt_terminal.h"
#include "common/text.h"
#include "instances/main_window.h"

namespace moltaro::cli {

namespace {

using instances::TfrmDBBe;
using instances::TfrmDialogus;
using instances::TfrmFo;
using instances::TfrmRepUt;

// The main window with its dialogs, created as start-up creates them.
class MainWindowSession {
 public:
  MainWindowSession(const ServerSettings& settings, InstanceStreams streams,
                    const instances::MainWindowConnections& connections)
      : valtDisplay_(streams.err, streams.progress, streams.progress ? StderrWidth() : 80),
        operator_(streams.out, streams.err, [this] { valtDisplay_.Finish(); }),
        dialogus_(dialogusView_),
        repUt_(repUtView_),
        dbBe_(dbBeView_),
        fo_(foView_, operator_, settings, instances::MainWindowDialogs{dialogus_, repUt_, dbBe_},
            valtDisplay_, connections) {}

  // Creates the window: connects, lists, reads the versions. Failures are
  // printed; true when there were none.
  bool Start() {
    fo_.FormCreate();
    return operator_.ErrorCount() == 0;
  }

  // Runs a command of the window; true when it showed no error.
  template <typename Command>
  bool Run(Command command) {
    const int before = operator_.ErrorCount();
    command(fo_);
    return operator_.ErrorCount() == before;
  }

  // Makes current the first row whose database name, trimmed, is `database`
  // trimmed: a name pasted from `instances` with its blanks is found.
  bool SelectDatabase(const std::string& database) {
    const std::string wanted = Trim(database);
    for (std::size_t row = 0; row < fo_.RowCount(); ++row) {
      if (Trim(db::ToText(fo_.Row(row).dbname)) == wanted) {
        fo_.SelectRow(row);
        return true;
      }
    }
    return false;
  }

  TfrmFo& Window() { return fo_; }
  TerminalDBBeView& DBBeView() { return dbBeView_; }
  TerminalRepUtView& RepUtView() { return repUtView_; }
  TerminalDialogusView& DialogusView() { return dialogusView_; }
  TerminalValtDisplay& ValtDisplay() { return valtDisplay_; }

 private:
  TerminalValtDisplay valtDisplay_;
  TerminalOperator operator_;
  TerminalMainView foView_;
  TerminalDialogusView dialogusView_;
  TerminalRepUtView repUtView_;
  TerminalDBBeView dbBeView_;
  instances::TfrmDialogus dialogus_;
  TfrmRepUt repUt_;
  TfrmDBBe dbBe_;
  TfrmFo fo_;
};

// Creates the window and selects the instance of `database`; says so when
// the list has none. A version that cannot be read does not stop a command.
bool StartOnInstance(MainWindowSession& session, const std::string& database, std::ostream& err) {
  session.Start();
  if (session.SelectDatabase(database)) return true;
  err << "No instance in the list has the database name \"" << Trim(database)
      << "\"; `moltaro-cli instances` lists them.\n";
  return false;
}

// Runs a command of the window only where the window offers it for the
// selected instance; else says why, as the window's hidden or greyed item
// would, and gives false.
bool Offered(MainWindowSession& session, const ServerSettings& settings, instances::ActionId id,
             const std::string& command, std::ostream& err) {
  TfrmFo& window = session.Window();
  if (window.Offers(id)) return true;
  const std::string caption = window.GetAction(id).caption;
  const std::string database = Trim(db::ToText(window.CurrentDbname()));
  err << "`" << command << "` is not offered for \"" << database << "\": the main window offers \""
      << caption << "\" ";
  if (!window.GetAction(id).visible) {
    err << "only in the SAP Business One listing mode, where the settings file names the "
           "common database "
        << kSboCommon << "; it names " << settings.commonDatabase << ".\n";
  } else {
    err << "only for an instance with a version installed, and this one has none ("
        << instances::kNotInstalled << ").\n";
  }
  return false;
}

nlohmann::json JsonText(const db::Value& value) {
  if (db::IsNull(value)) return nullptr;
  return db::ToText(value);
}

void PrintRows(TfrmFo& window, bool json, std::ostream& out) {
  if (json) {
    nlohmann::json rows = nlohmann::json::array();
    for (std::size_t i = 0; i < window.RowCount(); ++i) {
      const instances::InstanceRow row = window.Row(i);
      rows.push_back({{"nev", JsonText(row.nev)},
                      {"dbname", JsonText(row.dbname)},
                      {"Ver", row.Ver},
                      {"VanVer", row.VanVer}});
    }
    out << rows.dump(2) << '\n';
    return;
  }
  for (std::size_t i = 0; i < window.RowCount(); ++i) {
    const instances::InstanceRow row = window.Row(i);
    out << db::ToText(row.nev) << '\t' << db::ToText(row.dbname) << '\t' << row.Ver << '\n';
  }
}

// The yes/no dialog answered by --yes, or by the operator on the terminal.
void AnswerQuestions(MainWindowSession& session, bool yes) {
  session.DialogusView().SetScript([yes](TfrmDialogus& dialog) {
    if (yes || AskYesNo(dialog.Question())) {
      dialog.bIgenClick();
    } else {
      dialog.bNemClick();
    }
  });
}

using WindowCommand = void (TfrmFo::*)();
using RunOutcome = TfrmFo::RunOutcome;

// Runs the version switch or the uninstall on the instance of `database`,
// when the window offers `action` for it.
int RunOnDatabase(MainWindowSession& session, const ServerSettings& settings,
                  const std::string& database, bool yes, WindowCommand command,
                  instances::ActionId action, const std::string& name, InstanceStreams streams) {
  if (!StartOnInstance(session, database, streams.err)) return kExitFailed;
  if (!Offered(session, settings, action, name, streams.err)) return kExitFailed;
  AnswerQuestions(session, yes);
  (session.Window().*command)();
  session.ValtDisplay().Finish();
  switch (session.Window().LastRunOutcome()) {
    case RunOutcome::NotRun:
      streams.err << "Not confirmed; nothing was changed (--yes confirms without asking).\n";
      return kExitFailed;
    case RunOutcome::Succeeded:
      return kExitOk;
    case RunOutcome::Failed:
    case RunOutcome::Raised:
      break;
  }
  return kExitFailed;
}

bool FitsField(const std::string& text, const char* what, std::ostream& err) {
  if (Utf8Length(text) <= instances::kNewCompanyFieldLength) return true;
  err << "The " << what << " \"" << text << "\" is longer than "
      << instances::kNewCompanyFieldLength << " characters, the most the dialog takes.\n";
  return false;
}

}  // namespace

int ListInstances(const ServerSettings& settings, bool json, InstanceStreams streams,
                  const instances::MainWindowConnections& connections) {
  MainWindowSession session(settings, streams, connections);
  const bool listed = session.Start();
  PrintRows(session.Window(), json, streams.out);
  // A company whose database could not be read is listed as not installed;
  // the reason still goes to the error stream, and the listing counts as failed.
  bool allRead = true;
  for (std::size_t row = 0; row < session.Window().RowCount(); ++row) {
    const std::string& reason = session.Window().Row(row).unreadable;
    if (reason.empty()) continue;
    streams.err << reason << '\n';
    allRead = false;
  }
  return listed && allRead ? kExitOk : kExitFailed;
}

int NewCompany(const ServerSettings& settings, const std::string& company,
               const std::string& database, InstanceStreams streams,
               const instances::MainWindowConnections& connections) {
  if (company.empty() || database.empty()) {
    streams.err << "Both the company name and the database name are needed.\n";
    return kExitUsage;
  }
  if (!FitsField(company, "company name", streams.err) ||
      !FitsField(database, "database name", streams.err)) {
    return kExitUsage;
  }

  MainWindowSession session(settings, streams, connections);
  session.Start();  // a list that cannot be read is reported, and does not stop the command

  bool refused = false;
  session.DBBeView().SetScript([&](TfrmDBBe& dialog) {
    dialog.eCegnevChange(company);
    dialog.eDatabaseChange(database);
    // The field changed last decides, so an operator with a short database
    // name types the company name last.
    if (!dialog.RendbenEnabled()) dialog.eCegnevChange(company);
    if (!dialog.RendbenEnabled()) {
      refused = true;
      dialog.bMegsemClick();
      return;
    }
    dialog.bRendbenClick();
  });
  const bool succeeded = session.Run([](TfrmFo& window) { window.aDbCreaExecute(); });
  if (refused) {
    streams.err << "The company name or the database name must be longer than "
                << instances::kMinimumNameLength << " characters.\n";
    return kExitUsage;
  }
  return succeeded ? kExitOk : kExitFailed;
}

int ReportDirectory(const ServerSettings& settings, const std::string& database,
                    const std::optional<std::string>& directory, InstanceStreams streams,
                    const instances::MainWindowConnections& connections) {
  MainWindowSession session(settings, streams, connections);
  if (!StartOnInstance(session, database, streams.err)) return kExitFailed;
  if (!Offered(session, settings, instances::ActionId::aUtca, "report-dir", streams.err))
    return kExitFailed;

  bool emptyDirectory = false;
  session.RepUtView().SetScript([&](TfrmRepUt& dialog) {
    if (!directory) {
      streams.out << dialog.Directory() << '\n';
      dialog.bMegsemClick();
      return;
    }
    dialog.eDirChange(*directory);
    if (!dialog.RendbenEnabled()) {
      emptyDirectory = true;
      dialog.bMegsemClick();
      return;
    }
    dialog.bRendbenClick();
  });
  const bool succeeded = session.Run([](TfrmFo& window) { window.aUtcaExecute(); });
  if (emptyDirectory) {
    streams.err << "The directory is empty; nothing was stored.\n";
    return kExitUsage;
  }
  return succeeded ? kExitOk : kExitFailed;
}

std::optional<instances::InstanceRow> FindInstance(
    const ServerSettings& settings, const std::string& database, InstanceStreams streams,
    const instances::MainWindowConnections& connections) {
  MainWindowSession session(settings, streams, connections);
  if (!StartOnInstance(session, database, streams.err)) return std::nullopt;
  return session.Window().Row(session.Window().CurrentRow());
}

std::optional<std::string> FindInstanceDatabase(
    const ServerSettings& settings, const std::string& database, InstanceStreams streams,
    const instances::MainWindowConnections& connections) {
  const std::optional<instances::InstanceRow> row =
      FindInstance(settings, database, streams, connections);
  if (!row) return std::nullopt;
  return db::ToText(row->dbname);
}

int Upgrade(const ServerSettings& settings, const std::string& database, bool yes,
            InstanceStreams streams, const instances::MainWindowConnections& connections) {
  MainWindowSession session(settings, streams, connections);
  const int status = RunOnDatabase(session, settings, database, yes, &TfrmFo::aValtExecute,
                                   instances::ActionId::aValt, "upgrade", streams);
  // A run that returned wrote its log; an error before the run leaves none
  // of this run's.
  const RunOutcome outcome = session.Window().LastRunOutcome();
  if (outcome == RunOutcome::Succeeded || outcome == RunOutcome::Failed) {
    streams.out << "Run log: " << session.Window().fraValt1().LogPath().string() << '\n';
  }
  return status;
}

int UpgradeAll(const ServerSettings& settings, bool yes, bool json, InstanceStreams streams,
               const instances::MainWindowConnections& connections) {
  // The runs' own messages go to the error stream, so that the output holds
  // the table alone and a script can read it.
  MainWindowSession session(settings, {streams.err, streams.err, streams.progress}, connections);
  session.Start();  // an instance whose version cannot be read is still upgraded
  TfrmFo& window = session.Window();
  if (!window.ListOpen()) return kExitFailed;
  if (!yes && !AskYesNo(instances::kValtQuestion)) {
    streams.err << "Not confirmed; nothing was changed (--yes confirms without asking).\n";
    return kExitFailed;
  }
  AnswerQuestions(session, true);

  // Each run reloads the list; the versions before are those of the list as
  // it stood when the command started.
  std::vector<instances::InstanceRow> listed;
  for (std::size_t i = 0; i < window.RowCount(); ++i) listed.push_back(window.Row(i));
  std::vector<SiteRunRow> rows;
  std::set<std::string> done;
  bool anyFailed = false;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (db::IsNull(listed[i].dbname)) continue;
    // A database registered under two companies is upgraded once: a second
    // run of the same version would only be refused.
    if (const std::string name = Trim(db::ToText(listed[i].dbname));
        name.empty() || !done.insert(name).second) {
      continue;
    }
    SiteRunRow row;
    row.database = db::ToText(listed[i].dbname);
    row.before = listed[i].Ver;
    if (i >= window.RowCount()) {
      row.outcome = "error";
      row.reason = "The list no longer has this row.";
      anyFailed = true;
      rows.push_back(row);
      continue;
    }
    window.SelectRow(i);
    session.ValtDisplay().SetInstance(Trim(row.database));
    const auto start = std::chrono::steady_clock::now();
    window.aValtExecute();
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    session.ValtDisplay().Finish();
    switch (window.LastRunOutcome()) {
      case RunOutcome::Succeeded:
        row.outcome = "ok";
        break;
      case RunOutcome::Failed:
        row.outcome = "failed";
        row.reason = window.fraValt1().LastError().empty() ? instances::kValtFailed
                                                           : window.fraValt1().LastError();
        break;
      case RunOutcome::Raised:
      case RunOutcome::NotRun:
        row.outcome = "error";
        break;
    }
    if (row.outcome != "error") row.log = window.fraValt1().LogPath().string();
    if (i < window.RowCount()) row.after = window.Row(i).Ver;
    anyFailed = anyFailed || row.outcome != "ok";
    rows.push_back(row);
  }
  session.ValtDisplay().SetInstance("");
  if (json) {
    PrintSiteJson(rows, streams.out);
  } else {
    PrintSiteTable(rows, streams.out);
  }
  return anyFailed ? kExitFailed : kExitOk;
}

int Uninstall(const ServerSettings& settings, const std::string& database, bool yes,
              InstanceStreams streams, const instances::MainWindowConnections& connections) {
  MainWindowSession session(settings, streams, connections);
  return RunOnDatabase(session, settings, database, yes, &TfrmFo::aUniExecute,
                       instances::ActionId::aUni, "uninstall", streams);
}

}  // namespace moltaro::cli
