// Stored procedures, functions, views and procedural batches.
#include <gmock/gmock.h>

#include <string>
#include <utility>
#include <vector>

#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

class ProceduresTest : public EmbeddedServerTest {
 protected:
  static void SetUpTestSuite() {
    EmbeddedServerTest::SetUpTestSuite();
    CreateDatabase("proc");
    Connection c = Open("proc");
    c.Execute("create table ZMP_SYS_ID_SEQ (id decimal(9))");
    c.Execute("insert into zmp_sys_id_seq (id) values (10000)");
    c.Execute(
        "CREATE PROCEDURE ZMP_ID_SEQ_INC @idseq_val int OUTPUT AS\n"
        "BEGIN\n"
        "  SET NOCOUNT ON\n"
        "  UPDATE ZMP_SYS_ID_SEQ SET id = id + @idseq_val\n"
        "  SELECT @idseq_val = id FROM ZMP_SYS_ID_SEQ\n"
        "  RETURN 0\n"
        "END");
  }
  Connection c_ = Open("proc");

  long long NextId() {
    ProcedureParameters p = {{"@RETURN_VALUE", ParameterDirection::ReturnValue, Value{}},
                             {"@idseq_val", ParameterDirection::InputOutput, std::int64_t{1}}};
    c_.CallProcedure("ZMP_ID_SEQ_INC;1", p);
    EXPECT_EQ(p[0].value, Value(std::int64_t{0}));
    return ToInteger(p[1].value);
  }
};

TEST_F(ProceduresTest, ConsecutiveNextIdCallsGiveIncreasingIds) {
  const long long first = NextId();
  const long long second = NextId();
  EXPECT_LT(first, second);
  EXPECT_EQ(second, first + 1);
}

TEST_F(ProceduresTest, ProcedureTextIsKeptAndAlterOfMissingIsRefused) {
  EXPECT_THAT(c_.Query("select c.text from sysobjects o, syscomments c where o.id = c.id and "
                       "o.name = 'zmp_id_seq_inc'")
                  .Text("text"),
              ::testing::StartsWith("CREATE PROCEDURE ZMP_ID_SEQ_INC @idseq_val int OUTPUT AS"));
  EXPECT_EQ(c_.Query("select NAME from SYSOBJECTS where NAME=:xNAME and TYPE in ('P', 'FN')",
                     {std::string("ZMP_ID_SEQ_INC")})
                .Text("NAME"),
            "ZMP_ID_SEQ_INC");
  EXPECT_EQ(ErrorOf(c_, "ALTER PROCEDURE nincs AS RETURN 1"), "Invalid object name 'nincs'.");
  EXPECT_EQ(ErrorOf(c_, "CREATE PROCEDURE zmp_id_seq_inc AS RETURN 1"),
            "There is already an object named 'zmp_id_seq_inc' in the database.");
  c_.Execute(
      "CREATE FUNCTION ZMP_TF (@a int) RETURNS @t TABLE (x int) AS BEGIN INSERT INTO @t VALUES "
      "(@a) RETURN END");
  EXPECT_EQ(c_.Query("select xtype from sysobjects where name = 'ZMP_TF'").Text("xtype"), "TF");
  EXPECT_EQ(
      ErrorOf(c_, "CREATE FUNCTION ZMP_TF (@a int) RETURNS @t TABLE (x int) AS BEGIN RETURN END"),
      "There is already an object named 'ZMP_TF' in the database.");
  c_.Execute("CREATE FUNCTION ZMP_F1 (@a int) RETURNS int AS BEGIN RETURN @a + 1 END");
  EXPECT_EQ(c_.Query("select xtype from sysobjects where name = 'zmp_f1'").Text("xtype"), "FN");
  c_.Execute("drop function ZMP_F1");
  c_.Execute("drop function ZMP_TF");
}

