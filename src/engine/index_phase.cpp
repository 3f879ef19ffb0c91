#include "engine/index_phase.h"

#include "engine/db_values.h"

namespace moltaro::engine {

namespace {

constexpr const char* kIndexHeadsQuery =
    "select a.ID, a.NEV anev, b.NEV bnev\r\n"
    "  from ZMP_OBJ_FEJ a, ZMP_OBJ_FEJ b\r\n"
    " where a.VERZIO<>'T' and a.TIPUS='I' and a.FEJ_ID=b.ID\r\n"
    " order by a.NEV";
constexpr const char* kCatalogueKeysQuery =
    "select a.ID, b.NEV from ZMP_OBJ_GYEREK a, ZMP_OBJ_GYEREK b\r\n"
    " where a.FEJ_ID=:xFEJ_ID and a.GYEREK_ID=b.ID\r\n"
    " order by a.SOR";
constexpr const char* kIndexExistsQuery =
    "select ID, NAME from SYSINDEXES where NAME=:xNAME and INDID<>0";
constexpr const char* kTargetKeysQuery =
    "select a.id, a.indid, a.name aname, b.keyno, c.name cname\r\n"
    "  from sysindexes a, sysindexkeys b, syscolumns c\r\n"
    " where a.name = :xNAME and a.indid <> 0 and a.id = b.id\r\n"
    "   and a.indid=b.indid and b.id = c.id and b.colid = c.colid\r\n"
    "order by a.indid, b.keyno";

constexpr const char* kIndexStatusQuery =
    "select status from SYSINDEXES where NAME=:xNAME and INDID<>0";
constexpr std::int64_t kUniqueIndex = 2;      // sysindexes.status
constexpr std::int64_t kClusteredIndex = 16;  // sysindexes.status

std::vector<std::string> Column(db::ResultSet rows, std::string_view name) {
  std::vector<std::string> values;
  for (; !rows.Eof(); rows.Next()) values.push_back(rows.Text(name));
  return values;
}

void ReconcileIndex(RunContext& run, std::int64_t id, const std::string& index,
                    const std::string& table) {
  run.ShowStatus(ValtLabel::lObj, index);
  run.WriteLog(index);
  bool missing = run.dbCel->Query(kIndexExistsQuery, {index}).IsNull("ID");
  run.WriteLog(index);
  const std::string wanted =
      KeyListText(Column(run.dbForras->Query(kCatalogueKeysQuery, {id}), "NEV"));
  // An index recreated with other keys keeps what the catalogue cannot say
  // of it: UNIQUE and CLUSTERED, as the target had it.
  std::string kind;
  if (!missing) {
    const std::string current =
        KeyListText(Column(run.dbCel->Query(kTargetKeysQuery, {index}), "cname"));
    if (current != wanted) {
      const std::int64_t status =
          WholeNumber(run.dbCel->Query(kIndexStatusQuery, {index}), "status");
      if ((status & kUniqueIndex) != 0) kind += "unique ";
      if ((status & kClusteredIndex) != 0) kind += "clustered ";
      run.ExecuteStatement("drop index " + table + "." + index, kTolerated);
      missing = true;
    }
  }
  if (missing) {
    run.ExecuteStatement("create " + kind + "index " + index + " on " + table + " " + wanted,
                         kTolerated);
  }
}

}  // namespace

std::string KeyListText(const std::vector<std::string>& keys) {
  std::string text = "(";
  for (const std::string& key : keys) text += key + ",";
  text.pop_back();
  return text + ")";
}

void ReconcileIndexes(RunContext& run) {
  db::ResultSet heads = run.dbForras->Query(kIndexHeadsQuery);
  for (; !heads.Eof(); heads.Next()) {
    ReconcileIndex(run, WholeNumber(heads, "ID"), heads.Text("anev"), heads.Text("bnev"));
    run.StepProgress();
  }
}

}  // namespace moltaro::engine
