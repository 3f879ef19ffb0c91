// A server is a data directory: master.mdf (databases and logins) and one
// SQLite file per database at the FILENAME its CREATE DATABASE gave.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "db/embedded/tsql_ast.h"

namespace moltaro::db::embedded {

struct DatabaseEntry {
  std::string name;  // as created
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

  // Checks the login (once per process for the same login and password) and
  // returns its default database. Throws "Login failed for user 'X'.".
  std::string Authenticate(const std::string& login, const std::string& password);

  std::optional<DatabaseEntry> FindDatabase(const std::string& name);

  void CreateDatabase(const CreateDatabaseStatement& s);
  void AlterDatabase(const AlterDatabaseStatement& s);
  // `inUse` is the database the calling session is on.
  void DropDatabase(const DropDatabaseStatement& s, const std::string& inUse);

  static void Initialize(const std::filesystem::path& dataDirectory, const std::string& saPassword);

 private:
  std::filesystem::path dataDirectory_;
};

// Creates a database file with its system tables (and, for master, the
// server's own tables).
void CreateDatabaseFile(const std::filesystem::path& file, const std::string& name,
                        const std::string& collation, bool master);

}  // namespace moltaro::db::embedded
