// The statements the main window, the new-company command and the report
// directory dialog send, exactly as they send them.
#include <gmock/gmock.h>

#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

class InstanceStatementsTest : public EmbeddedServerTest {};

std::string Q(const std::string& x) {
  return "'" + x + "'";
}

TEST_F(InstanceStatementsTest, NewCompanyCreatesCommonDatabaseAndRegistersInstances) {
  Connection master = Open("master");
  const std::string file =
      master.Query("select FILENAME from dbo.sysdatabases where name='master' ").Text("FILENAME");
  const std::string directory = file.substr(0, file.size() - 10);
  const std::string name = "ceg1";
  EXPECT_EQ(
      master.Query("select coalesce(count(*),0) db from dbo.sysdatabases where name='" + name + "'")
          .Integer("DB"),
      0);
  master.Execute("create database " + name + " on (name =" + Q(name + "_dat") +
                 ", filename=" + Q(directory + name + "_data.mdf") +
                 ", SIZE = 9, MAXSIZE = UNLIMITED, FILEGROWTH = 10%)" + "LOG ON " +
                 "(name=" + Q(name + "_log") + ", filename=" + Q(directory + name + "_data.ldf") +
                 ", SIZE = 5, MAXSIZE = UNLIMITED, FILEGROWTH = 10%) " +
                 " COLLATE  SQL_Hungarian_Cp1250_CI_AS ");
  master.Execute("alter database " + name + " set recovery full");
  master.Execute("alter database " + name + " set auto_close off");
  master.Execute("alter database " + name + " set AUTO_SHRINK off");
  EXPECT_TRUE(std::filesystem::exists(directory + "ceg1_data.mdf"));
  EXPECT_EQ(
      master.Query("select coalesce(count(*),0) db from dbo.sysdatabases where name='" + name + "'")
          .Integer("DB"),
      1);
  EXPECT_EQ(master.Query("select coalesce(count(*),0) db from dbo.sysdatabases where name='CEG1'")
                .Integer("db"),
            1);
  ResultSet row = master.Query("select filename, options from sysdatabases where name = 'ceg1'");
  EXPECT_EQ(row.Text("filename"), directory + "ceg1_data.mdf");
  EXPECT_EQ(row.Text("options"), "RECOVERY=FULL;AUTO_CLOSE=OFF;AUTO_SHRINK=OFF;");
  EXPECT_EQ(ErrorOf(master, "create database ceg1"),
            "Database 'ceg1' already exists. Choose a different database name.");

  EXPECT_EQ(master
                .Query("select coalesce(count(*),0) db from dbo.sysdatabases where name= '" +
                       std::string("ZMP_Vorel") + "' ")
                .Integer("DB"),
            0);
  const std::string common = "ZMP_Vorel";
  master.Execute(
      "create database " + common + " on (name =" + Q(common + "_dat") +
      ", filename=" + Q(directory + common + "_data.mdf") +
      ", SIZE = 9, MAXSIZE = UNLIMITED, FILEGROWTH = 10%)" + "LOG ON " +
      "(name=" + Q(common + "_log") + ", filename=" + Q(directory + common + "_data.ldf") +
      ", SIZE = 5, MAXSIZE = UNLIMITED, FILEGROWTH = 10%)" + " COLLATE HUNGARIAN_TECHNICAL_CI_AI ");
  for (const char* option : {"recovery full", "auto_close off", "AUTO_SHRINK off"}) {
    master.Execute("alter database " + common + " set " + option);
  }
  Connection vorel = Open("ZMP_Vorel");
  vorel.Execute(
      "create table [ZMP_Param] ([kod] [nvarchar] (15) NULL,[nev] [nvarchar] (50) NULL,[ertek] "
      "[nvarchar] (200) NULL) ON [PRIMARY]");
  vorel.Execute(
      "create table [ZMP_Peldany]  ([id] [int] NULL ,[pld] [nvarchar] (50) NULL,[fiznev] "
      "[nvarchar] (50) NULL, [tilt] [nvarchar] (1)) ON [PRIMARY]");
  vorel.Execute(
      "create table [ZMP_Pld_User]  ([pld_id] [int] NULL ,[user_id] [int] NULL ) ON [PRIMARY]");
  vorel.Execute(
      "create table [ZMP_User]  ([id] [int] NULL, [nev] [nvarchar] (50) NULL, [u_nev] [nvarchar] "
      "(30) NULL, [u_pwd] [nvarchar] (30) NULL, [tilt] [nvarchar] (1) NULL, [rg] [nvarchar] (1) "
      "NULL) ON [PRIMARY]");
  const std::string company = "Első Kft";
  vorel.Execute("insert into ZMP_Peldany (id, pld, fiznev, tilt) values (1,  ' " + company + " ' " +
                ", " + " ' " + name + " ' " + "," + "'N' " + ")  ");
  vorel.Execute(
      "Insert into zmp_user (id, nev, u_nev, u_pwd, tilt, rg)  values  (2,  'RENDSZERGAZDA' ,   "
      "'ZMPHP' , '570392' ,  'N' , 'I' )");
  vorel.Execute("Insert into zmp_pld_user (pld_id, user_id) values (1, 2)");
  vorel.Execute("Insert into zmp_param (kod, nev ,ertek) values ( 'ZMP' ,  'ID' , '30' )");

  // A second company registers with the next id.
  const long long n = vorel.Query("select coalesce(max(id),0) db from ZMP_Peldany").Integer("DB");
  EXPECT_EQ(n, 1);
  vorel.Execute("insert into ZMP_Peldany (id, pld, fiznev, tilt) values (" + std::to_string(n + 1) +
                ", " + " ' " + std::string("Második") + " ' " + ", " + " ' " + "ceg2" + " ' " +
                "," + "'N' " + ")  ");

  ResultSet list = vorel.Query("  select pld nev, fiznev dbname from ZMP_Peldany t order by t.id");
  EXPECT_EQ(list.Columns(), (std::vector<std::string>{"nev", "dbname"}));
  ASSERT_EQ(list.RowCount(), 2u);
  EXPECT_EQ(list.Text("NEV"), " Első Kft ");
  EXPECT_EQ(list.Text("DBNAME"), " ceg1 ");
  list.Next();
  EXPECT_EQ(list.Text("dbname"), " ceg2 ");

  ResultSet user = vorel.Query("select * from zmp_user");
  EXPECT_EQ(user.Text("u_nev"), "ZMPHP");
  EXPECT_EQ(user.Integer("id"), 2);
  EXPECT_EQ(vorel.Query("select ertek from ZMP_PARAM where kod = 'zmp'").Text("ertek"), "30");

  // The list's database name, blanks and all, opens the instance.
  Connection instance = Open(" ceg1 ");
  ResultSet id = instance.Query(
      "select b.id from sysobjects a, syscolumns b where a.id=b.id and a.name=:xa and b.name=:xb",
      {std::string("ZMP_OBJ_VER"), std::string("SZAM")});
  EXPECT_TRUE(id.IsNull("ID"));
  instance.Execute(
      "create table ZMP_OBJ_VER (szam nvarchar(10),datum datetime,szoveg nvarchar(100),exever "
      "nvarchar(10))");
  id = instance.Query(
      "select b.id from sysobjects a, syscolumns b where a.id=b.id and a.name=:xa and b.name=:xb",
      {std::string("ZMP_OBJ_VER"), std::string("SZAM")});
  EXPECT_FALSE(id.IsNull("ID"));
  EXPECT_NE(id.Integer("ID"), 0);
  EXPECT_TRUE(instance.Query("select szam from zmp_obj_ver").IsNull("SZAM"));
  instance.Execute("insert into zmp_obj_ver (szam, datum)\nvalues (:xszam, getdate())",
                   {std::string("2.0.1")});
  EXPECT_EQ(instance.Query("select szam from zmp_obj_ver").Text("SZAM"), "2.0.1");
}

