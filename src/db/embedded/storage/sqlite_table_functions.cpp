#include "db/embedded/storage/sqlite_table_functions.h"

#include <sqlite3.h>

#include <memory>

#include "db/embedded/storage/sqlite_values.h"
#include "db/errors.h"

namespace moltaro::db::embedded {

namespace {

struct FunctionTable {
  sqlite3_vtab base{};  // first: SQLite hands this pointer back
  const TableFunction* function = nullptr;
};

struct FunctionCursor {
  sqlite3_vtab_cursor base{};  // first, as above
  TableRows rows;
  std::vector<StoredValue> arguments;
  std::size_t row = 0;
};

const TableFunction& FunctionOf(sqlite3_vtab* table) {
  return *reinterpret_cast<FunctionTable*>(table)->function;
}

void SetError(sqlite3_vtab* table, const std::string& message) {
  sqlite3_free(table->zErrMsg);
  table->zErrMsg = sqlite3_mprintf("%s", message.c_str());
}

// "name" with its quotes doubled (this file is also linked without the
// connection layer, whose QuoteId does the same).
std::string QuotedName(const std::string& name) {
  std::string quoted = "\"";
  for (char ch : name) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  return quoted + "\"";
}

int Connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
  const auto* function = static_cast<const TableFunction*>(aux);
  std::string schema = "CREATE TABLE x(";
  for (int i = 0; i < function->resultColumns; ++i) {
    schema += "c" + std::to_string(i);
    if (!function->collation.empty()) schema += " COLLATE " + QuotedName(function->collation);
    schema += ", ";
  }
  for (int i = 0; i < function->arguments; ++i) {
    schema += "a" + std::to_string(i) + " HIDDEN";
    schema += i + 1 < function->arguments ? ", " : ")";
  }
  const int rc = sqlite3_declare_vtab(db, schema.c_str());
  if (rc != SQLITE_OK) return rc;
  auto table = std::make_unique<FunctionTable>();
  table->function = function;
  *out = &table.release()->base;
  return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* table) {
  std::unique_ptr<FunctionTable> owned(reinterpret_cast<FunctionTable*>(table));
  sqlite3_free(table->zErrMsg);
  return SQLITE_OK;
}

// The arguments are equality constraints on the hidden columns; a plan in
// which one of them cannot be known yet (it reads a table not scanned
// before this one) is refused, so SQLite scans the tables on the left first.
int BestIndex(sqlite3_vtab* table, sqlite3_index_info* info) {
  const int first = FunctionOf(table).resultColumns;
  const int count = FunctionOf(table).arguments;
  std::vector<int> constraintOf(static_cast<std::size_t>(count), -1);
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    const int argument = c.iColumn - first;
    if (argument < 0 || argument >= count) continue;
    if (c.op != SQLITE_INDEX_CONSTRAINT_EQ || !c.usable) return SQLITE_CONSTRAINT;
    constraintOf[static_cast<std::size_t>(argument)] = i;
  }
  // Which arguments are given: a '1' or '0' each, in the plan's idxStr.
  std::string given(static_cast<std::size_t>(count), '0');
  int next = 1;
  for (int a = 0; a < count; ++a) {
    const int i = constraintOf[static_cast<std::size_t>(a)];
    if (i < 0) continue;
    info->aConstraintUsage[i].argvIndex = next++;
    info->aConstraintUsage[i].omit = 1;
    given[static_cast<std::size_t>(a)] = '1';
  }
  info->idxStr = sqlite3_mprintf("%s", given.c_str());
  info->needToFreeIdxStr = 1;
  info->estimatedCost = 10;
  info->estimatedRows = 10;
  return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = &std::make_unique<FunctionCursor>().release()->base;  // SQLite owns it until Close
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  std::unique_ptr<FunctionCursor> owned(reinterpret_cast<FunctionCursor*>(cursor));
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* base, int, const char* given, int, sqlite3_value** argv) {
  auto* cursor = reinterpret_cast<FunctionCursor*>(base);
  const TableFunction& function = FunctionOf(base->pVtab);
  std::vector<sqlite3_value*> arguments(static_cast<std::size_t>(function.arguments), nullptr);
  int next = 0;
  for (int a = 0; a < function.arguments && given && given[a]; ++a) {
    if (given[a] == '1') arguments[static_cast<std::size_t>(a)] = argv[next++];
  }
  cursor->arguments.clear();
  for (sqlite3_value* v : arguments) {
    cursor->arguments.push_back(v ? ReadArg(v).value : StoredValue{});
  }
  cursor->row = 0;
  cursor->rows.clear();
  try {
    cursor->rows = function.rows(arguments);
  } catch (const DatabaseError& e) {
    SetError(base->pVtab, MessageWithNumber(SqlError{e.Number(), e.what()}));
    return SQLITE_ERROR;
  } catch (const std::exception& e) {
    SetError(base->pVtab, e.what());
    return SQLITE_ERROR;
  }
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* base) {
  ++reinterpret_cast<FunctionCursor*>(base)->row;
  return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* base) {
  const auto* cursor = reinterpret_cast<FunctionCursor*>(base);
  return cursor->row >= cursor->rows.size();
}

int Column(sqlite3_vtab_cursor* base, sqlite3_context* ctx, int column) {
  const auto* cursor = reinterpret_cast<FunctionCursor*>(base);
  const auto& values = cursor->rows[cursor->row];
  const auto index = static_cast<std::size_t>(column);
  if (index < values.size()) {
    ResultValue(ctx, values[index]);
  } else if (index >= static_cast<std::size_t>(FunctionOf(base->pVtab).resultColumns)) {
    const std::size_t argument = index - FunctionOf(base->pVtab).resultColumns;
    ResultValue(ctx, cursor->arguments.at(argument));
  } else {
    sqlite3_result_null(ctx);
  }
  return SQLITE_OK;
}

int RowId(sqlite3_vtab_cursor* base, sqlite3_int64* out) {
  *out = static_cast<sqlite3_int64>(reinterpret_cast<FunctionCursor*>(base)->row + 1);
  return SQLITE_OK;
}

sqlite3_module MakeModule() {
  sqlite3_module m{};
  m.iVersion = 0;
  m.xCreate = nullptr;  // eponymous only: no CREATE VIRTUAL TABLE
  m.xConnect = Connect;
  m.xBestIndex = BestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;
  m.xOpen = Open;
  m.xClose = Close;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = Column;
  m.xRowid = RowId;
  return m;
}

const sqlite3_module kModule = MakeModule();

void DestroyFunction(void* function) {
  std::unique_ptr<TableFunction> owned(static_cast<TableFunction*>(function));
}

}  // namespace

void RegisterTableFunction(sqlite3* db, TableFunction function) {
  auto owned = std::make_unique<TableFunction>(std::move(function));
  const std::string name = owned->name;
  // SQLite owns the description from here and destroys it with the connection.
  sqlite3_create_module_v2(db, name.c_str(), &kModule, owned.release(), DestroyFunction);
}

}  // namespace moltaro::db::embedded
