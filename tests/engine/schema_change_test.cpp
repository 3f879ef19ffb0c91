#include <gtest/gtest.h>

#include <algorithm>

#include "db/errors.h"
#include "embedded_server_fixture.h"

namespace moltaro::engine {
namespace {

using Strings = std::vector<std::string>;

class SchemaChangeTest : public testing::EmbeddedServerTest {
 protected:
  // A version file: header and trailer around the records.
  static Strings Version(const std::string& number, Strings records) {
    records.insert(records.begin(), "$$V$$" + number + "$$");
    records.push_back("$$V$$" + number + "$$");
    return records;
  }

  std::string ColumnOrder(const std::string& table) {
    db::ResultSet columns = sql.Query(
        "select b.name from sysobjects a, syscolumns b where a.id = b.id and a.name = :t "
        "order by b.colid",
        {table});
    std::string names;
    for (; !columns.Eof(); columns.Next()) names += columns.Text("name") + " ";
    return names;
  }

  std::string DefaultText(const std::string& table, const std::string& column) {
    return sql
        .Query(
            "select c.text from sysobjects a, syscolumns b, syscomments c where a.id = b.id and "
            "b.cdefault = c.id and a.name = :t and b.name = :c",
            {table, column})
        .Text("text");
  }

  std::string IndexKeys(const std::string& index) {
    db::ResultSet keys = sql.Query(
        "select c.name from sysindexes a, sysindexkeys b, syscolumns c where a.name = :n and "
        "a.indid <> 0 and a.id = b.id and a.indid = b.indid and b.id = c.id and b.colid = c.colid "
        "order by b.keyno",
        {index});
    std::string names;
    for (; !keys.Eof(); keys.Next()) names += keys.Text("name") + " ";
    return names;
  }

