#include "cli/sql_command.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/program_start.h"
#include "common/text.h"
#include "db/connection.h"
#include "db/errors.h"

namespace moltaro::cli {

std::vector<std::string> SplitBatches(const std::string& script) {
  std::vector<std::string> batches;
  std::string current;
  std::istringstream in(script);
  std::string line;
  auto flush = [&] {
    if (!Trim(current).empty()) batches.push_back(current);
    current.clear();
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (EqualsIgnoreCaseAscii(Trim(line), "GO")) {
      flush();
      continue;
    }
    current += line;
    current += '\n';
  }
  flush();
  return batches;
}

void PrintResultSet(const db::ResultSet& result, std::ostream& out) {
  const auto& columns = result.Columns();
  for (std::size_t i = 0; i < columns.size(); ++i) out << (i ? "\t" : "") << columns[i];
  out << '\n';
  for (const auto& row : result.Rows()) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      out << (i ? "\t" : "") << (db::IsNull(row[i]) ? std::string("NULL") : db::ToText(row[i]));
    }
    out << '\n';
  }
}

namespace {

bool ReadScript(const SqlOptions& options, std::string& script) {
  if (options.hasQuery) {
    script = options.query;
    return true;
  }
  std::ostringstream text;
  if (!options.inputFile.empty()) {
    std::ifstream in(options.inputFile, std::ios::binary);
    if (!in) {
      std::cerr << "Cannot read the script file " << options.inputFile << ".\n";
      return false;
    }
    text << in.rdbuf();
  } else {
    text << std::cin.rdbuf();
  }
  script = text.str();
  return true;
}

}  // namespace

int RunSqlCommand(const SqlOptions& options, const ServerSettings& settings) {
  std::string script;
  if (!ReadScript(options, script)) return kExitFailed;

  db::Connection connection;
  try {
    connection.Open(settings.DatabaseConnectionString(options.database));
  } catch (const std::exception& e) {
    std::cerr << "Msg: " << e.what() << '\n';
    return kExitFailed;
  }

  bool anyFailed = false;
  for (const std::string& batch : SplitBatches(script)) {
    try {
      const db::BatchResult result = connection.Run(batch);
      for (const auto& message : result.messages) std::cout << message << '\n';
      for (const auto& set : result.results) PrintResultSet(set, std::cout);
    } catch (const db::DatabaseError& e) {
      std::cerr << "Msg: " << e.what() << '\n';
      anyFailed = true;
    } catch (const std::exception& e) {
      std::cerr << "Msg: " << e.what() << '\n';
      anyFailed = true;
    }
  }
  std::cout.flush();
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace moltaro::cli
