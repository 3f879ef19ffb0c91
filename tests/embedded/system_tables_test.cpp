// The system tables as SQL Server keeps them.
#include <gmock/gmock.h>
#include <sqlite3.h>

#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

class SystemTablesTest : public EmbeddedServerTest {
 protected:
  static void SetUpTestSuite() {
    EmbeddedServerTest::SetUpTestSuite();
    CreateDatabase("sysdb");
    CreateDatabase("aidb", "HUNGARIAN_TECHNICAL_CI_AI");
  }
};

TEST_F(SystemTablesTest, ColumnsCarrySqlServerCodes) {
  Connection c = Open("sysdb");
  c.Execute(
      "create table [dbo].[Tipusok] ([a] [tinyint] NOT NULL, b smallint, c int, d bigint, e bit, "
      "f float, g real, h money, i smallmoney, j datetime, k smalldatetime, l decimal(12,3), m "
      "numeric(9), n char(4), o varchar(20), p nchar(3), q nvarchar(50), r text, s ntext)");
  ResultSet r = c.Query(
      "select b.name, b.xtype, b.typestat, b.length, b.prec, b.xprec, b.xscale, b.colid, "
      "b.isnullable from sysobjects a, syscolumns b where a.id = b.id and a.name = 'TIPUSOK' "
      "order by b.colid");
  struct Expected {
    const char* name;
    int xtype, length, prec, xprec, xscale;
  };
  const Expected expected[] = {
      {"a", 48, 1, 3, 3, 0},          {"b", 52, 2, 5, 5, 0},     {"c", 56, 4, 10, 10, 0},
      {"d", 127, 8, 19, 19, 0},       {"e", 104, 1, 1, 1, 0},    {"f", 62, 8, 53, 53, 0},
      {"g", 59, 4, 24, 24, 0},        {"h", 60, 8, 19, 19, 4},   {"i", 122, 4, 10, 10, 4},
      {"j", 61, 8, 23, 23, 3},        {"k", 58, 4, 16, 16, 0},   {"l", 106, 9, 12, 12, 3},
      {"m", 108, 5, 9, 9, 0},         {"n", 175, 4, 4, 0, 0},    {"o", 167, 20, 20, 0, 0},
      {"p", 239, 6, 3, 0, 0},         {"q", 231, 100, 50, 0, 0}, {"r", 35, 16, 2147483647, 0, 0},
      {"s", 99, 16, 1073741823, 0, 0}};
  int colid = 1;
  for (const Expected& e : expected) {
    ASSERT_FALSE(r.Eof()) << e.name;
    EXPECT_EQ(r.Text("name"), e.name);
    EXPECT_EQ(r.Integer("xtype"), e.xtype) << e.name;
    EXPECT_EQ(r.Integer("length"), e.length) << e.name;
    EXPECT_EQ(r.Integer("prec"), e.prec) << e.name;
    EXPECT_EQ(r.Integer("xprec"), e.xprec) << e.name;
    EXPECT_EQ(r.Integer("xscale"), e.xscale) << e.name;
    EXPECT_EQ(r.Integer("colid"), colid++) << e.name;
    EXPECT_EQ(r.Integer("typestat") % 2, e.name[0] == 'a' ? 1 : 0) << e.name;
    r.Next();
  }
  ResultSet t = c.Query("select xtype, type from sysobjects where name = 'tipusok'");
  EXPECT_EQ(t.Text("xtype"), "U ");
  EXPECT_EQ(c.Query("select id from dbo.sysobjects where xtype='U' and NAME=:xNAME",
                    {std::string("TIPUSOK")})
                .IsNull("id"),
            false);
}

TEST_F(SystemTablesTest, TargetColumnDefinitionQueryReadsTypeNames) {
  Connection c = Open("sysdb");
  c.Execute("create table ZMP_T1 (kod varchar(10) NOT NULL, nev nvarchar(30) NULL)");
  const int id =
      static_cast<int>(c.Query("select id from sysobjects where name = 'zmp_t1'").Integer("id"));
  ResultSet r = c.Query(
      "select a.id, a.name, a.xtype, a.typestat, a.length, a.prec, a.xprec, a.xscale,\n"
      "       a.colid, b.name bname\n"
      "  from dbo.syscolumns a, dbo.systypes b\n"
      " where a.xtype=b.xtype and a.id=:xid and a.colid=:xcolid",
      {std::int64_t{id}, std::int64_t{1}});
  EXPECT_EQ(r.Text("bname"), "varchar");
  EXPECT_EQ(r.Integer("typestat") % 2, 1);
  ResultSet target = c.Query(
      "select c.name cname, a.id, a.name aname, a.colid\n  from dbo.syscolumns a, dbo.sysobjects "
      "c\n where a.id=c.id and c.name = :xCNAME and a.NAME=:xANAME",
      {std::string("ZMP_T1"), std::string("NEV")});
  EXPECT_EQ(target.Text("aname"), "nev");
  EXPECT_EQ(target.Integer("colid"), 2);
}

