#include "cli/sql_command.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <string_view>

#include "cli/program_start.h"
#include "common/text.h"
#include "common/utf8.h"
#include "db/connection.h"
#include "db/errors.h"

namespace moltaro::cli {

namespace {

// "GO" or "GO n" alone on a line, a -- comment after it allowed; `repeat`
// gets n (1 without a count).
bool IsGoLine(std::string_view line, int& repeat) {
  if (const std::size_t comment = line.find("--"); comment != std::string_view::npos) {
    line = line.substr(0, comment);
  }
  const std::string trimmed = Trim(std::string(line));
  if (trimmed.size() < 2 || !EqualsIgnoreCaseAscii(trimmed.substr(0, 2), "GO")) return false;
  const std::string count = Trim(trimmed.substr(2));
  if (count.empty()) {
    repeat = 1;
    return true;
  }
  if (trimmed.size() == 2 || (trimmed[2] != ' ' && trimmed[2] != '\t')) return false;
  if (count.size() > 9 || count.find_first_not_of("0123456789") != std::string::npos) return false;
  repeat = std::stoi(count);
  return true;
}

}  // namespace

std::vector<ScriptBatch> SplitBatches(const std::string& script) {
  std::vector<ScriptBatch> batches;
  ScriptBatch current;
  std::istringstream in(script);
  std::string line;
  int lineNumber = 0;
  auto flush = [&](int repeat, int nextLine) {
    if (!Trim(current.text).empty() && repeat > 0) {
      current.repeat = repeat;
      batches.push_back(std::move(current));
    }
    current = ScriptBatch{};
    current.firstLine = nextLine;
  };
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    int repeat = 1;
    if (IsGoLine(line, repeat)) {
      flush(repeat, lineNumber + 1);
      continue;
    }
    // Leading blank lines do not count as the batch's start.
    if (current.text.empty() && Trim(line).empty()) {
      current.firstLine = lineNumber + 1;
      continue;
    }
    current.text += line;
    current.text += '\n';
  }
  flush(1, lineNumber + 1);
  return batches;
}

bool ScriptTextAsUtf8(std::string& script) {
  if (script.starts_with("\xEF\xBB\xBF")) {
    script.erase(0, 3);
    return true;
  }
  const bool littleEndian = script.starts_with("\xFF\xFE");
  if (!littleEndian && !script.starts_with("\xFE\xFF")) return true;
  if (script.size() % 2 != 0) return false;
  auto unitAt = [&](std::size_t i) -> char32_t {
    const auto first = static_cast<unsigned char>(script[i]);
    const auto second = static_cast<unsigned char>(script[i + 1]);
    return littleEndian ? (second << 8 | first) : (first << 8 | second);
  };
  std::string utf8;
  utf8.reserve(script.size());
  for (std::size_t i = 2; i < script.size(); i += 2) {
    char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 2 < script.size()) {
      const char32_t low = unitAt(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = kReplacementCharacter;
    AppendUtf8(utf8, unit);
  }
  script = std::move(utf8);
  return true;
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
  if (!ScriptTextAsUtf8(script)) {
    std::cerr << "The script file " << options.inputFile
              << " is UTF-16 but ends in the middle of a character; save it again as UTF-8.\n";
    return false;
  }
  return true;
}

void PrintBatchResult(const db::BatchResult& result) {
  for (const auto& message : result.messages) std::cout << message << '\n';
  for (const auto& set : result.results) PrintResultSet(set, std::cout);
}

// Where a failed batch starts, as the operator finds it in the script.
std::string BatchPlace(const SqlOptions& options, const ScriptBatch& batch) {
  const std::string source = !options.inputFile.empty() ? options.inputFile
                             : options.hasQuery         ? std::string("-Q")
                                                        : std::string("standard input");
  return source + ":" + std::to_string(batch.firstLine);
}

void PrintError(const std::string& place, const std::exception& e) {
  if (const auto* server = dynamic_cast<const db::DatabaseError*>(&e); server && server->Number()) {
    std::cerr << "Msg " << server->Number() << ", Level " << server->Severity() << ", batch at "
              << place << ": " << e.what() << '\n';
    return;
  }
  std::cerr << "Msg, batch at " << place << ": " << e.what() << '\n';
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
  for (const ScriptBatch& batch : SplitBatches(script)) {
    for (int run = 0; run < batch.repeat; ++run) {
      try {
        PrintBatchResult(connection.Run(batch.text));
      } catch (const std::exception& e) {
        // What the batch sent before it failed is shown, then the error.
        if (const auto* server = dynamic_cast<const db::DatabaseError*>(&e)) {
          if (const db::BatchResult* partial = server->Partial()) PrintBatchResult(*partial);
        }
        std::cout.flush();
        PrintError(BatchPlace(options, batch), e);
        anyFailed = true;
        break;
      }
    }
  }
  std::cout.flush();
  return anyFailed ? kExitFailed : kExitOk;
}

}  // namespace moltaro::cli