TEST_F(ProceduresTest, BatchesRunTheProceduralSubset) {
  BatchResult r = c_.Run(
      "DECLARE @i int, @s nvarchar(20)\n"
      "SET @i = 0\n"
      "SET @s = ''\n"
      "WHILE @i < 10\n"
      "BEGIN\n"
      "  SET @i = @i + 1\n"
      "  IF @i = 3 CONTINUE\n"
      "  IF @i > 5 BREAK\n"
      "  SET @s = @s + CAST(@i AS nvarchar(2))\n"
      "END\n"
      "IF EXISTS (SELECT * FROM sysobjects WHERE name = 'ZMP_SYS_ID_SEQ') PRINT 'van'\n"
      "ELSE PRINT 'nincs'\n"
      "IF OBJECT_ID('dbo.ZMP_SYS_ID_SEQ') IS NOT NULL SELECT @s s, @i i");
  ASSERT_EQ(r.results.size(), 1u);
  EXPECT_EQ(r.results[0].Text("s"), "1245");
  EXPECT_EQ(r.results[0].Integer("i"), 6);
  EXPECT_EQ(r.messages, (std::vector<std::string>{"van"}));
  EXPECT_EQ(ErrorOf(c_, "RAISERROR('Hiba %s: %d', 16, 1, 'x', 5)"), "Hiba x: 5");
  // The severity RAISERROR gives travels with the error; a server error's
  // comes from the message table.
  for (const auto& [batch, severity] :
       std::vector<std::pair<std::string, int>>{{"RAISERROR('Sulyos', 18, 1)", 18},
                                                {"select * from nincs_ilyen_tabla", 16},
                                                {"select 'nincs vege", 15}}) {
    try {
      c_.Run(batch);
      ADD_FAILURE() << batch << " succeeded";
    } catch (const DatabaseError& e) {
      EXPECT_EQ(e.Severity(), severity) << batch;
    }
  }
  EXPECT_EQ(ErrorOf(c_, "SET @x = 1"), "Must declare the scalar variable \"@x\".");
  EXPECT_EQ(c_.Run("declare @n int set @n = 5 set @n += 2 set @n *= 3 set @n /= 4 select @n n")
                .results.at(0)
                .Integer("n"),
            5);
  EXPECT_EQ(ErrorOf(c_, "declare @n int, @s nvarchar(5) set @n = 1 set @s = 'x' set @n -= @s"),
            "Conversion failed when converting the varchar value 'x' to data type int.");
}

TEST_F(ProceduresTest, ExecPassesParametersByPositionNameAndOutput) {
  c_.Execute(
      "create procedure zmp_konvertalas_utan_fut1 @ev int, @szoveg nvarchar(20) = 'alap' output\n"
      "as\n"
      "  set @szoveg = @szoveg + '-' + cast(@ev as nvarchar(4))\n"
      "  if @ev < 2000 return 1\n"
      "  return 2");
  BatchResult r = c_.Run(
      "declare @r int, @s nvarchar(20)\n"
      "set @s = 'x'\n"
      "exec @r = zmp_konvertalas_utan_fut1 2009, @s output\n"
      "select @r r, @s s");
  EXPECT_EQ(r.results.at(0).Integer("r"), 2);
  EXPECT_EQ(r.results.at(0).Text("s"), "x-2009");
  ProcedureParameters p = {{"@RETURN_VALUE", ParameterDirection::ReturnValue, Value{}},
                           {"@ev", ParameterDirection::Input, std::int64_t{1999}}};
  c_.CallProcedure("zmp_konvertalas_utan_fut1", p);
  EXPECT_EQ(p[0].value, Value(std::int64_t{1}));
  EXPECT_EQ(ErrorOf(c_, "exec zmp_konvertalas_utan_fut1"),
            "Procedure or function 'zmp_konvertalas_utan_fut1' expects parameter '@ev', which was "
            "not supplied.");
  EXPECT_EQ(ErrorOf(c_, "exec nincs_ilyen"), "Could not find stored procedure 'nincs_ilyen'.");
}

TEST_F(ProceduresTest, ScalarFunctionsCanBeCalled) {
  c_.Execute(
      "CREATE FUNCTION dbo.ZMP_TELJES_NEV (@vezetek nvarchar(30), @uto nvarchar(30))\n"
      "RETURNS nvarchar(61) AS\n"
      "BEGIN\n"
      "  IF @uto IS NULL RETURN @vezetek\n"
      "  RETURN @vezetek + ' ' + @uto\n"
      "END");
  ResultSet r =
      c_.Query("select dbo.ZMP_TELJES_NEV('Kiss', 'Anna') a, dbo.zmp_teljes_nev(:v, NULL) b",
               {std::string("Nagy")});
  EXPECT_EQ(r.Text("a"), "Kiss Anna");
  EXPECT_EQ(r.Text("b"), "Nagy");
  EXPECT_EQ(ErrorOf(c_, "select dbo.ZMP_TELJES_NEV('x')"),
            "An insufficient number of arguments were supplied for the procedure or function "
            "ZMP_TELJES_NEV.");
  c_.Execute(
      "CREATE FUNCTION ZMP_FAKT (@n int) RETURNS int AS BEGIN IF @n <= 1 RETURN 1 RETURN @n * "
      "dbo.ZMP_FAKT(@n - 1) END");
  EXPECT_EQ(c_.Query("select dbo.ZMP_FAKT(5) f").Integer("f"), 120);
  EXPECT_THAT(ErrorOf(c_, "select dbo.ZMP_FAKT(40) f"), HasSubstr("nesting level exceeded"));
}

