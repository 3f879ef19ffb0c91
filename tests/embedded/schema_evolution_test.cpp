// Columns, defaults and indexes changing under the version switch.
#include <gmock/gmock.h>

#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

class SchemaEvolutionTest : public EmbeddedServerTest {
 protected:
  static void SetUpTestSuite() {
    EmbeddedServerTest::SetUpTestSuite();
    CreateDatabase("evo");
  }
  Connection c_ = Open("evo");

  std::string DefaultText(const std::string& table, const std::string& column) {
    return c_
        .Query(
            "select c.text from sysobjects a, syscolumns b, syscomments c where a.id = b.id and "
            "b.cdefault = c.id\n   and a.name = :xanev and b.name = :xbnev",
            {table, column})
        .Text("text");
  }
};

TEST_F(SchemaEvolutionTest, SystemTablePreparationStatementsRun) {
  c_.Execute(
      "create table ZMP_OBJ_FEJ (id numeric(9), fej_id numeric(9), tipus nvarchar(1), nev "
      "nvarchar(30), hiba nvarchar(1), verzio nvarchar(1), sor numeric(9), utasit nvarchar(1))");
  c_.Execute(
      "create table ZMP_OBJ_GYEREK(id numeric(9), fej_id numeric(9), gyerek_id numeric(9), sor "
      "numeric(4), nev nvarchar(30), tipus numeric(4), hossz numeric(4), tizedes numeric(4), "
      "notnull nvarchar(1), deflt nvarchar(100))");
  c_.Execute(
      "create table ZMP_OBJ_SZOVEG (fej_id numeric(9), sor numeric(4), szoveg nvarchar(4000))");
  c_.Execute(
      "create table ZMP_OBJ_VER (szam nvarchar(10),datum datetime,szoveg nvarchar(100),exever "
      "nvarchar(10))");
  EXPECT_EQ(ErrorOf(c_, "alter table ZMP_OBJ_VER add exever nvarchar(10)"),
            "Column names in each table must be unique. Column name 'exever' in table "
            "'ZMP_OBJ_VER' is specified more than once.");
  c_.Execute("create table ZMP_SYS_ID_SEQ (id decimal(9))");
  EXPECT_EQ(c_.Query("select ID from ZMP_SYS_ID_SEQ").Text("ID"), "");
  c_.Execute("insert into zmp_sys_id_seq (id) values (10000)");
  EXPECT_EQ(c_.Query("select ID from ZMP_SYS_ID_SEQ").Text("ID"), "10000");
  c_.Execute("create table ZMP_DUAL (dual nvarchar(1))");
  c_.Execute("insert into zmp_dual (dual) values ('X')");
  EXPECT_EQ(c_.Query("select dual from ZMP_DUAL").Text("DUAL"), "X");
  c_.Execute(
      "insert into ZMP_OBJ_FEJ ( id, tipus, nev, sor, hiba, utasit, verzio)\nvalues (:xid, "
      ":xtipus, :xnev, :xsor, :xhiba, :xutasit, 'I')",
      {std::int64_t{1}, std::string("T"), std::string("ZMP_A"), std::int64_t{1}, std::string("V"),
       std::string("N")});
  c_.Execute("insert into zmp_obj_fej (id, tipus, nev, verzio)\nvalues (:xid, :xtipus, :xnev, 'I')",
             {std::int64_t{2}, std::string("T"), std::string("ZMP_B")});
  EXPECT_EQ(c_.Query("select count(*) db from ZMP_OBJ_FEJ where VERZIO<>'T' and TIPUS=:xTIPUS",
                     {std::string("T")})
                .Integer("db"),
            2);
  EXPECT_EQ(c_.Query("select ID, NEV from ZMP_OBJ_FEJ where VERZIO<>'T' and TIPUS='T' order by NEV")
                .Text("NEV"),
            "ZMP_A");
}

