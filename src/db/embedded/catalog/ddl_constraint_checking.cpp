// ALTER TABLE … [WITH CHECK] CHECK | NOCHECK CONSTRAINT ALL | names: a
// disabled CHECK or FOREIGN KEY keeps its object and text but loses its
// triggers, so rows written meanwhile are not checked. Enabling it again
// checks the existing rows only WITH CHECK, as SQL Server does.
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

struct TableConstraintRow {
  int id = 0;
  std::string name;
  std::string xtype;
  bool disabled = false;
  int colid = 0;
};

}  // namespace

void Ddl::SetConstraintsChecked(const TableInfo& table, bool all,
                                const std::vector<std::string>& names, bool enabled,
                                bool validateRows) {
  auto stmt = catalog_.Db().PrepareCached(
      "SELECT id, name, xtype, status, info FROM sysobjects WHERE parent_obj = ? ORDER BY id");
  sqlite3_bind_int(stmt.get(), 1, table.id);
  std::vector<TableConstraintRow> rows;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    TableConstraintRow r;
    r.id = sqlite3_column_int(stmt.get(), 0);
    r.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    r.xtype = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2));
    r.disabled = (sqlite3_column_int(stmt.get(), 3) & kConstraintDisabled) != 0;
    r.colid = sqlite3_column_int(stmt.get(), 4);
    rows.push_back(std::move(r));
  }
  stmt.reset();
  const auto checkable = [](const TableConstraintRow& r) {
    return r.xtype == "C " || r.xtype == "F ";
  };
  std::vector<const TableConstraintRow*> chosen;
  if (all) {
    for (const TableConstraintRow& r : rows) {
      if (checkable(r)) chosen.push_back(&r);
    }
  }
  for (const std::string& name : names) {
    const TableConstraintRow* found = nullptr;
    for (const TableConstraintRow& r : rows) {
      if (catalog_.Coll().Equal(r.name, name)) found = &r;
    }
    if (!found) throw ServerErrorByNumber(4917, {name});
    if (!checkable(*found)) throw ServerErrorByNumber(11415, {found->name});
    chosen.push_back(found);
  }
  for (const TableConstraintRow* r : chosen) {
    if (r->xtype == "C ") {
      std::string column;
      for (const ColumnInfo& c : table.columns) {
        if (r->colid && c.colid == r->colid) column = c.name;
      }
      const std::string text = catalog_.CommentText(r->id);
      for (const char* action : {"INSERT", "UPDATE"}) {
        catalog_.Db().Exec("DROP TRIGGER IF EXISTS " +
                           QuoteId("moltaro_check_" + std::to_string(r->id) + "_" + action));
      }
      if (enabled) {
        if (validateRows) RequireRowsMeetCheck(table, r->name, text, column);
        CreateCheckTriggers(table, r->id, r->name, text, column);
      }
    } else {
      std::vector<ForeignKey> keys = ForeignKeys("f.id = ?1", r->id);
      if (keys.empty()) continue;
      ForeignKey& fk = keys.front();
      DropForeignKeyTriggers(fk.id);
      if (enabled) {
        if (validateRows) RequireRowsMeetForeignKey(fk);
        fk.disabled = false;
        CreateForeignKeyTriggers(fk);
      }
    }
    catalog_.SetConstraintDisabled(r->id, !enabled);
  }
}

}  // namespace moltaro::db::embedded
