// Which databases are in use, across sessions and processes: every session
// holds a shared lock on its database's byte of `<data dir>/moltaro.lock`,
// and DROP DATABASE needs that byte exclusively. The locks belong to the open
// file, not to the process (so two sessions of one process are told apart),
// and die with the process: a killed program never leaves a database "in use".
#pragma once

#include <filesystem>
#include <optional>

namespace moltaro::db::embedded {

class DatabaseLock {
 public:
  // Waits while the database is being dropped; throws DatabaseError when the
  // lock file cannot be opened.
  static DatabaseLock Shared(const std::filesystem::path& dataDirectory, int databaseId);
  // Empty when another session has the database open.
  static std::optional<DatabaseLock> Exclusive(const std::filesystem::path& dataDirectory,
                                               int databaseId);

  DatabaseLock(DatabaseLock&& other) noexcept;
  DatabaseLock& operator=(DatabaseLock&& other) noexcept;
  DatabaseLock(const DatabaseLock&) = delete;
  DatabaseLock& operator=(const DatabaseLock&) = delete;
  ~DatabaseLock();

 private:
  explicit DatabaseLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace moltaro::db::embedded
