// moltaro-cli: the operations of the program for scripts and automation.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <optional>

#include "cli/convert_command.h"
#include "cli/instance_commands.h"
#include "cli/program_start.h"
#include "cli/sql_command.h"
#include "cli/upgrade_plan_command.h"
#include "cli/valt_terminal.h"
#include "common/text.h"
#include "db/embedded/server/embedded_server.h"

namespace moltaro::cli {
namespace {

constexpr const char* kDescription =
    "moltaro-cli - the Moltaro version switcher for scripts and automation.\n\n"
    "Every command but server-init starts as the desktop program does: it reads\n"
    "VELDORAdb_new.ini in the working directory (first line: server$$common database;\n"
    "an empty server means the embedded server in ./data) and tests the login.\n\n"
    "Exit status: 0 success, 1 the command failed, 2 usage, settings or login.\n\n"
    "Examples:\n"
    "  moltaro-cli server-init data --sa-password secret\n"
    "  echo 'local$$master' > VELDORAdb_new.ini\n"
    "  moltaro-cli -U sa -P secret sql -Q \"select name from dbo.sysdatabases\"\n"
    "  moltaro-cli -U sa -P secret new-company \"Kovács Kft\" kovacs\n"
    "  moltaro-cli -U sa -P secret instances --json\n"
    "  moltaro-cli -U sa -P secret convert kovacs /mnt/dos/ber --check\n";

int ServerInit(const std::string& dataDir, const std::string& password) {
  try {
    db::embedded::InitializeServer(std::filesystem::absolute(dataDir), password);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return kExitFailed;
  }
  std::cout << "Embedded server created in " << dataDir << " with login sa.\n";
  return kExitOk;
}

int Main(int argc, char** argv) {
  CLI::App app{kDescription, "moltaro-cli"};
  app.require_subcommand(1);
  app.get_formatter()->column_width(34);

  std::string workDir;
  Credentials credentials;
  app.add_option("-C", workDir,
                 "Working directory: holds VELDORAdb_new.ini, verzio.ver, the run logs, and "
                 "data/ of the embedded server (default: the current directory)");
  app.add_option("-U", credentials.login, "SQL Server login (else MOLTARO_LOGIN, else asked)");
  app.add_option("-P", credentials.password,
                 "Password (else MOLTARO_PASSWORD, else asked without echo)");

  std::string dataDir, saPassword;
  CLI::App* serverInit = app.add_subcommand(
      "server-init", "Create an embedded server (a data directory) with the login sa");
  serverInit->add_option("DATADIR", dataDir, "Directory of the new server")->required();
  serverInit->add_option("--sa-password", saPassword, "Password of the login sa")->required();

  SqlOptions sql;
  CLI::App* sqlCmd = app.add_subcommand(
      "sql", "Run T-SQL: batches separated by GO lines; results as tab-separated lines");
  sqlCmd->add_option("-d", sql.database, "Database (default: the login's default database)");
  auto* q = sqlCmd->add_option("-Q", sql.query, "The script text");
  auto* in = sqlCmd->add_option("-i", sql.inputFile,
                                "A script file (UTF-8, or UTF-16 with a byte order mark)");
  q->excludes(in);
  sqlCmd->footer(
      "Without -Q or -i the script is read from standard input. A line \"GO n\" runs the\n"
      "batch before it n times. A failed batch is reported on standard error as\n"
      "\"Msg <number>, Level <severity>, batch at <file>:<line>: <message>\" and the\n"
      "next batch runs; the exit status is 1 when any batch failed.");

  bool json = false;
  CLI::App* instancesCmd = app.add_subcommand(
      "instances", "The main window's list: company, database and version, tab separated");
  instancesCmd->add_flag("--json", json,
                         "A JSON array of objects with nev, dbname, Ver and VanVer");

  std::string company, database;
  CLI::App* newCompany = app.add_subcommand(
      "new-company",
      "Create a company database and register it as an instance (creates ZMP_Vorel when the "
      "server has none)");
  newCompany->add_option("COMPANY", company, "Company name, at most 15 characters")->required();
  newCompany->add_option("DATABASE", database, "Database name, at most 15 characters")->required();

  std::string reportDatabase, reportDirectory;
  CLI::App* reportDir = app.add_subcommand(
      "report-dir",
      "Print an instance's report directory, or store a new one (where the main window offers "
      "\"Rep utvonal\")");
  reportDir->footer(
      "As in the main window: only in the SAP Business One listing mode (the settings file\n"
      "names the common database Sbo-Common) and for an instance with a version installed;\n"
      "elsewhere the command says why and exits 1.");
  reportDir->add_option("DATABASE", reportDatabase, "The instance's database name")->required();
  auto* directoryOption =
      reportDir->add_option("DIRECTORY", reportDirectory, "The directory to store");

  std::string runDatabase;
  bool yes = false;
  CLI::App* upgrade = app.add_subcommand(
      "upgrade", "Upgrade an instance to the schema of verzio.ver in the working directory");
  CLI::App* uninstall = app.add_subcommand(
      "uninstall", "Drop the product's functions, procedures, views and tables from an instance");
  auto* upgradeDatabase =
      upgrade->add_option("DATABASE", runDatabase, "The instance's database name");
  upgrade->add_flag("--yes", yes, "Go ahead without asking");
  bool all = false, allJson = false, plan = false;
  auto* allFlag = upgrade->add_flag(
      "--all", all, "Every instance of the list in list order, going on past a failure");
  auto* planFlag = upgrade->add_flag(
      "--plan", plan,
      "Change nothing: print every statement the run would send, object by object, flagging "
      "the steps that can fail or rewrite a column's values (embedded server only)");
  upgrade->add_flag("--json", allJson,
                    "With --all: the closing table as a JSON array; with --plan: the plan as a "
                    "JSON object");
  upgradeDatabase->excludes(allFlag);
  planFlag->excludes(allFlag);
  upgrade->footer(
      "With --all the runs' messages go to stderr, and stdout gets one tab-separated\n"
      "line an instance under a header: database, version before, version after,\n"
      "outcome (ok, failed, error), seconds, run log. Exit status 1 when any failed.\n\n"
      "With --plan the upgrade runs on a scratch copy of the instance's database (and of\n"
      "master) in a temporary directory, every statement it sends is recorded, and the\n"
      "copy is dropped: the instance, its catalogue tables and its run log stay as they\n"
      "are, byte for byte. The plan lists by phase and object the tables created, columns\n"
      "added, altered or rebuilt (through a temporary <column>_qxq), defaults dropped and\n"
      "created, indexes dropped and created, procedures created or altered and the script\n"
      "statements, marking \"! can fail\" (with why), \"* rewrites the column's values\"\n"
      "and \"FAILS on the copy\" (with the server's message). A real run right after sends\n"
      "the same statements in the same order. Exit status 0 when the run would succeed,\n"
      "1 when it would fail. On SQL Server (ODBC) --plan refuses: it cannot copy a database.");
  uninstall->add_option("DATABASE", runDatabase, "The instance's database name")->required();
  uninstall->footer(
      "As in the main window: only in the SAP Business One listing mode (the settings file\n"
      "names the common database Sbo-Common) and for an instance with a version installed;\n"
      "elsewhere the command says why and exits 1.");
  uninstall->add_flag("--yes", yes, "Go ahead without asking");

  ConvertOptions convertOptions;
  CLI::App* convertCmd = app.add_subcommand(
      "convert", "Convert a company's DOS export files (yp*.txt) into an instance");
  convertCmd->add_option("DATABASE", convertOptions.database, "The instance's database name")
      ->required();
  convertCmd
      ->add_option("SOURCEDIR", convertOptions.sourceDirectory,
                   "The directory holding the eighteen export files")
      ->required();
  convertCmd->add_flag("--yes", convertOptions.yes, "Go ahead without asking \"Mehet ? \"");
  convertCmd->add_flag("--check", convertOptions.check,
                       "Write nothing: list every record that would stop the run, be skipped "
                       "or be reported (file:line: what: why)");
  convertCmd->footer(
      "The run reads the files in a fixed order (ypjt.txt, ypszt.txt, ypsztsz.txt, ...,\n"
      "yput.txt, ypsztsz.txt again) and writes every record as it goes, with no\n"
      "transaction: a run that stops keeps what it wrote. \"convert-delete\" empties the\n"
      "tables again. On a terminal one line shows the step, the file and the record;\n"
      "messages about single records go to stderr, one a line.\n\n"
      "Exit status: 0 \"Rendben lefutott !\" (with --check: the run would go through);\n"
      "1 the run stopped (the file and line are printed), or was not confirmed;\n"
      "2 usage, settings or login.\n\n"
      "Example, as an installer runs it:\n"
      "  moltaro-cli convert kovacs /mnt/dos/ber --check && \\\n"
      "  moltaro-cli convert kovacs /mnt/dos/ber --yes");

  std::string deleteDatabase;
  bool deleteYes = false;
  CLI::App* convertDelete = app.add_subcommand(
      "convert-delete", "Empty the tables a conversion fills, so that it can run again");
  convertDelete->add_option("DATABASE", deleteDatabase, "The instance's database name")->required();
  convertDelete->add_flag("--yes", deleteYes, "Go ahead without asking \"Valóban töröljem ?\"");
  convertDelete->footer(
      "Deletes every row of the converted tables (persons, payroll items and results,\n"
      "calendar, codes, settings and journal), and the addresses and transfers of persons\n"
      "no longer there; the schema version stays. Prints \"Kész !\".");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  sql.hasQuery = q->count() > 0;
  if (upgrade->parsed() && !all && upgradeDatabase->count() == 0) {
    std::cerr << "upgrade: give the instance's DATABASE, or --all for every instance.\n";
    return kExitUsage;
  }
  if (upgrade->parsed() && allJson && !all && !plan) {
    std::cerr << "upgrade: --json goes with --all or --plan.\n";
    return kExitUsage;
  }

  if (!workDir.empty()) {
    // A script file named on the command line is where the caller sees it,
    // not under the working directory -C moves to.
    if (!sql.inputFile.empty()) sql.inputFile = std::filesystem::absolute(sql.inputFile).string();
    std::error_code ec;
    std::filesystem::current_path(workDir, ec);
    if (ec) {
      std::cerr << "Cannot use " << workDir << " as the working directory: " << ec.message()
                << '\n';
      return kExitUsage;
    }
  }

  if (serverInit->parsed()) return ServerInit(dataDir, saPassword);

  ServerSettings settings;
  if (const int status = StartProgram(credentials, settings); status != kExitOk) return status;
  if (sqlCmd->parsed()) return RunSqlCommand(sql, settings);
  const InstanceStreams streams{std::cout, std::cerr, StderrIsTerminal()};
  if (instancesCmd->parsed()) return ListInstances(settings, json, streams);
  // Blanks around a database name never belong to it (the list shows them).
  if (newCompany->parsed()) return NewCompany(settings, company, Trim(database), streams);
  if (reportDir->parsed()) {
    std::optional<std::string> directory;
    if (directoryOption->count() > 0) directory = reportDirectory;
    return ReportDirectory(settings, reportDatabase, directory, streams);
  }
  if (upgrade->parsed()) {
    if (all) return UpgradeAll(settings, yes, allJson, streams);
    if (plan) return PlanUpgrade(settings, runDatabase, allJson, streams);
    return Upgrade(settings, runDatabase, yes, streams);
  }
  if (uninstall->parsed()) return Uninstall(settings, runDatabase, yes, streams);
  if (convertCmd->parsed()) return Convert(settings, convertOptions, streams);
  if (convertDelete->parsed()) return ConvertDelete(settings, deleteDatabase, deleteYes, streams);
  return kExitUsage;
}

}  // namespace
}  // namespace moltaro::cli

int main(int argc, char** argv) {
  try {
    return moltaro::cli::Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return moltaro::cli::kExitFailed;
  }
}
