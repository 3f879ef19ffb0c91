#include "db/embedded/server/server.h"

#include <sodium.h>

#include <map>
#include <mutex>
#include <set>

#include "common/text.h"
#include "db/embedded/catalog/catalog.h"
#include "db/embedded/catalog/master_catalog.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/server/database_lock.h"
#include "db/embedded/storage/sqlite_db.h"
#include "db/embedded/types/collation.h"
#include "db/errors.h"
#include "db/server_messages.h"

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

// The log before the data: a -wal left without its database would be
// replayed into the next file of that name.
void RemoveDatabaseFiles(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::remove(file.string() + "-wal", ec);
  std::filesystem::remove(file.string() + "-shm", ec);
  std::filesystem::remove(file, ec);
}

// A database file is built under this name and renamed into place whole, so
// its real name never holds half a database.
std::filesystem::path BuildingName(const std::filesystem::path& file) {
  return file.string() + ".creating";
}

void MoveIntoPlace(const std::filesystem::path& built, const std::filesystem::path& file) {
  std::error_code ec;
  // Checkpointed and closed: the side files are empty.
  std::filesystem::remove(built.string() + "-wal", ec);
  std::filesystem::remove(built.string() + "-shm", ec);
  std::filesystem::rename(built, file, ec);
  if (ec) {
    RemoveDatabaseFiles(built);
    throw ServerErrorByNumber(5120, {file.string(), OperatingSystemError(ec.value())});
  }
}

// An unregistered file that this server made for the database `name` and
// that holds no object of its own is what a CREATE DATABASE interrupted
// between making the file and registering it leaves behind.
bool IsAbandonedCreation(const std::filesystem::path& file, const std::string& name) {
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(raw);
    return false;
  }
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close_v2);
  auto single = [&](const char* sql) -> std::optional<std::string> {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql, -1, &stmt, nullptr) != SQLITE_OK) return std::nullopt;
    StmtHandle owned(stmt);
    if (sqlite3_step(stmt) != SQLITE_ROW) return std::nullopt;
    const auto* text = sqlite3_column_text(stmt, 0);
    return text ? reinterpret_cast<const char*>(text) : std::string();
  };
  const auto recorded = single("SELECT name FROM moltaro_database");
  const auto objects = single("SELECT count(*) FROM sysobjects WHERE xtype COLLATE BINARY <> 'S '");
  return recorded && objects && ToUpperAscii(*recorded) == ToUpperAscii(name) && *objects == "0";
}

// An Argon2id hash of a random password with the parameters of every stored
// hash: an unknown login is checked against it, so that it costs what a
// wrong password costs and the time does not tell which logins exist.
constexpr const char* kNoLoginHash =
    "$argon2id$v=19$m=65536,t=2,p=1$9l+Ym3+Cjl63TtnJV9MBww$"
    "ywWlynWDqZojNwvSKoIbFvYflrLjgHoZEBMSiccM/nM";

}  // namespace

void CreateDatabaseFile(const std::filesystem::path& file, const std::string& name,
                        const std::string& collation, bool master) {
  SqliteDb db(file, true);
  Transaction tx(db);
  Catalog::CreateSystemTables(db, name, collation, master);
  tx.Commit();
  // Everything into the file itself, so that it can be moved alone.
  db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

Server::Server(std::filesystem::path dataDirectory) : dataDirectory_(std::move(dataDirectory)) {
  std::error_code ec;
  dataDirectory_ = std::filesystem::weakly_canonical(std::filesystem::absolute(dataDirectory_), ec);
  if (!std::filesystem::is_regular_file(MasterFile())) {
    throw ServerErrorByNumber(
        53, {"(embedded server: no master.mdf in " + dataDirectory_.string() + ")"});
  }
}

void Server::CheckNewPassword(const std::string& login, const std::string& password) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  if (password.empty() || blank(password.front()) || blank(password.back())) {
    throw Error("The password of the login " + login +
                " must not be empty, nor begin or end with a blank or control character.");
  }
}

