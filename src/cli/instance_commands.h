// `moltaro-cli instances`, `new-company` and `report-dir`: the main window's
// list and commands, run as the window runs them.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "instances/instance_connection.h"
#include "startup/server_settings.h"

namespace moltaro::cli {

struct InstanceStreams {
  std::ostream& out;
  std::ostream& err;
};

// The list in list order: company, database and version separated by tabs,
// as stored; with `json` an array of objects with nev, dbname, Ver, VanVer.
// Exit status 1 when the list or an instance's version could not be read
// (the error is printed; the rows that could be listed still are).
int ListInstances(
    const ServerSettings& settings, bool json, InstanceStreams streams,
    const instances::ConnectionFactory& connections = instances::MakeServerConnection);

// The new-company command with the two fields filled in and confirmed.
int NewCompany(const ServerSettings& settings, const std::string& company,
               const std::string& database, InstanceStreams streams,
               const instances::ConnectionFactory& connections = instances::MakeServerConnection);

// Without a directory prints the stored report directory (an empty line when
// there is none); with one, stores it as the dialog's Rendben would.
int ReportDirectory(
    const ServerSettings& settings, const std::string& database,
    const std::optional<std::string>& directory, InstanceStreams streams,
    const instances::ConnectionFactory& connections = instances::MakeServerConnection);

}  // namespace moltaro::cli
