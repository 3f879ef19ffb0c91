#include "db/embedded/storage/legacy_exact_values.h"

#include <string>
#include <vector>

#include "db/embedded/catalog/catalog.h"
#include "db/embedded/execution/sql_functions.h"
#include "db/embedded/storage/sqlite_db.h"
#include "db/embedded/types/sql_types.h"
#include "db/errors.h"

namespace moltaro::db::embedded {

namespace {

// PRAGMA user_version of a database whose exact columns hold exact values.
constexpr int kExactValuesVersion = 1;

struct LegacyColumn {
  std::string table;
  std::string column;
  SqlType type;
};

int UserVersion(SqliteDb& db) {
  StmtHandle stmt = db.Prepare("PRAGMA user_version");
  return sqlite3_step(stmt.get()) == SQLITE_ROW ? sqlite3_column_int(stmt.get(), 0) : 0;
}

// Exact columns that SQLite still declares REAL: made by the earlier server.
std::vector<LegacyColumn> LegacyColumns(SqliteDb& db) {
  std::vector<LegacyColumn> out;
  StmtHandle stmt = db.Prepare(
      "SELECT o.name, c.name, c.xtype, c.length, c.xprec, c.xscale FROM syscolumns c JOIN "
      "sysobjects o ON o.id = c.id WHERE o.xtype = 'U ' AND c.xtype IN (60, 122, 106, 108) AND "
      "EXISTS (SELECT 1 FROM pragma_table_info(o.name) p WHERE p.name = c.name AND "
      "upper(p.type) = 'REAL')");
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    auto type = TypeFromCodes(sqlite3_column_int(stmt.get(), 2), sqlite3_column_int(stmt.get(), 3),
                              sqlite3_column_int(stmt.get(), 4), sqlite3_column_int(stmt.get(), 5));
    if (!type || !StoresAsDecimal(*type)) continue;
    out.push_back(LegacyColumn{reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)),
                               reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1)),
                               *type});
  }
  return out;
}

}  // namespace

void ConvertLegacyExactValues(Catalog& catalog) {
  SqliteDb& db = catalog.Db();
  try {
    if (UserVersion(db) >= kExactValuesVersion) return;
    const std::vector<LegacyColumn> columns = LegacyColumns(db);
    if (columns.empty()) return;
    Transaction transaction(db);
    for (const LegacyColumn& c : columns) {
      db.Exec("UPDATE " + QuoteId(c.table) + " SET " + QuoteId(c.column) + " = tsql_store(" +
              QuoteId(c.column) + ", " + TypeArguments(c.type) + ", 0, " + QuoteText(c.column) +
              ", " + QuoteText(catalog.QualifiedName(c.table)) + ") WHERE typeof(" +
              QuoteId(c.column) + ") IN ('real', 'integer', 'text')");
    }
    db.Exec("PRAGMA user_version = " + std::to_string(kExactValuesVersion));
    transaction.Commit();
  } catch (const DatabaseError&) {
    // Locked, or a value that no longer fits: the next opening tries again,
    // and until then the old values still read (as floats).
  }
}

}  // namespace moltaro::db::embedded