TEST_F(SystemTablesTest, ObjectNamesFoundInAnyCaseAndLikeUsesTheCollation) {
  Connection c = Open("aidb");
  c.Execute("create table zmp_obj_ver (szam nvarchar(10))");
  c.Execute("insert into ZMP_OBJ_VER (SZAM) values ('1.0')");
  EXPECT_EQ(c.Query("select szam from Zmp_Obj_Ver").Text("SZAM"), "1.0");
  EXPECT_EQ(c.Query("select count(*) n from sysobjects where name like 'zmp%' and xtype=:x1",
                    {std::string("U")})
                .Integer("n"),
            1);
  c.Execute("create table nevek (nev nvarchar(20))");
  c.Execute("insert into nevek values ('Árvíz'), ('arviz'), ('ÁRVÍZ')");
  // Accent- and case-insensitive database.
  EXPECT_EQ(c.Query("select count(*) n from nevek where nev = 'arviz'").Integer("n"), 3);
  Connection cs = Open("sysdb");
  cs.Execute("create table nevek (nev nvarchar(20))");
  cs.Execute("insert into nevek values ('Árvíz'), ('arviz'), ('ÁRVÍZ')");
  EXPECT_EQ(cs.Query("select count(*) n from nevek where nev = 'árvíz'").Integer("n"), 2);
  EXPECT_EQ(cs.Query("select count(*) n from nevek where nev like 'ÁR%'").Integer("n"), 2);
}

// A file made before the lookup indexes existed gets them when opened, and
// the lookups they serve still follow the database's collation.
TEST_F(SystemTablesTest, LookupsByNameAreIndexedAlsoInOlderFiles) {
  CreateDatabase("olddb");
  Open("olddb").Execute(
      "create table regi (id int, nev nvarchar(10)) create index regi_nev on regi (nev)");
  const std::string file = (DataDir() / "olddb_data.mdf").string();
  const auto indexCount = [&] {
    sqlite3* raw = nullptr;
    EXPECT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw,
                       "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                       "('sysindexes_name', 'syscolumns_name')",
                       -1, &stmt, nullptr);
    sqlite3_step(stmt);
    const int count = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
    return count;
  };
  ASSERT_EQ(indexCount(), 2);
  {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw, "DROP INDEX sysindexes_name; DROP INDEX syscolumns_name", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
  }
  ASSERT_EQ(indexCount(), 0);
  Connection c = Open("olddb");
  EXPECT_EQ(indexCount(), 2);
  EXPECT_EQ(c.Query("select indid from sysindexes where name = 'REGI_NEV'").RowCount(), 1u);
  EXPECT_EQ(c.Query("select a.colid from syscolumns a, sysobjects b where a.id = b.id and b.name "
                    "= 'Regi' and a.name = 'NEV'")
                .Integer("colid"),
            2);
}

TEST_F(SystemTablesTest, ForeignKeysOfOlderFilesKeepRefusingAndNewOnesAct) {
  CreateDatabase("fkolddb");
  Open("fkolddb").Execute(
      "create table fej (id int not null primary key) "
      "create table sor (fej_id int not null constraint fk_sor_fej references fej (id)) "
      "insert into fej values (1) insert into fej values (2) insert into sor values (1)");
  {
    // A file from before foreign keys had actions.
    sqlite3* raw = nullptr;
    const std::string file = (DataDir() / "fkolddb_data.mdf").string();
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw,
                           "CREATE TABLE fk_old AS SELECT id, child_id, parent_id, "
                           "child_columns, parent_columns FROM moltaro_foreign_keys; "
                           "DROP TABLE moltaro_foreign_keys; "
                           "CREATE TABLE moltaro_foreign_keys (id INTEGER PRIMARY KEY, child_id "
                           "INTEGER, parent_id INTEGER, child_columns TEXT, parent_columns TEXT); "
                           "INSERT INTO moltaro_foreign_keys SELECT * FROM fk_old; "
                           "DROP TABLE fk_old",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
  }
  Connection c = Open("fkolddb");
  EXPECT_THAT(ErrorOf(c, "delete from fej where id = 1"),
              ::testing::HasSubstr("REFERENCE constraint \"fk_sor_fej\""));
  c.Execute(
      "create table jegyzet (fej_id int not null references fej (id) on delete cascade) "
      "insert into jegyzet values (2) delete from fej where id = 2");
  EXPECT_EQ(c.Query("select count(*) n from jegyzet").Integer("n"), 0);
}

