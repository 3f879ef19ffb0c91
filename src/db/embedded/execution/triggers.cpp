// Triggers run once per statement, after it (or instead of it), over the
// rows it changed. SQLite's own row triggers only capture those rows: a
// TEMP trigger of this connection, made for the one statement, writes the
// rowids of new rows and the values of old ones into TEMP tables; the
// T-SQL bodies then read them as `inserted` and `deleted`.
#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "db/embedded/execution/interpreter.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// "main." or "temp.": temporary tables and table variables (whose changes
// only an OUTPUT clause captures) are TEMP tables of the connection.
std::string SchemaOf(SqliteDb& db, const std::string& table) {
  auto temp = db.Prepare("SELECT 1 FROM temp.sqlite_master WHERE type = 'table' AND name = ?1");
  sqlite3_bind_text(temp.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
  return sqlite3_step(temp.get()) == SQLITE_ROW ? "temp." : "main.";
}

// The TEMP tables and the SQLite trigger that capture one statement's rows;
// all are gone when it ends, whatever way the statement ends.
class Capture {
 public:
  Capture(SqliteDb& db, const std::string& table, const std::vector<ColumnInfo>& columns, int n,
          const std::string& event, bool insteadOf, bool view)
      : db_(db),
        table_(SchemaOf(db, table) + QuoteId(table)),
        inserted_("moltaro_inserted_" + std::to_string(n)),
        deleted_("moltaro_deleted_" + std::to_string(n)),
        rows_("moltaro_rows_" + std::to_string(n)),
        trigger_("moltaro_capture_" + std::to_string(n)) {
    std::string newValues, oldValues, when;
    for (const ColumnInfo& c : columns) {
      // A timestamp column's own trigger writes the row again after the
      // statement did: that second change is not the statement's.
      if (c.type.base == BaseType::Timestamp && event == "UPDATE" && !insteadOf) {
        when = " WHEN NEW." + QuoteId(c.name) + " IS OLD." + QuoteId(c.name);
      }
      if (!columns_.empty()) {
        columns_ += ", ";
        newValues += ", ";
        oldValues += ", ";
      }
      columns_ += QuoteId(c.name);
      changedColumns_ += (changedColumns_.empty() ? "changed." : ", changed.") + QuoteId(c.name);
      newValues += "NEW." + QuoteId(c.name);
      oldValues += "OLD." + QuoteId(c.name);
    }
    // Columns without a type keep each value as the statement stored it.
    db_.Exec("CREATE TEMP TABLE " + QuoteId(inserted_) + " (" + columns_ + ");CREATE TEMP TABLE " +
             QuoteId(deleted_) + " (" + columns_ + ");CREATE TEMP TABLE " + QuoteId(rows_) +
             " (r)");
    std::string body;
    const bool writesNew = event != "DELETE";
    const bool writesOld = event != "INSERT";
    if (writesNew) {
      // After the statement the new rows are read back from the table:
      // identities and other values SQLite's triggers set are in them then.
      body += insteadOf ? "INSERT INTO " + QuoteId(inserted_) + " VALUES (" + newValues + ");"
                        : "INSERT INTO " + QuoteId(rows_) + " VALUES (NEW.rowid);";
    }
    if (writesOld) {
      body += "INSERT INTO " + QuoteId(deleted_) + " VALUES (" + oldValues + ");";
    }
    // Instead of the change to a table: the row is captured and skipped.
    if (insteadOf && !view) body += "SELECT RAISE(IGNORE);";
    const std::string timing = !insteadOf ? "AFTER" : view ? "INSTEAD OF" : "BEFORE";
    db_.Exec("CREATE TEMP TRIGGER " + QuoteId(trigger_) + " " + timing + " " + event + " ON " +
             table_ + " FOR EACH ROW" + when + " BEGIN " + body + " END");
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  ~Capture() {
    try {
      Stop();
      db_.Exec("DROP TABLE IF EXISTS temp." + QuoteId(inserted_) + ";DROP TABLE IF EXISTS temp." +
               QuoteId(deleted_) + ";DROP TABLE IF EXISTS temp." + QuoteId(rows_));
    } catch (...) {
    }
  }

  // The statement has run: what the triggers' bodies change is not captured.
  void Stop() { db_.Exec("DROP TRIGGER IF EXISTS temp." + QuoteId(trigger_)); }

  // The new rows as the statement left them, in the order it changed them:
  // the n-th rows of inserted and of deleted are one row of an UPDATE.
  void ReadNewRows() {
    db_.Exec("INSERT INTO temp." + QuoteId(inserted_) + " SELECT " + changedColumns_ + " FROM " +
             table_ + " AS changed JOIN temp." + QuoteId(rows_) +
             " AS captured ON changed.rowid = captured.r ORDER BY captured.rowid");
  }

  long long Count(const std::string& table) {
    auto stmt = db_.Prepare("SELECT count(*) FROM temp." + QuoteId(table));
    return sqlite3_step(stmt.get()) == SQLITE_ROW ? sqlite3_column_int64(stmt.get(), 0) : 0;
  }

  const std::string& Inserted() const { return inserted_; }
  const std::string& Deleted() const { return deleted_; }

 private:
  SqliteDb& db_;
  std::string table_;  // "main." or "temp." and the quoted name
  std::string inserted_, deleted_, rows_, trigger_;
  std::string columns_;
  std::string changedColumns_;
};

}  // namespace

void Interpreter::ChangeWithTriggers(
    const Translation& t, Context& c, const char* event,
    const std::vector<std::shared_ptr<const CompiledRoutine>>& triggers, bool insteadOf,
    OutputRows* output) {
  SqliteDb& db = host_.CurrentCatalog().Db();
  const TriggerEvent firing{event, t.target->columns, t.setColumns};
  const std::string table = t.target->name;
  const bool view = t.target->xtype == "V ";
  // The statement and its triggers are one transaction, which a trigger
  // sees as @@TRANCOUNT 1 and may roll back.
  const bool began = host_.TranCount() == 0;
  if (began) {
    db.BeginImmediate();
    host_.TranCount() = 1;
    host_.OpenTransaction() = TransactionState{};
  }
  bool inTrigger = false;
  long long rows = 0;
  // Inside an open transaction the OUTPUT's failure (INTO a table) must undo
  // the change it came after: a save point of the statement.
  const std::string savepoint = "moltaro_output_" + std::to_string(lastCapture_ + 1);
  bool saved = false;
  try {
    if (output && !began) {
      db.Exec("SAVEPOINT " + savepoint);
      saved = true;
    }
    Capture capture(db, table, firing.columns, ++lastCapture_, event, insteadOf, view);
    const StatementOutcome o = RunTranslation(host_, t, *c.params, Reader(c));
    capture.Stop();
    if (insteadOf) {
      rows = capture.Count(firing.event == "DELETE" ? capture.Deleted() : capture.Inserted());
    } else {
      rows = o.changes;
      if (firing.event != "DELETE") capture.ReadNewRows();
    }
    if (output) WriteOutput(*output, firing.columns, capture.Inserted(), capture.Deleted(), c);
    if (saved) {
      saved = false;
      db.Exec("RELEASE " + savepoint);
    }
    inTrigger = true;
    for (const auto& trigger : triggers) {
      FireTrigger(*trigger, firing, capture.Inserted(), capture.Deleted(), rows, c);
    }
  } catch (...) {
    if (saved && host_.TranCount() > 0) {
      try {
        db.Exec("ROLLBACK TO " + savepoint + ";RELEASE " + savepoint);
      } catch (const DatabaseError&) {
      }
    }
    // A failing statement undoes only itself; an error in a trigger ends
    // the transaction, as SQL Server's triggers run with XACT_ABORT on.
    if (host_.TranCount() > 0 && (began || inTrigger)) {
      try {
        EndTransaction("ROLLBACK");
      } catch (const DatabaseError&) {
      }
    }
    throw;
  }
  if (began && host_.TranCount() > 0) EndTransaction("COMMIT");
  c.frame->rowCount = rows;
  c.out->rowsAffected = rows;
}

void Interpreter::FireTrigger(const CompiledRoutine& trigger, const TriggerEvent& event,
                              const std::string& insertedTable, const std::string& deletedTable,
                              long long rows, Context& c) {
  if (c.depth >= kMaxNesting) throw ServerErrorByNumber(217, {"32"});
  Catalog::ScopedTables tables;
  for (const auto& [name, sqlName] :
       {std::pair{"INSERTED", &insertedTable}, std::pair{"DELETED", &deletedTable}}) {
    auto shape = std::make_unique<TableInfo>();
    shape->name = *sqlName;
    shape->xtype = "U ";
    shape->columns = event.columns;
    for (ColumnInfo& column : shape->columns) {
      column.identity = false;
      column.defaultId = 0;
      column.defaultText.clear();
    }
    tables[name] = std::move(shape);
  }
  const TableScope scope(*this, std::move(tables));
  // A ROLLBACK in the body leaves inserted and deleted readable, as table
  // variables are.
  std::string columns;
  for (const ColumnInfo& column : event.columns) {
    columns += (columns.empty() ? "" : ", ") + QuoteId(column.name);
  }
  for (const std::string* sqlName : {&insertedTable, &deletedTable}) {
    tableVariables_.push_back(TableVariable{
        *sqlName, "CREATE TEMP TABLE " + QuoteId(*sqlName) + " (" + columns + ")", false});
  }
  firingTriggers_.push_back(trigger.object.id);
  struct Restore {
    std::vector<int>& firing;
    ~Restore() { firing.pop_back(); }
  } restore{firingTriggers_};
  Frame frame;
  frame.rowCount = rows;
  frame.trigger = &event;
  Params none;
  // Not the compiled code's translation cache: the body may change the
  // schema under the statement that fired it.
  Context inner{trigger.text, &none, c.out, &frame, c.depth + 1, nullptr};
  inner.procedure = trigger.object.name;
  inner.scope = ++lastScope_;
  RunBody(trigger.definition->body, inner);
  // ROLLBACK (or COMMIT) in a trigger ends the transaction and the batch.
  if (host_.TranCount() == 0) throw ServerErrorByNumber(3609);
}

Value Interpreter::HelpTrigger(std::vector<CallArgument>& args, Context& c) {
  std::string table, type;
  std::size_t position = 0;
  for (const CallArgument& a : args) {
    const std::string parameter =
        a.name.empty() ? (position++ == 0 ? "@TABNAME" : "@TRIGGERTYPE") : ToUpperAscii(a.name);
    const std::string value = a.value ? ToText(ToApiValue(*a.value)) : std::string();
    if (parameter == "@TABNAME") {
      table = value;
    } else if (parameter == "@TRIGGERTYPE") {
      type = ToUpperAscii(value);
    } else if (parameter != "@RETURN_VALUE") {
      throw ServerErrorByNumber(8144, {"sp_helptrigger"});
    }
  }
  if (type != "" && type != "INSERT" && type != "UPDATE" && type != "DELETE") {
    throw ServerErrorByNumber(15600, {"sp_helptrigger"});
  }
  Catalog& catalog = host_.CurrentCatalog();
  if (const auto dot = table.rfind('.'); dot != std::string::npos) table = table.substr(dot + 1);
  const TableInfo* found = table.empty() || table[0] == '#' ? nullptr : catalog.FindTable(table);
  if (!found || found->xtype == "S ") {
    throw ServerErrorByNumber(15009, {table, catalog.DatabaseName()});
  }
  std::vector<std::vector<Value>> rows;
  for (const auto& trigger : host_.Code()->Triggers(catalog, found->id)) {
    const CreateRoutineStatement& def = *trigger->definition;
    const auto fires = [&](const char* event) -> std::int64_t {
      return std::find(def.triggerEvents.begin(), def.triggerEvents.end(), event) !=
             def.triggerEvents.end();
    };
    if (!type.empty() && !fires(type.c_str())) continue;
    rows.push_back({trigger->object.name, std::string("dbo"), fires("UPDATE"), fires("DELETE"),
                    fires("INSERT"), std::int64_t{!def.insteadOf}, std::int64_t{def.insteadOf},
                    std::string("dbo")});
  }
  c.out->results.emplace_back(
      std::vector<std::string>{"trigger_name", "trigger_owner", "isupdate", "isdelete", "isinsert",
                               "isafter", "isinsteadof", "trigger_schema"},
      std::move(rows));
  return Value{std::int64_t{0}};
}

Value Interpreter::ColumnUpdated(const std::string& name, Context& c) {
  const std::string column = name.substr(7, name.size() - 8);  // UPDATE(<column>)
  const TriggerEvent* event = c.frame->trigger;
  if (!event) throw DatabaseError(NotSupported("UPDATE(" + column + ") outside a trigger"));
  const auto named = [&](const std::string& other) {
    return ToUpperAscii(other) == ToUpperAscii(column);
  };
  const bool exists = std::any_of(event->columns.begin(), event->columns.end(),
                                  [&](const ColumnInfo& col) { return named(col.name); });
  if (!exists) throw ServerErrorByNumber(207, {column});
  if (event->event == "INSERT") return std::int64_t{1};
  if (event->event == "DELETE") return std::int64_t{0};
  return std::int64_t{std::any_of(event->setColumns.begin(), event->setColumns.end(), named)};
}

Value Interpreter::ColumnsUpdated(Context& c) {
  const TriggerEvent* event = c.frame->trigger;
  if (!event) throw DatabaseError(NotSupported("COLUMNS_UPDATED() outside a trigger"));
  int last = 0;
  for (const ColumnInfo& column : event->columns) last = std::max(last, column.colid);
  // Bytes left to right, the lowest bit of each its first column: column 1
  // is 0x01 of the first byte, column 9 0x01 of the second. An INSERT sets
  // every column; a DELETE none.
  Binary mask;
  mask.bytes.assign(static_cast<std::size_t>((last + 7) / 8), '\0');
  for (const ColumnInfo& column : event->columns) {
    const bool set = event->event == "INSERT" ||
                     (event->event == "UPDATE" &&
                      std::any_of(event->setColumns.begin(), event->setColumns.end(),
                                  [&](const std::string& name) {
                                    return ToUpperAscii(name) == ToUpperAscii(column.name);
                                  }));
    if (!set || column.colid < 1) continue;
    const auto bit = static_cast<std::size_t>(column.colid - 1);
    mask.bytes[bit / 8] = static_cast<char>(mask.bytes[bit / 8] | (1 << (bit % 8)));
  }
  return BinaryHexText(mask);
}

}  // namespace moltaro::db::embedded
