// The master database's own system tables: sysdatabases and syslogins. Like
// the catalogue of a database, the only code that writes them.
#pragma once

#include <optional>
#include <string>

#include "db/embedded/storage/sqlite_db.h"

namespace moltaro::db::embedded {

class MasterCatalog {
 public:
  explicit MasterCatalog(SqliteDb& master) : master_(master) {}

  // A database takes the next dbid; master is the first. Master has no log
  // file at all; a database created without a log file clause an empty one.
  void InsertDatabase(const std::string& name, const std::string& storedFile,
                      const std::string& collation, const std::optional<std::string>& logFile);
  // `options` as recorded by ALTER DATABASE … SET: "RECOVERY=FULL;…".
  void SetDatabaseOptions(const std::string& name, const std::string& options);
  void DeleteDatabase(const std::string& name);
  void InsertLogin(const std::string& name, const std::string& passwordHash,
                   const std::string& defaultDatabase);

 private:
  SqliteDb& master_;
};

}  // namespace moltaro::db::embedded
