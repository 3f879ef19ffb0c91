#include "db/embedded/storage/sqlite_db.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "db/embedded/execution/sql_functions.h"
#include "db/embedded/storage/sqlite_errors.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/binary.h"
#include "db/embedded/types/collation.h"
#include "db/embedded/types/decimal.h"
#include "db/embedded/types/variant.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// The statement trace (MOLTARO_SQL_TRACE=file): every SQLite statement the
// server runs, with its values, one per line, for diagnosis and for
// replaying a run's statements. Process-wide: one file for all connections.
class Trace {
 public:
  static Trace& Instance() {
    static Trace trace;
    return trace;
  }
  bool Enabled() const { return file_ != nullptr; }
  void Write(const char* sql) {
    std::lock_guard lock(mutex_);
    std::fputs(sql, file_);
    std::fputs(";\n", file_);
    std::fflush(file_);
  }

 private:
  Trace() {
    if (const char* path = std::getenv("MOLTARO_SQL_TRACE"); path && *path) {
      file_ = std::fopen(path, "a");
    }
  }
  ~Trace() {
    if (file_) std::fclose(file_);
  }
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

int TraceCallback(unsigned, void*, void* p, void*) {
  auto* stmt = static_cast<sqlite3_stmt*>(p);
  char* sql = sqlite3_expanded_sql(stmt);
  if (sql) {
    Trace::Instance().Write(sql);
    sqlite3_free(sql);
  }
  return 0;
}

// The data directory's moltaro.conf: "synchronous=FULL" trades speed for
// surviving a power cut (the default NORMAL loses nothing when the process
// dies); "max_page_count=N" caps every database file at N pages of 4096
// bytes, a quota that fails as a full disk would.
struct Settings {
  std::string synchronous = "NORMAL";
  long long maxPageCount = 0;
};

Settings ReadSettings(const std::filesystem::path& file) {
  Settings settings;
  std::FILE* conf = std::fopen((file.parent_path() / "moltaro.conf").c_str(), "r");
  if (!conf) return settings;
  char line[256];
  while (std::fgets(line, sizeof line, conf)) {
    std::string text(line);
    if (text.rfind("synchronous=FULL", 0) == 0) settings.synchronous = "FULL";
    if (text.rfind("max_page_count=", 0) == 0) {
      settings.maxPageCount = std::strtoll(text.c_str() + 15, nullptr, 10);
    }
  }
  std::fclose(conf);
  return settings;
}

// A new database file is the owner's alone whatever the umask: SQLite gives
// its -wal and -shm files the mode of the database file.
void CreatePrivateFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) {
    if (errno == EEXIST) return;
    throw ServerErrorByNumber(5120, {file.string(), OperatingSystemError(errno)});
  }
  ::fchmod(fd, S_IRUSR | S_IWUSR);
  ::close(fd);
}

}  // namespace

SqliteDb::SqliteDb(const std::filesystem::path& file, bool create, const LockPolicy* policy)
    : file_(file), name_(file.stem().string()), policy_(policy) {
  if (create && !std::filesystem::exists(file)) CreatePrivateFile(file);
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    SqliteFailure failure;
    failure.code = db_ ? sqlite3_extended_errcode(db_) : rc;
    failure.systemError = db_ ? sqlite3_system_errno(db_) : 0;
    failure.message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    failure.database = name_;
    failure.file = file;
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    throw ToServerError(failure);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_handler(db_, &SqliteDb::Busy, this);
  const Settings settings = ReadSettings(file);
  try {
    Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=" + settings.synchronous +
         "; PRAGMA foreign_keys=OFF; PRAGMA recursive_triggers=OFF;");
    if (settings.maxPageCount > 0) {
      Exec("PRAGMA max_page_count=" + std::to_string(settings.maxPageCount));
    }
  } catch (...) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw;
  }
  RegisterCollationProvider(db_);
  RegisterFunctions(db_, this);
  if (Trace::Instance().Enabled()) sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, TraceCallback, nullptr);
}

SqliteDb::~SqliteDb() {
  schemaVersion_.reset();
  cached_.clear();
  if (db_) sqlite3_close_v2(db_);
}

int SqliteDb::Busy(void* self, int count) {
  auto* db = static_cast<SqliteDb*>(self);
  if (count == 0 && !db->retrying_) {
    db->waitStart_.reset();
    db->waits_ = 0;
    db->gaveUp_ = GaveUp::No;
  }
  return db->WaitForLock() ? 1 : 0;
}

bool SqliteDb::WaitForLock() {
  using namespace std::chrono;
  const auto now = steady_clock::now();
  if (!waitStart_) waitStart_ = now;
  const LockPolicy policy = policy_ ? *policy_ : LockPolicy{};
  auto pause = milliseconds(std::min(1 << std::min(waits_, 4), 10));
  if (policy.deadline) {
    if (now >= *policy.deadline) {
      gaveUp_ = GaveUp::Deadline;
      return false;
    }
    pause = std::min(pause, duration_cast<milliseconds>(*policy.deadline - now) + milliseconds(1));
  }
  if (policy.timeoutMs >= 0) {
    const auto end = *waitStart_ + milliseconds(policy.timeoutMs);
    if (now >= end) {
      gaveUp_ = GaveUp::LockTimeout;
      return false;
    }
    pause = std::min(pause, duration_cast<milliseconds>(end - now) + milliseconds(1));
  }
  ++waits_;
  std::this_thread::sleep_for(pause);
  return true;
}