TEST_F(ProceduresTest, RunawayLoopHitsTheCommandTimeout) {
  c_.SetCommandTimeout(1);
  EXPECT_EQ(ErrorOf(c_, "declare @i int set @i = 0 while 1 = 1 set @i = @i + 1"),
            "Query timeout expired");
  c_.SetCommandTimeout(30);
  EXPECT_EQ(c_.Query("select 1 one").Integer("one"), 1);
}

TEST_F(ProceduresTest, FailedDdlLeavesNothingBehind) {
  EXPECT_EQ(
      ErrorOf(c_,
              "create table half (a int constraint DUP default 1, b int constraint DUP default 2)"),
      "There is already an object named 'DUP' in the database.");
  EXPECT_EQ(
      c_.Query("select count(*) n from sysobjects where name in ('half', 'DUP')").Integer("n"), 0);
  EXPECT_EQ(ErrorOf(c_, "select * from half"), "Invalid object name 'half'.");
}

TEST_F(ProceduresTest, DatabasesCanBeSwitchedAndDropped) {
  CreateDatabase("dropdb");
  Connection m = Open("master");
  BatchResult r = m.Run("use dropdb\ncreate table x (a int)\nselect db_name() d");
  EXPECT_EQ(r.results.at(0).Text("d"), "dropdb");
  EXPECT_EQ(ErrorOf(m, "drop database dropdb"),
            "Cannot drop database \"dropdb\" because it is currently in use.");
  m.Run("use master");
  m.Execute("drop database dropdb");
  EXPECT_FALSE(std::filesystem::exists(DataDir() / "dropdb_data.mdf"));
  EXPECT_EQ(ErrorOf(m, "drop database dropdb"),
            "Cannot drop the database 'dropdb', because it does not exist or you do not have "
            "permission.");
}

TEST_F(ProceduresTest, TransactionsSpanBatchesAndFailuresRollBack) {
  c_.Execute("create table tr (a int)");
  c_.Run("begin tran insert into tr values (1)");
  EXPECT_EQ(c_.Query("select @@trancount n").Integer("n"), 1);
  c_.Run("rollback");
  EXPECT_EQ(c_.Query("select count(*) n from tr").Integer("n"), 0);
  c_.Run("begin transaction\ninsert into tr values (2)\ncommit");
  EXPECT_EQ(c_.Query("select count(*) n from tr").Integer("n"), 1);
  EXPECT_EQ(ErrorOf(c_, "begin tran insert into tr values (3) insert into tr values ('x')"),
            "Conversion failed when converting the varchar value 'x' to data type int.");
  EXPECT_EQ(c_.Query("select @@trancount n").Integer("n"), 0);
  EXPECT_EQ(c_.Query("select count(*) n from tr").Integer("n"), 1);
  EXPECT_EQ(ErrorOf(c_, "commit"),
            "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.");
}

TEST_F(ProceduresTest, IdentityOfTheLastInsertIsReadable) {
  c_.Execute("create table ident (id int identity(100, 10), nev nvarchar(10))");
  c_.Execute("insert into ident (nev) values ('a')");
  BatchResult r = c_.Run(
      "declare @uj int\n"
      "insert into ident (nev) values ('b')\n"
      "set @uj = scope_identity()\n"
      "select @uj uj, @@identity i");
  EXPECT_EQ(r.results.at(0).Integer("uj"), 110);
  EXPECT_EQ(r.results.at(0).Integer("i"), 110);
}

