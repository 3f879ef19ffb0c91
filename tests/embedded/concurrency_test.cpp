// Several sessions on one database, in threads of this process and in other
// processes: they wait for each other's locks as SQL Server's do, and a
// database another session has open cannot be dropped.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

class ConcurrencyTest : public EmbeddedServerTest {};

constexpr const char* kLockTimeout = "Lock request time out period exceeded.";

// A transaction as the product runs them: a read, then two inserts, committed.
void TransferLoop(const std::string& connectionString, int session, int rounds) {
  Connection c(connectionString);
  c.Open();
  for (int i = 0; i < rounds; ++i) {
    c.Run(
        "BEGIN TRAN\n"
        "declare @n int\n"
        "select @n = count(*) from naplo\n"
        "insert into naplo (ki, mi) values (:k, :m)\n"
        "insert into naplo (ki, mi) values (:k2, :m2)\n"
        "COMMIT",
        {std::int64_t{session}, std::int64_t{i}, std::int64_t{session}, std::int64_t{-i}});
  }
}

TEST_F(ConcurrencyTest, ParallelTransactionsWaitInsteadOfFailing) {
  const std::string name = CreateDatabase("PARHUZAM");
  Open(name).Execute("create table naplo (id int identity(1,1) primary key, ki int, mi int)");
  constexpr int kThreads = 6;
  constexpr int kRounds = 15;
  // Another process runs the same loop at the same time (forked while this
  // one has no thread and no connection open).
  const pid_t child = fork();
  if (child == 0) {
    int status = 0;
    try {
      TransferLoop(ConnectionString(name), 100, kRounds);
    } catch (...) {
      status = 1;
    }
    _exit(status);
  }
  ASSERT_GT(child, 0);
  std::atomic<int> failures{0};
  std::vector<std::string> messages(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        TransferLoop(ConnectionString(name), t, kRounds);
      } catch (const std::exception& e) {
        ++failures;
        messages[static_cast<std::size_t>(t)] = e.what();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  int status = -1;
  waitpid(child, &status, 0);
  for (const std::string& m : messages) EXPECT_EQ(m, "");
  EXPECT_EQ(failures.load(), 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  Connection c = Open(name);
  EXPECT_EQ(c.Query("select count(*) n from naplo").Integer("n"), (kThreads + 1) * kRounds * 2);
  // Every transaction kept its two rows together.
  EXPECT_EQ(c.Query("select count(*) n from (select ki, abs(mi) m from naplo group by ki, "
                    "abs(mi) having count(*) <> 2) x")
                .Integer("n"),
            0);
}

TEST_F(ConcurrencyTest, LockTimeoutDecidesHowLongASessionWaits) {
  const std::string name = CreateDatabase("ZAROLAS");
  Connection holder = Open(name);
  holder.Execute("create table t (a int)");
  holder.Run("BEGIN TRAN insert into t values (1)");

  Connection other = Open(name);
  other.Execute("SET LOCK_TIMEOUT 0");
  EXPECT_EQ(ErrorOf(other, "insert into t values (2)"), kLockTimeout);
  EXPECT_EQ(ErrorOf(other, "BEGIN TRAN insert into t values (2) COMMIT"), kLockTimeout);
  EXPECT_EQ(other.Query("select @@TRANCOUNT n").Integer("n"), 0);
  try {
    other.Execute("update t set a = 3");
    ADD_FAILURE() << "the update did not wait for the lock";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Number(), 1222);
  }
  other.Execute("SET LOCK_TIMEOUT 50");
  EXPECT_EQ(ErrorOf(other, "delete from t"), kLockTimeout);
  // Reading does not wait.
  EXPECT_EQ(other.Query("select count(*) n from t").Integer("n"), 0);

  // Without a lock time-out the command's own time-out ends the wait.
  other.Execute("SET LOCK_TIMEOUT -1");
  other.SetCommandTimeout(1);
  EXPECT_EQ(ErrorOf(other, "insert into t values (4)"), "Query timeout expired");

  holder.Execute("COMMIT");
  other.SetCommandTimeout(30);
  other.Execute("insert into t values (5)");
  EXPECT_EQ(other.Query("select count(*) n from t").Integer("n"), 2);
  EXPECT_THAT(ErrorOf(other, "SET LOCK_TIMEOUT abc"), HasSubstr("Incorrect syntax near"));
}

TEST_F(ConcurrencyTest, WaitingSessionGoesOnWhenTheLockIsReleased) {
  const std::string name = CreateDatabase("VARAKOZAS");
  Connection holder = Open(name);
  holder.Execute("create table t (a int)");
  holder.Run("BEGIN TRAN insert into t values (1)");
  std::atomic<bool> done{false};
  std::string failure;
  std::thread waiter([&] {
    try {
      Connection other = Open(name);
      other.Run("BEGIN TRAN insert into t values (2) COMMIT");
    } catch (const std::exception& e) {
      failure = e.what();
    }
    done = true;
  });
  // Whatever the waiter has done by now, it cannot have finished: the lock is held.
  for (int i = 0; i < 20 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(done.load());
  holder.Execute("COMMIT");
  waiter.join();
  EXPECT_EQ(failure, "");
  EXPECT_EQ(holder.Query("select count(*) n from t").Integer("n"), 2);
}

TEST_F(ConcurrencyTest, DatabaseInUseByAnotherSessionCannotBeDropped) {
  const std::string name = CreateDatabase("HASZNALT");
  const std::string inUse = "Cannot drop database \"HASZNALT\" because it is currently in use.";
  Connection master = Open("master");
  {
    Connection user = Open(name);
    EXPECT_EQ(ErrorOf(master, "drop database HASZNALT"), inUse);
    EXPECT_EQ(ErrorOf(user, "drop database HASZNALT"), inUse);
    // Database statements cannot wait behind the session's own transaction.
    master.Execute("BEGIN TRAN");
    EXPECT_EQ(ErrorOf(master, "create database MASIK"),
              "CREATE DATABASE statement not allowed within multi-statement transaction.");
    EXPECT_EQ(master.Query("select @@TRANCOUNT n").Integer("n"), 0);
  }
  EXPECT_EQ(ErrorOf(master, "drop database HASZNALT"), "");
  EXPECT_EQ(master
                .Query("select count(*) n from sysdatabases where name = "
                       "'HASZNALT'")
                .Integer("n"),
            0);
}

TEST_F(ConcurrencyTest, DatabaseInUseByAnotherProcessCannotBeDroppedUntilItEnds) {
  const std::string name = CreateDatabase("FOLYAMAT");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(ready[0]);
    try {
      Connection c = Open(name);
      (void)!write(ready[1], "1", 1);
      pause();  // killed by the test
    } catch (...) {
    }
    _exit(1);
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  close(ready[0]);
  Connection master = Open("master");
  EXPECT_EQ(ErrorOf(master, "drop database FOLYAMAT"),
            "Cannot drop database \"FOLYAMAT\" because it is currently in use.");
  // Killed, the process leaves no stale "in use" behind.
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(ErrorOf(master, "drop database FOLYAMAT"), "");
  EXPECT_FALSE(std::filesystem::exists(DataDir() / "FOLYAMAT_data.mdf"));
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
