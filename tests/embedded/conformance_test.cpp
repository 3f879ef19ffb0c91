// The data-driven conformance suite: every file under cases/ is one test,
// run against a fresh embedded server. A file is a list of blocks separated by
// blank lines; '#' starts a comment line.
//
//   statement ok                 the batch that follows must succeed; lines
//   <batch>                      after "----", when given, must equal the
//   ----                         messages it printed (PRINT, informational
//   <messages>                   RAISERROR)
//   statement error 8115         it must fail with that error number; text on
//   statement error 8115 Msg…    the line after the number must be the message
//                                ("\n" between the messages of one error; every
//                                error must also read as the message table
//                                writes its number, followed by the closing
//                                message the table gives it; numbers above
//                                50000 are the user's, raised by THROW)
//   query                        the batch's last result set, each row as its
//   <batch>                      values separated by a tab (NULL for NULL),
//   ----                         must equal the lines after "----"
//   <rows>                       (blanks at the end of a row do not count)
//
// A failing block names its file and line, so a case is found at once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "db/errors.h"
#include "db/server_messages.h"

#ifndef MOLTARO_CONFORMANCE_CASES
#error "MOLTARO_CONFORMANCE_CASES must name the cases directory"
#endif

namespace moltaro::db::embedded::testing {
namespace {

namespace fs = std::filesystem;

enum class BlockKind { StatementOk, StatementError, Query };

struct Block {
  BlockKind kind = BlockKind::StatementOk;
  int line = 0;  // of the block's first line
  std::string sql;
  int errorNumber = 0;
  std::string errorMessage;  // empty: any message
  std::vector<std::string> rows;
  bool checksMessages = false;  // statement ok with "----"
};

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

// Parses a case file; a malformed header fails the test with its line.
std::vector<Block> ParseCases(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(TrimRight(line));
  std::vector<Block> blocks;
  std::size_t i = 0;
  while (i < lines.size()) {
    const std::string& head = lines[i];
    if (head.empty() || head[0] == '#') {
      ++i;
      continue;
    }
    Block b;
    b.line = static_cast<int>(i + 1);
    if (head == "statement ok") {
      b.kind = BlockKind::StatementOk;
    } else if (head.rfind("statement error ", 0) == 0) {
      b.kind = BlockKind::StatementError;
      std::istringstream words(head.substr(16));
      words >> b.errorNumber;
      if (!words) {
        ADD_FAILURE() << file.string() << ":" << b.line << ": no error number in '" << head << "'";
        return {};
      }
      std::getline(words >> std::ws, b.errorMessage);
      for (std::size_t at = b.errorMessage.find("\\n"); at != std::string::npos;
           at = b.errorMessage.find("\\n", at + 1)) {
        b.errorMessage.replace(at, 2, "\n");
      }
    } else if (head == "query") {
      b.kind = BlockKind::Query;
    } else {
      ADD_FAILURE() << file.string() << ":" << b.line << ": unknown block '" << head << "'";
      return {};
    }
    ++i;
    for (; i < lines.size() && !lines[i].empty() && lines[i] != "----"; ++i) {
      b.sql += lines[i] + "\n";
    }
    if (b.kind == BlockKind::Query) {
      if (i >= lines.size() || lines[i] != "----") {
        ADD_FAILURE() << file.string() << ":" << b.line << ": query without '----'";
        return {};
      }
      for (++i; i < lines.size() && !lines[i].empty(); ++i) b.rows.push_back(lines[i]);
    } else if (b.kind == BlockKind::StatementOk && i < lines.size() && lines[i] == "----") {
      b.checksMessages = true;
      for (++i; i < lines.size() && !lines[i].empty(); ++i) b.rows.push_back(lines[i]);
    }
    blocks.push_back(std::move(b));
  }
  return blocks;
}

std::string RowText(const std::vector<Value>& row) {
  std::string out;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i) out += '\t';
    out += IsNull(row[i]) ? std::string("NULL") : ToText(row[i]);
  }
  return out;
}

