#include "engine/table_phase.h"

#include "common/text.h"
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
constexpr const char* kDefaultConstraintQuery =
    "select c.name from sysobjects a, syscolumns b, sysobjects c where a.id = b.id and "
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
std::string ColumnStatement(RunContext& run, const std::string& table,
                            const CatalogueChild& child) {
  const db::ResultSet target = run.dbCel->Query(kTargetColumnQuery, {table, child.nev});
  const CatalogueColumn catalogue = CatalogueColumnDefinition(run, child.id);
  if (target.Eof()) return "alter table " + table + " add " + catalogue.Full();
  const std::string current =
      TargetColumnDefinition(run, WholeNumber(target, "id"), WholeNumber(target, "colid"));
  if (Trim(catalogue.definition) == Trim(current)) return {};
  return "alter table " + table + " alter column " + catalogue.definition;
}

void ReconcileExistingTable(RunContext& run, const std::string& table, std::int64_t headId) {
  for (const CatalogueChild& child : ColumnsOf(run, headId)) {
    const std::string statement = ColumnStatement(run, table, child);
    if (!statement.empty()) run.ExecuteStatement(statement, kFatal);
    ReconcileDefault(run, Trim(table), Trim(child.nev));
  }
}

void CreateTable(RunContext& run, const std::string& table, std::int64_t headId) {
  std::vector<CatalogueColumn> columns;
  for (const CatalogueChild& child : ColumnsOf(run, headId)) {
    columns.push_back(CatalogueColumnDefinition(run, child.id));
  }
  run.ExecuteStatement(CreateTableStatement(table, columns), kFatal);
}

// Moves the values into a temporary column, re-adds the column as the
// catalogue defines it and moves them back. Each step needs the one before
// it: in particular the temporary column must not be dropped unless the
// values are back in the rebuilt column.
void RebuildColumn(RunContext& run, const std::string& table, const std::string& column,
                   const CatalogueColumn& definition) {
  const std::string full = definition.Full();
  const std::string nullable = ReplaceAll(full, " NOT NULL", " NULL");
  const std::string temporaryDefinition =
      nullable.substr(Utf8Left(nullable, Utf8Length(column)).size());
  const std::string temporary = column + kTemporaryColumnSuffix;

  if (!run.ExecuteStatement("alter table " + table + " add " + temporary + temporaryDefinition,
                            kFatal)) {
    return;
  }
  if (!run.ExecuteStatement("update " + table + " set " + temporary + "=" + column, kFatal)) {
    return;
  }
  if (!DropColumn(run, table, column)) return;
  if (!run.ExecuteStatement("alter table " + table + " add " + full, kFatal)) return;
  if (!run.ExecuteStatement("update " + table + " set " + column + "=" + temporary, kFatal)) {
    return;
  }
  DropColumn(run, table, temporary);
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
  for (; !heads.Eof(); heads.Next()) {
    const std::string table = heads.Text("NEV");
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
}

void ReconcileDefault(RunContext& run, const std::string& table, const std::string& column) {
  const db::ResultSet catalogue = run.dbCel->Query(kCatalogueDefaultQuery, {table, column});
  const std::string wanted = Trim(catalogue.Text("deflt"));
  if (wanted.empty()) return;  // a default only the target has stays
  const std::string current = run.dbCel->Query(kTargetDefaultQuery, {table, column}).Text("text");
  if (wanted == current) return;

  RebuildColumn(run, table, column, CatalogueColumnDefinition(run, WholeNumber(catalogue, "id")));
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
