// MERGE runs as the statements of its plan (binder/merge_plan.h): the match
// of source and target is read into a TEMP table first, so that every WHEN
// clause is decided on the rows as they were before the statement; then the
// DELETE, the UPDATE and the INSERT run over it through the paths of the
// plain statements, with their constraints, identities and AFTER triggers
// (each action's triggers once, as SQL Server fires them). All of it runs
// inside a save point: a failure anywhere leaves the target as it was.
#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/execution/interpreter.h"
#include "db/embedded/execution/statement_error.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// The match table, known to the plan's statements by kMergeMatchTable while
// the MERGE runs, and gone when it ends, whichever way.
class MatchTable {
 public:
  MatchTable(Catalog& catalog, std::string sqlName, std::unique_ptr<TableInfo> table)
      : catalog_(catalog), sqlName_(std::move(sqlName)) {
    catalog_.AddScopedTable(kMergeMatchTable, std::move(table));
  }
  MatchTable(const MatchTable&) = delete;
  MatchTable& operator=(const MatchTable&) = delete;
  ~MatchTable() {
    catalog_.RemoveScopedTable(kMergeMatchTable);
    try {
      catalog_.Db().Exec("DROP TABLE IF EXISTS temp." + QuoteId(sqlName_));
    } catch (...) {
    }
  }

 private:
  Catalog& catalog_;
  std::string sqlName_;
};

std::string NumberList(const std::vector<int>& numbers) {
  std::string list;
  for (int n : numbers) list += (list.empty() ? "" : ", ") + std::to_string(n);
  return list;
}

long long AsCount(const Value& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
  if (const auto* d = std::get_if<double>(&v)) return static_cast<long long>(*d);
  if (std::holds_alternative<std::monostate>(v)) return 0;
  const auto number = ParseNumberText(ToText(v));
  return number ? static_cast<long long>(*number) : 0;
}

}  // namespace

void Interpreter::CheckMergeTarget(const MergeStatement& s, const MergePlan& plan) {
  Catalog& catalog = host_.CurrentCatalog();
  if (s.target.schema.empty()) {
    for (const CommonTableExpr& cte : s.with) {
      if (catalog.Coll().Equal(cte.name, s.target.name)) {
        throw DatabaseError(NotSupported("MERGE into a common table expression"));
      }
    }
  }
  const TableInfo* table = catalog.FindTable(s.target.name);
  if (!table) return;  // the binder names it (208)
  if (table->xtype == "V ") throw DatabaseError(NotSupported("MERGE into a view"));
  // INSTEAD OF triggers replace every action of the statement or none.
  std::vector<const char*> events;
  if (plan.del) events.push_back("DELETE");
  if (plan.update) events.push_back("UPDATE");
  if (plan.insert) events.push_back("INSERT");
  int instead = 0;
  for (const char* event : events) {
    for (const auto& trigger : host_.Code()->Triggers(catalog, table->id)) {
      const auto& fired = trigger->definition->triggerEvents;
      if (trigger->definition->insteadOf &&
          std::find(fired.begin(), fired.end(), event) != fired.end()) {
        ++instead;
        break;
      }
    }
  }
  if (instead > 0 && instead < static_cast<int>(events.size())) {
    throw ServerErrorByNumber(5316, {s.target.name});
  }
}