  // The statements the run log reports as failed, but for the version
  // table's column that every rerun tries to add again.
  Strings FailedStatements() const {
    Strings failed;
    for (const std::string& line : LogLines()) {
      if (line.rfind(" Utasítás : ", 0) == 0 &&
          line != " Utasítás : alter table ZMP_OBJ_VER add exever nvarchar(10)") {
        failed.push_back(line);
      }
    }
    return failed;
  }
};

const Strings kArTable = {"$$T$$10$$ZMP_AR$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$"};

TEST_F(SchemaChangeTest, AChangedDefaultRebuildsTheColumnKeepingItsValues) {
  Strings v1 = kArTable;
  v1.push_back("$$t$$12$$10$$2$$AR$$108$$12$$2$$N$$$$");
  v1.push_back("$$t$$13$$10$$3$$MEGJ$$231$$20$$0$$N$$$$");
  ASSERT_FALSE(Upgrade(Version("1.0", v1))) << frame.LastError();
  sql.Execute("insert into ZMP_AR (ID, AR, MEGJ) values (1, 1234.5, N'első')");
  EXPECT_EQ(DefaultText("ZMP_AR", "AR"), "");

  Strings v2 = kArTable;
  v2.push_back("$$t$$12$$10$$2$$AR$$108$$12$$2$$N$$7$$");
  v2.push_back("$$t$$13$$10$$3$$MEGJ$$231$$20$$0$$N$$$$");
  ASSERT_FALSE(Upgrade(Version("1.1", v2))) << frame.LastError();
  EXPECT_EQ(FailedStatements(), Strings{});
  EXPECT_EQ(DefaultText("ZMP_AR", "AR"), "(7)");
  EXPECT_EQ(Scalar("select AR from ZMP_AR where ID = 1"), "1234.50");  // numeric(12,2)
  // The rebuilt column moves to the end; the temporary one is gone.
  EXPECT_EQ(ColumnOrder("ZMP_AR"), "ID MEGJ AR ");

  // Nothing differs any more: the next run leaves the column where it is.
  ASSERT_FALSE(Upgrade(Version("1.2", v2))) << frame.LastError();
  sql.Execute("insert into ZMP_AR (ID, MEGJ) values (2, N'második')");
  EXPECT_EQ(Scalar("select AR from ZMP_AR where ID = 2"), "7.00");
  EXPECT_EQ(ColumnOrder("ZMP_AR"), "ID MEGJ AR ");
}

// A step of the rebuild fails (the server will not drop a column a CHECK
// constraint uses): the whole rebuild is rolled back, the column keeps its
// place and values, no temporary column is left, and the run says it failed.
TEST_F(SchemaChangeTest, AFailedRebuildLeavesTheColumnAsItWas) {
  Strings v1 = kArTable;
  v1.push_back("$$t$$12$$10$$2$$AR$$56$$0$$0$$N$$$$");
  ASSERT_FALSE(Upgrade(Version("1.0", v1))) << frame.LastError();
  sql.Execute("insert into ZMP_AR (ID, AR) values (1, 1234)");
  sql.Execute("alter table ZMP_AR add constraint CK_ZMP_AR_AR check (AR > 0)");

  Strings v2 = v1;
  v2[2] = "$$t$$12$$10$$2$$AR$$56$$0$$0$$N$$5$$";
  EXPECT_TRUE(Upgrade(Version("1.1", v2)));
  EXPECT_EQ(FailedStatements(), Strings{" Utasítás : alter table ZMP_AR drop column AR"});
  EXPECT_EQ(ColumnOrder("ZMP_AR"), "ID AR ");
  EXPECT_EQ(Scalar("select AR from ZMP_AR where ID = 1"), "1234");
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.0");
}

// An index on a column whose default changes no longer stops the rebuild:
// it steps aside and comes back on the rebuilt column, UNIQUE and CLUSTERED
// kept, keys in their order, also for an index the catalogue does not list.
TEST_F(SchemaChangeTest, IndexesOnARebuiltColumnComeBackAsTheyWere) {
  Strings v1 = kArTable;
  v1.insert(v1.end(), {"$$t$$12$$10$$2$$AR$$56$$0$$0$$N$$$$", "$$I$$20$$10$$ZMP_AR_AR$$",
                       "$$i$$21$$20$$12$$1$$"});
  ASSERT_FALSE(Upgrade(Version("1.0", v1))) << frame.LastError();
  sql.Execute("insert into ZMP_AR (ID, AR) values (1, 1234)");
  sql.Execute("insert into ZMP_AR (ID, AR) values (2, 99)");
  sql.Execute("create unique clustered index ZMP_AR_SAJAT on ZMP_AR (AR, ID)");

  Strings v2 = v1;
  v2[2] = "$$t$$12$$10$$2$$AR$$56$$0$$0$$N$$5$$";
  for (const std::string version : {"1.1", "1.2"}) {  // the second run changes nothing
    ASSERT_FALSE(Upgrade(Version(version, v2))) << frame.LastError();
    EXPECT_EQ(FailedStatements(), Strings{});
    EXPECT_EQ(DefaultText("ZMP_AR", "AR"), "(5)");
    EXPECT_EQ(Scalar("select sum(AR) from ZMP_AR"), "1333");
    EXPECT_EQ(IndexKeys("ZMP_AR_AR"), "AR ");
    EXPECT_EQ(IndexKeys("ZMP_AR_SAJAT"), "AR ID ");
    EXPECT_EQ(Scalar("select status & 18 from sysindexes where name = 'ZMP_AR_SAJAT'"), "18");
  }
  EXPECT_THROW(sql.Execute("insert into ZMP_AR (ID, AR) values (1, 1234)"), db::DatabaseError)
      << "still unique";
}

// A type change under a default and an index: both step aside for the
// "alter column" and come back with the same name and text.
TEST_F(SchemaChangeTest, ATypeChangeUnderADefaultAndAnIndexCompletes) {
  Strings v1 = kArTable;
  v1.insert(v1.end(), {"$$t$$12$$10$$2$$AR$$56$$0$$0$$I$$5$$", "$$I$$20$$10$$ZMP_AR_AR$$",
                       "$$i$$21$$20$$12$$1$$"});
  ASSERT_FALSE(Upgrade(Version("1.0", v1))) << frame.LastError();
  sql.Execute("insert into ZMP_AR (ID, AR) values (1, 1234)");
  const std::string constraint =
      sql.Query(
             "select c.name from sysobjects a, syscolumns b, sysobjects c where a.id = b.id and "
             "b.cdefault = c.id and a.name = 'ZMP_AR' and b.name = 'AR'")
          .Text("name");

  Strings v2 = v1;
  v2[2] = "$$t$$12$$10$$2$$AR$$108$$12$$2$$I$$5$$";
  ASSERT_FALSE(Upgrade(Version("1.1", v2))) << frame.LastError();
  EXPECT_EQ(FailedStatements(), Strings{});
  EXPECT_EQ(Scalar("select a.xtype from syscolumns a, sysobjects b where a.id = b.id and "
                   "b.name = 'ZMP_AR' and a.name = 'AR'"),
            "108");
  EXPECT_EQ(ColumnOrder("ZMP_AR"), "ID AR ") << "altered in place, not rebuilt";
  EXPECT_EQ(DefaultText("ZMP_AR", "AR"), "(5)");
  EXPECT_EQ(sql.Query("select c.name from sysobjects a, syscolumns b, sysobjects c where a.id = "
                      "b.id and b.cdefault = c.id and a.name = 'ZMP_AR' and b.name = 'AR'")
                .Text("name"),
            constraint);
  EXPECT_EQ(IndexKeys("ZMP_AR_AR"), "AR ");
  EXPECT_EQ(Scalar("select count(*) from ZMP_AR where ID = 1 and AR = 1234"), "1");
}

TEST_F(SchemaChangeTest, AddsMissingColumnsAndAltersChangedOnes) {
  ASSERT_FALSE(Upgrade(Version("1.0", {"$$T$$10$$ZMP_B$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
                                       "$$t$$12$$10$$2$$NEV$$231$$20$$0$$N$$$$"})))
      << frame.LastError();
  sql.Execute("create table ZMP_REGI (KOD varchar(20) null)");
  sql.Execute("insert into ZMP_B (ID, NEV) values (1, N'Kiss')");
  ASSERT_FALSE(
      Upgrade(Version("1.1", {"$$T$$10$$ZMP_B$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
                              "$$t$$12$$10$$2$$NEV$$231$$60$$0$$N$$$$",
                              "$$t$$13$$10$$3$$AKTIV$$175$$1$$0$$I$$'I'$$", "$$T$$20$$ZMP_REGI$$",
                              "$$t$$21$$20$$1$$KOD$$167$$20$$0$$N$$$$"})))
      << frame.LastError();
  EXPECT_EQ(FailedStatements(), Strings{});
  EXPECT_EQ(Scalar("select prec from syscolumns a, sysobjects b where a.id = b.id and "
                   "b.name = 'ZMP_B' and a.name = 'NEV'"),
            "60");
  EXPECT_EQ(Scalar("select AKTIV from ZMP_B where ID = 1"), "I");
  // A varchar column listed with type 167 becomes nvarchar of its length.
  EXPECT_EQ(Scalar("select a.xtype from syscolumns a, sysobjects b where a.id = b.id and "
                   "b.name = 'ZMP_REGI' and a.name = 'KOD'"),
            "231");
  EXPECT_EQ(Scalar("select NEV from ZMP_B where ID = 1"), "Kiss");
}

TEST_F(SchemaChangeTest, AnIndexWithOtherKeysIsRebuiltAndAnEqualOneLeftAlone) {
  const Strings table = {"$$T$$10$$ZMP_IX$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
                         "$$t$$12$$10$$2$$HONAP$$175$$6$$0$$I$$$$"};
  Strings v1 = table;
  v1.insert(v1.end(), {"$$I$$20$$10$$ZMP_IX_1$$", "$$i$$21$$20$$11$$1$$"});
  ASSERT_FALSE(Upgrade(Version("1.0", v1))) << frame.LastError();
  EXPECT_EQ(IndexKeys("ZMP_IX_1"), "ID ");

  Strings v2 = table;
  v2.insert(v2.end(), {"$$I$$20$$10$$ZMP_IX_1$$", "$$i$$21$$20$$12$$1$$", "$$i$$22$$20$$11$$2$$"});
  ASSERT_FALSE(Upgrade(Version("1.1", v2))) << frame.LastError();
  EXPECT_EQ(FailedStatements(), Strings{});
  EXPECT_EQ(IndexKeys("ZMP_IX_1"), "HONAP ID ");
  EXPECT_EQ(Scalar("select count(*) from sysindexes where name = 'ZMP_IX_1'"), "1");

  ASSERT_FALSE(Upgrade(Version("1.2", v2))) << frame.LastError();
  EXPECT_EQ(IndexKeys("ZMP_IX_1"), "HONAP ID ");

  // Made unique and clustered on the site, it stays so when its keys change.
  sql.Execute("drop index ZMP_IX.ZMP_IX_1");
  sql.Execute("create unique clustered index ZMP_IX_1 on ZMP_IX (HONAP, ID)");
  ASSERT_FALSE(Upgrade(Version("1.3", v1))) << frame.LastError();
  EXPECT_EQ(IndexKeys("ZMP_IX_1"), "ID ");
  EXPECT_EQ(Scalar("select status & 18 from sysindexes where name = 'ZMP_IX_1'"), "18");
}

TEST_F(SchemaChangeTest, AnIndexFailureIsTolerated) {
  Strings v1 = kArTable;
  v1.insert(v1.end(), {"$$I$$20$$10$$ZMP_AR_URES$$"});
  ASSERT_FALSE(Upgrade(Version("1.0", v1))) << frame.LastError();
  const Strings log = LogLines();
  const auto index = std::find(log.begin(), log.end(), "ZMP_AR_URES");
  ASSERT_GE(std::distance(index, log.end()), 6);
  EXPECT_EQ(Strings(index, index + 5), (Strings{"ZMP_AR_URES", "ZMP_AR_URES", " HIBA  (elmegy)",
                                                " Utasítás : create index ZMP_AR_URES on ZMP_AR )",
                                                " Incorrect syntax near ')'."}));
  EXPECT_EQ(index[5].rfind("Index kész ! (", 0), 0u);
}

TEST_F(SchemaChangeTest, ProceduresAreCreatedThenAltered) {
  const auto procedure = [](const std::string& result) {
    return Strings{"$$P$$30$$p$$1$$V$$N$$",
                   "create procedure zmp_p_x @v int output",
                   "as",
                   "begin",
                   "  set @v = " + result,
                   "  return 0",
                   "end"};
  };
  ASSERT_FALSE(Upgrade(Version("1.0", procedure("1")))) << frame.LastError();
  ASSERT_FALSE(Upgrade(Version("1.1", procedure("2")))) << frame.LastError();
  EXPECT_EQ(FailedStatements(), Strings{});
  const Strings log = LogLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "ZMP_P_X"), log.end());
  db::ProcedureParameters call = {{"@RETURN_VALUE", db::ParameterDirection::ReturnValue, {}},
                                  {"@v", db::ParameterDirection::InputOutput, std::int64_t{0}}};
  sql.CallProcedure("zmp_p_x", call);
  EXPECT_EQ(db::ToInteger(call[1].value), 2);
}