void Server::Initialize(const std::filesystem::path& dataDirectory, const std::string& saPassword) {
  CheckNewPassword("sa", saPassword);
  std::error_code ec;
  const std::filesystem::path dir =
      std::filesystem::weakly_canonical(std::filesystem::absolute(dataDirectory), ec);
  const std::filesystem::path master = dir / "master.mdf";
  if (std::filesystem::exists(master)) {
    throw Error("The directory " + dir.string() +
                " already holds an embedded server (master.mdf); choose an empty directory.");
  }
  if (!std::filesystem::exists(dir)) {
    std::filesystem::create_directories(dir, ec);
    if (ec) throw Error("Cannot create the data directory " + dir.string() + ": " + ec.message());
    // The payroll data and the logins are the owner's alone, whatever the umask.
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ec);
  }
  if (sodium_init() < 0) throw Error("libsodium could not be initialised.");
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, saPassword.data(), saPassword.size(),
                        crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    throw Error("Out of memory while hashing the password.");
  }
  const std::string collation(kServerCollation);
  const std::filesystem::path built = BuildingName(master);
  RemoveDatabaseFiles(built);
  try {
    CreateDatabaseFile(built, "master", collation, true);
    SqliteDb db(built, false);
    Transaction tx(db);
    MasterCatalog catalog(db);
    catalog.InsertDatabase("master", "master.mdf", collation, std::nullopt);
    catalog.InsertLogin("sa", hash, "master");
    tx.Commit();
    db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  } catch (const DatabaseError& e) {
    RemoveDatabaseFiles(built);
    throw Error(std::string("Cannot create the embedded server: ") + e.what());
  }
  try {
    MoveIntoPlace(built, master);
  } catch (const DatabaseError& e) {
    throw Error(std::string("Cannot create the embedded server: ") + e.what());
  }
}

std::string Server::Authenticate(const std::string& login, const std::string& password) {
  SqliteDb db(MasterFile(), false, policy_);
  auto stmt = db.Prepare("SELECT password, dbname FROM syslogins WHERE name = ?");
  sqlite3_bind_text(stmt.get(), 1, login.c_str(), -1, SQLITE_TRANSIENT);
  const DatabaseError failed("Login failed for user '" + login + "'.", 18456);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
    if (sodium_init() < 0) throw Error("libsodium could not be initialised.");
    // Whatever it answers, no login of that name exists.
    const bool matched =
        crypto_pwhash_str_verify(kNoLoginHash, password.data(), password.size()) == 0;
    static_cast<void>(matched);
    throw failed;
  }
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
  SqliteDb db(MasterFile(), false, policy_);
  auto stmt = db.Prepare("SELECT name, dbid, filename, collation FROM sysdatabases WHERE name = ?");
  sqlite3_bind_text(stmt.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  DatabaseEntry entry;
  entry.name = Text(stmt.get(), 0);
  entry.id = sqlite3_column_int(stmt.get(), 1);
  entry.file = ResolveFileName(Text(stmt.get(), 2));
  entry.collation = Text(stmt.get(), 3);
  if (entry.collation.empty()) entry.collation = std::string(kServerCollation);
  return entry;
}

std::vector<DatabaseSummary> Server::Databases() {
  SqliteDb db(MasterFile(), false, policy_);
  auto stmt = db.Prepare(
      "SELECT name, dbid, crdate, cmptlevel, collation, options, filename FROM sysdatabases ORDER "
      "BY dbid");
  std::vector<DatabaseSummary> all;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    DatabaseSummary d;
    d.name = Text(stmt.get(), 0);
    d.id = sqlite3_column_int(stmt.get(), 1);
    d.created = Text(stmt.get(), 2);
    d.compatibilityLevel = sqlite3_column_int(stmt.get(), 3);
    d.collation = Text(stmt.get(), 4);
    if (d.collation.empty()) d.collation = std::string(kServerCollation);
    d.options = Text(stmt.get(), 5);
    d.file = Text(stmt.get(), 6);
    all.push_back(std::move(d));
  }
  stmt.reset();
  for (DatabaseSummary& d : all) d.file = ResolveFileName(d.file).string();
  return all;
}

std::vector<LoginSummary> Server::Logins() {
  SqliteDb db(MasterFile(), false, policy_);
  auto stmt = db.Prepare("SELECT name, dbname, createdate FROM syslogins ORDER BY rowid");
  std::vector<LoginSummary> all;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    all.push_back({Text(stmt.get(), 0), Text(stmt.get(), 1), Text(stmt.get(), 2)});
  }
  return all;
}

std::optional<std::string> Server::DatabaseName(int id) {
  SqliteDb db(MasterFile(), false, policy_);
  auto stmt = db.Prepare("SELECT name FROM sysdatabases WHERE dbid = ?");
  sqlite3_bind_int(stmt.get(), 1, id);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  return Text(stmt.get(), 0);
}

std::string Server::StoredFileName(const std::filesystem::path& file) const {
  const std::filesystem::path relative = file.lexically_normal().lexically_relative(dataDirectory_);
  if (relative.empty() || *relative.begin() == "..") return file.string();
  return relative.string();
}

