// A server is a data directory: master.mdf (databases and logins) and one
// SQLite file per database at the FILENAME its CREATE DATABASE gave.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "db/embedded/catalog/catalog_views.h"
#include "db/embedded/parser/tsql_ast.h"
#include "db/embedded/storage/sqlite_db.h"

namespace moltaro::db::embedded {

struct DatabaseEntry {
  std::string name;  // as created
  int id = 0;        // dbid
  std::filesystem::path file;
  std::string collation;
};

class Server {
 public:
  // Throws DatabaseError (SQL Server's "network-related" wording, naming the
  // directory) when the directory holds no server.
  explicit Server(std::filesystem::path dataDirectory);

  const std::filesystem::path& DataDirectory() const { return dataDirectory_; }
  std::filesystem::path MasterFile() const { return dataDirectory_ / "master.mdf"; }

  // Locks the server's own connections wait for: the calling session's.
  void SetLockPolicy(const LockPolicy* policy) { policy_ = policy; }

  // On a session's connection to master: sysdatabases as SQL Server shows
  // it, every FILENAME a full path (they are stored relative to the data
  // directory, so that a copied directory is a server of its own).
  void PresentSystemTables(SqliteDb& master);

  // Checks the login (once per process for the same login and password) and
  // returns its default database. Throws "Login failed for user 'X'.".
  std::string Authenticate(const std::string& login, const std::string& password);

  // The server's logins in the order they were made (sa first).
  std::vector<LoginSummary> Logins();

  std::optional<DatabaseEntry> FindDatabase(const std::string& name);
  std::vector<DatabaseSummary> Databases();
  // The name of the database with that dbid; none when there is none.
  std::optional<std::string> DatabaseName(int id);

  void CreateDatabase(const CreateDatabaseStatement& s);
  void AlterDatabase(const AlterDatabaseStatement& s);
  // `inUse` is the database the calling session is on.
  void DropDatabase(const DropDatabaseStatement& s, const std::string& inUse);

  // Refuses (db::Error) an empty password and one that begins or ends with a
  // blank or control character: such a password is easily mistyped and
  // trimmed by tools, and sa is the only login.
  static void CheckNewPassword(const std::string& login, const std::string& password);
  static void Initialize(const std::filesystem::path& dataDirectory, const std::string& saPassword);

 private:
  // FILENAME as stored: relative inside the data directory.
  std::string StoredFileName(const std::filesystem::path& file) const;
  // The full path of a stored FILENAME; absolute ones recorded by a server
  // whose directory was copied here are read as inside this directory.
  std::filesystem::path ResolveFileName(const std::string& stored);
  // The directory master.mdf was in when its paths were written absolute
  // ("" when it is this directory or paths are relative).
  const std::string& FormerDirectory();
  // Whether any database is registered with this file.
  bool IsRegistered(const std::filesystem::path& file);

  std::filesystem::path dataDirectory_;
  const LockPolicy* policy_ = nullptr;
  std::optional<std::string> formerDirectory_;
};

// Creates a database file with its system tables (and, for master, the
// server's own tables).
void CreateDatabaseFile(const std::filesystem::path& file, const std::string& name,
                        const std::string& collation, bool master);

}  // namespace moltaro::db::embedded
