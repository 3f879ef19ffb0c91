#include "engine/system_tables.h"

#include <string>

namespace moltaro::engine {

namespace {

constexpr const char* kTableExistsQuery =
    "select id from dbo.sysobjects where xtype='U' and NAME=:xNAME";

// Drops the table when present and creates it afresh, both fatal on failure.
void RecreateTable(RunContext& run, const char* name, const char* createStatement) {
  run.ShowStatus(ValtLabel::lObj, name);
  if (TableExists(run, name)) run.ExecuteStatement(std::string("drop table ") + name, kFatal);
  run.ExecuteStatement(createStatement, kFatal);
}

void EnsureVersionTable(RunContext& run) {
  run.ShowStatus(ValtLabel::lObj, "ZMP_OBJ_VER");
  if (TableExists(run, "ZMP_OBJ_VER")) {
    // Databases of earlier versions lack this column; elsewhere it already
    // exists and the statement fails harmlessly.
    run.ExecuteStatement("alter table ZMP_OBJ_VER add exever nvarchar(10)", kTolerated);
  } else {
    run.ExecuteStatement(
        "create table ZMP_OBJ_VER (szam nvarchar(10),datum datetime,szoveg nvarchar(100),"
        "exever nvarchar(10))",
        kFatal);
  }
  run.WriteLog("ZMP_OBJ_VER Ok");
}

// Creates a one-column table when missing and gives it its first row when it
// has none (or only NULL).
void EnsureSeededTable(RunContext& run, const char* name, const char* createStatement,
                       const char* readStatement, const char* column,
                       const std::string& seedStatement) {
  run.ShowStatus(ValtLabel::lObj, name);
  if (!TableExists(run, name)) run.ExecuteStatement(createStatement, kFatal);
  if (!run.state.Failed) {
    if (run.dbCel->Query(readStatement).Text(column).empty()) run.dbCel->Execute(seedStatement);
  }
  run.WriteLog(std::string(name) + " Ok");
}

void RewriteLoginTable(RunContext& run) {
  RecreateTable(run, "ZMP_SYS_SA",
                "create table ZMP_SYS_SA (SANAME nvarchar(100), SAPWD nvarchar(100), "
                "SADB nvarchar(100), BENDE nvarchar(10))");
  run.dbCel->Execute(
      "insert into ZMP_SYS_SA (saname, sapwd, sadb, bende) values (:x1, :x2, :x3, :x4)",
      {run.state.LoginName, run.state.LoginPassword, run.state.TargetDatabase,
       std::string("NNNNNNNNNN")});
  run.WriteLog("ZMP_SYS_SA Ok");
}

// The phases look catalogue rows up by name, by kind, by id and by parent
// once for every object of the version; unindexed, a run costs the square of
// the schema's size.
void IndexCatalogue(RunContext& run) {
  for (const char* statement :
       {"create index ZMP_OBJ_FEJ_IX_ID on ZMP_OBJ_FEJ (id)",
        "create index ZMP_OBJ_FEJ_IX_NEV on ZMP_OBJ_FEJ (nev)",
        "create index ZMP_OBJ_FEJ_IX_TIPUS on ZMP_OBJ_FEJ (tipus)",
        "create index ZMP_OBJ_GYEREK_IX_ID on ZMP_OBJ_GYEREK (id)",
        "create index ZMP_OBJ_GYEREK_IX_FEJ_ID on ZMP_OBJ_GYEREK (fej_id, sor)"}) {
    run.ExecuteStatement(statement, kFatal);
  }
}

}  // namespace

bool TableExists(RunContext& run, std::string_view name) {
  const db::ResultSet result = run.dbCel->Query(kTableExistsQuery, {std::string(name)});
  return !result.IsNull("id");
}

void PrepareSystemTables(RunContext& run) {
  run.ShowStatus(ValtLabel::lMit, "OBJ");
  RecreateTable(run, "ZMP_OBJ_FEJ",
                "create table ZMP_OBJ_FEJ (id numeric(9), fej_id numeric(9), tipus nvarchar(1), "
                "nev nvarchar(30), hiba nvarchar(1), verzio nvarchar(1), sor numeric(9), "
                "utasit nvarchar(1))");
  run.WriteLog("ZMP_OBJ_FEJ Ok");
  RecreateTable(run, "ZMP_OBJ_GYEREK",
                "create table ZMP_OBJ_GYEREK(id numeric(9), fej_id numeric(9), "
                "gyerek_id numeric(9), sor numeric(4), nev nvarchar(30), tipus numeric(4), "
                "hossz numeric(4), tizedes numeric(4), notnull nvarchar(1), deflt nvarchar(100))");
  run.WriteLog("ZMP_OBJ_GYEREK Ok");
  RecreateTable(run, "ZMP_OBJ_SZOVEG",
                "create table ZMP_OBJ_SZOVEG (fej_id numeric(9), sor numeric(4), "
                "szoveg nvarchar(4000))");
  run.WriteLog("ZMP_OBJ_SZOVEG Ok");
  IndexCatalogue(run);
  EnsureVersionTable(run);
  EnsureSeededTable(run, "ZMP_SYS_ID_SEQ", "create table ZMP_SYS_ID_SEQ (id decimal(9))",
                    "select ID from ZMP_SYS_ID_SEQ", "ID",
                    "insert into zmp_sys_id_seq (id) values (" + std::to_string(10000) + ")");
  EnsureSeededTable(run, "ZMP_DUAL", "create table ZMP_DUAL (dual nvarchar(1))",
                    "select dual from ZMP_DUAL", "DUAL",
                    "insert into zmp_dual (dual) values ('X')");
  RewriteLoginTable(run);
  run.ShowStatus(ValtLabel::lMit, "");
  run.ShowStatus(ValtLabel::lObj, "");
}

}  // namespace moltaro::engine