const std::string& Server::FormerDirectory() {
  if (formerDirectory_) return *formerDirectory_;
  formerDirectory_ = std::string();
  SqliteDb db(MasterFile(), false, policy_);
  auto stmt = db.Prepare("SELECT filename FROM sysdatabases WHERE dbid = 1");
  if (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    const std::filesystem::path recorded = Text(stmt.get(), 0);
    if (recorded.is_absolute() && recorded.parent_path() != dataDirectory_) {
      formerDirectory_ = recorded.parent_path().string() + "/";
    }
  }
  return *formerDirectory_;
}

std::filesystem::path Server::ResolveFileName(const std::string& stored) {
  const std::filesystem::path path(stored);
  if (path.is_relative()) return dataDirectory_ / path;
  const std::string& former = FormerDirectory();
  if (!former.empty() && stored.rfind(former, 0) == 0) {
    return dataDirectory_ / stored.substr(former.size());
  }
  return path;
}

bool Server::IsRegistered(const std::filesystem::path& file) {
  SqliteDb db(MasterFile(), false, policy_);
  auto stmt = db.Prepare("SELECT filename FROM sysdatabases");
  const std::filesystem::path wanted = file.lexically_normal();
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    if (ResolveFileName(Text(stmt.get(), 0)).lexically_normal() == wanted) return true;
  }
  return false;
}

void Server::PresentSystemTables(SqliteDb& master) {
  const std::string dir = dataDirectory_.string() + "/";
  std::string fileName =
      "CASE WHEN substr(filename, 1, 1) <> '/' THEN " + QuoteText(dir) + " || filename";
  if (const std::string& former = FormerDirectory(); !former.empty()) {
    const std::string length = std::to_string(Utf8Length(former));
    fileName += " WHEN substr(filename, 1, " + length + ") = " + QuoteText(former) + " THEN " +
                QuoteText(dir) + " || substr(filename, " + length + " + 1)";
  }
  fileName += " ELSE filename END";
  master.Exec(
      "DROP VIEW IF EXISTS temp.sysdatabases; CREATE TEMP VIEW sysdatabases AS SELECT name, dbid, "
      "sid, mode, status, status2, crdate, reserved, category, cmptlevel, " +
      fileName + " AS filename, version, collation, logfilename, options FROM main.sysdatabases");
}

void Server::CreateDatabase(const CreateDatabaseStatement& s) {
  // Registering holds master's write lock from the name check on: two
  // sessions creating one name cannot both pass it.
  SqliteDb master(MasterFile(), false, policy_);
  Transaction tx(master);
  {
    auto exists = master.Prepare("SELECT 1 FROM sysdatabases WHERE name = ?");
    sqlite3_bind_text(exists.get(), 1, s.name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(exists.get()) == SQLITE_ROW) {
      throw ServerErrorByNumber(1801, {s.name});
    }
  }
  if (s.name.empty() || Utf8Length(s.name) > 123) {
    throw ServerErrorByNumber(103, {Utf8Left(s.name, 128), "128"});
  }
  const std::string collation = s.collation.empty() ? std::string(kServerCollation) : s.collation;
  if (!IsKnownCollation(collation)) {
    throw ServerErrorByNumber(448, {collation});
  }
  if (s.dataFiles.size() > 1) throw DatabaseError(NotSupported("more than one data file"));
  std::filesystem::path file = dataDirectory_ / (s.name + ".mdf");
  if (!s.dataFiles.empty() && !s.dataFiles[0].fileName.empty()) {
    file = s.dataFiles[0].fileName;
    if (file.is_relative()) file = dataDirectory_ / file;
  }
  file = file.lexically_normal();
  std::string logFile;
  if (!s.logFiles.empty()) logFile = s.logFiles[0].fileName;
  // A database's file, even one whose file went missing, is never reused.
  if (IsRegistered(file) || (std::filesystem::exists(file) && !IsAbandonedCreation(file, s.name))) {
    throw ServerErrorByNumber(5170, {file.string()});
  }
  if (!std::filesystem::is_directory(file.parent_path())) {
    throw ServerErrorByNumber(5133,
                              {file.string(), "2(The system cannot find the file specified.)"});
  }
  // What an interrupted attempt left: an abandoned file, a stray log, a half-built file.
  RemoveDatabaseFiles(file);
  const std::filesystem::path built = BuildingName(file);
  RemoveDatabaseFiles(built);
  try {
    CreateDatabaseFile(built, s.name, collation, false);
  } catch (...) {
    RemoveDatabaseFiles(built);
    throw;
  }
  MoveIntoPlace(built, file);
  try {
    MasterCatalog(master).InsertDatabase(s.name, StoredFileName(file), collation, logFile);
    tx.Commit();
  } catch (...) {
    RemoveDatabaseFiles(file);
    throw;
  }
}