TEST_F(SchemaEvolutionTest, DefaultsAreObjectsWithTheirTextAsWritten) {
  c_.Execute("create table dflt (a int, b nvarchar(10))");
  c_.Execute("alter table dflt add c int NOT NULL default (0)");
  EXPECT_EQ(DefaultText("dflt", "c"), "(0)");
  c_.Execute("alter table dflt add d nvarchar(1) NULL default ('_')");
  EXPECT_EQ(DefaultText("DFLT", "D"), "('_')");
  c_.Execute("alter table dflt add e datetime NULL default '19730823'");
  EXPECT_EQ(DefaultText("dflt", "e"), "('19730823')");
  c_.Execute("insert into dflt (a) values (1)");
  ResultSet r = c_.Query("select c, d, e from dflt");
  EXPECT_EQ(r.Integer("c"), 0);
  EXPECT_EQ(r.Text("d"), "_");
  EXPECT_EQ(r.Text("e"), "1973-08-23 00:00:00.000");
  const std::string name =
      c_.Query(
            "select c.name from sysobjects a, syscolumns b, sysobjects c where a.id = b.id and "
            "b.cdefault = c.id\n   and a.name = :xanev and b.name = :xbnev",
            {std::string("dflt"), std::string("c")})
          .Text("name");
  EXPECT_THAT(name, ::testing::StartsWith("DF__dflt__c__"));
  EXPECT_EQ(c_.Query("select xtype from sysobjects where name = :n", {name}).Text("xtype"), "D ");
  // A column with a bound default cannot be dropped until the default goes.
  EXPECT_THAT(ErrorOf(c_, "alter table dflt drop column c"),
              HasSubstr("The object '" + name + "' is dependent on column 'c'."));
  c_.Execute("alter table dflt drop constraint " + name);
  EXPECT_EQ(DefaultText("dflt", "c"), "");
  c_.Execute("alter table dflt drop column c");
  c_.Execute("alter table dflt add c int NULL");
  EXPECT_EQ(c_.Query("select colid from syscolumns where id = object_id('dflt') and name = 'c'")
                .Integer("colid"),
            6);
  c_.Execute("alter table dflt add constraint DF_dflt_a default (7) for a");
  EXPECT_EQ(DefaultText("dflt", "a"), "(7)");
  c_.Execute("insert into dflt (b) values ('x')");
  EXPECT_EQ(c_.Query("select a from dflt where b = 'x'").Integer("a"), 7);
}

TEST_F(SchemaEvolutionTest, TablePhaseCreatesAndRebuildsADefaultThroughATemporaryColumn) {
  c_.Execute(
      "create table ZMP_REB(id Int NOT NULL,\r\nkod Nvarchar(10) NULL default '_',\r\nnev "
      "Nvarchar(20) NULL)");
  c_.Execute("insert into zmp_reb (id, kod, nev) values (1, 'a', 'x'), (2, 'b', 'y')");
  c_.Execute("insert into zmp_reb (id, nev) values (3, 'z')");
  EXPECT_EQ(DefaultText("ZMP_REB", "kod"), "('_')");
  auto dropColumn = [&](const std::string& column) {
    ResultSet d = c_.Query(
        "select c.name from sysobjects a, syscolumns b, sysobjects c where a.id = b.id and "
        "b.cdefault = c.id\n   and a.name = :xanev and b.name = :xbnev",
        {std::string("ZMP_REB"), column});
    if (!d.Eof() && !d.IsNull("name"))
      c_.Execute("alter table ZMP_REB drop constraint " + d.Text("name"));
    c_.Execute("alter table ZMP_REB drop column " + column);
  };
  c_.Execute("alter table ZMP_REB add kod_qxq Nvarchar(12) NULL default ('-')");
  c_.Execute("update ZMP_REB set kod_qxq=kod");
  dropColumn("kod");
  c_.Execute("alter table ZMP_REB add kod Nvarchar(12) NOT NULL default ('-')");
  c_.Execute("update ZMP_REB set kod=kod_qxq");
  dropColumn("kod_qxq");
  EXPECT_EQ(DefaultText("ZMP_REB", "kod"), "('-')");
  EXPECT_EQ(c_.Query("select kod from zmp_reb where id = 1").Text("kod"), "a");
  EXPECT_EQ(c_.Query("select kod from zmp_reb where id = 3").Text("kod"), "_");
  ResultSet cols =
      c_.Query("select name, colid from syscolumns where id = object_id('ZMP_REB') order by colid");
  std::vector<std::string> order;
  for (; !cols.Eof(); cols.Next()) order.push_back(cols.Text("name"));
  EXPECT_EQ(order, (std::vector<std::string>{"id", "nev", "kod"}));
}

