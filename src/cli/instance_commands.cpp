#include "cli/instance_commands.h"

#include <nlohmann/json.hpp>

#include <ostream>

#include "cli/instance_terminal.h"
#include "cli/program_start.h"
#include "common/text.h"
#include "instances/main_window.h"

namespace moltaro::cli {

namespace {

using instances::TfrmDBBe;
using instances::TfrmFo;
using instances::TfrmRepUt;

// The main window with its dialogs, created as start-up creates them.
class MainWindowSession {
 public:
  MainWindowSession(const ServerSettings& settings, InstanceStreams streams,
                    const instances::ConnectionFactory& connections)
      : operator_(streams.out, streams.err),
        dialogus_(dialogusView_),
        repUt_(repUtView_),
        dbBe_(dbBeView_),
        fo_(foView_, operator_, settings, instances::MainWindowDialogs{dialogus_, repUt_, dbBe_},
            connections) {}

  // Creates the window: connects, lists, reads the versions. Failures are
  // printed; returns whether there were any.
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

  // Makes current the first row whose database name, trimmed, is `database`.
  bool SelectDatabase(const std::string& database) {
    for (std::size_t row = 0; row < fo_.RowCount(); ++row) {
      if (Trim(db::ToText(fo_.Row(row).dbname)) == database) {
        fo_.SelectRow(row);
        return true;
      }
    }
    return false;
  }

  TfrmFo& Window() { return fo_; }
  TerminalDBBeView& DBBeView() { return dbBeView_; }
  TerminalRepUtView& RepUtView() { return repUtView_; }

 private:
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

bool FitsField(const std::string& text, const char* what, std::ostream& err) {
  if (Utf8Length(text) <= instances::kNewCompanyFieldLength) return true;
  err << "The " << what << " \"" << text << "\" is longer than "
      << instances::kNewCompanyFieldLength << " characters, the most the dialog takes.\n";
  return false;
}

}  // namespace

int ListInstances(const ServerSettings& settings, bool json, InstanceStreams streams,
                  const instances::ConnectionFactory& connections) {
  MainWindowSession session(settings, streams, connections);
  const bool listed = session.Start();
  PrintRows(session.Window(), json, streams.out);
  return listed ? kExitOk : kExitFailed;
}

int NewCompany(const ServerSettings& settings, const std::string& company,
               const std::string& database, InstanceStreams streams,
               const instances::ConnectionFactory& connections) {
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
                    const instances::ConnectionFactory& connections) {
  MainWindowSession session(settings, streams, connections);
  session.Start();  // a version that cannot be read does not stop the command
  if (!session.SelectDatabase(database)) {
    streams.err << "No instance in the list has the database name \"" << database
                << "\"; `moltaro-cli instances` lists them.\n";
    return kExitFailed;
  }

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

}  // namespace moltaro::cli
