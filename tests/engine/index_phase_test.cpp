#include "engine/index_phase.h"

#include "scripted_run.h"

namespace moltaro::engine {
namespace {

using testing::Rows;
using Strings = std::vector<std::string>;
using I = std::int64_t;

constexpr const char* kHeads =
    "select a.ID, a.NEV anev, b.NEV bnev\r\n"
    "  from ZMP_OBJ_FEJ a, ZMP_OBJ_FEJ b\r\n"
    " where a.VERZIO<>'T' and a.TIPUS='I' and a.FEJ_ID=b.ID\r\n"
    " order by a.NEV";
constexpr const char* kCatalogueKeys =
    "select a.ID, b.NEV from ZMP_OBJ_GYEREK a, ZMP_OBJ_GYEREK b\r\n"
    " where a.FEJ_ID=:xFEJ_ID and a.GYEREK_ID=b.ID\r\n"
    " order by a.SOR";
constexpr const char* kExists = "select ID, NAME from SYSINDEXES where NAME=:xNAME and INDID<>0";
constexpr const char* kTargetKeys =
    "select a.id, a.indid, a.name aname, b.keyno, c.name cname\r\n"
    "  from sysindexes a, sysindexkeys b, syscolumns c\r\n"
    " where a.name = :xNAME and a.indid <> 0 and a.id = b.id\r\n"
    "   and a.indid=b.indid and b.id = c.id and b.colid = c.colid\r\n"
    "order by a.indid, b.keyno";

db::Value T(const char* text) {
  return std::string(text);
}

class IndexPhaseTest : public testing::ScriptedRunTest {
 protected:
  void CatalogueKeys(I index, Strings names) {
    std::vector<std::vector<db::Value>> rows;
    for (const std::string& name : names) rows.push_back({I{0}, name});
    server.Answer(kCatalogueKeys, {index}, Rows({"ID", "NEV"}, rows));
  }
  void TargetIndex(const char* name, Strings keys) {
    server.Answer(kExists, {T(name)}, Rows({"ID", "NAME"}, {{I{900}, T(name)}}));
    std::vector<std::vector<db::Value>> rows;
    for (const std::string& key : keys) rows.push_back({I{900}, I{2}, T(name), I{1}, key});
    server.Answer(kTargetKeys, {T(name)}, Rows({"id", "indid", "aname", "keyno", "cname"}, rows));
  }
};

TEST_F(IndexPhaseTest, RebuildsChangedIndexesCreatesMissingOnesAndToleratesFailures) {
  server.Answer(kHeads, Rows({"ID", "anev", "bnev"}, {{I{110}, T("IX_A"), T("ZMP_A")},
                                                      {I{120}, T("IX_B"), T("ZMP_A")},
                                                      {I{130}, T("IX_C"), T("ZMP_B")}}));
  CatalogueKeys(110, {"ID", "AR"});
  CatalogueKeys(120, {"ID"});
  CatalogueKeys(130, {"NEV"});
  TargetIndex("IX_A", {"AR", "ID"});  // same columns, other order
  TargetIndex("IX_B", {"ID"});
  server.Fail("create index IX_C on ZMP_B (NEV)", "Column name 'NEV' does not exist.");
  run.SetProgressRange(0, 3);

  ReconcileIndexes(run);

  EXPECT_EQ(server.Executed(),
            (Strings{"drop index ZMP_A.IX_A", "create index IX_A on ZMP_A (ID,AR)",
                     "create index IX_C on ZMP_B (NEV)"}));
  EXPECT_EQ(LogLines(), (Strings{"IX_A", "IX_A", "IX_B", "IX_B", "IX_C", "IX_C", " HIBA  (elmegy)",
                                 " Utasítás : create index IX_C on ZMP_B (NEV)",
                                 " Column name 'NEV' does not exist."}));
  EXPECT_FALSE(run.state.Failed);
  EXPECT_EQ(display.position, 3);
}

// Two target indexes of one name on different tables list all their keys,
// so the lists differ and the catalogue's index is made again.
TEST_F(IndexPhaseTest, ANameUsedOnTwoTablesIsRebuilt) {
  server.Answer(kHeads, Rows({"ID", "anev", "bnev"}, {{I{110}, T("IX_ID"), T("ZMP_A")}}));
  CatalogueKeys(110, {"ID"});
  TargetIndex("IX_ID", {"ID", "ID"});
  ReconcileIndexes(run);
  EXPECT_EQ(server.Executed(),
            (Strings{"drop index ZMP_A.IX_ID", "create index IX_ID on ZMP_A (ID)"}));
}

}  // namespace
}  // namespace moltaro::engine
