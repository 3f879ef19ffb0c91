#include "db/embedded/server.h"

#include <sodium.h>

#include <mutex>
#include <set>

#include "common/text.h"
#include "db/embedded/catalog.h"
#include "db/embedded/collation.h"
#include "db/embedded/sqlite_db.h"
#include "db/embedded/tsql_parser.h"
#include "db/errors.h"

namespace moltaro::db::embedded {

namespace {

// Logins verified in this process: Argon2 is slow on purpose, and the
// instance list opens one connection per instance. Keys hold a keyed hash of
// the password, never the password itself.
class LoginCache {
 public:
  static LoginCache& Instance() {
    static LoginCache cache;
    return cache;
  }
  std::string Key(const std::filesystem::path& dir, const std::string& login,
                  const std::string& password, const std::string& storedHash) {
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest,
                       reinterpret_cast<const unsigned char*>(password.data()), password.size(),
                       key_, sizeof key_);
    std::string key = dir.string() + '\n' + ToUpperAscii(login) + '\n' + storedHash + '\n';
    key.append(reinterpret_cast<const char*>(digest), sizeof digest);
    return key;
  }
  bool Known(const std::string& key) {
    std::lock_guard lock(mutex_);
    return verified_.count(key) != 0;
  }
  void Remember(const std::string& key) {
    std::lock_guard lock(mutex_);
    verified_.insert(key);
  }

 private:
  LoginCache() {
    if (sodium_init() < 0) throw Error("libsodium could not be initialised.");
    crypto_generichash_keygen(key_);
  }
  std::mutex mutex_;
  std::set<std::string> verified_;
  unsigned char key_[crypto_generichash_KEYBYTES];
};

std::string Text(sqlite3_stmt* s, int i) {
  const auto* t = sqlite3_column_text(s, i);
  return t ? reinterpret_cast<const char*>(t) : std::string();
}

void RemoveDatabaseFiles(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file, ec);
  std::filesystem::remove(file.string() + "-wal", ec);
  std::filesystem::remove(file.string() + "-shm", ec);
}

}  // namespace

void CreateDatabaseFile(const std::filesystem::path& file, const std::string& name,
                        const std::string& collation, bool master) {
  SqliteDb db(file, true);
  Transaction tx(db);
  Catalog::CreateSystemTables(db, collation, master);
  auto stmt =
      db.Prepare("INSERT INTO moltaro_database (name, collation, options) VALUES (?, ?, '')");
  sqlite3_bind_text(stmt.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt.get(), 2, collation.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) db.Throw();
  tx.Commit();
}

Server::Server(std::filesystem::path dataDirectory) : dataDirectory_(std::move(dataDirectory)) {
  std::error_code ec;
  dataDirectory_ = std::filesystem::weakly_canonical(std::filesystem::absolute(dataDirectory_), ec);
  if (!std::filesystem::is_regular_file(MasterFile())) {
    throw DatabaseError(
        "A network-related or instance-specific error occurred while establishing a connection "
        "to SQL Server. The server was not found or was not accessible. (embedded server: no "
        "master.mdf in " +
            dataDirectory_.string() + ")",
        53);
  }
}

void Server::Initialize(const std::filesystem::path& dataDirectory, const std::string& saPassword) {
  std::error_code ec;
  const std::filesystem::path dir =
      std::filesystem::weakly_canonical(std::filesystem::absolute(dataDirectory), ec);
  const std::filesystem::path master = dir / "master.mdf";
  if (std::filesystem::exists(master)) {
    throw Error("The directory " + dir.string() +
                " already holds an embedded server (master.mdf); choose an empty directory.");
  }
  std::filesystem::create_directories(dir, ec);
  if (ec) throw Error("Cannot create the data directory " + dir.string() + ": " + ec.message());
  if (sodium_init() < 0) throw Error("libsodium could not be initialised.");
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, saPassword.data(), saPassword.size(),
                        crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    throw Error("Out of memory while hashing the password.");
  }
  const std::string collation(kServerCollation);
  try {
    CreateDatabaseFile(master, "master", collation, true);
    SqliteDb db(master, false);
    Transaction tx(db);
    auto dbRow = db.Prepare(
        "INSERT INTO sysdatabases (name, dbid, crdate, filename, collation, options) VALUES "
        "('master', 1, tsql_getdate(), ?, ?, '')");
    const std::string file = master.string();
    sqlite3_bind_text(dbRow.get(), 1, file.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(dbRow.get(), 2, collation.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(dbRow.get()) != SQLITE_DONE) db.Throw();
    auto login = db.Prepare(
        "INSERT INTO syslogins (name, password, dbname, createdate) VALUES ('sa', ?, 'master', "
        "tsql_getdate())");
    sqlite3_bind_text(login.get(), 1, hash, -1, SQLITE_TRANSIENT);
    if (sqlite3_step(login.get()) != SQLITE_DONE) db.Throw();
    tx.Commit();
  } catch (const DatabaseError& e) {
    RemoveDatabaseFiles(master);
    throw Error(std::string("Cannot create the embedded server: ") + e.what());
  }
}