TEST_F(SystemTablesTest, IndexRowsFollowSqlServer) {
  Connection c = Open("sysdb");
  c.Execute("create table heap (a int, b int)");
  ResultSet heap = c.Query("select indid, name from sysindexes where id = object_id('heap')");
  EXPECT_EQ(heap.Integer("indid"), 0);
  EXPECT_EQ(heap.Text("name"), "heap");
  c.Execute(
      "create table keyed2 (a int not null, b int not null, constraint PK_keyed2 primary key (b, "
      "a))");
  ResultSet pk = c.Query(
      "select i.indid, i.status, k.keyno, col.name from sysindexes i, sysindexkeys k, syscolumns "
      "col "
      "where i.id = object_id('keyed2') and k.id = i.id and k.indid = i.indid and col.id = i.id "
      "and col.colid = k.colid order by k.keyno");
  EXPECT_EQ(pk.Integer("indid"), 1);
  EXPECT_EQ(pk.Integer("status") & 0x812, 0x812);  // unique, clustered, primary key
  EXPECT_EQ(pk.Text("name"), "b");
  pk.Next();
  EXPECT_EQ(pk.Integer("keyno"), 2);
  EXPECT_EQ(pk.Text("name"), "a");
  EXPECT_EQ(
      c.Query("select count(*) n from sysindexes where id = object_id('keyed2') and indid = 0")
          .Integer("n"),
      0);
}

TEST_F(SystemTablesTest, BatchesReturnEveryResultAndMessage) {
  Connection c = Open("sysdb");
  c.Execute("create table multi (a int)");
  BatchResult r = c.Run(
      "insert into multi values (1), (2) select count(*) n from multi print 'kész' select a from "
      "multi order by a");
  ASSERT_EQ(r.results.size(), 2u);
  EXPECT_EQ(r.results[0].Integer("n"), 2);
  EXPECT_EQ(r.results[1].RowCount(), 2u);
  EXPECT_EQ(r.messages, (std::vector<std::string>{"kész"}));
  EXPECT_EQ(c.Run("update multi set a = a + 1").rowsAffected, 2);
  EXPECT_EQ(c.Run("delete from multi where a = 99").rowsAffected, 0);
}

TEST_F(SystemTablesTest, TablesDropAndCatalogueFollows) {
  Connection c = Open("sysdb");
  c.Execute("create table dropme (a int)");
  c.Execute("drop table DROPME");
  EXPECT_EQ(c.Query("select count(*) n from sysobjects where name = 'dropme'").Integer("n"), 0);
  EXPECT_EQ(c.Query("select count(*) n from syscolumns where name = 'a' and id not in (select id "
                    "from sysobjects)")
                .Integer("n"),
            0);
  EXPECT_EQ(
      ErrorOf(c, "drop table dropme"),
      "Cannot drop the table 'dropme', because it does not exist or you do not have permission.");
}

TEST_F(SystemTablesTest, SchemaChangesAreSeenByOtherConnections) {
  Connection a = Open("sysdb");
  Connection b = Open("sysdb");
  a.Execute("create table shared (x int)");
  b.Execute("insert into shared (x) values (1)");
  const std::string query = "select * from shared";
  EXPECT_EQ(a.Query(query).Columns().size(), 1u);
  b.Execute("alter table shared add y nvarchar(5) default 'q' not null");
  ResultSet r = a.Query(query);
  EXPECT_EQ(r.Columns(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(r.Text("y"), "q");
  a.Execute("insert into shared (x) values (2)");
  EXPECT_EQ(b.Query("select y from shared where x = 2").Text("y"), "q");
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