TEST_F(InstanceStatementsTest, ReportDirectoryRowIsInsertedAndUpdated) {
  CreateDatabase("repdb");
  Connection c = Open("repdb");
  c.Execute(
      "create table zmp_puy (id int, nev nvarchar(30), kod nvarchar(200), tipus nvarchar(1), hossz "
      "int)");
  ResultSet r = c.Query("select id, kod from zmp_puy where nev='PWREPUT'");
  EXPECT_TRUE(r.Eof());
  EXPECT_EQ(r.Text("KOD"), "");
  EXPECT_TRUE(r.IsNull("ID"));
  c.Execute("insert into zmp_puy (id, nev, kod) values (:xid, :xnev, :xkod)",
            {std::int64_t{100}, std::string("PWREPUT"), std::string("C:\\Riport")});
  r = c.Query("select id, kod from zmp_puy where nev='PWREPUT'");
  EXPECT_EQ(r.Integer("ID"), 100);
  EXPECT_EQ(r.Text("KOD"), "C:\\Riport");
  c.Execute("update zmp_puy set kod=:xkod where id=:xid",
            {std::string("D:\\Uj"), std::int64_t{100}});
  EXPECT_EQ(c.Query("select kod from zmp_puy where nev='pwreput'").Text("kod"), "D:\\Uj");
}

TEST_F(InstanceStatementsTest, MissingTableAndColumnUseServerWording) {
  Connection c = Open("master");
  EXPECT_EQ(ErrorOf(c, "select id, kod from zmp_puy where nev='PWREPUT'"),
            "Invalid object name 'zmp_puy'.");
  EXPECT_EQ(ErrorOf(c, "select nincs from sysobjects"), "Invalid column name 'nincs'.");
  EXPECT_EQ(ErrorOf(c, "select from where"), "Incorrect syntax near 'from'.");
  EXPECT_EQ(ErrorOf(c, "create table t1 (a int) create table T1 (b int)"),
            "There is already an object named 'T1' in the database.");
  // The failed batch kept what its first statement did, as a server does.
  EXPECT_EQ(c.Query("select count(*) n from sysobjects where name = 't1'").Integer("n"), 1);
}

TEST_F(InstanceStatementsTest, SapCompanyListQueryRuns) {
  CreateDatabase("sbo");
  Connection c = Open("sbo");
  c.Execute("create table srgc (cmpName nvarchar(100), dbName nvarchar(100))");
  c.Execute(
      "insert into srgc values ('Zebra', 'z'), ('Alma', 'a'), ('Ács', 'acs'), ('Cukor', 'c'), "
      "('Csiga', 'cs')");
  ResultSet r = c.Query("select cmpName nev, dbName dbname from srgc order by cmpName");
  std::vector<std::string> order;
  for (; !r.Eof(); r.Next()) order.push_back(r.Text("nev"));
  // Hungarian order: Á is A at the first level, "Cs" a letter of its own after "C".
  EXPECT_EQ(order, (std::vector<std::string>{"Ács", "Alma", "Cukor", "Csiga", "Zebra"}));
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
