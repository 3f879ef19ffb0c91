// Runs arbitrary text as a batch on an embedded server: every failure must
// surface as DatabaseError (or db::Error), never as a crash, a hang or
// another exception. One server for the whole run; the command time-out
// stops runaway loops.
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "db/errors.h"

namespace {

moltaro::db::Connection& Server() {
  static std::unique_ptr<moltaro::db::Connection> connection = [] {
    const auto dir =
        std::filesystem::temp_directory_path() / ("moltaro-fuzz-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    moltaro::db::embedded::InitializeServer(dir, "fuzz");
    auto c = std::make_unique<moltaro::db::Connection>(
        "Provider=SQLOLEDB.1;Server=embedded:" + dir.string() +
        ";Password=fuzz;User ID=sa;Initial Catalog=master;");
    c->SetCommandTimeout(1);
    c->Open();
    c->Execute("create table t (a int, b nvarchar(10) default ('x'), c datetime, d decimal(9,2))");
    c->Execute("insert into t (a, b) values (1, 'egy'), (2, NULL)");
    return c;
  }();
  return *connection;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string sql(reinterpret_cast<const char*>(data), size);
  // Database statements would make files where the input says, and
  // switching databases would starve the run: both are tested elsewhere.
  std::string lower = sql;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (lower.find("database") != std::string::npos || lower.find("use") != std::string::npos) {
    return 0;
  }
  try {
    Server().Run(sql, {std::int64_t{1}, std::string("2009.11.05"), moltaro::db::Value{}});
  } catch (const moltaro::db::DatabaseError&) {
  } catch (const moltaro::db::Error&) {
  }
  return 0;
}
