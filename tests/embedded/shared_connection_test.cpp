// Sessions of one process that take turns on a database share its SQLite
// connection between their commands; each must still see only its own
// temporary tables, identities, transaction and options, and a connection
// must never outlive the sessions of its database.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "db/connection.h"
#include "db/embedded/storage/sqlite_db.h"
#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

class SharedConnectionTest : public EmbeddedServerTest {};

TEST_F(SharedConnectionTest, SessionsTakingTurnsKeepTheirOwnState) {
  const std::string name = CreateDatabase("FELVALTVA");
  Connection a = Open(name);
  Connection b = Open(name);
  a.Execute("create table t (id int identity(1,1) primary key, v int)");

  // The other session's DDL is seen at once, and by statements it ran before.
  b.Execute("insert into t (v) values (10)");
  EXPECT_EQ(b.Query("select count(*) n from t").Integer("n"), 1);
  a.Execute("alter table t add w int null");
  b.Execute("insert into t (v, w) values (20, 2)");
  EXPECT_EQ(b.Query("select count(*) n from t").Integer("n"), 2);

  // Identities: each session's last one.
  a.Execute("insert into t (v) values (30)");
  b.Execute("insert into t (v) values (40)");
  EXPECT_EQ(a.Query("select @@IDENTITY i").Integer("i"), 3);
  EXPECT_EQ(b.Query("select @@IDENTITY i").Integer("i"), 4);

  // Temporary tables belong to the session that made them.
  a.Execute("create table #munka (x int)");
  a.Execute("insert into #munka values (1)");
  EXPECT_THAT(ErrorOf(b, "select count(*) n from #munka"), HasSubstr("#munka"));
  b.Execute("create table #munka (y nvarchar(10), z int)");
  b.Execute("insert into #munka values ('b', 2)");
  b.Execute("insert into #munka values ('c', 3)");
  EXPECT_EQ(a.Query("select count(*) n from #munka").Integer("n"), 1);
  EXPECT_EQ(b.Query("select sum(z) n from #munka").Integer("n"), 5);
  a.Execute("drop table #munka");
  EXPECT_EQ(b.Query("select count(*) n from #munka").Integer("n"), 2);

  // A transaction left open by one session is not the other's.
  a.Run("BEGIN TRAN insert into t (v) values (50)");
  EXPECT_EQ(b.Query("select count(*) n from t").Integer("n"), 4);
  EXPECT_EQ(b.Query("select @@TRANCOUNT n").Integer("n"), 0);
  b.Execute("SET LOCK_TIMEOUT 0");
  try {
    b.Execute("insert into t (v) values (60)");
    ADD_FAILURE() << "the insert did not meet the other session's lock";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Number(), 1222);
  }
  EXPECT_EQ(a.Query("select count(*) n from t").Integer("n"), 5);
  a.Execute("ROLLBACK");
  EXPECT_EQ(b.Query("select count(*) n from t").Integer("n"), 4);
  b.Execute("insert into t (v) values (60)");
  EXPECT_EQ(a.Query("select count(*) n from t").Integer("n"), 5);
}

// The session's functions are read from the session running the statement,
// not from whichever session used the connection before.
TEST_F(SharedConnectionTest, SessionFunctionsTellTheirOwnSession) {
  const std::string name = CreateDatabase("MUNKAMENET");
  Connection a = Open(name);
  Connection b(ConnectionString(name) + "Application Name=Berszamfejtes;");
  b.Open();
  a.Execute("create table naplo (ki int default @@spid, program nvarchar(128) default app_name())");
  const std::int64_t spidA = a.Query("select @@spid n").Integer("n");
  const std::int64_t spidB = b.Query("select @@spid n").Integer("n");
  EXPECT_GE(spidA, 51);
  EXPECT_NE(spidA, spidB);
  EXPECT_EQ(a.Query("select @@spid n").Integer("n"), spidA);
  EXPECT_EQ(a.Query("select app_name() p").Text("p"), "");
  EXPECT_EQ(b.Query("select app_name() p").Text("p"), "Berszamfejtes");
  b.Execute("insert into naplo default values");
  EXPECT_EQ(b.Query("select count(*) n from naplo").Integer("n"), 1);
  EXPECT_EQ(b.Query("select program from naplo").Text("program"), "Berszamfejtes");
  EXPECT_EQ(b.Query("select ki from naplo").Integer("ki"), spidB);
  EXPECT_EQ(a.Query("select program from naplo").Text("program"), "Berszamfejtes");
}

