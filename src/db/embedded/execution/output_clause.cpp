// OUTPUT of INSERT, UPDATE, DELETE and MERGE: a query over the rows the
// statement's capture took (execution/triggers.cpp), `inserted` and
// `deleted` paired by the order the statement changed them, giving a
// result set or rows INTO a table.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/text.h"
#include "db/embedded/execution/interpreter.h"
#include "db/embedded/execution/statement_error.h"
#include "db/embedded/parser/tsql_clone.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// The names the captured rows go by while the OUTPUT query runs; no T-SQL
// text can name them. The query calls them inserted and deleted.
constexpr char kOutputInserted[] = "@output inserted";
constexpr char kOutputDeleted[] = "@output deleted";

bool IsPseudoTable(const std::string& name) {
  const std::string upper = ToUpperAscii(name);
  return upper == "INSERTED" || upper == "DELETED";
}

// Columns of other tables (a MERGE's source, an UPDATE's FROM) are not
// captured; refused rather than reported as names that do not exist.
void RefuseOtherTables(const Expr& e) {
  const bool qualified = (e.kind == ExprKind::Column && e.parts.size() >= 2) ||
                         (e.kind == ExprKind::Star && !e.parts.empty());
  if (qualified) {
    const std::string& table =
        e.kind == ExprKind::Star ? e.parts.back() : e.parts[e.parts.size() - 2];
    if (!IsPseudoTable(table)) {
      throw DatabaseError(
          NotSupported("OUTPUT of columns of " + table + ": only inserted and deleted"));
    }
  }
  for (const ExprPtr& arg : e.args) {
    if (arg) RefuseOtherTables(*arg);
  }
}

// $action read as the action the rows come from.
ExprPtr WithAction(const Expr& e, const std::string& action) {
  if (e.kind == ExprKind::Column && e.parts.size() == 1 && e.parts[0] == "$action") {
    if (action.empty()) throw ServerErrorByNumber(207, {"$action"});
    auto text = std::make_unique<Expr>();
    text->kind = ExprKind::String;
    text->text = action;
    return text;
  }
  ExprPtr copy = CloneExpr(e);
  for (ExprPtr& arg : copy->args) {
    if (arg) arg = WithAction(*arg, action);
  }
  return copy;
}

ExprPtr RowIdOf(const char* table) {
  auto e = std::make_unique<Expr>();
  e->kind = ExprKind::RowId;
  e->parts = {table};
  return e;
}

// The captured rows, known under their names for as long as the query runs.
class CapturedRows {
 public:
  CapturedRows(Catalog& catalog, const std::vector<ColumnInfo>& columns,
               const std::string& insertedTable, const std::string& deletedTable)
      : catalog_(catalog) {
    for (const auto& [name, sqlName] :
         {std::pair{kOutputInserted, &insertedTable}, std::pair{kOutputDeleted, &deletedTable}}) {
      auto shape = std::make_unique<TableInfo>();
      shape->name = *sqlName;
      shape->xtype = "U ";
      shape->columns = columns;
      for (ColumnInfo& column : shape->columns) {
        column.identity = false;
        column.defaultId = 0;
        column.defaultText.clear();
      }
      catalog_.AddScopedTable(name, std::move(shape));
    }
  }
  CapturedRows(const CapturedRows&) = delete;
  CapturedRows& operator=(const CapturedRows&) = delete;
  ~CapturedRows() {
    catalog_.RemoveScopedTable(kOutputInserted);
    catalog_.RemoveScopedTable(kOutputDeleted);
  }

 private:
  Catalog& catalog_;
};

// SQL Server writes OUTPUT INTO rows without firing triggers or checking
// constraints, so it takes only a table that has none (a table variable
// has none).
void CheckOutputTarget(Catalog& catalog, const ObjectName& into) {
  const TableInfo* table = catalog.FindTable(into.name);
  if (!table || table->id <= 0) return;  // a table variable, or the binder's 208
  if (table->xtype == "V ") throw ServerErrorByNumber(330, {into.name});
  if (catalog.HasTriggers(table->id)) throw ServerErrorByNumber(331, {into.name});
  auto constraints = catalog.Db().Prepare(
      "SELECT name, xtype FROM sysobjects WHERE xtype IN ('C ', 'F ') AND (status & 2048) = 0 "
      "AND (parent_obj = ?1 OR id IN (SELECT id FROM moltaro_foreign_keys WHERE parent_id = ?1)) "
      "ORDER BY xtype, name");
  sqlite3_bind_int(constraints.get(), 1, table->id);
  if (sqlite3_step(constraints.get()) == SQLITE_ROW) {
    const std::string name =
        reinterpret_cast<const char*>(sqlite3_column_text(constraints.get(), 0));
    const bool check = sqlite3_column_text(constraints.get(), 1)[0] == 'C';
    throw ServerErrorByNumber(check ? 333 : 332, {into.name, name});
  }
}

}  // namespace

void Interpreter::WriteOutput(OutputRows& output, const std::vector<ColumnInfo>& columns,
                              const std::string& insertedTable, const std::string& deletedTable,
                              Context& c) {
  const OutputClause& clause = *output.clause;
  auto query = std::make_unique<Select>();
  for (const SelectItem& item : clause.items) {
    RefuseOtherTables(*item.expr);
    SelectItem copy;
    copy.expr = WithAction(*item.expr, output.action);
    copy.alias = item.alias;
    copy.hasAlias = item.hasAlias;
    // $action is a column named so.
    if (!copy.hasAlias && item.expr->kind == ExprKind::Column && item.expr->parts.size() == 1 &&
        item.expr->parts[0] == "$action") {
      copy.alias = "$action";
      copy.hasAlias = true;
    }
    query->items.push_back(std::move(copy));
  }
  // An UPDATE's n-th new row is its n-th old one; an INSERT has no old rows
  // and a DELETE no new ones.
  TableRef inserted;
  inserted.name.name = kOutputInserted;
  inserted.alias = "inserted";
  query->from.push_back(std::move(inserted));
  TableRef deleted;
  deleted.name.name = kOutputDeleted;
  deleted.alias = "deleted";
  deleted.join = JoinKind::Full;
  auto on = std::make_unique<Expr>();
  on->kind = ExprKind::Binary;
  on->text = "=";
  on->args.push_back(RowIdOf("inserted"));
  on->args.push_back(RowIdOf("deleted"));
  deleted.on = std::move(on);
  query->from.push_back(std::move(deleted));

  Catalog& catalog = host_.CurrentCatalog();
  const CapturedRows captured(catalog, columns, insertedTable, deletedTable);
  Translator t(catalog, c.frame, host_.Functions());
  if (clause.into) {
    CheckOutputTarget(catalog, *clause.into);
    InsertStatement insert;
    insert.table = *clause.into;
    insert.columns = clause.intoColumns;
    insert.select = std::move(query);
    const Translation tr = Bound([&] { return t.Insert(insert); });
    RunTranslation(host_, tr, *c.params, Reader(c));
    return;
  }
  const Translation tr = Bound([&] { return t.Query(*query); });
  StatementOutcome o = RunTranslation(host_, tr, *c.params, Reader(c));
  if (output.columns.empty()) output.columns = tr.columns;
  for (auto& row : o.rows) output.rows.push_back(std::move(row));
}

}  // namespace moltaro::db::embedded
