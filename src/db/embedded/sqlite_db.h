// A thin RAII layer over one SQLite connection: statements, transactions and
// errors turned into DatabaseError.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "db/value.h"

namespace moltaro::db::embedded {

struct StmtDeleter {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

class SqliteDb {
 public:
  // Opens (and with `create`, creates) the file, in WAL mode with
  // synchronous=NORMAL and a busy timeout. Throws DatabaseError on failure.
  SqliteDb(const std::filesystem::path& file, bool create);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  sqlite3* Handle() const { return db_; }

  // Runs statements that return nothing.
  void Exec(std::string_view sql);
  StmtHandle Prepare(std::string_view sql);
  // A DatabaseError carrying SQLite's current message.
  [[noreturn]] void Throw() const;

  // SQLite's schema cookie: changes whenever any connection changes the schema.
  int SchemaVersion();

 private:
  sqlite3* db_ = nullptr;
  StmtHandle schemaVersion_;
};

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
