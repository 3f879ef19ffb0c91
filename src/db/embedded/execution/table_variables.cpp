// Table variables (DECLARE @t TABLE …): a TEMP table each, named by its
// scope's depth and the variable, so that the translations a routine keeps
// name the table of every call alike. They end with the batch, routine or
// trigger that declared them, and no ROLLBACK undoes their rows.
#include <memory>
#include <string>
#include <vector>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/execution/interpreter.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

Interpreter::TableScope::TableScope(Interpreter& interpreter, Catalog::ScopedTables tables)
    : interpreter_(interpreter), mark_(interpreter.tableVariables_.size()) {
  interpreter.host_.CurrentCatalog().PushScopedTables(std::move(tables));
}

Interpreter::TableScope::~TableScope() {
  // The database now current: a batch may have left its own with USE, and
  // then what it declared there is dropped by the next declaration.
  Catalog& catalog = interpreter_.host_.CurrentCatalog();
  auto& variables = interpreter_.tableVariables_;
  while (variables.size() > mark_) {
    if (variables.back().droppedWithScope) {
      const TableVariable& variable = variables.back();
      try {
        catalog.Db().Exec("DROP TABLE IF EXISTS temp." + QuoteId(variable.sqlName));
      } catch (const DatabaseError&) {
        // A statement still reads (it called this function): kept for later.
        catalog.UndroppedTables()[variable.sqlName] = variable.createSql;
      } catch (...) {
      }
    }
    variables.pop_back();
  }
  catalog.PopScopedTables();
  if (mark_ == 0) {
    try {
      catalog.DropUndroppedTables();
    } catch (...) {
    }
  }
}

void Interpreter::DeclareTableVariable(const DeclareItem& item, Context& c) {
  Catalog& catalog = host_.CurrentCatalog();
  if (catalog.ScopeDepth() == 0) {
    throw DatabaseError(NotSupported("a table variable declared after USE in its batch"));
  }
  if (catalog.HasScopedTable(item.name) || c.frame->TypeOf(item.name)) {
    throw ServerErrorByNumber(134, {item.name});
  }
  // The routine's name too: the tables of two functions one statement calls
  // may both outlive their calls (see Catalog::UndroppedTables).
  const std::string sqlName = "moltaro_table_" + std::to_string(catalog.ScopeDepth()) + "_" +
                              (c.procedure.empty() ? "" : ToUpperAscii(c.procedure) + "_") +
                              ToUpperAscii(item.name);
  std::string createSql;
  auto table =
      Ddl(catalog, c.text, host_.Code().get()).CreateTableVariable(*item.table, sqlName, createSql);
  catalog.AddScopedTable(item.name, std::move(table));
  tableVariables_.push_back(TableVariable{sqlName, createSql});
}

namespace {

struct ValueFree {
  void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
};
using SavedValue = std::unique_ptr<sqlite3_value, ValueFree>;

}  // namespace

void Interpreter::RollBackKeepingTableVariables(const std::function<void()>& rollback) {
  if (tableVariables_.empty()) {
    rollback();
    return;
  }
  std::vector<std::vector<std::vector<SavedValue>>> saved;
  SqliteDb& db = host_.CurrentCatalog().Db();
  for (const TableVariable& v : tableVariables_) {
    auto& rows = saved.emplace_back();
    auto read = db.Prepare("SELECT * FROM temp." + QuoteId(v.sqlName));
    const int columns = sqlite3_column_count(read.get());
    while (sqlite3_step(read.get()) == SQLITE_ROW) {
      auto& row = rows.emplace_back();
      for (int i = 0; i < columns; ++i) {
        row.emplace_back(sqlite3_value_dup(sqlite3_column_value(read.get(), i)));
      }
    }
  }
  rollback();
  for (std::size_t k = 0; k < tableVariables_.size(); ++k) {
    const TableVariable& v = tableVariables_[k];
    auto exists = db.Prepare("SELECT 1 FROM temp.sqlite_master WHERE type = 'table' AND name = ?1");
    sqlite3_bind_text(exists.get(), 1, v.sqlName.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(exists.get()) != SQLITE_ROW) {
      db.Exec(v.createSql);  // declared inside the transaction
    } else {
      db.Exec("DELETE FROM temp." + QuoteId(v.sqlName));
    }
    if (saved[k].empty()) continue;
    std::string marks;
    for (std::size_t i = 0; i < saved[k].front().size(); ++i) marks += i ? ", ?" : "?";
    auto insert = db.Prepare("INSERT INTO temp." + QuoteId(v.sqlName) + " VALUES (" + marks + ")");
    for (const auto& row : saved[k]) {
      for (std::size_t i = 0; i < row.size(); ++i) {
        sqlite3_bind_value(insert.get(), static_cast<int>(i + 1), row[i].get());
      }
      if (sqlite3_step(insert.get()) != SQLITE_DONE) db.Throw();
      sqlite3_reset(insert.get());
    }
  }
}

}  // namespace moltaro::db::embedded