void SqliteDb::StartStatement() {
  waitStart_.reset();
  waits_ = 0;
  retrying_ = false;
  gaveUp_ = GaveUp::No;
}

bool SqliteDb::WaitAndRetry(int code) {
  // SQLite does not wait when this connection would have to give up a read
  // snapshot to get the lock; a statement outside any transaction has
  // nothing to lose, so it waits here and runs again, as SQL Server's would.
  if ((code & 0xff) != SQLITE_BUSY || gaveUp_ != GaveUp::No) return false;
  if (sqlite3_txn_state(db_, nullptr) != SQLITE_TXN_NONE) return false;
  retrying_ = true;
  return WaitForLock();
}

DatabaseError SqliteDb::Failure(std::string_view object) const {
  SqliteFailure failure;
  failure.code = sqlite3_extended_errcode(db_);
  failure.systemError = sqlite3_system_errno(db_);
  failure.message = sqlite3_errmsg(db_);
  failure.database = name_;
  failure.file = file_;
  failure.object = std::string(object);
  failure.deadlinePassed = gaveUp_ == GaveUp::Deadline;
  return ToServerError(failure);
}

void SqliteDb::Throw() const {
  throw Failure();
}

void SqliteDb::Exec(std::string_view sql) {
  const std::string text(sql);
  StartStatement();
  if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) Throw();
}

void SqliteDb::BeginImmediate() {
  StartStatement();
  while (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
    if (!WaitAndRetry(sqlite3_extended_errcode(db_))) Throw();
  }
}

StmtHandle SqliteDb::Prepare(std::string_view sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &stmt, nullptr) != SQLITE_OK) {
    Throw();
  }
  return StmtHandle(stmt);
}

CachedStatement SqliteDb::PrepareCached(const std::string& sql) {
  auto it = cached_.find(sql);
  if (it == cached_.end()) it = cached_.emplace(sql, Cached{Prepare(sql), false}).first;
  if (it->second.lent) {
    // Asked again while the caller further out still uses it.
    StmtHandle own = Prepare(sql);
    sqlite3_stmt* stmt = own.get();
    return CachedStatement(stmt, nullptr, std::move(own));
  }
  it->second.lent = true;
  return CachedStatement(it->second.stmt.get(), &it->second.lent, nullptr);
}

void CachedStatement::reset() {
  if (!stmt_) return;
  if (lent_) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    *lent_ = false;
  }
  own_.reset();
  stmt_ = nullptr;
  lent_ = nullptr;
}

int SqliteDb::SchemaVersion() {
  if (!schemaVersion_) schemaVersion_ = Prepare("PRAGMA schema_version");
  sqlite3_stmt* s = schemaVersion_.get();
  int version = 0;
  if (sqlite3_step(s) == SQLITE_ROW) version = sqlite3_column_int(s, 0);
  sqlite3_reset(s);
  return version;
}

std::string ConnectionSettings(const std::filesystem::path& file) {
  const Settings settings = ReadSettings(file);
  return "synchronous=" + settings.synchronous +
         ";max_page_count=" + std::to_string(settings.maxPageCount);
}

void BindValue(sqlite3_stmt* stmt, int slot, const Value& value) {
  if (std::holds_alternative<std::monostate>(value)) {
    sqlite3_bind_null(stmt, slot);
  } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
    sqlite3_bind_int64(stmt, slot, *i);
  } else if (const auto* d = std::get_if<double>(&value)) {
    sqlite3_bind_double(stmt, slot, *d);
  } else {
    const std::string& s = std::get<std::string>(value);
    sqlite3_bind_text(stmt, slot, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
  }
}

Value ColumnValue(sqlite3_stmt* stmt, int i) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
      return std::int64_t{sqlite3_column_int64(stmt, i)};
    case SQLITE_FLOAT:
      return sqlite3_column_double(stmt, i);
    case SQLITE_NULL:
      return std::monostate{};
    case SQLITE_BLOB: {
      // Exact numbers reach the API as their text ("2.50").
      Decimal d;
      const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, i));
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, i));
      if (bytes && DecodeDecimal(bytes, size, d)) return DecimalText(d);
      // Binary values reach it as SQL Server's clients print them: 0x0F.
      if (Binary b; DecodeBinary(bytes, size, b)) return BinaryHexText(b);
      // A sql_variant reaches it as the value it holds.
      if (VariantPtr v; DecodeVariant(bytes, size, v)) return ToApiValue(v->value);
      [[fallthrough]];
    }
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      return std::string(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
    }
  }
}

Transaction::Transaction(SqliteDb& db) : db_(db) {
  if (!sqlite3_get_autocommit(db_.Handle())) {
    // Already inside one (a batch's explicit transaction): use a savepoint.
    nested_ = true;
    db_.Exec("SAVEPOINT moltaro_ddl");
  } else {
    db_.BeginImmediate();
  }
  open_ = true;
}

Transaction::~Transaction() {
  if (!open_) return;
  try {
    if (nested_) {
      db_.Exec("ROLLBACK TO moltaro_ddl; RELEASE moltaro_ddl");
    } else {
      db_.Exec("ROLLBACK");
    }
  } catch (...) {
  }
}

void Transaction::Commit() {
  db_.Exec(nested_ ? "RELEASE moltaro_ddl" : "COMMIT");
  open_ = false;
}

std::string QuoteId(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string QuoteText(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  out += '\'';
  return out;
}

}  // namespace moltaro::db::embedded
