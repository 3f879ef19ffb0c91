#include "cli/upgrade_plan_command.h"

#include <exception>
#include <optional>
#include <ostream>

#include "cli/plan_report.h"
#include "cli/program_start.h"
#include "cli/valt_terminal.h"
#include "common/text.h"
#include "db/backend.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/errors.h"
#include "db/scratch_server.h"
#include "engine/upgrade_plan.h"
#include "startup/instance_lock.h"

namespace moltaro::cli {

namespace {

constexpr const char* kVersionFile = "verzio.ver";
constexpr const char* kDatabaseFileSql = "select filename from sysdatabases where name = :xname";

// Copies the instance's database into a scratch server while holding the
// instance lock, so a copy is never taken in the middle of another run: such
// a run refuses this one as it would refuse a real upgrade. Both databases
// stay open on the server meanwhile, so that the server, not the copy's
// reader, is the last to close them and tidies their files as after any read.
std::unique_ptr<db::ScratchServer> CopyInstance(const ServerSettings& settings,
                                                const std::string& database,
                                                const std::filesystem::path& dataDirectory) {
  db::Connection master(settings.MasterConnectionString());
  master.Open();
  const std::string file = master.Query(kDatabaseFileSql, {Trim(database)}).Text("filename");
  if (file.empty()) {
    throw db::Error("The server has no database \"" + Trim(database) + "\".");
  }
  db::Connection instance(settings.DatabaseConnectionString(database));
  instance.Open();
  const InstanceLock lock(instance, database);
  return std::make_unique<db::ScratchServer>(dataDirectory, file);
}

}  // namespace

int PlanUpgrade(const ServerSettings& settings, const std::string& database, bool json,
                InstanceStreams streams, const std::filesystem::path& workDirectory,
                const instances::MainWindowConnections& connections) {
  const std::optional<instances::InstanceRow> row =
      FindInstance(settings, database, streams, connections);
  if (!row) return kExitFailed;
  const std::string name = db::ToText(row->dbname);

  const db::ServerTarget server =
      db::ResolveServer(db::ConnectionString::Parse(settings.DatabaseConnectionString(name)));
  if (server.kind != db::ServerTarget::Kind::Embedded) {
    streams.err << "--plan runs the upgrade on a scratch copy of the database, and only the "
                   "embedded server's databases can be copied; on the SQL Server "
                << server.host << " nothing was planned, and nothing was changed.\n";
    return kExitFailed;
  }

  engine::UpgradePlan plan;
  try {
    const std::unique_ptr<db::ScratchServer> scratch =
        CopyInstance(settings, name, server.dataDirectory);
    const std::filesystem::path versionFile =
        (workDirectory.empty() ? std::filesystem::current_path() : workDirectory) / kVersionFile;
    // Without one the run on the copy fails as the real run would.
    if (std::filesystem::exists(versionFile)) {
      std::filesystem::copy_file(versionFile, scratch->WorkDirectory() / kVersionFile);
    }
    const std::string connection =
        BuildConnectionString("embedded:" + scratch->DataDirectory().string(), name,
                              settings.loginName, settings.password);
    TerminalValtDisplay display(streams.err, streams.progress,
                                streams.progress ? StderrWidth() : 80);
    plan = engine::RecordUpgradeRun(display, name, connection, settings.loginName,
                                    settings.password, scratch->WorkDirectory());
    display.Finish();
  } catch (const std::exception& error) {
    streams.err << error.what() << '\n';
    return kExitFailed;
  }

  const PlanHeading heading{name, row->Ver};
  if (json) {
    PrintPlanJson(heading, plan, streams.out);
  } else {
    PrintPlanText(heading, plan, streams.out);
  }
  return plan.failed ? kExitFailed : kExitOk;
}

}  // namespace moltaro::cli