TEST_F(SchemaEvolutionTest, NotNullColumnCannotBeAddedWithNullsToRowsThatExist) {
  c_.Execute("create table nn_add (id int)");
  c_.Execute("alter table nn_add add a int NOT NULL");  // empty table: allowed
  c_.Execute("insert into nn_add (id, a) values (1, 1)");
  EXPECT_THAT(ErrorOf(c_, "alter table nn_add add b int NOT NULL"),
              HasSubstr("Column 'b' cannot be added to non-empty table 'nn_add'"));
  EXPECT_EQ(ErrorOf(c_, "alter table nn_add add b Int NOT NULL default (NULL)"),
            "Cannot insert the value NULL into column 'b', table 'evo.dbo.nn_add'; column does not "
            "allow nulls. ALTER TABLE fails.");
  EXPECT_EQ(
      c_.Query("select count(*) n from syscolumns where id = object_id('nn_add')").Integer("n"), 2);
  EXPECT_EQ(ErrorOf(c_, "select b from nn_add"), "Invalid column name 'b'.");
}

TEST_F(SchemaEvolutionTest, AlterColumnConvertsAndRefusesWhatDoesNotFit) {
  c_.Execute("create table alt (k varchar(10), n nvarchar(5))");
  c_.Execute("insert into alt values ('12', 'abc'), ('7', NULL)");
  c_.Execute("alter table alt alter column k int NOT NULL");
  EXPECT_EQ(c_.Query("select sum(k) s from alt").Integer("s"), 19);
  ResultSet col =
      c_.Query("select xtype, typestat from syscolumns where id = object_id('alt') and name = 'k'");
  EXPECT_EQ(col.Integer("xtype"), 56);
  EXPECT_EQ(col.Integer("typestat") % 2, 1);
  EXPECT_EQ(ErrorOf(c_, "alter table alt alter column n nvarchar(2)"),
            "String or binary data would be truncated.");
  EXPECT_EQ(ErrorOf(c_, "alter table alt alter column n nvarchar(5) NOT NULL"),
            "Cannot insert the value NULL into column 'n', table 'evo.dbo.alt'; column does not "
            "allow nulls. UPDATE fails.");
  // The failed statements left the table as it was.
  EXPECT_EQ(c_.Query("select length from syscolumns where id = object_id('alt') and name = 'n'")
                .Integer("length"),
            10);
  EXPECT_EQ(c_.Query("select n from alt where k = 12").Text("n"), "abc");
  c_.Execute("alter table alt alter column n nvarchar(50) NULL");
  EXPECT_EQ(c_.Query("select length from syscolumns where id = object_id('alt') and name = 'n'")
                .Integer("length"),
            100);
}

TEST_F(SchemaEvolutionTest, RebuiltTableKeepsViewsIndexesAndIdentity) {
  c_.Execute("create table reb2 (id int identity(1,1), kod varchar(5), nev nvarchar(10))");
  c_.Execute("create index IX_REB2 on reb2 (nev)");
  // An indexed nvarchar may grow (as in SQL Server), not shrink.
  EXPECT_THAT(ErrorOf(c_, "alter table reb2 alter column nev nvarchar(5)"),
              HasSubstr("The index 'IX_REB2' is dependent on column 'nev'."));
  c_.Execute("alter table reb2 alter column nev nvarchar(20)");
  c_.Execute("create view V_REB2 as select id, kod from reb2");
  c_.Execute("insert into reb2 (kod) values ('12')");
  c_.Execute("alter table reb2 alter column kod int NULL");
  c_.Execute("insert into reb2 (kod) values (7)");
  EXPECT_EQ(c_.Query("select max(id) m, sum(kod) s from V_REB2").Integer("m"), 2);
  EXPECT_EQ(c_.Query("select sum(kod) s from V_REB2").Integer("s"), 19);
  EXPECT_EQ(c_.Query("select count(*) n from sysindexes where name = 'IX_REB2'").Integer("n"), 1);
  c_.Execute("alter table reb2 drop column id");
  c_.Execute("insert into reb2 (kod) values (1)");
  EXPECT_EQ(c_.Query("select count(*) n from reb2").Integer("n"), 3);
}