std::string Server::Authenticate(const std::string& login, const std::string& password) {
  SqliteDb db(MasterFile(), false);
  auto stmt = db.Prepare("SELECT password, dbname FROM syslogins WHERE name = ?");
  sqlite3_bind_text(stmt.get(), 1, login.c_str(), -1, SQLITE_TRANSIENT);
  const DatabaseError failed("Login failed for user '" + login + "'.", 18456);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) throw failed;
  const std::string hash = Text(stmt.get(), 0);
  const std::string database = Text(stmt.get(), 1);
  LoginCache& cache = LoginCache::Instance();
  const std::string key = cache.Key(dataDirectory_, login, password, hash);
  if (!cache.Known(key)) {
    if (crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) != 0) throw failed;
    cache.Remember(key);
  }
  return database;
}

std::optional<DatabaseEntry> Server::FindDatabase(const std::string& name) {
  SqliteDb db(MasterFile(), false);
  auto stmt = db.Prepare("SELECT name, filename, collation FROM sysdatabases WHERE name = ?");
  sqlite3_bind_text(stmt.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  DatabaseEntry entry;
  entry.name = Text(stmt.get(), 0);
  entry.file = Text(stmt.get(), 1);
  entry.collation = Text(stmt.get(), 2);
  if (entry.collation.empty()) entry.collation = std::string(kServerCollation);
  return entry;
}

void Server::CreateDatabase(const CreateDatabaseStatement& s) {
  if (FindDatabase(s.name)) {
    throw DatabaseError(
        "Database '" + s.name + "' already exists. Choose a different database name.", 1801);
  }
  if (s.name.empty() || Utf8Length(s.name) > 123) {
    throw DatabaseError("The identifier that starts with '" + Utf8Left(s.name, 128) +
                            "' is too long. Maximum length is 128.",
                        103);
  }
  const std::string collation = s.collation.empty() ? std::string(kServerCollation) : s.collation;
  if (!IsKnownCollation(collation)) {
    throw DatabaseError("Collation '" + collation + "' is not valid.", 448);
  }
  if (s.dataFiles.size() > 1) throw DatabaseError(NotSupported("more than one data file"));
  std::filesystem::path file = dataDirectory_ / (s.name + ".mdf");
  if (!s.dataFiles.empty() && !s.dataFiles[0].fileName.empty()) {
    file = s.dataFiles[0].fileName;
    if (file.is_relative()) file = dataDirectory_ / file;
  }
  std::string logFile;
  if (!s.logFiles.empty()) logFile = s.logFiles[0].fileName;
  if (std::filesystem::exists(file)) {
    throw DatabaseError("Cannot create file '" + file.string() +
                            "' because it already exists. Change the file path or the file name, "
                            "and retry the operation.\nCREATE DATABASE failed. Some file names "
                            "listed could not be created. Check related errors.",
                        5170);
  }
  if (!std::filesystem::is_directory(file.parent_path())) {
    throw DatabaseError("Directory lookup for the file \"" + file.string() +
                            "\" failed with the operating system error 2(The system cannot find "
                            "the file specified.).\nCREATE DATABASE failed. Some file names listed "
                            "could not be created. Check related errors.",
                        5133);
  }
  try {
    CreateDatabaseFile(file, s.name, collation, false);
    SqliteDb master(MasterFile(), false);
    auto stmt = master.Prepare(
        "INSERT INTO sysdatabases (name, dbid, crdate, filename, collation, logfilename, options) "
        "VALUES (?, (SELECT max(dbid) + 1 FROM sysdatabases), tsql_getdate(), ?, ?, ?, '')");
    const std::string path = file.string();
    sqlite3_bind_text(stmt.get(), 1, s.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt.get(), 2, path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt.get(), 3, collation.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt.get(), 4, logFile.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt.get()) != SQLITE_DONE) master.Throw();
  } catch (...) {
    RemoveDatabaseFiles(file);
    throw;
  }
}

