// Stored T-SQL is compiled once per schema version and shared by the
// sessions of the process: a change one session makes is what every other
// session runs next, whatever it ran before, and sessions in threads read
// the shared code at the same time.
#include <atomic>
#include <thread>
#include <vector>

#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

class StoredCodeTest : public EmbeddedServerTest {};

TEST_F(StoredCodeTest, AChangeBySessionIsSeenByTheOthers) {
  const std::string name = CreateDatabase("KOZOS");
  Connection a = Open(name);
  Connection b = Open(name);
  a.Execute("create table t (id int primary key, v int constraint DF_t_v default (1))");
  a.Execute("create function dbo.f(@x int) returns int as begin return @x + 1 end");
  a.Execute(
      "create function dbo.g(@x int) returns int as begin declare @r int set @r = @x * 10 "
      "return @r end");
  a.Execute("create procedure dbo.p @r int output as set @r = 1");
  const std::string call = "declare @r int exec dbo.p @r output select @r r";

  EXPECT_EQ(b.Query("select dbo.f(1) f, dbo.g(1) g").Integer("f"), 2);
  EXPECT_EQ(b.Query("select dbo.f(1) f, dbo.g(1) g").Integer("g"), 10);
  EXPECT_EQ(b.Query(call).Integer("r"), 1);
  b.Execute("insert t (id) values (1)");

  a.Execute("alter function dbo.f(@x int) returns int as begin return @x + 2 end");
  a.Execute(
      "alter function dbo.g(@x int) returns int as begin declare @r int set @r = @x * 20 "
      "return @r end");
  a.Execute("alter procedure dbo.p @r int output as set @r = 2");
  a.Execute("alter table t drop constraint DF_t_v");
  a.Execute("alter table t add constraint DF_t_v default (2) for v");

  // The same texts as before the change: nothing kept from then may answer.
  EXPECT_EQ(b.Query("select dbo.f(1) f, dbo.g(1) g").Integer("f"), 3);
  EXPECT_EQ(b.Query("select dbo.f(1) f, dbo.g(1) g").Integer("g"), 20);
  EXPECT_EQ(b.Query(call).Integer("r"), 2);
  b.Execute("insert t (id) values (2)");
  EXPECT_EQ(b.Query("select v from t where id = 2").Integer("v"), 2);

  a.Execute("drop function dbo.f");
  EXPECT_NE(ErrorOf(b, "select dbo.f(1) f, dbo.g(1) g"), "");
  a.Execute("create function dbo.f(@x varchar(2)) returns varchar(5) as begin return @x + '!' end");
  EXPECT_EQ(b.Query("select dbo.f('abc') f").Text("f"), "ab!");
}

TEST_F(StoredCodeTest, ADatabaseMadeAgainDoesNotMeetItsPredecessorsCode) {
  // The same statements in a database of the same name reach the same
  // schema version: only the code of the database itself may answer.
  for (int round = 1; round <= 2; ++round) {
    const std::string name = CreateDatabase("UJRA");
    {
      Connection c = Open(name);
      c.Execute("create function dbo.f() returns int as begin return " + std::to_string(round) +
                " end");
      c.Execute("create procedure dbo.p @r int output as set @r = " + std::to_string(round));
      EXPECT_EQ(c.Query("select dbo.f() f").Integer("f"), round);
      EXPECT_EQ(c.Query("declare @r int exec dbo.p @r output select @r r").Integer("r"), round);
    }
    Open("master").Execute("drop database UJRA");
  }
}

TEST_F(StoredCodeTest, SessionsInThreadsShareTheCompiledCode) {
  const std::string name = CreateDatabase("SZALAK");
  {
    Connection c = Open(name);
    c.Execute("create table t (a int)");
    c.Execute("insert t values (1) insert t values (2) insert t values (3)");
    c.Execute("create function dbo.f(@x int) returns int as begin return @x + 1 end");
    c.Execute(
        "create function dbo.g(@x int) returns int as begin declare @r int set @r = dbo.f(@x) "
        "return @r end");
    c.Execute("create procedure dbo.p @n int, @r int output as set @r = dbo.g(@n) + @n");
    c.Execute("create function dbo.other() returns int as begin return 0 end");
  }
  constexpr int kThreads = 4;
  constexpr int kRounds = 40;
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::string> errors(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        Connection c(ConnectionString(name));
        c.Open();
        for (int i = 0; i < kRounds; ++i) {
          if (c.Query("select sum(dbo.f(a)) s, sum(dbo.g(a)) s2 from t").Integer("s2") != 9) {
            ++wrong;
          }
          if (c.Query("declare @r int exec dbo.p :n, @r output select @r r", {std::int64_t{i}})
                  .Integer("r") != 2 * i + 1) {
            ++wrong;
          }
        }
      } catch (const std::exception& e) {
        errors[static_cast<std::size_t>(t)] = e.what();
      }
    });
  }
  // Meanwhile the schema version moves: the threads compile again and again.
  std::thread changer([&] {
    Connection c(ConnectionString(name));
    c.Open();
    for (int i = 0; !stop && i < 200; ++i) {
      c.Execute("alter function dbo.other() returns int as begin return " + std::to_string(i) +
                " end");
    }
  });
  for (auto& thread : threads) thread.join();
  stop = true;
  changer.join();
  for (const std::string& e : errors) EXPECT_EQ(e, "");
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