TEST_F(SchemaEvolutionTest, RebuildKeepsExactValuesAndRollsBackWithItsTransaction) {
  c_.Execute(
      "create table rb (id int identity(1,1) primary key, ar decimal(12,2), nev nvarchar(10), "
      "kod varchar(5))");
  c_.Execute("insert into rb (ar, nev, kod) values (12.35, 'alma', '1'), (0.10, NULL, '22')");
  c_.Execute("create table #munka (x int)");
  c_.Execute("insert into #munka values (1)");
  c_.Execute("BEGIN TRAN");
  c_.Execute("alter table rb alter column kod int NULL");
  c_.Execute("alter table rb drop column nev");
  c_.Execute("ROLLBACK");
  EXPECT_EQ(c_.Query("select xtype from syscolumns where id = object_id('rb') and name = 'kod'")
                .Integer("xtype"),
            167);
  EXPECT_EQ(c_.Query("select count(*) n from rb where nev is null").Integer("n"), 1);
  EXPECT_EQ(c_.Query("select count(*) n from #munka").Integer("n"), 1);

  c_.Execute("alter table rb alter column kod int NULL");
  c_.Execute("alter table rb alter column ar decimal(14,3) NULL");
  EXPECT_EQ(c_.Query("select ar from rb where kod = 22").Text("ar"), "0.100");
  EXPECT_EQ(c_.Query("select sum(ar) s from rb").Text("s"), "12.450");
  c_.Execute("insert into rb (ar, kod) values (1, 3)");
  EXPECT_EQ(c_.Query("select max(id) m from rb").Integer("m"), 3);
  EXPECT_EQ(c_.Query("select count(*) n from #munka").Integer("n"), 1);
}

// A small table is made again to add columns, a big one altered in place:
// both must end the same.
TEST_F(SchemaEvolutionTest, AddedColumnsKeepTheTableWhateverItsSize) {
  for (const int rows : {3, 1200}) {
    SCOPED_TRACE(rows);
    const std::string t = "add" + std::to_string(rows);
    c_.Execute("create table " + t + " (id int identity(1,1) primary key, kod int constraint CK_" +
               t + " check (kod > 0), nev nvarchar(10))");
    c_.Execute("create unique index IX_" + t + " on " + t + " (kod)");
    c_.Execute("declare @i int set @i = 1 while @i <= " + std::to_string(rows) +
               " begin insert into " + t + " (kod, nev) values (@i, 'n') set @i = @i + 1 end");
    c_.Execute("alter table " + t + " add c2 int NOT NULL DEFAULT (7), c3 nvarchar(5) NULL");
    ResultSet r = c_.Query("select count(*) n, sum(c2) s, count(c3) c, max(id) m from " + t);
    EXPECT_EQ(r.Integer("n"), rows);
    EXPECT_EQ(r.Integer("s"), 7 * rows);
    EXPECT_EQ(r.Integer("c"), 0);
    EXPECT_EQ(r.Integer("m"), rows);
    c_.Execute("insert into " + t + " (kod) values (" + std::to_string(rows + 1) + ")");
    EXPECT_EQ(c_.Query("select id, c2 from " + t + " where kod = " + std::to_string(rows + 1))
                  .Integer("id"),
              rows + 1);
    EXPECT_THAT(ErrorOf(c_, "insert into " + t + " (kod) values (1)"),
                HasSubstr("Cannot insert duplicate key"));
    EXPECT_THAT(ErrorOf(c_, "insert into " + t + " (kod) values (-1)"),
                HasSubstr("CHECK constraint \"CK_" + t + "\""));
    EXPECT_EQ(c_.Query("select max(colid) m from syscolumns where id = object_id('" + t + "')")
                  .Integer("m"),
              5);
  }
}

