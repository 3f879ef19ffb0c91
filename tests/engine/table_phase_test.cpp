#include "engine/table_phase.h"

#include "scripted_run.h"

namespace moltaro::engine {
namespace {

using testing::Rows;
using Strings = std::vector<std::string>;
using I = std::int64_t;

constexpr const char* kHeads =
    "select ID, NEV from ZMP_OBJ_FEJ where VERZIO<>'T' and TIPUS='T' order by NEV";
constexpr const char* kColumns =
    "select ID, NEV from ZMP_OBJ_GYEREK where FEJ_ID=:xFEJ_ID order by SOR";
constexpr const char* kCatalogueColumn =
    "select ID, NEV, TIPUS, HOSSZ, TIZEDES, NOTNULL, DEFLT \r\n"
    "from ZMP_OBJ_GYEREK where ID=:xID";
constexpr const char* kExists = "select id from dbo.sysobjects where xtype='U' and NAME=:xNAME";
constexpr const char* kTargetLookup =
    "select c.name cname, a.id, a.name aname, a.colid\r\n"
    "  from dbo.syscolumns a, dbo.sysobjects c\r\n"
    " where a.id=c.id and c.name = :xCNAME and a.NAME=:xANAME";
constexpr const char* kTargetColumn =
    "select a.id, a.name, a.xtype, a.typestat, a.length, a.prec, a.xprec, a.xscale,\r\n"
    "       a.colid, b.name bname\r\n"
    "  from dbo.syscolumns a, dbo.systypes b\r\n"
    " where a.xtype=b.xtype and a.id=:xid and a.colid=:xcolid";
constexpr const char* kCatalogueDefault =
    "select a.nev anev, b.nev bnev, b.id, b.tipus, b.deflt from zmp_obj_fej a, zmp_obj_gyerek "
    "b\r\n"
    " where a.id = b.fej_id and a.nev=:xanev and b.nev = :xbnev";
constexpr const char* kTargetDefault =
    "select c.text from sysobjects a, syscolumns b, syscomments c where a.id = b.id and "
    "b.cdefault = c.id\r\n"
    "   and a.name = :xanev and b.name = :xbnev";
constexpr const char* kConstraint =
    "select c.name from sysobjects a, syscolumns b, sysobjects c where a.id = b.id and "
    "b.cdefault = c.id\r\n"
    "   and a.name = :xanev and b.name = :xbnev";

db::Value T(const char* text) {
  return std::string(text);
}

class TablePhaseTest : public testing::ScriptedRunTest {
 protected:
  void CatalogueColumn(I id, const char* name, I type, I length, I scale, const char* notNull,
                       const char* deflt) {
    server.Answer(kCatalogueColumn, {id},
                  Rows({"ID", "NEV", "TIPUS", "HOSSZ", "TIZEDES", "NOTNULL", "DEFLT"},
                       {{id, T(name), type, length, scale, T(notNull), T(deflt)}}));
  }
  void TargetColumn(const char* table, const char* name, I id, I colid, I xtype, I typestat,
                    I length, I prec, I xprec, I xscale) {
    server.Answer(kTargetLookup, {T(table), T(name)},
                  Rows({"cname", "id", "aname", "colid"}, {{T(table), id, T(name), colid}}));
    server.Answer(
        kTargetColumn, {id, colid},
        Rows({"id", "name", "xtype", "typestat", "length", "prec", "xprec", "xscale", "colid",
              "bname"},
             {{id, T(name), xtype, typestat, length, prec, xprec, xscale, colid, T("x")}}));
  }
  void Defaults(const char* table, const char* column, I childId, const char* wanted,
                const char* current) {
    server.Answer(kCatalogueDefault, {T(table), T(column)},
                  Rows({"anev", "bnev", "id", "tipus", "deflt"},
                       {{T(table), T(column), childId, I{56}, T(wanted)}}));
    if (*current != '\0') {
      server.Answer(kTargetDefault, {T(table), T(column)}, Rows({"text"}, {{T(current)}}));
    }
  }
};

class ColumnRebuildTest : public TablePhaseTest {
 protected:
  ColumnRebuildTest() {
    CatalogueColumn(12, "AR", 108, 12, 2, "I", "(0)");
    Defaults("ZMP_A", "AR", 12, "(0)", "");
    server.Answer(kConstraint, {T("ZMP_A"), T("AR_qxq")}, Rows({"name"}, {{T("DF_AR_qxq")}}));
  }
  const Strings kAllSteps = {
      "begin transaction",
      "alter table ZMP_A add AR_qxq Numeric(12,2) NULL default (0)",
      "update ZMP_A set AR_qxq=AR",
      "alter table ZMP_A drop column AR",
      "alter table ZMP_A add AR Numeric(12,2) NOT NULL default (0)",
      "update ZMP_A set AR=AR_qxq",
      "alter table ZMP_A drop constraint DF_AR_qxq",
      "alter table ZMP_A drop column AR_qxq",
      "commit transaction",
  };
  const std::string kRollback = "if @@trancount > 0 rollback transaction";
};

TEST_F(ColumnRebuildTest, RebuildsAColumnWhoseDefaultDiffers) {
  ReconcileDefault(run, "ZMP_A", "AR");
  EXPECT_EQ(server.Executed(), kAllSteps);
  EXPECT_FALSE(run.state.Failed);
}

TEST_F(ColumnRebuildTest, ADefaultOnlyTheTargetHasStays) {
  Defaults("ZMP_A", "AR", 12, "", "(5)");
  ReconcileDefault(run, "ZMP_A", "AR");
  EXPECT_TRUE(server.Executed().empty());
}

// The values live only in AR_qxq once AR is dropped: a failed re-add ends
// the rebuild and rolls every step back, so AR stays as it was.
TEST_F(ColumnRebuildTest, AFailedStepRollsTheWholeRebuildBack) {
  server.Fail(kAllSteps[4], "ALTER TABLE only allows columns to be added that can contain nulls.");
  ReconcileDefault(run, "ZMP_A", "AR");
  Strings expected(kAllSteps.begin(), kAllSteps.begin() + 5);
  expected.push_back(kRollback);
  EXPECT_EQ(server.Executed(), expected);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError, "Hiba a vezió váltás közben !");
  const Strings log = LogLines();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1], " Utasítás : " + kAllSteps[4]);
  EXPECT_EQ(log[3],
            " A(z) ZMP_A.AR oszlop átépítése visszavonva, az oszlop és értékei változatlanok.");
}

