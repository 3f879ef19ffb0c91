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

TEST_F(PrepareSystemTablesTest, CreatesAndSeedsEverythingOnAnEmptyDatabase) {
  PrepareSystemTables(run);
  EXPECT_EQ(server.Executed(),
            (Strings{
                "create table ZMP_OBJ_FEJ (id numeric(9), fej_id numeric(9), tipus nvarchar(1), "
                "nev nvarchar(30), hiba nvarchar(1), verzio nvarchar(1), sor numeric(9), utasit "
                "nvarchar(1))",
                "create table ZMP_OBJ_GYEREK(id numeric(9), fej_id numeric(9), gyerek_id "
                "numeric(9), sor numeric(4), nev nvarchar(30), tipus numeric(4), hossz "
                "numeric(4), tizedes numeric(4), notnull nvarchar(1), deflt nvarchar(100))",
                "create table ZMP_OBJ_SZOVEG (fej_id numeric(9), sor numeric(4), szoveg "
                "nvarchar(4000))",
                "create table ZMP_OBJ_VER (szam nvarchar(10),datum datetime,szoveg "
                "nvarchar(100),exever nvarchar(10))",
                "create table ZMP_SYS_ID_SEQ (id decimal(9))",
                "insert into zmp_sys_id_seq (id) values (10000)",
                "create table ZMP_DUAL (dual nvarchar(1))",
                "insert into zmp_dual (dual) values ('X')",
                "create table ZMP_SYS_SA (SANAME nvarchar(100), SAPWD nvarchar(100), SADB "
                "nvarchar(100), BENDE nvarchar(10))",
                "insert into ZMP_SYS_SA (saname, sapwd, sadb, bende) values (:x1, :x2, :x3, :x4)",
            }));
  const testing::Sent* login = server.FindExecuted(
      "insert into ZMP_SYS_SA (saname, sapwd, sadb, bende) values (:x1, :x2, :x3, :x4)");
  ASSERT_NE(login, nullptr);
  EXPECT_EQ(login->params, (db::Params{std::string("sa"), std::string("titok"),
                                       std::string("ZMP_CEG"), std::string("NNNNNNNNNN")}));
  for (const testing::Sent& sent : server.sent) EXPECT_EQ(sent.connection, "dbCel") << sent.sql;
  EXPECT_EQ(LogLines(),
            (Strings{"ZMP_OBJ_FEJ Ok", "ZMP_OBJ_GYEREK Ok", "ZMP_OBJ_SZOVEG Ok", "ZMP_OBJ_VER Ok",
                     "ZMP_SYS_ID_SEQ Ok", "ZMP_DUAL Ok", "ZMP_SYS_SA Ok"}));
  EXPECT_FALSE(run.state.Failed);
  EXPECT_EQ(display.labels[ValtLabel::lMit], "");
  EXPECT_EQ(display.phases, Strings{"OBJ"});
}

TEST_F(PrepareSystemTablesTest, OnAPreparedDatabaseRecreatesTheCatalogueAndToleratesTheAlter) {
  AllTablesExist();
  server.Answer("select ID from ZMP_SYS_ID_SEQ", Rows({"ID"}, {{std::int64_t{10044}}}));
  server.Answer("select dual from ZMP_DUAL", Rows({"dual"}, {{std::string("X")}}));
  server.Fail("alter table ZMP_OBJ_VER add exever nvarchar(10)",
              "Column names in each table must be unique.");
  PrepareSystemTables(run);
  EXPECT_EQ(server.Executed(),
            (Strings{"drop table ZMP_OBJ_FEJ",
                     "create table ZMP_OBJ_FEJ (id numeric(9), fej_id numeric(9), tipus "
                     "nvarchar(1), nev nvarchar(30), hiba nvarchar(1), verzio nvarchar(1), sor "
                     "numeric(9), utasit nvarchar(1))",
                     "drop table ZMP_OBJ_GYEREK",
                     "create table ZMP_OBJ_GYEREK(id numeric(9), fej_id numeric(9), gyerek_id "
                     "numeric(9), sor numeric(4), nev nvarchar(30), tipus numeric(4), hossz "
                     "numeric(4), tizedes numeric(4), notnull nvarchar(1), deflt nvarchar(100))",
                     "drop table ZMP_OBJ_SZOVEG",
                     "create table ZMP_OBJ_SZOVEG (fej_id numeric(9), sor numeric(4), szoveg "
                     "nvarchar(4000))",
                     "alter table ZMP_OBJ_VER add exever nvarchar(10)", "drop table ZMP_SYS_SA",
                     "create table ZMP_SYS_SA (SANAME nvarchar(100), SAPWD nvarchar(100), SADB "
                     "nvarchar(100), BENDE nvarchar(10))",
                     "insert into ZMP_SYS_SA (saname, sapwd, sadb, bende) values (:x1, :x2, "
                     ":x3, :x4)"}));
  EXPECT_EQ(LogLines(),
            (Strings{"ZMP_OBJ_FEJ Ok", "ZMP_OBJ_GYEREK Ok", "ZMP_OBJ_SZOVEG Ok", " HIBA  (elmegy)",
                     " Utasítás : alter table ZMP_OBJ_VER add exever nvarchar(10)",
                     " Column names in each table must be unique.", "ZMP_OBJ_VER Ok",
                     "ZMP_SYS_ID_SEQ Ok", "ZMP_DUAL Ok", "ZMP_SYS_SA Ok"}));
  EXPECT_FALSE(run.state.Failed);
}

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