TEST_F(SchemaEvolutionTest, CheckConstraintsAreEnforcedAndKeptAsObjects) {
  c_.Execute(
      "create table ck (a int constraint CK_ck_a check (a > 0), b nvarchar(5) null check (b in "
      "('x', 'y')), c int, d int, constraint CK_ck_ac check (c is null or c >= a))");
  c_.Execute("insert into ck (a, b) values (1, 'x')");
  c_.Execute("insert into ck (a, b) values (2, NULL)");  // NULL passes a CHECK
  EXPECT_EQ(ErrorOf(c_, "insert into ck (a) values (0)"),
            "The INSERT statement conflicted with the CHECK constraint \"CK_ck_a\". The conflict "
            "occurred in database \"evo\", table \"dbo.ck\", column 'a'.");
  EXPECT_EQ(ErrorOf(c_, "update ck set c = 0 where a = 1"),
            "The UPDATE statement conflicted with the CHECK constraint \"CK_ck_ac\". The conflict "
            "occurred in database \"evo\", table \"dbo.ck\".");
  EXPECT_THAT(ErrorOf(c_, "insert into ck (a, b) values (3, 'z')"),
              HasSubstr("CHECK constraint \"CK__ck__b__"));
  EXPECT_EQ(c_.Query("select c.text from sysobjects o, syscomments c where o.id = c.id and o.name "
                     "= 'CK_ck_a'")
                .Text("text"),
            "(a > 0)");
  EXPECT_EQ(c_.Query("select xtype from sysobjects where name = 'CK_ck_ac'").Text("xtype"), "C ");
  EXPECT_THAT(ErrorOf(c_, "alter table ck drop column a"),
              HasSubstr("The object 'CK_ck_a' is dependent on column 'a'."));
  // Checks survive a rebuild of the table.
  EXPECT_THAT(ErrorOf(c_, "alter table ck alter column c bigint null"),
              HasSubstr("The object 'CK_ck_ac' is dependent on column 'c'."));
  c_.Execute("alter table ck alter column d bigint null");
  EXPECT_THAT(ErrorOf(c_, "insert into ck (a) values (-1)"), HasSubstr("CK_ck_a"));
  c_.Execute("alter table ck drop constraint CK_ck_a");
  c_.Execute("insert into ck (a) values (-1)");
  EXPECT_THAT(
      ErrorOf(c_, "alter table ck add constraint CK_ck_a2 check (a > 0)"),
      HasSubstr("The ALTER TABLE statement conflicted with the CHECK constraint \"CK_ck_a2\""));
  EXPECT_EQ(c_.Query("select count(*) n from sysobjects where name = 'CK_ck_a2'").Integer("n"), 0);
}

TEST_F(SchemaEvolutionTest, ForeignKeysRefuseOrphansAndReferencedDeletes) {
  c_.Execute("create table fk_szulo (id int not null primary key, nev nvarchar(10))");
  c_.Execute(
      "create table fk_gyerek (id int, szulo_id int constraint FK_gy_sz references fk_szulo (id))");
  c_.Execute("insert into fk_szulo values (1, 'a')");
  c_.Execute("insert into fk_gyerek values (10, 1)");
  c_.Execute("insert into fk_gyerek values (11, NULL)");  // NULL references nothing
  EXPECT_EQ(ErrorOf(c_, "insert into fk_gyerek values (12, 2)"),
            "The INSERT statement conflicted with the FOREIGN KEY constraint \"FK_gy_sz\". The "
            "conflict occurred in database \"evo\", table \"dbo.fk_szulo\", column 'id'.");
  EXPECT_EQ(ErrorOf(c_, "delete from fk_szulo where id = 1"),
            "The DELETE statement conflicted with the REFERENCE constraint \"FK_gy_sz\". The "
            "conflict occurred in database \"evo\", table \"dbo.fk_gyerek\", column 'szulo_id'.");
  c_.Execute("update fk_szulo set nev = 'b' where id = 1");  // the key stays: allowed
  EXPECT_EQ(
      ErrorOf(c_, "drop table fk_szulo"),
      "Could not drop object 'fk_szulo' because it is referenced by a FOREIGN KEY constraint.");
  EXPECT_EQ(c_.Query("select xtype from sysobjects where name = 'FK_gy_sz'").Text("xtype"), "F ");
  // Rebuilding either table keeps the key working.
  c_.Execute("alter table fk_szulo alter column nev nvarchar(20)");
  c_.Execute("alter table fk_gyerek alter column id bigint");
  EXPECT_THAT(ErrorOf(c_, "insert into fk_gyerek values (13, 3)"), HasSubstr("FK_gy_sz"));
  EXPECT_THAT(ErrorOf(c_, "delete from fk_szulo"), HasSubstr("REFERENCE constraint"));
  c_.Execute("alter table fk_gyerek drop constraint FK_gy_sz");
  c_.Execute("insert into fk_gyerek values (13, 3)");
  EXPECT_THAT(
      ErrorOf(c_,
              "alter table fk_gyerek with check add constraint FK2 foreign key (szulo_id) "
              "references fk_szulo"),
      HasSubstr("The ALTER TABLE statement conflicted with the FOREIGN KEY constraint \"FK2\""));
  c_.Execute(
      "alter table fk_gyerek with nocheck add constraint FK2 foreign key (szulo_id) references "
      "fk_szulo");
  EXPECT_THAT(ErrorOf(c_, "insert into fk_gyerek values (14, 4)"), HasSubstr("FK2"));
  EXPECT_THAT(
      ErrorOf(c_, "create table fk_rossz (a int references fk_szulo (nev))"),
      HasSubstr("There are no primary or candidate keys in the referenced table 'fk_szulo'"));
  c_.Execute("drop table fk_gyerek");
  c_.Execute("drop table fk_szulo");
}

