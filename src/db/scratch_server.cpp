#include "db/scratch_server.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "db/errors.h"

namespace moltaro::db {

namespace {

struct SqliteCloser {
  void operator()(sqlite3* handle) const { sqlite3_close_v2(handle); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;

SqliteHandle OpenFile(const std::filesystem::path& file, int flags) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
  SqliteHandle handle(raw);
  if (rc != SQLITE_OK) {
    throw Error("Cannot open " + file.string() +
                " to copy it: " + (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  return handle;
}

// Copies one database file page by page through SQLite's backup, which reads
// one consistent state (the write-ahead log included) while others write.
// The source is only read: no checkpoint on close, so not even its bytes
// move.
void SnapshotFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  const SqliteHandle from = OpenFile(source, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
  sqlite3_db_config(from.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_exec(from.get(), "PRAGMA query_only=1", nullptr, nullptr, nullptr);
  std::filesystem::create_directories(target.parent_path());
  const SqliteHandle to =
      OpenFile(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
  sqlite3_backup* backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
  if (backup == nullptr) {
    throw Error("Cannot copy " + source.string() + ": " + sqlite3_errmsg(to.get()));
  }
  int rc = SQLITE_OK;
  do {
    rc = sqlite3_backup_step(backup, -1);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
  sqlite3_backup_finish(backup);
  if (rc != SQLITE_DONE) {
    throw Error("Cannot copy " + source.string() + ": " + sqlite3_errstr(rc));
  }
}

// `file` relative to `directory`, or empty when it lies outside it.
std::filesystem::path Inside(const std::filesystem::path& directory,
                             const std::filesystem::path& file) {
  const std::filesystem::path relative = std::filesystem::weakly_canonical(file).lexically_relative(
      std::filesystem::weakly_canonical(directory));
  if (relative.empty() || *relative.begin() == "..") return {};
  return relative;
}

std::filesystem::path MakePrivateDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "moltaro-plan-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw Error("Cannot create a scratch directory in " +
                std::filesystem::temp_directory_path().string() + ": " +
                std::error_code(errno, std::generic_category()).message());
  }
  return pattern;
}

}  // namespace

ScratchServer::ScratchServer(const std::filesystem::path& dataDirectory,
                             const std::filesystem::path& databaseFile) {
  const std::filesystem::path relative = Inside(dataDirectory, databaseFile);
  if (relative.empty()) {
    throw Error("The database file " + databaseFile.string() +
                " lies outside the server's data directory " + dataDirectory.string() +
                "; it cannot be copied into a scratch server.");
  }
  root_ = MakePrivateDirectory();
  try {
    std::filesystem::create_directories(WorkDirectory());
    SnapshotFile(dataDirectory / "master.mdf", DataDirectory() / "master.mdf");
    SnapshotFile(databaseFile, DataDirectory() / relative);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
    throw;
  }
}

ScratchServer::~ScratchServer() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

}  // namespace moltaro::db