long long Interpreter::MergeRows(const MergeStatement& s, const MergePlan& plan, int n,
                                 OutputRows* output, Context& c) {
  Catalog& catalog = host_.CurrentCatalog();
  Translator matcher(catalog, c.frame, host_.Functions());
  const Translation match = Bound([&] { return matcher.Query(*plan.match); });
  // The match's columns: the source's, its mark, the target row, the clause.
  const std::vector<std::string> sourceColumns(match.columns.begin(), match.columns.end() - 3);
  std::vector<std::string> targetColumns;
  if (const TableInfo* target = catalog.FindTable(s.target.name)) {
    for (const ColumnInfo& column : target->columns) targetColumns.push_back(column.name);
  }
  Bound([&] {
    CheckMergeClauseColumns(s, targetColumns, sourceColumns, catalog.Coll());
    return 0;
  });
  CreateTableStatement create;
  create.table.name = kMergeMatchTable;
  for (std::size_t i = 0; i < match.columns.size(); ++i) {
    ColumnDef column;
    column.name = match.columns[i];
    column.type = IntoColumnType(match.columnTypes[i]);
    column.nullable = true;
    create.columns.push_back(std::move(column));
  }
  const std::string sqlName = "moltaro_merge_" + std::to_string(n);
  std::string createSql;
  const MatchTable table(
      catalog, sqlName,
      Ddl(catalog, c.text, host_.Code().get()).CreateTableVariable(create, sqlName, createSql));
  Translation fill = match;
  const std::string into = "INSERT INTO temp." + QuoteId(sqlName) + " ";
  fill.sql = into + match.sql;
  if (!match.numberSql.empty()) fill.numberSql = into + match.numberSql;
  fill.returnsRows = false;
  fill.columns.clear();
  RunTranslation(host_, fill, *c.params, Reader(c));

  SqliteDb& db = catalog.Db();
  const std::string rows = "temp." + QuoteId(sqlName);
  const std::string clause = QuoteId(kMergeClause);
  if (s.top) {
    // TOP (n): n of the rows a clause acts on, whichever they are.
    const long long limit = std::max(0LL, AsCount(ToApiValue(Evaluate(*s.top, c))));
    db.Exec("DELETE FROM " + rows + " WHERE " + clause + " IS NOT NULL AND rowid NOT IN (SELECT " +
            "rowid FROM " + rows + " WHERE " + clause + " IS NOT NULL ORDER BY rowid LIMIT " +
            std::to_string(limit) + ")");
  }
  if (!plan.matchedUpdates.empty()) {
    const std::string target = QuoteId(kMergeTargetRow);
    auto twice = db.Prepare("SELECT 1 FROM " + rows + " WHERE " + target + " IS NOT NULL AND " +
                            clause + " IN (" + NumberList(plan.matchedClauses) + ") GROUP BY " +
                            target + " HAVING count(*) > 1 AND sum(" + clause + " IN (" +
                            NumberList(plan.matchedUpdates) + ")) > 0 LIMIT 1");
    if (sqlite3_step(twice.get()) == SQLITE_ROW) throw ServerErrorByNumber(8672);
  }

  long long changed = 0;
  if (plan.del) {
    Translator t(catalog, c.frame, host_.Functions());
    if (output) output->action = "DELETE";
    RunChange(Bound([&] { return t.Delete(*plan.del); }), c, "DELETE", output);
    changed += c.frame->rowCount;
  }
  if (plan.update) {
    Translator t(catalog, c.frame, host_.Functions());
    if (output) output->action = "UPDATE";
    RunChange(Bound([&] { return t.Update(*plan.update); }), c, "UPDATE", output);
    changed += c.frame->rowCount;
  }
  if (plan.insert) {
    Translator t(catalog, c.frame, host_.Functions());
    if (output) output->action = "INSERT";
    RunChange(Bound([&] { return t.Insert(*plan.insert); }), c, "INSERT", output);
    changed += c.frame->rowCount;
  }
  return changed;
}

void Interpreter::RunMerge(const MergeStatement& s, Context& c) {
  RefuseWhenDoomed();
  RefuseChangeUnderRowCount(host_);
  Catalog& catalog = host_.CurrentCatalog();
  const MergePlan plan = Bound([&] { return PlanMerge(s, catalog.Coll()); });
  CheckMergeTarget(s, plan);
  SqliteDb& db = catalog.Db();
  // The actions and their triggers are one transaction, which a trigger
  // sees as @@TRANCOUNT 1, as it sees a plain statement's.
  const bool began = host_.TranCount() == 0;
  if (began) {
    db.BeginImmediate();
    host_.TranCount() = 1;
    host_.OpenTransaction() = TransactionState{};
  }
  const int n = ++lastMerge_;
  const std::string savepoint = "moltaro_merge_" + std::to_string(n);
  long long changed = 0;
  OutputRows output;
  output.clause = s.output.get();
  try {
    db.Exec("SAVEPOINT " + savepoint);
    try {
      changed = MergeRows(s, plan, n, s.output ? &output : nullptr, c);
      db.Exec("RELEASE " + savepoint);
    } catch (...) {
      // A trigger's error has ended the transaction already; otherwise the
      // statement alone is undone (a table variable as target too).
      if (host_.TranCount() > 0) db.Exec("ROLLBACK TO " + savepoint + ";RELEASE " + savepoint);
      throw;
    }
  } catch (...) {
    if (began && host_.TranCount() > 0) {
      try {
        EndTransaction("ROLLBACK");
      } catch (const DatabaseError&) {
      }
    }
    throw;
  }
  if (began && host_.TranCount() > 0) EndTransaction("COMMIT");
  if (s.output && !s.output->into) {
    c.out->results.emplace_back(output.columns, std::move(output.rows));
  }
  c.frame->rowCount = changed;
  c.out->rowsAffected = changed;
}

}  // namespace moltaro::db::embedded
