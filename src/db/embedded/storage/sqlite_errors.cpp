#include "db/embedded/storage/sqlite_errors.h"

#include "db/embedded/storage/sqlite_values.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

namespace moltaro::db::embedded {

namespace {

std::string OsError(int systemError) {
  if (systemError == 0) return "0(no operating system error)";
  return std::to_string(systemError) + "(" + std::strerror(systemError) + ")";
}

bool IsRead(int code) {
  return code == SQLITE_IOERR_READ || code == SQLITE_IOERR_SHORT_READ;
}

}  // namespace

DatabaseError SpaceExhausted(const std::string& object, const std::string& database) {
  return DatabaseError(
      "Could not allocate space for object '" + object + "' in database '" + database +
          "' because the 'PRIMARY' filegroup is full. Create disk space by deleting unneeded "
          "files, dropping objects in the filegroup, adding additional files to the filegroup, "
          "or setting autogrowth on for existing files in the filegroup.",
      1105);
}

DatabaseError ToServerError(const SqliteFailure& f) {
  const std::string file = f.file.string();
  const std::string object = f.object.empty() ? "dbo.sysobjects" : f.object;
  switch (f.code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_PROTOCOL:
      if (f.deadlinePassed) return DatabaseError("Query timeout expired", -2);
      return DatabaseError("Lock request time out period exceeded.", 1222);
    case SQLITE_INTERRUPT:
      return DatabaseError("Query timeout expired", -2);
    case SQLITE_FULL:
      return SpaceExhausted(object, f.database);
    case SQLITE_IOERR:
      if (f.code == SQLITE_IOERR_NOMEM) break;
      if (f.systemError == ENOSPC || f.systemError == EDQUOT) {
        return SpaceExhausted(object, f.database);
      }
      return DatabaseError("The operating system returned error " + OsError(f.systemError) +
                               " to SQL Server during a " + (IsRead(f.code) ? "read" : "write") +
                               " in file '" + file +
                               "'. Additional messages in the SQL Server error log and system "
                               "event log may provide more detail.",
                           823);
    case SQLITE_NOMEM:
      break;
    case SQLITE_READONLY:
      return DatabaseError(
          "Failed to update database \"" + f.database + "\" because the database is read-only.",
          3906);
    case SQLITE_CORRUPT:
      return DatabaseError("SQL Server detected a logical consistency-based I/O error in file '" +
                               file + "'. The database is damaged: restore it from a backup.",
                           824);
    case SQLITE_NOTADB:
      return DatabaseError(
          "The header for file '" + file + "' is not a valid database file header.", 5172);
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
      return DatabaseError("Unable to open the physical file \"" + file +
                               "\". Operating system error " + OsError(f.systemError) + ".",
                           5120);
    default: {
      // Raised by the server's own functions and triggers: the message
      // carries SQL Server's number through SQLite.
      const SqlError error = ErrorFromMessage(f.message);
      return DatabaseError(error.message, error.number);
    }
  }
  return DatabaseError(
      "There is insufficient system memory in resource pool 'default' to run this query.", 701);
}

}  // namespace moltaro::db::embedded
