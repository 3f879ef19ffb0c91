// Column rebuilds that an earlier run left half-done, the rebuild a failed
// alteration must not start, and the instance lock around every run.
#include <gmock/gmock.h>

#include "embedded_server_fixture.h"
#include "startup/instance_lock.h"

namespace moltaro::engine {
namespace {

using Strings = std::vector<std::string>;
using ::testing::HasSubstr;

class InterruptedRebuildTest : public testing::EmbeddedServerTest {
 protected:
  // Version 1.0 has ZMP_AR (ID, AR int NULL); 1.1 gives AR the default 5.
  static Strings Version(const std::string& number, const std::string& arRecord) {
    return {"$$V$$" + number + "$$", "$$T$$10$$ZMP_AR$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
            arRecord, "$$V$$" + number + "$$"};
  }
  const std::string kPlain = "$$t$$12$$10$$2$$AR$$56$$0$$0$$N$$$$";
  const std::string kWithDefault = "$$t$$12$$10$$2$$AR$$56$$0$$0$$N$$(5)$$";

  void SetUp() override {
    ASSERT_FALSE(Upgrade(Version("1.0", kPlain))) << frame.LastError();
    sql.Execute("insert into ZMP_AR (ID, AR) values (1, 1234)");
    sql.Execute("insert into ZMP_AR (ID, AR) values (2, NULL)");
  }

  std::string ColumnOrder() {
    db::ResultSet columns = sql.Query(
        "select b.name from sysobjects a, syscolumns b where a.id = b.id and a.name = 'ZMP_AR' "
        "order by b.colid");
    std::string names;
    for (; !columns.Eof(); columns.Next()) names += columns.Text("name") + " ";
    return names;
  }

  // After the rerun: the column rebuilt with its default and every value kept.
  void ExpectFinished() {
    EXPECT_EQ(ColumnOrder(), "ID AR ");
    EXPECT_EQ(Scalar("select AR from ZMP_AR where ID = 1"), "1234");
    EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.1");
  }
};

TEST_F(InterruptedRebuildTest, ACopyMadeBeforeTheColumnWasDroppedIsDiscarded) {
  sql.Execute("alter table ZMP_AR add AR_qxq int NULL default (5)");
  sql.Execute("update ZMP_AR set AR_qxq = 999");  // never the column's values
  ASSERT_FALSE(Upgrade(Version("1.1", kWithDefault))) << frame.LastError();
  ExpectFinished();
  EXPECT_THAT(LogLines(), ::testing::Contains(HasSubstr("AR_qxq oszlop törlése")));
}

TEST_F(InterruptedRebuildTest, AColumnReAddedWithItsDefaultGetsItsValuesBack) {
  // The state after "add AR ... default": values only in AR_qxq, AR holds the default.
  sql.Execute("alter table ZMP_AR add AR_qxq int NULL");
  sql.Execute("update ZMP_AR set AR_qxq = AR");
  sql.Execute("alter table ZMP_AR drop column AR");
  sql.Execute("alter table ZMP_AR add AR int NULL default (5)");
  ASSERT_FALSE(Upgrade(Version("1.1", kWithDefault))) << frame.LastError();
  ExpectFinished();
  EXPECT_EQ(Scalar("select AR from ZMP_AR where ID = 2"), "")
      << "a row whose kept value is NULL keeps what the column holds";
}

TEST_F(InterruptedRebuildTest, ADroppedColumnIsReAddedFromItsCopy) {
  sql.Execute("alter table ZMP_AR add AR_qxq int NULL");
  sql.Execute("update ZMP_AR set AR_qxq = AR");
  sql.Execute("alter table ZMP_AR drop column AR");
  ASSERT_FALSE(Upgrade(Version("1.1", kWithDefault))) << frame.LastError();
  ExpectFinished();
  EXPECT_EQ(Scalar("select AR from ZMP_AR where ID = 2"), "");
}

// Making a column NOT NULL while it holds NULLs: the server refuses the
// alteration, and the rebuild that would have parked the values in AR_qxq
// and lost them is not started. Every run says it failed; nothing moves.
TEST_F(InterruptedRebuildTest, ARefusedAlterationStartsNoRebuild) {
  const std::string notNullWithDefault = "$$t$$12$$10$$2$$AR$$56$$0$$0$$I$$(5)$$";
  for (int run = 0; run < 2; ++run) {
    EXPECT_TRUE(Upgrade(Version("1.1", notNullWithDefault))) << "run " << run;
    EXPECT_EQ(ColumnOrder(), "ID AR ");
    EXPECT_EQ(Scalar("select AR from ZMP_AR where ID = 1"), "1234");
    EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.0");
  }
  for (const std::string& statement : executed) EXPECT_THAT(statement, Not(HasSubstr("_qxq")));
}

TEST_F(InterruptedRebuildTest, ASecondRunOnTheInstanceIsRefusedAtOnce) {
  db::Connection other(ConnectionString(database));
  other.Open();
  {
    const InstanceLock held(other, database);
    WriteVersionFile(Version("1.1", kWithDefault));
    Prepare();
    EXPECT_TRUE(frame.RunUpgrade());
    EXPECT_EQ(frame.LastError(), InstanceBusyMessage(database));
    EXPECT_THAT(frame.LastError(), HasSubstr(database));
    EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.0");

    Prepare("XXXXX");
    EXPECT_THROW(frame.RunUninstall(), InstanceBusy);
    EXPECT_EQ(Scalar("select count(*) from sysobjects where name = 'ZMP_AR'"), "1");
    EXPECT_THROW(InstanceLock(sql, database), InstanceBusy);
  }
  ASSERT_FALSE(Upgrade(Version("1.1", kWithDefault))) << frame.LastError();
  ExpectFinished();
}

}  // namespace
}  // namespace moltaro::engine