TEST_F(SchemaChangeTest, UninstallRemovesEveryProductObjectAndNothingElse) {
  ASSERT_FALSE(Upgrade(Version(
      "1.0", {"$$T$$10$$ZMP_T1$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$", "$$P$$30$$p$$1$$V$$N$$",
              "create procedure ZMP_P1 as return 1", "$$P$$31$$f$$2$$V$$N$$",
              "create function ZMP_F1 () returns int as begin return 1 end"})))
      << frame.LastError();
  sql.Execute("create view ZMP_V1 as select ID from ZMP_T1");
  sql.Execute("create table IDEGEN (ID int)");
  Prepare("XXXXX");
  frame.RunUninstall();
  EXPECT_EQ(Scalar("select count(*) from sysobjects where name like 'ZMP%'"), "0");
  EXPECT_EQ(Scalar("select count(*) from sysobjects where name = 'IDEGEN'"), "1");
  // What the instance list reads: no version table with its column any more.
  EXPECT_EQ(Scalar("select b.id from sysobjects a, syscolumns b where a.id=b.id and "
                   "a.name='ZMP_OBJ_VER' and b.name='SZAM'"),
            "");
  EXPECT_EQ(display.labels[ValtLabel::lVerzio], "Törlés");
  // The catalogue's own row counts in the maximum but is not dropped in the loop.
  EXPECT_EQ(display.position, display.maximum - 1);
}

TEST_F(SchemaChangeTest, UninstallWithoutCatalogueFailsAtOnce) {
  Prepare("XXXXX");
  EXPECT_THROW(frame.RunUninstall(), db::DatabaseError);
}

}  // namespace
}  // namespace moltaro::engine
