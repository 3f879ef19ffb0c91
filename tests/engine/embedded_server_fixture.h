// One embedded server per test suite (logins are deliberately slow to
// verify), with a fresh database per test and a work directory for the
// version file and the run log.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "engine/tfra_valt.h"
#include "recording_display.h"
#include "temp_dir.h"

namespace moltaro::engine::testing {

// Real connections that remember every statement (not query) they execute.
class RecordingConnection : public db::ConnectionPort {
 public:
  explicit RecordingConnection(std::vector<std::string>& executed)
      : real_(db::MakeServerConnection()), executed_(executed) {}
  void Open(const std::string& connectionString) override { real_->Open(connectionString); }
  void Close() override { real_->Close(); }
  db::ResultSet Query(std::string_view sql, const db::Params& params) override {
    return real_->Query(sql, params);
  }
  void Execute(std::string_view sql, const db::Params& params) override {
    executed_.emplace_back(sql);
    real_->Execute(sql, params);
  }

 private:
  std::unique_ptr<db::ConnectionPort> real_;
  std::vector<std::string>& executed_;
};

class EmbeddedServerTest : public ::testing::Test {
 protected:
  static constexpr const char* kPassword = "Jelszo_1";

  static void SetUpTestSuite() {
    serverDir_ = std::make_unique<TempDir>();
    db::embedded::InitializeServer(serverDir_->Path() / "data", kPassword);
  }
  static void TearDownTestSuite() { serverDir_.reset(); }
  static std::filesystem::path DataDirectory() { return serverDir_->Path() / "data"; }

  static std::string ConnectionString(const std::string& database) {
    return "Provider=SQLOLEDB.1;Server=embedded:" + (serverDir_->Path() / "data").string() +
           ";Password=" + kPassword +
           ";Persist Security Info=True;User ID=sa;Initial Catalog=" + database +
           ";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;Use Encryption for "
           "Data=False;";
  }

  EmbeddedServerTest()
      : frame(display, [this] { return std::make_unique<RecordingConnection>(executed); }) {
    database = "ZMP_TESZT_" + std::to_string(++databases_);
    db::Connection master(ConnectionString("master"));
    master.Open();
    master.Execute("create database " + database);
    sql.Open(ConnectionString(database));
    frame.SetWorkDirectory(work.Path());
  }

  void Prepare(const std::string& mask = "IIIII") {
    const std::string cs = ConnectionString(database);
    frame.Prepare(database, database, cs, cs, mask, "sa", kPassword);
  }

  // Writes verzio.ver (given as UTF-8 lines) the way the product ships it.
  void WriteVersionFile(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    work.Write("verzio.ver", Utf8ToCp1250(text));
  }

  // Upgrades with the given version file.
  bool Upgrade(const std::vector<std::string>& lines) {
    WriteVersionFile(lines);
    Prepare();
    return frame.RunUpgrade();
  }

  std::vector<std::string> LogLines() const {
    const std::string text = Cp1250ToUtf8(work.Read(frame.LogPath().filename().string()));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

  std::string Scalar(const std::string& query) {
    const db::ResultSet result = sql.Query(query);
    return result.Columns().empty()
               ? std::string()
               : db::ToText(result.Rows().empty() ? db::Null() : result.Rows()[0][0]);
  }

  TempDir work;
  RecordingDisplay display;
  std::vector<std::string> executed;  // every statement the engine executed
  TfraValt frame;
  std::string database;
  db::Connection sql;

 private:
  static inline std::unique_ptr<TempDir> serverDir_;
  static inline int databases_ = 0;
};

}  // namespace moltaro::engine::testing