void Server::AlterDatabase(const AlterDatabaseStatement& s) {
  auto entry = FindDatabase(s.name);
  if (!entry) {
    throw DatabaseError(
        "Database '" + s.name + "' does not exist. Make sure that the name is entered correctly.",
        911);
  }
  if (!s.collation.empty()) throw DatabaseError(NotSupported("ALTER DATABASE … COLLATE"));
  static const std::set<std::string> options = {"RECOVERY",
                                                "AUTO_CLOSE",
                                                "AUTO_SHRINK",
                                                "AUTO_CREATE_STATISTICS",
                                                "AUTO_UPDATE_STATISTICS",
                                                "ANSI_NULLS",
                                                "ANSI_NULL_DEFAULT",
                                                "ANSI_PADDING",
                                                "ANSI_WARNINGS",
                                                "ARITHABORT",
                                                "CONCAT_NULL_YIELDS_NULL",
                                                "QUOTED_IDENTIFIER",
                                                "RECURSIVE_TRIGGERS",
                                                "TORN_PAGE_DETECTION",
                                                "PAGE_VERIFY",
                                                "MULTI_USER",
                                                "SINGLE_USER",
                                                "RESTRICTED_USER",
                                                "READ_WRITE",
                                                "READ_ONLY",
                                                "COMPATIBILITY_LEVEL",
                                                "NUMERIC_ROUNDABORT",
                                                "CURSOR_CLOSE_ON_COMMIT",
                                                "CURSOR_DEFAULT",
                                                "DB_CHAINING",
                                                "TRUSTWORTHY",
                                                "AUTO_UPDATE_STATISTICS_ASYNC",
                                                "ALLOW_SNAPSHOT_ISOLATION",
                                                "READ_COMMITTED_SNAPSHOT",
                                                "PARAMETERIZATION",
                                                "DATE_CORRELATION_OPTIMIZATION"};
  if (!options.count(s.option)) throw DatabaseError(NotSupported("ALTER DATABASE SET " + s.option));
  if (s.option == "READ_ONLY" || s.option == "SINGLE_USER" || s.option == "RESTRICTED_USER") {
    throw DatabaseError(NotSupported("ALTER DATABASE SET " + s.option));
  }
  // Options are recorded ("RECOVERY=FULL;…"); the storage does not change.
  SqliteDb master(MasterFile(), false);
  auto read = master.Prepare("SELECT options FROM sysdatabases WHERE name = ?");
  sqlite3_bind_text(read.get(), 1, entry->name.c_str(), -1, SQLITE_TRANSIENT);
  std::string current;
  if (sqlite3_step(read.get()) == SQLITE_ROW) current = Text(read.get(), 0);
  read.reset();
  std::string updated;
  std::size_t pos = 0;
  while (pos < current.size()) {
    std::size_t end = current.find(';', pos);
    if (end == std::string::npos) end = current.size();
    const std::string item = current.substr(pos, end - pos);
    if (!item.empty() && item.rfind(s.option + "=", 0) != 0) updated += item + ";";
    pos = end + 1;
  }
  updated += s.option + "=" + s.value + ";";
  auto write = master.Prepare("UPDATE sysdatabases SET options = ? WHERE name = ?");
  sqlite3_bind_text(write.get(), 1, updated.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(write.get(), 2, entry->name.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(write.get()) != SQLITE_DONE) master.Throw();
}

void Server::DropDatabase(const DropDatabaseStatement& s, const std::string& inUse) {
  for (const std::string& name : s.names) {
    auto entry = FindDatabase(name);
    if (!entry) {
      throw DatabaseError("Cannot drop the database '" + name +
                              "', because it does not exist or you do not have permission.",
                          3701);
    }
    if (ToUpperAscii(entry->name) == "MASTER") {
      throw DatabaseError("Cannot drop the database 'master' because it is a system database.",
                          3708);
    }
    if (ToUpperAscii(entry->name) == ToUpperAscii(inUse)) {
      throw DatabaseError(
          "Cannot drop database \"" + entry->name + "\" because it is currently in use.", 3702);
    }
    SqliteDb master(MasterFile(), false);
    auto del = master.Prepare("DELETE FROM sysdatabases WHERE name = ?");
    sqlite3_bind_text(del.get(), 1, entry->name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(del.get()) != SQLITE_DONE) master.Throw();
    RemoveDatabaseFiles(entry->file);
  }
}

}  // namespace moltaro::db::embedded
