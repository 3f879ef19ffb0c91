// Application locks: one holder per resource across sessions and processes,
// released with the transaction, the session or the process that owned them.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

class AppLockTest : public EmbeddedServerTest {
 protected:
  static void SetUpTestSuite() {
    EmbeddedServerTest::SetUpTestSuite();
    CreateDatabase("locks1");
    CreateDatabase("locks2");
  }

  // sp_getapplock's return code for a session-owned exclusive lock.
  static long long Get(Connection& c, const std::string& resource, int timeoutMs = 0,
                       const std::string& owner = "Session") {
    return ToInteger(c.Query("declare @r int\n"
                             "exec @r = sp_getapplock @Resource = :r, @LockMode = 'Exclusive', "
                             "@LockOwner = :o, @LockTimeout = :t\n"
                             "select @r as r",
                             {resource, owner, std::int64_t{timeoutMs}})
                         .Field("r"));
  }
  static long long Release(Connection& c, const std::string& resource,
                           const std::string& owner = "Session") {
    return ToInteger(c.Query("declare @r int\n"
                             "exec @r = sp_releaseapplock @Resource = :r, @LockOwner = :o\n"
                             "select @r as r",
                             {resource, owner})
                         .Field("r"));
  }
};

TEST_F(AppLockTest, OneSessionHoldsAResourceUntilItReleasesItOrCloses) {
  Connection a = Open("locks1");
  Connection b = Open("locks1");
  EXPECT_EQ(Get(a, "instance"), 0);
  EXPECT_EQ(Get(b, "instance"), -1) << "a second session is refused while the first holds it";
  EXPECT_EQ(Get(b, "Instance"), 0) << "resource names compare as bytes";
  EXPECT_EQ(Get(a, "instance"), 0) << "the holder may take it again";
  EXPECT_EQ(Release(a, "instance"), 0);
  EXPECT_EQ(Get(b, "instance"), -1) << "taken twice, released once: still held";
  EXPECT_EQ(Release(a, "instance"), 0);
  EXPECT_EQ(Get(b, "instance"), 0);
  b.Close();
  EXPECT_EQ(Get(a, "instance"), 0) << "closing the session released its locks";
}

TEST_F(AppLockTest, ResourcesBelongToTheirDatabase) {
  Connection one = Open("locks1");
  Connection two = Open("locks2");
  EXPECT_EQ(Get(one, "run"), 0);
  EXPECT_EQ(Get(two, "run"), 0);
}

TEST_F(AppLockTest, TransactionLocksNeedATransactionAndEndWithIt) {
  Connection a = Open("locks1");
  Connection b = Open("locks1");
  EXPECT_EQ(Get(a, "tx", 0, "Transaction"), -999);
  a.Execute("begin transaction");
  EXPECT_EQ(Get(a, "tx", 0, "Transaction"), 0);
  EXPECT_EQ(Get(b, "tx"), -1);
  a.Execute("commit transaction");
  EXPECT_EQ(Get(b, "tx"), 0);
}

TEST_F(AppLockTest, ReleasingALockNotHeldIsAnError) {
  Connection a = Open("locks1");
  EXPECT_THAT(ErrorOf(a, "exec sp_releaseapplock @Resource = 'nothing', @LockOwner = 'Session'"),
              HasSubstr("because it is not currently held"));
  EXPECT_THAT(ErrorOf(a, "exec sp_getapplock @Resource = 'x', @LockMode = 'Sideways'"),
              HasSubstr("invalid parameter"));
}

TEST_F(AppLockTest, AKilledProcessLeavesNoLockBehind) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    Connection held = Open("locks1");
    const char ok = Get(held, "killed") == 0 ? '1' : '0';
    (void)!write(ready[1], &ok, 1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char ok = 0;
  ASSERT_EQ(read(ready[0], &ok, 1), 1);
  close(ready[0]);
  ASSERT_EQ(ok, '1');

  Connection other = Open("locks1");
  EXPECT_EQ(Get(other, "killed"), -1) << "another process holds it";
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(Get(other, "killed", 5000), 0) << "the kill released it";
}

TEST_F(AppLockTest, AWaitingRequestIsGrantedWhenTheHolderLetsGo) {
  Connection a = Open("locks1");
  Connection b = Open("locks1");
  EXPECT_EQ(Get(a, "wait"), 0);
  long long result = 0;
  std::thread waiter([&] { result = Get(b, "wait", -1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(Release(a, "wait"), 0);
  waiter.join();
  EXPECT_EQ(result, 1) << "granted after waiting";
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