TEST_F(SharedConnectionTest, UserFunctionsRunInTheSessionThatCallsThem) {
  const std::string name = CreateDatabase("FUGGVENY");
  {
    Connection a = Open(name);
    a.Execute("create function dbo.ketszer (@n int) returns int as begin return @n * 2 end");
    EXPECT_EQ(a.Query("select dbo.ketszer(4) n").Integer("n"), 8);
  }
  // The connection the first session used serves the next one.
  Connection b = Open(name);
  EXPECT_EQ(b.Query("select dbo.ketszer(5) n").Integer("n"), 10);
  Connection c = Open(name);
  c.Execute("create table s (n int)");
  c.Execute("insert into s values (1)");
  c.Execute("insert into s values (2)");
  EXPECT_EQ(b.Query("select sum(dbo.ketszer(n)) n from s").Integer("n"), 6);
}

TEST_F(SharedConnectionTest, ARecreatedDatabaseIsNotServedByTheDroppedOnesConnection) {
  Connection master = Open("master");
  for (int round = 0; round < 2; ++round) {
    const std::string name = CreateDatabase("UJRA");
    {
      Connection c = Open(name);
      EXPECT_EQ(c.Query("select count(*) n from sysobjects where name = 'regi'").Integer("n"), 0);
      c.Execute("create table regi (a int)");
      c.Execute("insert into regi values (1)");
    }
    master.Execute("drop database UJRA");
  }
}

// A statement of the connection's cache is lent to one caller at a time and
// comes back reset, its values cleared.
TEST(CachedStatementTest, IsLentToOneCallerAtATimeAndComesBackClean) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("moltaro_cached_statement_" + std::to_string(::getpid()) + ".db");
  std::filesystem::remove(file);
  {
    SqliteDb db(file, true);
    db.Exec("CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1), (2), (3)");
    const std::string sql = "SELECT a FROM t WHERE a >= ? ORDER BY a";
    sqlite3_stmt* first = nullptr;
    {
      CachedStatement outer = db.PrepareCached(sql);
      first = outer.get();
      sqlite3_bind_int(outer.get(), 1, 2);
      ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
      EXPECT_EQ(sqlite3_column_int(outer.get(), 0), 2);
      // Asked again while the outer caller is half-way through its rows.
      CachedStatement inner = db.PrepareCached(sql);
      EXPECT_NE(inner.get(), first);
      sqlite3_bind_int(inner.get(), 1, 1);
      ASSERT_EQ(sqlite3_step(inner.get()), SQLITE_ROW);
      EXPECT_EQ(sqlite3_column_int(inner.get(), 0), 1);
      ASSERT_EQ(sqlite3_step(outer.get()), SQLITE_ROW);
      EXPECT_EQ(sqlite3_column_int(outer.get(), 0), 3);
    }
    CachedStatement again = db.PrepareCached(sql);
    EXPECT_EQ(again.get(), first);
    EXPECT_FALSE(sqlite3_stmt_busy(again.get()));
    // The value bound before is gone: NULL matches nothing.
    EXPECT_EQ(sqlite3_step(again.get()), SQLITE_DONE);
    again.reset();
    // Nothing left open: the schema can change.
    db.Exec("DROP TABLE t");
  }
  std::filesystem::remove(file);
  std::filesystem::remove(file.string() + "-wal");
  std::filesystem::remove(file.string() + "-shm");
}

// SET DATEFORMAT and SET DATEFIRST belong to the session, not to the SQLite
// connection it hands on between commands.
TEST_F(SharedConnectionTest, DateSettingsStayWithTheirSession) {
  const std::string name = CreateDatabase("DATUMREND");
  const std::string read = "select convert(varchar(10), cast('02/03/2021' as datetime), 120) d";
  Connection a = Open(name);
  a.Execute("SET DATEFORMAT dmy SET DATEFIRST 1");
  Connection b = Open(name);
  EXPECT_EQ(b.Query(read).Text("d"), "2021-02-03");
  EXPECT_EQ(b.Query("select @@DATEFIRST f").Integer("f"), 7);
  EXPECT_EQ(a.Query(read).Text("d"), "2021-03-02");
  EXPECT_EQ(a.Query("select @@DATEFIRST f").Integer("f"), 1);
  b.Execute("SET DATEFORMAT ymd");
  EXPECT_EQ(a.Query("select convert(varchar(10), cast('09/02/03' as datetime), 120) d").Text("d"),
            "2003-02-09");
  // A new connection begins with us_english's settings.
  Connection fresh = Open(name);
  EXPECT_EQ(fresh.Query(read).Text("d"), "2021-02-03");
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
