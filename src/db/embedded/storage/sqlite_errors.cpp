#include "db/embedded/storage/sqlite_errors.h"

#include "db/embedded/storage/sqlite_values.h"
#include "db/server_messages.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

namespace moltaro::db::embedded {

namespace {

bool IsRead(int code) {
  return code == SQLITE_IOERR_READ || code == SQLITE_IOERR_SHORT_READ;
}

}  // namespace

bool IsDuplicateKey(int extendedCode) {
  return extendedCode == SQLITE_CONSTRAINT_UNIQUE || extendedCode == SQLITE_CONSTRAINT_PRIMARYKEY;
}

DatabaseError SpaceExhausted(const std::string& object, const std::string& database) {
  return ServerErrorByNumber(1105, {object, database, "PRIMARY"});
}

DatabaseError ToServerError(const SqliteFailure& f) {
  const std::string file = f.file.string();
  const std::string object = f.object.empty() ? "dbo.sysobjects" : f.object;
  switch (f.code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_PROTOCOL:
      if (f.deadlinePassed) return DatabaseError("Query timeout expired", -2);
      return ServerErrorByNumber(1222);
    case SQLITE_INTERRUPT:
      return DatabaseError("Query timeout expired", -2);
    case SQLITE_FULL:
      return SpaceExhausted(object, f.database);
    case SQLITE_IOERR:
      if (f.code == SQLITE_IOERR_NOMEM) break;
      if (f.systemError == ENOSPC || f.systemError == EDQUOT) {
        return SpaceExhausted(object, f.database);
      }
      return ServerErrorByNumber(
          823, {OperatingSystemError(f.systemError), IsRead(f.code) ? "read" : "write", file});
    case SQLITE_NOMEM:
      break;
    case SQLITE_READONLY:
      return ServerErrorByNumber(3906, {f.database});
    case SQLITE_CORRUPT:
      return ServerErrorByNumber(824, {file});
    case SQLITE_NOTADB:
      return ServerErrorByNumber(5172, {file});
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
      return ServerErrorByNumber(5120, {file, OperatingSystemError(f.systemError)});
    default: {
      // Raised by the server's own functions and triggers: the message
      // carries SQL Server's number through SQLite.
      const SqlError error = ErrorFromMessage(f.message);
      return DatabaseError(error.message, error.number);
    }
  }
  return ServerErrorByNumber(701, {"default"});
}

}  // namespace moltaro::db::embedded
