// SQLite's failures in SQL Server's words: a lock, a full disk or a failing
// device reaches the caller with SQL Server's number and message, never with
// SQLite's own wording.
#pragma once

#include <filesystem>
#include <string>

#include "db/errors.h"

namespace moltaro::db::embedded {

struct SqliteFailure {
  int code = 0;         // SQLite's extended result code
  int systemError = 0;  // errno of the operating system's last failure
  std::string message;  // SQLite's message
  std::string database;
  std::filesystem::path file;
  std::string object;           // the table written, when known
  bool deadlinePassed = false;  // the command's time-out ended a lock wait
};

// Failures that are not conditions of the server (constraints, the server's
// own functions and triggers) keep their message: it is already SQL Server's.
DatabaseError ToServerError(const SqliteFailure& failure);

// True for SQLite's extended codes of a unique index or primary key that
// refused a duplicate.
bool IsDuplicateKey(int extendedCode);

// SQL Server's message 1105, the data file that cannot grow.
DatabaseError SpaceExhausted(const std::string& object, const std::string& database);

}  // namespace moltaro::db::embedded
