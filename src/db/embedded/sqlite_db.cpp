#include "db/embedded/sqlite_db.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "db/embedded/collation.h"
#include "db/embedded/decimal.h"
#include "db/embedded/sql_functions.h"
#include "db/embedded/sqlite_values.h"
#include "db/errors.h"

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

// "synchronous=FULL" in the data directory's moltaro.conf trades speed for
// surviving a power cut; the default NORMAL loses nothing when the process dies.
std::string Synchronous(const std::filesystem::path& file) {
  std::FILE* conf = std::fopen((file.parent_path() / "moltaro.conf").c_str(), "r");
  if (!conf) return "NORMAL";
  char line[256];
  std::string mode = "NORMAL";
  while (std::fgets(line, sizeof line, conf)) {
    std::string text(line);
    if (text.rfind("synchronous=FULL", 0) == 0) mode = "FULL";
  }
  std::fclose(conf);
  return mode;
}

}  // namespace

SqliteDb::SqliteDb(const std::filesystem::path& file, bool create) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
    throw DatabaseError("Unable to open the database file " + file.string() + ": " + message, 5120);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, 30000);
  try {
    Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=" + Synchronous(file) +
         "; PRAGMA foreign_keys=OFF; PRAGMA recursive_triggers=OFF;");
  } catch (...) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw;
  }
  RegisterCollationProvider(db_);
  RegisterFunctions(db_);
  if (Trace::Instance().Enabled()) sqlite3_trace_v2(db_, SQLITE_TRACE_STMT, TraceCallback, nullptr);
}

SqliteDb::~SqliteDb() {
  schemaVersion_.reset();
  if (db_) sqlite3_close_v2(db_);
}

void SqliteDb::Throw() const {
  const SqlError error = ErrorFromMessage(sqlite3_errmsg(db_));
  throw DatabaseError(error.message, error.number);
}

void SqliteDb::Exec(std::string_view sql) {
  const std::string text(sql);
  char* err = nullptr;
  if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    const SqlError error = ErrorFromMessage(err ? err : sqlite3_errmsg(db_));
    sqlite3_free(err);
    throw DatabaseError(error.message, error.number);
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

int SqliteDb::SchemaVersion() {
  if (!schemaVersion_) schemaVersion_ = Prepare("PRAGMA schema_version");
  sqlite3_stmt* s = schemaVersion_.get();
  int version = 0;
  if (sqlite3_step(s) == SQLITE_ROW) version = sqlite3_column_int(s, 0);
  sqlite3_reset(s);
  return version;
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
      if (bytes &&
          DecodeDecimal(bytes, static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)), d)) {
        return DecimalText(d);
      }
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
    db_.Exec("BEGIN IMMEDIATE");
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
