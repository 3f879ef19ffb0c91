// `moltaro-cli instances`, `new-company`, `report-dir`, `upgrade` and
// `uninstall`: the main window's list and commands, run as the window runs them.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "instances/main_window.h"
#include "startup/server_settings.h"

namespace moltaro::cli {

struct InstanceStreams {
  std::ostream& out;
  std::ostream& err;
  // Whether `err` is a terminal that shows a run's progress on one line.
  bool progress = false;
};

// The list in list order: company, database and version separated by tabs,
// as stored; with `json` an array of objects with nev, dbname, Ver, VanVer.
// Exit status 1 when the list or an instance's version could not be read
// (the error is printed; the rows that could be listed still are).
int ListInstances(const ServerSettings& settings, bool json, InstanceStreams streams,
                  const instances::MainWindowConnections& connections = {});

// The new-company command with the two fields filled in and confirmed.
int NewCompany(const ServerSettings& settings, const std::string& company,
               const std::string& database, InstanceStreams streams,
               const instances::MainWindowConnections& connections = {});

// The commands below act on the first list row whose database name, without
// its surrounding blanks, is `database`, and pass on the name as stored.

// Without a directory prints the stored report directory (an empty line when
// there is none); with one, stores it as the dialog's Rendben would.
int ReportDirectory(const ServerSettings& settings, const std::string& database,
                    const std::optional<std::string>& directory, InstanceStreams streams,
                    const instances::MainWindowConnections& connections = {});

// The first list row whose database name, trimmed, is `database` trimmed.
// Without one, says so on the error stream and gives nothing.
std::optional<instances::InstanceRow> FindInstance(
    const ServerSettings& settings, const std::string& database, InstanceStreams streams,
    const instances::MainWindowConnections& connections = {});

// The database name of the first list row whose name, trimmed, is `database`,
// as stored. Without one, says so on the error stream and gives nothing.
std::optional<std::string> FindInstanceDatabase(
    const ServerSettings& settings, const std::string& database, InstanceStreams streams,
    const instances::MainWindowConnections& connections = {});

// The version switch: asks "Mehet a verzióváltás ?" on the terminal unless
// `yes`, prints the outcome and the run log's path. Exit 0 on success.
int Upgrade(const ServerSettings& settings, const std::string& database, bool yes,
            InstanceStreams streams, const instances::MainWindowConnections& connections = {});

// The version switch on every instance of the list, in list order, going on
// past a failure; rows without a database name, and rows repeating one
// already run (names compared without their blanks), are passed over. Asks
// "Mehet a verzióváltás ?" once unless `yes`. Prints a table of the runs
// (PrintSiteTable, or PrintSiteJson with `json`) on the output; the runs'
// messages go to the error stream. Exit 1 when any run did not succeed.
int UpgradeAll(const ServerSettings& settings, bool yes, bool json, InstanceStreams streams,
               const instances::MainWindowConnections& connections = {});

// The uninstall: asks "Valóban töröljem ?" unless `yes`; prints nothing after
// the run, and exits 1 when the run raised an error.
int Uninstall(const ServerSettings& settings, const std::string& database, bool yes,
              InstanceStreams streams, const instances::MainWindowConnections& connections = {});

}  // namespace moltaro::cli
