#include "db/embedded/execution/identity_commands.h"

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// The user table with an identity column that `name` names, with the
// message each kind of statement gives when it does not.
const TableInfo& IdentityTable(Catalog& catalog, const std::string& name, bool dbcc) {
  const TableInfo* table = catalog.FindTable(name);
  if (!table || table->xtype != "U ") {
    if (dbcc) throw ServerErrorByNumber(2501, {name});
    if (!table) throw ServerErrorByNumber(1088, {name});
    throw ServerErrorByNumber(8105, {name});
  }
  for (const ColumnInfo& c : table->columns) {
    if (c.identity) return *table;
  }
  if (dbcc) throw ServerErrorByNumber(7997, {table->name});
  throw ServerErrorByNumber(8106, {table->name});
}

std::string Text(const std::optional<long long>& v) {
  return v ? std::to_string(*v) : std::string("NULL");
}

}  // namespace

void SetIdentityInsert(SessionHost& host, const SetOptionStatement& s) {
  Catalog& catalog = host.CurrentCatalog();
  if (!s.table.database.empty() &&
      !EqualsIgnoreCaseAscii(s.table.database, catalog.DatabaseName())) {
    throw DatabaseError(NotSupported("SET IDENTITY_INSERT on a table of another database"));
  }
  if (!s.table.name.empty() && s.table.name[0] == '#') {
    throw DatabaseError(NotSupported("SET IDENTITY_INSERT on a temporary table"));
  }
  const TableInfo& table = IdentityTable(catalog, s.table.name, false);
  IdentityInsertTable& current = host.IdentityInsert();
  const bool same = current.tableId == table.id &&
                    EqualsIgnoreCaseAscii(current.database, catalog.DatabaseName());
  if (s.value == "OFF") {
    if (same) current = IdentityInsertTable{};
    return;
  }
  if (current.tableId != 0 && !same) {
    throw ServerErrorByNumber(8107, {current.database + ".dbo." + current.table, table.name});
  }
  // Files written before explicit values were possible lack the trigger
  // that moves the identity past them.
  Ddl(catalog, {}).AllowExplicitIdentity(table);
  current = IdentityInsertTable{catalog.DatabaseName(), table.id, table.name};
}

void RequireIdentityInsertAllows(SessionHost& host, const Translation& t) {
  const IdentityInsertTable& current = host.IdentityInsert();
  const bool on = current.tableId == t.identityTable &&
                  EqualsIgnoreCaseAscii(current.database, host.CurrentCatalog().DatabaseName());
  if (t.explicitIdentity && !on) throw ServerErrorByNumber(544, {t.identityTableName});
  if (on && !t.explicitIdentity) throw ServerErrorByNumber(545, {t.identityTableName});
}

std::vector<std::string> CheckIdent(SessionHost& host, const std::string& name, CheckIdentMode mode,
                                    std::optional<long long> reseedValue) {
  Catalog& catalog = host.CurrentCatalog();
  const TableInfo& table = IdentityTable(catalog, name, true);
  std::optional<IdentityState> state = catalog.Identity(table.id);
  if (!state) throw ServerErrorByNumber(7997, {table.name});
  std::string column;
  for (const ColumnInfo& c : table.columns) {
    if (c.colid == state->colid) column = c.name;
  }
  std::optional<long long> current;
  if (state->used) current = state->last;
  std::optional<long long> columnValue;
  auto extreme =
      catalog.Db().Prepare(std::string("SELECT ") + (state->increment > 0 ? "max(" : "min(") +
                           QuoteId(column) + ") FROM " + QuoteId(table.name));
  if (sqlite3_step(extreme.get()) == SQLITE_ROW &&
      sqlite3_column_type(extreme.get(), 0) != SQLITE_NULL) {
    columnValue = sqlite3_column_int64(extreme.get(), 0);
  }
  extreme.reset();
  if (reseedValue) {
    // A table that never took a row starts at the new value; one that did
    // goes on from it.
    state->last = state->used ? *reseedValue : *reseedValue - state->increment;
    state->used = true;
    catalog.SetIdentity(*state);
    columnValue = reseedValue;
  } else if (mode == CheckIdentMode::Reseed && columnValue) {
    const bool behind =
        !current || (state->increment > 0 ? *current < *columnValue : *current > *columnValue);
    if (behind) {
      state->last = *columnValue;
      state->used = true;
      catalog.SetIdentity(*state);
    }
  }
  return {ServerMessageText(7998, {Text(current), Text(columnValue)}), ServerMessageText(2528)};
}

}  // namespace moltaro::db::embedded
