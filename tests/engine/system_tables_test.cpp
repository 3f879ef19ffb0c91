#include "engine/system_tables.h"

#include "scripted_run.h"

namespace moltaro::engine {
namespace {

using testing::Rows;
using Strings = std::vector<std::string>;

constexpr const char* kExists = "select id from dbo.sysobjects where xtype='U' and NAME=:xNAME";

class PrepareSystemTablesTest : public testing::ScriptedRunTest {
 protected:
  void AllTablesExist() {
    for (const char* name : {"ZMP_OBJ_FEJ", "ZMP_OBJ_GYEREK", "ZMP_OBJ_SZOVEG", "ZMP_OBJ_VER",
                             "ZMP_SYS_ID_SEQ", "ZMP_DUAL", "ZMP_SYS_SA"}) {
      server.Answer(kExists, {std::string(name)}, Rows({"id"}, {{std::int64_t{7}}}));
    }
  }
};

TEST_F(PrepareSystemTablesTest, ASequenceHoldingOnlyNullGetsASecondRow) {
  AllTablesExist();
  server.Answer("select ID from ZMP_SYS_ID_SEQ", Rows({"ID"}, {{db::Null()}}));
  server.Answer("select dual from ZMP_DUAL", Rows({"dual"}, {{std::string("X")}}));
  PrepareSystemTables(run);
  EXPECT_NE(server.FindExecuted("insert into zmp_sys_id_seq (id) values (10000)"), nullptr);
  EXPECT_EQ(server.FindExecuted("insert into zmp_dual (dual) values ('X')"), nullptr);
}

TEST_F(PrepareSystemTablesTest, AFailedCreateFailsTheRunAndSkipsTheSeeding) {
  server.Fail("create table ZMP_SYS_ID_SEQ (id decimal(9))", "CREATE TABLE permission denied.");
  PrepareSystemTables(run);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError, "Hiba a vezió váltás közben !");
  EXPECT_EQ(server.FindExecuted("insert into zmp_sys_id_seq (id) values (10000)"), nullptr);
  // The seeding read of ZMP_DUAL is skipped as well once the run failed.
  EXPECT_EQ(server.FindExecuted("insert into zmp_dual (dual) values ('X')"), nullptr);
  const Strings log = LogLines();
  EXPECT_EQ(Strings(log.begin() + 4, log.end()),
            (Strings{" HIBA ", " Utasítás : create table ZMP_SYS_ID_SEQ (id decimal(9))",
                     " CREATE TABLE permission denied.", "ZMP_SYS_ID_SEQ Ok", "ZMP_DUAL Ok",
                     "ZMP_SYS_SA Ok"}));
}

}  // namespace
}  // namespace moltaro::engine