TEST_F(ProceduresTest, TemporaryTablesLiveInTheirSessionAndProcedure) {
  c_.Execute(
      "create procedure zmp_temp_osszeg @n int output as\n"
      "  create table #reszek (ertek int, nev nvarchar(10) default 'x')\n"
      "  insert into #reszek (ertek) values (1)\n"
      "  insert into #reszek (ertek) select ertek + 1 from #reszek\n"
      "  select @n = sum(ertek) from #reszek where nev = 'X'\n"
      "  drop table #reszek\n"
      "  create table #marad (a int)\n");
  BatchResult r = c_.Run("declare @n int exec zmp_temp_osszeg @n output select @n n");
  EXPECT_EQ(r.results.at(0).Integer("n"), 3);
  // The procedure's own temporary table ended with it.
  EXPECT_EQ(ErrorOf(c_, "select * from #marad"), "Invalid object name '#marad'.");
  c_.Execute("create table #munka (a int)");
  c_.Execute("insert into #munka values (5)");
  EXPECT_EQ(c_.Query("select a from #munka").Integer("a"), 5);
  EXPECT_EQ(c_.Query("select * from #munka").Columns(), (std::vector<std::string>{"a"}));
  EXPECT_EQ(c_.Query("select count(*) n from sysobjects where name like '#%'").Integer("n"), 0);
  Connection other = Open("proc");
  EXPECT_EQ(ErrorOf(other, "select a from #munka"), "Invalid object name '#munka'.");
  c_.Execute("drop table #munka");
  EXPECT_EQ(ErrorOf(c_, "select a from #munka"), "Invalid object name '#munka'.");
  c_.Execute("create table #munka (b nvarchar(5))");
  c_.Execute("insert into #munka values ('q')");
  EXPECT_EQ(c_.Query("select * from #munka").Columns(), (std::vector<std::string>{"b"}));
  c_.Execute("drop table #munka");
  EXPECT_EQ(ErrorOf(c_, "drop table #munka"),
            "Cannot drop the table '#munka', because it does not exist or you do not have "
            "permission.");
}

TEST_F(ProceduresTest, ViewsCanBeSelectedFrom) {
  c_.Execute("create view ZMP_V1 as select id, id + 1 kovetkezo from ZMP_SYS_ID_SEQ");
  ResultSet r = c_.Query("select kovetkezo - id d from zmp_v1");
  EXPECT_EQ(r.Integer("d"), 1);
  c_.Execute("drop view ZMP_V1");
  EXPECT_EQ(ErrorOf(c_, "select * from ZMP_V1"), "Invalid object name 'ZMP_V1'.");
}

TEST_F(ProceduresTest, UninstallCaptureAndDropRun) {
  CreateDatabase("uni");
  c_ = Open("uni");
  c_.Execute("create table ZMP_SYS_ID_SEQ (id decimal(9))");
  c_.Execute("CREATE PROCEDURE ZMP_ID_SEQ_INC @idseq_val int OUTPUT AS RETURN 0");
  c_.Execute("create table keep_me (a int)");
  c_.Execute(
      "create table ZMP_OBJ_FEJ (id numeric(9), fej_id numeric(9), tipus nvarchar(1), nev "
      "nvarchar(30), hiba nvarchar(1), verzio nvarchar(1), sor numeric(9), utasit nvarchar(1))");
  c_.Execute("create table ZMP_T1 (a int)");
  c_.Execute("CREATE FUNCTION ZMP_F1 (@a int) RETURNS int AS BEGIN RETURN @a END");
  c_.Execute("delete from zmp_obj_fej");
  for (const char* kind : {"FN", "P", "V", "U"}) {
    long long n = c_.Query("select count(id) mid from zmp_obj_fej").Integer("mid");
    ResultSet objects = c_.Query(
        "select name, xtype from sysobjects where name like 'ZMP%' and xtype=:x1 order by name",
        {std::string(kind)});
    for (; !objects.Eof(); objects.Next()) {
      ++n;
      const std::string name = objects.Text("name");
      c_.Execute("insert into ZMP_OBJ_FEJ (id, tipus, nev) values (:x1, :x2, :x3)",
                 {std::int64_t{name == "ZMP_OBJ_FEJ" ? 0 : n}, std::string(1, kind[0]), name});
    }
  }
  ResultSet list = c_.Query("select id, tipus, nev from zmp_obj_fej where id > 0 order by id");
  std::vector<std::string> names;
  for (; !list.Eof(); list.Next()) {
    names.push_back(list.Text("tipus") + ":" + list.Text("nev"));
    const std::string t = list.Text("tipus");
    const std::string stmt = t == "F"   ? "drop function "
                             : t == "P" ? "drop procedure "
                             : t == "V" ? "drop view "
                                        : "drop table ";
    c_.Execute(stmt + list.Text("nev"));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"F:ZMP_F1", "P:ZMP_ID_SEQ_INC", "U:ZMP_SYS_ID_SEQ",
                                             "U:ZMP_T1"}));
  c_.Execute("drop table zmp_obj_fej");
  EXPECT_EQ(c_.Query("select count(*) db from sysobjects where name like 'zmp%'").Integer("db"), 0);
  EXPECT_EQ(c_.Query("select count(*) db from sysobjects where name = 'keep_me'").Integer("db"), 1);
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