void Server::AlterDatabase(const AlterDatabaseStatement& s) {
  auto entry = FindDatabase(s.name);
  if (!entry) {
    throw ServerErrorByNumber(911, {s.name});
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
                                                "DATE_CORRELATION_OPTIMIZATION",
                                                "HONOR_BROKER_PRIORITY",
                                                "TARGET_RECOVERY_TIME",
                                                "DELAYED_DURABILITY",
                                                "FILESTREAM",
                                                "MEMORY_OPTIMIZED_ELEVATE_TO_SNAPSHOT"};
  // The options that stand alone name the state they set; the states this
  // server is always in are accepted, the others it cannot enforce are refused.
  static const std::map<std::string, std::string> states = {
      {"MULTI_USER", "USERACCESS"},
      {"READ_WRITE", "UPDATEABILITY"},
      {"ONLINE", "STATUS"},
      {"ENABLE_BROKER", "BROKER"},
      {"DISABLE_BROKER", "BROKER"},
      {"NEW_BROKER", "BROKER"},
      {"ERROR_BROKER_CONVERSATIONS", "BROKER"}};
  // Options whose only value here is the one that changes nothing.
  static const std::map<std::string, std::string> offOnly = {{"CHANGE_TRACKING", "OFF"},
                                                             {"QUERY_STORE", "OFF"}};
  std::vector<DatabaseOption> recorded;
  for (const DatabaseOption& o : s.options) {
    if (const auto state = states.find(o.option); state != states.end()) {
      recorded.push_back({state->second, o.option});
      continue;
    }
    const auto off = offOnly.find(o.option);
    const bool accepted =
        off != offOnly.end() ? o.value == off->second : options.count(o.option) > 0;
    if (!accepted) {
      throw DatabaseError(
          NotSupported("ALTER DATABASE SET " + o.option + (o.value.empty() ? "" : " " + o.value)));
    }
    recorded.push_back(o);
  }
  // Options are recorded ("RECOVERY=FULL;…"); the storage does not change.
  SqliteDb master(MasterFile(), false, policy_);
  auto read = master.Prepare("SELECT options FROM sysdatabases WHERE name = ?");
  sqlite3_bind_text(read.get(), 1, entry->name.c_str(), -1, SQLITE_TRANSIENT);
  std::string current;
  if (sqlite3_step(read.get()) == SQLITE_ROW) current = Text(read.get(), 0);
  read.reset();
  for (const DatabaseOption& o : recorded) {
    std::string updated;
    std::size_t pos = 0;
    while (pos < current.size()) {
      std::size_t end = current.find(';', pos);
      if (end == std::string::npos) end = current.size();
      const std::string item = current.substr(pos, end - pos);
      if (!item.empty() && item.rfind(o.option + "=", 0) != 0) updated += item + ";";
      pos = end + 1;
    }
    current = updated + o.option + "=" + o.value + ";";
  }
  MasterCatalog(master).SetDatabaseOptions(entry->name, current);
}

void Server::DropDatabase(const DropDatabaseStatement& s, const std::string& inUse) {
  for (const std::string& name : s.names) {
    auto entry = FindDatabase(name);
    if (!entry) {
      throw ServerErrorByNumber(3701, {"database", name});
    }
    if (ToUpperAscii(entry->name) == "MASTER") {
      throw ServerErrorByNumber(3708, {"drop", "database", "master", "database"});
    }
    const DatabaseError inUseError = ServerErrorByNumber(3702, {entry->name});
    if (ToUpperAscii(entry->name) == ToUpperAscii(inUse)) throw inUseError;
    // Held until the entry is gone: a session opening the database meanwhile
    // waits, then finds it dropped.
    const auto dropping = DatabaseLock::Exclusive(dataDirectory_, entry->id);
    if (!dropping) throw inUseError;
    // The files first: a drop interrupted here leaves the entry, and running
    // it again finishes it; the other order would leave a file no entry names.
    RemoveDatabaseFiles(entry->file);
    SqliteDb master(MasterFile(), false, policy_);
    MasterCatalog(master).DeleteDatabase(entry->name);
  }
}

}  // namespace moltaro::db::embedded