TEST_F(ColumnRebuildTest, AConstraintThatCannotBeDroppedStopsTheRebuild) {
  server.Answer(kConstraint, {T("ZMP_A"), T("AR")}, Rows({"name"}, {{T("DF_AR")}}));
  server.Fail("alter table ZMP_A drop constraint DF_AR", "Permission denied.");
  ReconcileDefault(run, "ZMP_A", "AR");
  EXPECT_EQ(server.Executed(), (Strings{kAllSteps[0], kAllSteps[1], kAllSteps[2],
                                        "alter table ZMP_A drop constraint DF_AR", kRollback}));
  EXPECT_TRUE(run.state.Failed);
}

TEST_F(TablePhaseTest, AnExistingColumnNamedWithDefaultIsComparedWhole) {
  server.Answer(kHeads, Rows({"ID", "NEV"}, {{I{10}, T("ZMP_A")}}));
  server.Answer(kExists, {T("ZMP_A")}, Rows({"id"}, {{I{500}}}));
  server.Answer(kColumns, {I{10}}, Rows({"ID", "NEV"}, {{I{11}, T("is_default")}}));
  CatalogueColumn(11, "is_default", 48, 0, 0, "I", "(0)");
  TargetColumn("ZMP_A", "is_default", 500, 1, 48, 1, 1, 3, 3, 0);
  Defaults("ZMP_A", "is_default", 11, "(0)", "(0)");
  ReconcileTables(run);
  EXPECT_TRUE(server.Executed().empty());
  EXPECT_FALSE(run.state.Failed);
}

}  // namespace
}  // namespace moltaro::engine
