#include "engine/column_rebuild.h"

#include <optional>

#include "common/text.h"
#include "db/errors.h"
#include "engine/column_dependents.h"
#include "engine/db_values.h"

namespace moltaro::engine {

namespace {

constexpr const char* kDefaultConstraintQuery =
    "select c.name from sysobjects a, syscolumns b, sysobjects c where a.id = b.id and "
    "b.cdefault = c.id\r\n"
    "   and a.name = :xanev and b.name = :xbnev";
constexpr const char* kTableColumnsQuery =
    "select b.name, b.colid from sysobjects a, syscolumns b\r\n"
    " where a.id = b.id and a.name = :xanev order by b.colid";
constexpr const char* kTemporaryColumnsQuery =
    "select a.name tname, b.name cname from sysobjects a, syscolumns b\r\n"
    " where a.id = b.id and a.xtype = 'U' and b.name like '%qxq'";

struct TargetColumn {
  std::string name;
  std::int64_t colid = 0;
};

bool IsTemporaryName(std::string_view name) {
  const std::string_view suffix = kTemporaryColumnSuffix;
  return name.size() > suffix.size() &&
         EqualsIgnoreCaseAscii(name.substr(name.size() - suffix.size()), suffix);
}

std::vector<TargetColumn> TargetColumns(RunContext& run, const std::string& table) {
  db::ResultSet rows = run.dbCel->Query(kTableColumnsQuery, {table});
  std::vector<TargetColumn> columns;
  for (; !rows.Eof(); rows.Next()) {
    if (rows.IsNull("name")) continue;
    columns.push_back({rows.Text("name"), WholeNumber(rows, "colid")});
  }
  return columns;
}

const TargetColumn* FindColumn(const std::vector<TargetColumn>& columns, std::string_view name) {
  for (const TargetColumn& column : columns) {
    if (EqualsIgnoreCaseAscii(column.name, name)) return &column;
  }
  return nullptr;
}

// One transaction on dbCel around a group of statements. Unless committed it
// is rolled back when it goes out of scope; the server has undone it already
// when a failing statement ended it.
class RebuildTransaction {
 public:
  explicit RebuildTransaction(RunContext& run)
      : run_(run), open_(run.ExecuteStatement("begin transaction", kFatal)) {}
  ~RebuildTransaction() {
    if (!open_) return;
    try {
      run_.dbCel->Execute("if @@trancount > 0 rollback transaction");
    } catch (const db::DatabaseError& error) {
      // Closing the session rolls it back in any case.
      run_.WriteLog(std::string(" A visszagörgetés hibája: ") + error.what());
    }
  }
  RebuildTransaction(const RebuildTransaction&) = delete;
  RebuildTransaction& operator=(const RebuildTransaction&) = delete;

  bool Open() const { return open_; }
  bool Commit() {
    open_ = !run_.ExecuteStatement("commit transaction", kFatal);
    return !open_;
  }

