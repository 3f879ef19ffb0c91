#include "engine/table_phase.h"

#include "common/text.h"
#include "engine/column_rebuild.h"
#include "engine/db_values.h"
#include "engine/system_tables.h"

namespace moltaro::engine {

namespace {

constexpr const char* kTableHeadsQuery =
    "select ID, NEV from ZMP_OBJ_FEJ where VERZIO<>'T' and TIPUS='T' order by NEV";
constexpr const char* kColumnsQuery =
    "select ID, NEV from ZMP_OBJ_GYEREK where FEJ_ID=:xFEJ_ID order by SOR";
constexpr const char* kTargetColumnQuery =
    "select c.name cname, a.id, a.name aname, a.colid\r\n"
    "  from dbo.syscolumns a, dbo.sysobjects c\r\n"
    " where a.id=c.id and c.name = :xCNAME and a.NAME=:xANAME";
constexpr const char* kCatalogueDefaultQuery =
    "select a.nev anev, b.nev bnev, b.id, b.tipus, b.deflt from zmp_obj_fej a, zmp_obj_gyerek b\r\n"
    " where a.id = b.fej_id and a.nev=:xanev and b.nev = :xbnev";
constexpr const char* kTargetDefaultQuery =
    "select c.text from sysobjects a, syscolumns b, syscomments c where a.id = b.id and "
    "b.cdefault = c.id\r\n"
    "   and a.name = :xanev and b.name = :xbnev";

struct CatalogueChild {
  std::int64_t id;
  std::string nev;
};

std::vector<CatalogueChild> ColumnsOf(RunContext& run, std::int64_t headId) {
  db::ResultSet rows = run.dbForras->Query(kColumnsQuery, {headId});
  std::vector<CatalogueChild> columns;
  for (; !rows.Eof(); rows.Next()) columns.push_back({WholeNumber(rows, "ID"), rows.Text("NEV")});
  return columns;
}

// The statement that brings an existing table's column in line with the
// catalogue; empty when nothing differs.
struct ColumnChange {
  std::string statement;
  bool alters = false;  // an "alter column" rather than an "add"
};

ColumnChange ColumnStatement(RunContext& run, const std::string& table,
                             const CatalogueChild& child) {
  const db::ResultSet target = run.dbCel->Query(kTargetColumnQuery, {table, child.nev});
  const CatalogueColumn catalogue = CatalogueColumnDefinition(run, child.id);
  if (target.Eof()) return {"alter table " + table + " add " + catalogue.Full(), false};
  const std::string current =
      TargetColumnDefinition(run, WholeNumber(target, "id"), WholeNumber(target, "colid"));
  if (Trim(catalogue.definition) == Trim(current)) return {};
  return {"alter table " + table + " alter column " + catalogue.definition, true};
}

void ReconcileExistingTable(RunContext& run, const std::string& table, std::int64_t headId) {
  const std::vector<CatalogueChild> children = ColumnsOf(run, headId);
  RecoverInterruptedRebuilds(
      run, table, [&run, &children](const std::string& column) -> std::optional<CatalogueColumn> {
        for (const CatalogueChild& child : children) {
          if (EqualsIgnoreCaseAscii(Trim(child.nev), column)) {
            return CatalogueColumnDefinition(run, child.id);
          }
        }
        return std::nullopt;
      });
  for (const CatalogueChild& child : children) {
    const ColumnChange change = ColumnStatement(run, table, child);
    bool done = true;
    if (change.alters) {
      done = AlterColumn(run, table, Trim(child.nev), change.statement);
    } else if (!change.statement.empty()) {
      done = run.ExecuteStatement(change.statement, kFatal);
    }
    // A column the server would not alter is not rebuilt either: its
    // values may not fit what the catalogue asks for, and the run fails on
    // the alteration already.
    if (done) ReconcileDefault(run, Trim(table), Trim(child.nev));
  }
}

// A run may not end well while a rebuild's temporary column holds values.
void CheckNoTemporaryColumns(RunContext& run, const std::vector<std::string>& tables) {
  for (const std::string& leftover : LeftoverTemporaryColumns(run, tables)) {
    run.Fail("A(z) " + leftover +
             " ideiglenes oszlop megmaradt egy oszlop átépítéséből; a verzióváltás nem "
             "fejeződött be.");
    run.WriteLog(" " + run.state.LastError);
  }
}

void CreateTable(RunContext& run, const std::string& table, std::int64_t headId) {
  std::vector<CatalogueColumn> columns;
  for (const CatalogueChild& child : ColumnsOf(run, headId)) {
    columns.push_back(CatalogueColumnDefinition(run, child.id));
  }
  run.ExecuteStatement(CreateTableStatement(table, columns), kFatal);
}

}  // namespace

std::string CreateTableStatement(std::string_view tableName,
                                 const std::vector<CatalogueColumn>& columns) {
  std::string statement = "create table " + ToUpperAscii(tableName) + "(";
  for (const CatalogueColumn& column : columns) statement += column.Full() + ",\r\n";
  statement += ")";
  return ReplaceAll(statement, ",\r\n)", ")");
}

void ReconcileTables(RunContext& run) {
  db::ResultSet heads = run.dbForras->Query(kTableHeadsQuery);
  std::vector<std::string> tables;
  for (; !heads.Eof(); heads.Next()) {
    const std::string table = heads.Text("NEV");
    tables.push_back(table);
    const std::int64_t headId = WholeNumber(heads, "ID");
    run.ShowStatus(ValtLabel::lObj, table);
    run.WriteLog(table);
    if (TableExists(run, table)) {
      ReconcileExistingTable(run, table, headId);
    } else {
      CreateTable(run, table, headId);
    }
    run.StepProgress();
  }
  CheckNoTemporaryColumns(run, tables);
}

void ReconcileDefault(RunContext& run, const std::string& table, const std::string& column) {
  const db::ResultSet catalogue = run.dbCel->Query(kCatalogueDefaultQuery, {table, column});
  const std::string wanted = Trim(catalogue.Text("deflt"));
  if (wanted.empty()) return;  // a default only the target has stays
  const std::string current = run.dbCel->Query(kTargetDefaultQuery, {table, column}).Text("text");
  if (wanted == current) return;

  RebuildColumn(run, table, column, CatalogueColumnDefinition(run, WholeNumber(catalogue, "id")));
}

}  // namespace moltaro::engine