// The table's template as a regular expression, any text at each
// placeholder.
std::string TemplateExpression(std::string_view pattern) {
  constexpr char kHole = '\x02';
  const std::string h(1, kHole);
  const std::string holes = FormatServerMessage(pattern, {h, h, h, h, h, h, h, h, h, h, h, h});
  std::string expression;
  for (const char ch : holes) {
    if (ch == kHole) {
      expression += "[\\s\\S]*";
    } else if (std::string_view("\\^$.|?*+()[]{}").find(ch) != std::string_view::npos) {
      expression += std::string("\\") + ch;
    } else {
      expression += ch;
    }
  }
  return expression;
}

// True when the text reads as the message's template; a message that SQL
// Server closes with another one must end with that one, other lines may
// follow a message.
bool ReadsAsTemplate(const std::string& text, const ServerMessage& message) {
  std::string expression = TemplateExpression(message.text);
  if (message.closedBy != 0) {
    expression += "\n" + TemplateExpression(FindServerMessage(message.closedBy)->text);
  } else {
    expression += "(\n[\\s\\S]*)?";
  }
  return std::regex_match(text, std::regex(expression));
}

// An error with a number reads as the message table writes that number; lines
// after it are the messages that follow it.
void ExpectTableMessage(const DatabaseError& e, const std::string& where) {
  if (e.Number() <= 0 || e.Number() > 50000) return;
  const ServerMessage* message = FindServerMessage(e.Number());
  if (!message) {
    ADD_FAILURE() << where << ": error " << e.Number() << " is not in the message table";
    return;
  }
  const std::string text = e.what();
  EXPECT_TRUE(ReadsAsTemplate(text, *message))
      << where << ": error " << e.Number() << " reads \"" << text << "\", the table writes \""
      << message->text << "\"";
}

std::vector<std::string> CaseFiles() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(MOLTARO_CONFORMANCE_CASES)) {
    if (entry.path().extension() == ".test") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Conformance : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("moltaro-conformance-" + GetParam() + "-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    InitializeServer(dir_, "conformance");
    Connection master(Base() + "master;");
    master.Open();
    master.Execute("create database conformance on (name='conformance_dat', filename='" +
                   dir_.string() + "/conformance.mdf') COLLATE SQL_Hungarian_Cp1250_CI_AS");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Base() const {
    return "Provider=SQLOLEDB.1;Server=embedded:" + dir_.string() +
           ";Password=conformance;User ID=sa;Initial Catalog=";
  }

  fs::path dir_;
};

TEST_P(Conformance, Case) {
  const fs::path file = fs::path(MOLTARO_CONFORMANCE_CASES) / (GetParam() + ".test");
  const std::vector<Block> blocks = ParseCases(file);
  ASSERT_FALSE(blocks.empty()) << file.string() << " holds no case";
  Connection c(Base() + "conformance;");
  c.Open();
  for (const Block& b : blocks) {
    const std::string where = file.filename().string() + ":" + std::to_string(b.line);
    try {
      BatchResult result = c.Run(b.sql);
      if (b.kind == BlockKind::StatementError) {
        ADD_FAILURE() << where << ": succeeded, expected error " << b.errorNumber << "\n" << b.sql;
      } else if (b.checksMessages) {
        std::vector<std::string> messages;
        for (const std::string& m : result.messages) messages.push_back(TrimRight(m));
        EXPECT_EQ(messages, b.rows) << where << "\n" << b.sql;
      } else if (b.kind == BlockKind::Query) {
        std::vector<std::string> rows;
        if (!result.results.empty()) {
          for (const auto& row : result.results.back().Rows()) {
            rows.push_back(TrimRight(RowText(row)));
          }
        }
        EXPECT_EQ(rows, b.rows) << where << "\n" << b.sql;
      }
    } catch (const DatabaseError& e) {
      if (b.kind != BlockKind::StatementError) {
        ADD_FAILURE() << where << ": failed with " << e.Number() << " " << e.what() << "\n"
                      << b.sql;
        continue;
      }
      EXPECT_EQ(e.Number(), b.errorNumber) << where << ": " << e.what() << "\n" << b.sql;
      ExpectTableMessage(e, where);
      if (!b.errorMessage.empty()) {
        EXPECT_EQ(e.what(), b.errorMessage) << where;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Conformance, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace moltaro::db::embedded::testing
