#include "db/embedded/catalog/master_catalog.h"

#include <sqlite3.h>

namespace moltaro::db::embedded {

namespace {

void Bind(sqlite3_stmt* stmt, int index, const std::string& text) {
  sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

void MasterCatalog::InsertDatabase(const std::string& name, const std::string& storedFile,
                                   const std::string& collation,
                                   const std::optional<std::string>& logFile) {
  auto stmt = master_.Prepare(
      "INSERT INTO sysdatabases (name, dbid, crdate, filename, collation, logfilename, options) "
      "VALUES (?, (SELECT coalesce(max(dbid), 0) + 1 FROM sysdatabases), tsql_getdate(), ?, ?, "
      "?, '')");
  Bind(stmt.get(), 1, name);
  Bind(stmt.get(), 2, storedFile);
  Bind(stmt.get(), 3, collation);
  if (logFile) {
    Bind(stmt.get(), 4, *logFile);
  } else {
    sqlite3_bind_null(stmt.get(), 4);
  }
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) master_.Throw();
}

void MasterCatalog::SetDatabaseOptions(const std::string& name, const std::string& options) {
  auto stmt = master_.Prepare("UPDATE sysdatabases SET options = ? WHERE name = ?");
  Bind(stmt.get(), 1, options);
  Bind(stmt.get(), 2, name);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) master_.Throw();
}

void MasterCatalog::DeleteDatabase(const std::string& name) {
  auto stmt = master_.Prepare("DELETE FROM sysdatabases WHERE name = ?");
  Bind(stmt.get(), 1, name);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) master_.Throw();
}

void MasterCatalog::InsertLogin(const std::string& name, const std::string& passwordHash,
                                const std::string& defaultDatabase) {
  auto stmt = master_.Prepare(
      "INSERT INTO syslogins (name, password, dbname, createdate) VALUES (?, ?, ?, "
      "tsql_getdate())");
  Bind(stmt.get(), 1, name);
  Bind(stmt.get(), 2, passwordHash);
  Bind(stmt.get(), 3, defaultDatabase);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) master_.Throw();
}

}  // namespace moltaro::db::embedded
