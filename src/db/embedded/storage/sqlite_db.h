// A thin RAII layer over one SQLite connection: statements, transactions and
// errors turned into DatabaseError.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "db/embedded/types/languages.h"
#include "db/errors.h"
#include "db/value.h"

namespace moltaro::db::embedded {

struct StmtDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

// How long a session waits for a lock another connection holds, as SQL
// Server's SET LOCK_TIMEOUT says, and until when its command may run.
struct LockPolicy {
  int timeoutMs = -1;  // -1: wait as long as it takes; 0: not at all
  std::optional<std::chrono::steady_clock::time_point> deadline;
};

class SqliteDb;

// A statement of the connection's cache, lent to one caller: bound and
// stepped by it, reset and its values cleared when it is given back.
class CachedStatement {
 public:
  CachedStatement(sqlite3_stmt* stmt, bool* lent, StmtHandle own)
      : stmt_(stmt), lent_(lent), own_(std::move(own)) {}
  ~CachedStatement() { reset(); }
  CachedStatement(const CachedStatement&) = delete;
  CachedStatement& operator=(const CachedStatement&) = delete;
  sqlite3_stmt* get() const { return stmt_; }
  // Gives the statement back early (before statements that must not run
  // while it is open).
  void reset();

 private:
  sqlite3_stmt* stmt_;
  bool* lent_;      // the cache's mark; null for a statement of its own
  StmtHandle own_;  // when the cached one was already lent out
};

class SqliteDb {
 public:
  // Opens (and with `create`, creates, readable by the owner only) the file,
  // in WAL mode with synchronous=NORMAL. Locks held by other connections are
  // waited for under `policy` (the session's; none: wait as long as it takes).
  // Throws DatabaseError on failure.
  SqliteDb(const std::filesystem::path& file, bool create, const LockPolicy* policy = nullptr);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  sqlite3* Handle() const { return db_; }
  const std::filesystem::path& File() const { return file_; }
  // The database's name for messages (default: the file's stem).
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& Name() const { return name_; }
  // Whose lock waits the connection follows now (none: wait as long as it takes).
  void SetLockPolicy(const LockPolicy* policy) { policy_ = policy; }
  // Whose language and date settings the connection's functions read text
  // under now (none: us_english's).
  void SetDateSettings(const DateSettings* settings) { dates_ = settings; }
  const DateSettings& Dates() const { return dates_ ? *dates_ : kDefaultDates; }

  // Runs statements that return nothing.
  void Exec(std::string_view sql);
  StmtHandle Prepare(std::string_view sql);
  // The statement for `sql`, prepared once per connection: for the fixed
  // statements of the catalogue, run for every object a DDL touches.
  CachedStatement PrepareCached(const std::string& sql);
  // Starts a write transaction, waiting for the write lock under the policy.
  void BeginImmediate();

  // Before stepping a statement: starts the lock wait afresh.
  void StartStatement();
  // After a step failed with `code`: true when the failure was a lock that
  // another connection holds, the failed statement left nothing behind (no
  // transaction of this connection is open), and the policy allows waiting
  // longer (it has waited). The caller resets the statement and runs it again.
  bool WaitAndRetry(int code);

  // The failure SQLite reports now, in SQL Server's words where it is a
  // condition of the server (locks, space, I/O); `object` names the table the
  // statement wrote, when known.
  DatabaseError Failure(std::string_view object = {}) const;
  [[noreturn]] void Throw() const;

  // SQLite's schema cookie: changes whenever any connection changes the schema.
  int SchemaVersion();

 private:
  static int Busy(void* self, int count);
  bool WaitForLock();

  sqlite3* db_ = nullptr;
  std::filesystem::path file_;
  std::string name_;
  const LockPolicy* policy_;
  const DateSettings* dates_ = nullptr;
  static inline const DateSettings kDefaultDates{};
  StmtHandle schemaVersion_;
  struct Cached {
    StmtHandle stmt;
    bool lent = false;
  };
  std::unordered_map<std::string, Cached> cached_;
  // The current lock wait: when it began and why it ended without the lock.
  std::optional<std::chrono::steady_clock::time_point> waitStart_;
  int waits_ = 0;
  bool retrying_ = false;
  enum class GaveUp { No, LockTimeout, Deadline } gaveUp_ = GaveUp::No;
};

// The data directory's settings that a connection to `file` takes when it
// opens (moltaro.conf), as a text that differs exactly when they differ.
std::string ConnectionSettings(const std::filesystem::path& file);

// Binds a db::Value to the 1-based slot.
void BindValue(sqlite3_stmt* stmt, int slot, const Value& value);
// Reads column i of the current row.
Value ColumnValue(sqlite3_stmt* stmt, int i);

// BEGIN IMMEDIATE … COMMIT, rolled back when left by an exception.
class Transaction {
 public:
  explicit Transaction(SqliteDb& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  SqliteDb& db_;
  bool open_ = false;
  bool nested_ = false;
};

// Quotes an identifier for SQLite ("name", inner quotes doubled).
std::string QuoteId(std::string_view name);
// Quotes a text literal for SQLite ('text').
std::string QuoteText(std::string_view text);

}  // namespace moltaro::db::embedded