TEST_F(SchemaEvolutionTest, IndexesAreNamedPerTable) {
  c_.Execute("create table ix1 (a int, b int)");
  c_.Execute("create table ix2 (a int, b int)");
  c_.Execute("create index IX_A on ix1 (a, b)");
  c_.Execute("create index IX_A on ix2 (b)");
  EXPECT_EQ(ErrorOf(c_, "create index ix_a on ix1 (b)"),
            "The operation failed because an index or statistics with name 'ix_a' already exists "
            "on table 'ix1'.");
  ResultSet keys = c_.Query(
      "select a.id, a.indid, a.name aname, b.keyno, c.name cname\n  from sysindexes a, "
      "sysindexkeys b, syscolumns c\n where a.name = :xNAME and a.indid <> 0 and a.id = b.id\n   "
      "and a.indid=b.indid and b.id = c.id and b.colid = c.colid\norder by a.indid, b.keyno",
      {std::string("IX_A")});
  EXPECT_EQ(keys.RowCount(), 3u);
  EXPECT_EQ(c_.Query("select ID, NAME from SYSINDEXES where NAME=:xNAME and INDID<>0",
                     {std::string("ix_a")})
                .RowCount(),
            2u);
  c_.Execute("drop index ix1.IX_A");
  EXPECT_EQ(c_.Query("select count(*) n from sysindexes where name = 'IX_A'").Integer("n"), 1);
  EXPECT_EQ(
      ErrorOf(c_, "drop index ix1.IX_A"),
      "Cannot drop the index 'ix1.IX_A', because it does not exist or you do not have permission.");
  c_.Execute("create unique index u1 on ix1 (a)");
  c_.Execute("insert into ix1 (a) values (1)");
  EXPECT_EQ(ErrorOf(c_, "insert into ix1 (a) values (1)"),
            "Cannot insert duplicate key row in object 'dbo.ix1' with unique index 'u1'.");
}

TEST_F(SchemaEvolutionTest, KeysAndConstraintsOnCreate) {
  c_.Execute(
      "create table keyed (id int identity(1,1) constraint PK_keyed primary key, kod nvarchar(10) "
      "not null unique, nev nvarchar(20) constraint DF_keyed_nev default ('n'))");
  c_.Execute("insert into keyed (kod) values ('a')");
  // Keys compare under the database collation, as SQL Server's do.
  EXPECT_THAT(ErrorOf(c_, "insert into keyed (kod) values ('A')"),
              HasSubstr("Violation of UNIQUE KEY constraint 'UQ__keyed__"));
  EXPECT_EQ(c_.Query("select xtype from sysobjects where name = 'PK_keyed'").Text("xtype"), "PK");
  EXPECT_EQ(c_.Query("select indid from sysindexes where name = 'PK_keyed'").Integer("indid"), 1);
  EXPECT_EQ(c_.Query("select nev from keyed where kod = 'a'").Text("nev"), "n");
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