 private:
  RunContext& run_;
  bool open_;
};

bool RunSteps(RunContext& run, const std::vector<std::string>& statements) {
  for (const std::string& statement : statements) {
    if (!run.ExecuteStatement(statement, kFatal)) return false;
  }
  return true;
}

// Copies the kept values back into the column and drops the temporary
// column: the end of a rebuild that stopped after the column was re-added or
// dropped. Rows the temporary column holds no value for keep the column's own.
bool FinishRebuild(RunContext& run, const std::string& table, const std::string& column,
                   const std::string& temporary, const std::optional<std::string>& addColumn) {
  RebuildTransaction transaction(run);
  if (!transaction.Open()) return false;
  std::vector<std::string> steps;
  if (addColumn) steps.push_back("alter table " + table + " add " + *addColumn);
  steps.push_back("update " + table + " set " + column + "=" + temporary + " where " + temporary +
                  " is not null");
  if (!RunSteps(run, steps) || !DropColumn(run, table, temporary)) return false;
  return transaction.Commit();
}

// The definition to re-add a dropped column with: the catalogue's, or, for a
// column the catalogue no longer lists, the temporary column's type.
std::optional<std::string> ReAddDefinition(RunContext& run, const std::string& table,
                                           const std::string& column, const TargetColumn& temporary,
                                           const CatalogueLookup& catalogue) {
  if (const std::optional<CatalogueColumn> definition = catalogue(column)) {
    return definition->Full();
  }
  const db::ResultSet head =
      run.dbCel->Query("select id from sysobjects where name = :xanev", {table});
  const std::string current = TargetColumnDefinition(run, WholeNumber(head, "id"), temporary.colid);
  const std::string type = Trim(current.substr(std::min(current.size(), temporary.name.size())));
  const std::string nullable = ReplaceAll(type, " NOT NULL", " NULL");
  if (nullable.empty()) return std::nullopt;
  return column + " " + nullable;
}

}  // namespace

bool RebuildColumn(RunContext& run, const std::string& table, const std::string& column,
                   const CatalogueColumn& definition) {
  const std::string full = definition.Full();
  const std::string nullable = ReplaceAll(full, " NOT NULL", " NULL");
  const std::string temporaryDefinition =
      nullable.substr(Utf8Left(nullable, Utf8Length(column)).size());
  const std::string temporary = column + kTemporaryColumnSuffix;

  RebuildTransaction transaction(run);
  if (!transaction.Open()) return false;
  // Indexes on the column would stop it being dropped: they step aside and
  // come back on the rebuilt column as they were.
  const ColumnDependents dependents = DependentsOf(run, table, column);
  const bool rebuilt =
      RunSteps(run, {"alter table " + table + " add " + temporary + temporaryDefinition,
                     "update " + table + " set " + temporary + "=" + column}) &&
      DropDependents(run, table, dependents, false) && DropColumn(run, table, column) &&
      RunSteps(run, {"alter table " + table + " add " + full,
                     "update " + table + " set " + column + "=" + temporary}) &&
      DropColumn(run, table, temporary) &&
      RestoreDependents(run, table, column, dependents, false) && transaction.Commit();
  if (!rebuilt) {
    run.WriteLog(" A(z) " + table + "." + column +
                 " oszlop átépítése visszavonva, az oszlop és értékei változatlanok.");
  }
  return rebuilt;
}

bool AlterColumn(RunContext& run, const std::string& table, const std::string& column,
                 const std::string& statement) {
  const ColumnDependents dependents = DependentsOf(run, table, column);
  if (dependents.Empty()) return run.ExecuteStatement(statement, kFatal);
  RebuildTransaction transaction(run);
  if (!transaction.Open()) return false;
  const bool altered =
      DropDependents(run, table, dependents, true) && run.ExecuteStatement(statement, kFatal) &&
      RestoreDependents(run, table, column, dependents, true) && transaction.Commit();
  if (!altered) {
    run.WriteLog(" A(z) " + table + "." + column +
                 " oszlop módosítása visszavonva, az oszlop, alapértéke és indexei változatlanok.");
  }
  return altered;
}

void RecoverInterruptedRebuilds(RunContext& run, const std::string& table,
                                const CatalogueLookup& catalogue) {
  const std::vector<TargetColumn> columns = TargetColumns(run, table);
  for (const TargetColumn& temporary : columns) {
    if (!IsTemporaryName(temporary.name)) continue;
    const std::string column = temporary.name.substr(
        0, temporary.name.size() - std::string_view(kTemporaryColumnSuffix).size());
    const TargetColumn* original = FindColumn(columns, column);
    const std::string where = " A(z) " + table + "." + column + " oszlop félbemaradt átépítése";
    bool resolved = false;
    if (original && original->colid < temporary.colid) {
      // Stopped before the column was dropped: the column still holds
      // every value, the copy is surplus.
      run.WriteLog(where + ": az oszlop ép, a(z) " + temporary.name + " oszlop törlése.");
      resolved = DropColumn(run, table, temporary.name);
    } else if (original) {
      // Stopped after the column was re-added: its values are in the copy.
      run.WriteLog(where + ": az értékek visszamásolása a(z) " + temporary.name + " oszlopból.");
      resolved = FinishRebuild(run, table, original->name, temporary.name, std::nullopt);
    } else if (const auto definition = ReAddDefinition(run, table, column, temporary, catalogue)) {
      // Stopped after the column was dropped: the copy holds the only values.
      run.WriteLog(where + ": az oszlop újra létrehozása a(z) " + temporary.name +
                   " oszlop értékeivel.");
      resolved = FinishRebuild(run, table, column, temporary.name, definition);
    }
    if (!resolved) {
      run.Fail("A(z) " + table + "." + temporary.name +
               " ideiglenes oszlop nem dolgozható fel; az oszlop értékei benne maradtak.");
      run.WriteLog(" " + run.state.LastError);
    }
  }
}

std::vector<std::string> LeftoverTemporaryColumns(RunContext& run,
                                                  const std::vector<std::string>& tables) {
  std::vector<std::string> leftovers;
  db::ResultSet rows = run.dbCel->Query(kTemporaryColumnsQuery);
  for (; !rows.Eof(); rows.Next()) {
    if (rows.IsNull("cname")) continue;
    const std::string table = rows.Text("tname");
    const std::string column = rows.Text("cname");
    if (!IsTemporaryName(column)) continue;
    for (const std::string& wanted : tables) {
      if (EqualsIgnoreCaseAscii(Trim(wanted), table)) {
        leftovers.push_back(table + "." + column);
        break;
      }
    }
  }
  return leftovers;
}

bool DropColumn(RunContext& run, const std::string& table, const std::string& column) {
  const std::string constraint =
      run.dbCel->Query(kDefaultConstraintQuery, {table, column}).Text("name");
  if (!constraint.empty() &&
      !run.ExecuteStatement("alter table " + table + " drop constraint " + constraint, kFatal)) {
    return false;
  }
  return run.ExecuteStatement("alter table " + table + " drop column " + column, kFatal);
}

}  // namespace moltaro::engine
