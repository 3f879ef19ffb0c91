// An instance database upgraded with examples/verzio.ver on an embedded
// server, and a conversion context whose work connection is on it. One server
// per test program (logins are slow to verify on purpose); a fresh instance
// per test.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/codepage.h"
#include "convert/convert_context.h"
#include "convert/legacy_file.h"
#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "engine/recording_display.h"
#include "engine/temp_dir.h"
#include "engine/tfra_valt.h"

namespace moltaro::convert::testing {

using engine::testing::TempDir;

// Remembers the per-record messages in order.
class RecordingMessages : public MessageSink {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

class InstanceTest : public ::testing::Test {
 protected:
  static constexpr const char* kPassword = "Jelszo_1";
  static constexpr const char* kNow = "2026. 12. 08. 9:05:06";

  static void SetUpTestSuite() {
    server_ = std::make_unique<TempDir>();
    db::embedded::InitializeServer(server_->Path() / "data", kPassword);
  }
  static void TearDownTestSuite() { server_.reset(); }

  // The login's default database stays master: the conversion must not
  // depend on it.
  static std::string ConnectionString(const std::string& database) {
    return "Provider=SQLOLEDB.1;Server=embedded:" + (server_->Path() / "data").string() +
           ";Password=" + kPassword +
           ";Persist Security Info=True;User ID=sa;Initial Catalog=" + database +
           ";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;Use Encryption for "
           "Data=False;";
  }

  InstanceTest() : database("KONV_" + std::to_string(++databases_)), context(work, messages) {}

  void SetUp() override {
    db::Connection master(ConnectionString("master"));
    master.Open();
    master.Execute("create database " + database);
    Upgrade();
    work.Open(ConnectionString(database));
    context.SetClock([] { return std::string(kNow); });
  }

  // Installs the example version file on the instance.
  void Upgrade() {
    std::ifstream example(std::string(MOLTARO_EXAMPLES_DIR) + "/verzio.ver", std::ios::binary);
    files.Write("verzio.ver", std::string(std::istreambuf_iterator<char>(example), {}));
    engine::testing::RecordingDisplay display;
    engine::TfraValt frame(display);
    frame.SetWorkDirectory(files.Path());
    const std::string cs = ConnectionString(database);
    frame.Prepare(database, database, cs, cs, "IIIII", "sa", kPassword);
    ASSERT_FALSE(frame.RunUpgrade()) << frame.LastError();
  }

  // A record as the reader gives it, from UTF-8 text.
  static LegacyRecord Record(const std::string& utf8, std::size_t line = 1) {
    return LegacyRecord(Utf8ToCp1250(utf8), line);
  }

  // A record of `length` blanks with the given UTF-8 texts placed at their
  // 1-based positions (a text may run past `length`, lengthening the record).
  static LegacyRecord Fixed(std::size_t length,
                            std::initializer_list<std::pair<std::size_t, std::string>> fields,
                            std::size_t line = 1) {
    std::string bytes(length, ' ');
    for (const auto& [pos, text] : fields) {
      const std::string cp1250 = Utf8ToCp1250(text);
      if (bytes.size() < pos - 1 + cp1250.size()) bytes.resize(pos - 1 + cp1250.size(), ' ');
      bytes.replace(pos - 1, cp1250.size(), cp1250);
    }
    return LegacyRecord(bytes, line);
  }

  // The first column of the first row, as text ("" for NULL or no row).
  std::string Scalar(const std::string& sql) {
    const db::ResultSet result = work.Query(sql);
    return result.Rows().empty() ? std::string() : db::ToText(result.Rows()[0][0]);
  }

  db::ResultSet Rows(const std::string& sql) { return work.Query(sql); }

  TempDir files;
  std::string database;
  db::Connection work;
  RecordingMessages messages;
  ConvertContext context;

 private:
  static inline std::unique_ptr<TempDir> server_;
  static inline int databases_ = 0;
};

}  // namespace moltaro::convert::testing
