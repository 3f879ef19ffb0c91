#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>

#include "embedded_server_fixture.h"

namespace moltaro::engine {
namespace {

using Strings = std::vector<std::string>;

class UpgradeRunTest : public testing::EmbeddedServerTest {};

// Times and the installation moment vary; the rest of the log must match.
Strings Normalised(Strings lines) {
  const std::regex elapsed(R"(\(\d\d:\d\d\)$)");
  const std::regex moment(R"(! \d{4}\. \d\d\. \d\d\.( \d{1,2}:\d\d:\d\d)?$)");
  for (std::string& line : lines) {
    line = std::regex_replace(line, elapsed, "(mm:ss)");
    line = std::regex_replace(line, moment, "! <most>");
  }
  return lines;
}

TEST_F(UpgradeRunTest, TheExampleFileUpgradesAFreshCompanyDatabase) {
  std::ifstream example(std::string(MOLTARO_EXAMPLES_DIR) + "/verzio.ver", std::ios::binary);
  work.Write("verzio.ver", std::string(std::istreambuf_iterator<char>(example), {}));
  Prepare();
  EXPECT_FALSE(frame.RunUpgrade()) << frame.LastError();
  EXPECT_EQ(Normalised(LogLines()), (Strings{"ZMP_OBJ_FEJ Ok",
                                             "ZMP_OBJ_GYEREK Ok",
                                             "ZMP_OBJ_SZOVEG Ok",
                                             "ZMP_OBJ_VER Ok",
                                             "ZMP_SYS_ID_SEQ Ok",
                                             "ZMP_DUAL Ok",
                                             "ZMP_SYS_SA Ok",
                                             "A verzio.ver betöltve !",
                                             "Előfutó kész ! (mm:ss)",
                                             "",
                                             "zmp_belap",
                                             "zmp_cim",
                                             "zmp_csp",
                                             "ZMP_DOLGOZO",
                                             "zmp_havi",
                                             "zmp_havih",
                                             "zmp_ido",
                                             "zmp_jogc",
                                             "zmp_jt",
                                             "ZMP_KIFIZETES",
                                             "zmp_kjt",
                                             "zmp_kod",
                                             "zmp_kodtar",
                                             "zmp_kszt",
                                             "zmp_kszt2",
                                             "zmp_kszt3",
                                             "ZMP_NAPLO",
                                             "zmp_pszab",
                                             "zmp_pszak",
                                             "zmp_pszlatuk",
                                             "zmp_ptag",
                                             "zmp_puy",
                                             "zmp_tido",
                                             "zmp_utalas",
                                             "Tábla kész ! (mm:ss)",
                                             "",
                                             "ZMP_DOLGOZO_TSZ",
                                             "ZMP_DOLGOZO_TSZ",
                                             "ZMP_KIFIZETES_DH",
                                             "ZMP_KIFIZETES_DH",
                                             "ZMP_KSZT2_SZEM_EV_HO",
                                             "ZMP_KSZT2_SZEM_EV_HO",
                                             "ZMP_PUY_NEV",
                                             "ZMP_PUY_NEV",
                                             "Index kész ! (mm:ss)",
                                             "",
                                             "ZMP_ID_SEQ_INC",
                                             "ZMP_ORABER",
                                             "ZMP_DOLGOZO_FELVESZ",
                                             "ZMP_KONVERTALAS_UTAN_FUT1",
                                             "Procedure kész ! (mm:ss)",
                                             "",
                                             "Utánfutó kész ! (mm:ss)",
                                             "",
                                             "",
                                             "Verzióváltás kész ! (mm:ss)",
                                             " ",
                                             "2.1.0. verzió leváltva ! <most>"}));
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "2.1.0");
  EXPECT_EQ(Scalar("select count(*) from ZMP_SYS_SA"), "1");
  EXPECT_EQ(Scalar("select sadb from ZMP_SYS_SA"), database);
  EXPECT_EQ(Scalar("select kod from zmp_puy where nev = 'PWREPUT'"), "C:\\ZMP\\Riport");
  EXPECT_EQ(Scalar("select dual from ZMP_DUAL"), "X");
  EXPECT_EQ(Scalar("select count(*) from ZMP_NAPLO"), "1");
  EXPECT_EQ(display.position, display.maximum);
  EXPECT_EQ(display.maximum, 35);

  // The procedures work: the allocator hands out the next identifier, and
  // the procedure that calls it files a new employee under it.
  db::ProcedureParameters next = {
      {"@RETURN_VALUE", db::ParameterDirection::ReturnValue, {}},
      {"@idseq_val", db::ParameterDirection::InputOutput, std::int64_t{1}}};
  sql.CallProcedure("ZMP_ID_SEQ_INC", next);
  EXPECT_EQ(db::ToInteger(next[1].value), 10001);
  sql.Execute(
      "declare @id int exec ZMP_DOLGOZO_FELVESZ '00000000001', N'Kovács Éva', 348000, @id output");
  EXPECT_EQ(Scalar("select NEV from ZMP_DOLGOZO where ID = 10002"), "Kovács Éva");
  EXPECT_EQ(Scalar("select AKTIV from ZMP_DOLGOZO"), "I");
  EXPECT_EQ(Scalar("select dbo.ZMP_ORABER(348000)"), "2000.00");
}

// With only the version raised, the catalogue matches the database in every
// column, default and index: nothing is altered, only procedures are sent
// again (as ALTER) and the scripts run once more.
TEST_F(UpgradeRunTest, ARerunWithOnlyTheVersionRaisedChangesNothing) {
  std::ifstream example(std::string(MOLTARO_EXAMPLES_DIR) + "/verzio.ver", std::ios::binary);
  const std::string bytes(std::istreambuf_iterator<char>(example), {});
  work.Write("verzio.ver", bytes);
  Prepare();
  ASSERT_FALSE(frame.RunUpgrade()) << frame.LastError();
  work.Write("verzio.ver", std::regex_replace(bytes, std::regex(R"(\$\$V\$\$2\.1\.0\$\$)"),
                                              "$$$$V$$$$2.1.1$$$$"));
  executed.clear();
  Prepare();
  ASSERT_FALSE(frame.RunUpgrade()) << frame.LastError();
  Strings changes;
  for (const std::string& sql : executed) {
    if (sql.rfind("alter table", 0) == 0 || sql.rfind("create", 0) == 0 ||
        sql.rfind("drop", 0) == 0 || sql.rfind("update ZMP_DOLGOZO", 0) == 0) {
      changes.push_back(sql.substr(0, sql.find('(')));
    }
  }
  EXPECT_EQ(changes, (Strings{"drop table ZMP_OBJ_FEJ", "create table ZMP_OBJ_FEJ ",
                              "drop table ZMP_OBJ_GYEREK", "create table ZMP_OBJ_GYEREK",
                              "drop table ZMP_OBJ_SZOVEG", "create table ZMP_OBJ_SZOVEG ",
                              "create index ZMP_OBJ_FEJ_IX_ID on ZMP_OBJ_FEJ ",
                              "create index ZMP_OBJ_FEJ_IX_NEV on ZMP_OBJ_FEJ ",
                              "create index ZMP_OBJ_FEJ_IX_TIPUS on ZMP_OBJ_FEJ ",
                              "create index ZMP_OBJ_GYEREK_IX_ID on ZMP_OBJ_GYEREK ",
                              "create index ZMP_OBJ_GYEREK_IX_FEJ_ID on ZMP_OBJ_GYEREK ",
                              "alter table ZMP_OBJ_VER add exever nvarchar",
                              "drop table ZMP_SYS_SA", "create table ZMP_SYS_SA "}));
  EXPECT_EQ(std::count_if(executed.begin(), executed.end(),
                          [](const std::string& sql) { return sql.rfind("ALTER ", 0) == 0; }),
            4);
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "2.1.1");
}

TEST_F(UpgradeRunTest, ASecondRunOfTheSameVersionIsRefused) {
  const Strings file = {"$$V$$1.0$$", "$$T$$10$$ZMP_A$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
                        "$$V$$1.0$$"};
  ASSERT_FALSE(Upgrade(file)) << frame.LastError();
  EXPECT_TRUE(Upgrade(file));
  EXPECT_TRUE(std::regex_match(
      frame.LastError(),
      std::regex(
          R"(A\(z\) "1\.0" verziót már \d{4}\. \d\d\. \d\d\.( \d{1,2}:\d\d:\d\d)? telepítette !)")))
      << frame.LastError();
  const Strings log = LogLines();
  // The version table exists now, so adding its column fails, tolerated.
  ASSERT_EQ(log.size(), 11u);
  EXPECT_EQ(log[3], " HIBA  (elmegy)");
  EXPECT_EQ(log[4], " Utasítás : alter table ZMP_OBJ_VER add exever nvarchar(10)");
  EXPECT_EQ(log[10], frame.LastError());
  EXPECT_EQ(Scalar("select count(*) from zmp_obj_ver"), "1");
}

TEST_F(UpgradeRunTest, ARecordTheCatalogueCannotHoldEndsTheRunBeforeAnyChange) {
  EXPECT_TRUE(Upgrade({"$$V$$1.0$$", "$$T$$10$$ZMP_A$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
                       "$$T$$20$$ZMP_EZ_A_NEV_HOSSZABB_HARMINC_BETUNEL$$", "$$V$$1.0$$"}));
  EXPECT_EQ(frame.LastError(),
            "Hibás a verzió file 4. sora (a szerver elutasította: String or binary data would be "
            "truncated.): $$T$$20$$ZMP_EZ_A_NEV_HOSSZABB_HARMINC_BETUNEL$$");
  EXPECT_EQ(LogLines().back(), frame.LastError());
  EXPECT_EQ(Scalar("select count(*) from sysobjects where name = 'ZMP_A'"), "0");
}

TEST_F(UpgradeRunTest, ATolerantFailureIsLoggedAndTheRunSucceeds) {
  ASSERT_FALSE(Upgrade(
      {"$$V$$1.0$$", "$$E$$1$$elő$$1$$E$$N$$", "update ZMP_NINCS set a = 1$$", "$$V$$1.0$$"}))
      << frame.LastError();
  const Strings log = LogLines();
  ASSERT_GE(log.size(), 11u);
  EXPECT_EQ(log[8], " HIBA  (elmegy)");
  EXPECT_EQ(log[9], " Utasítás : update ZMP_NINCS set a = 1");
  EXPECT_EQ(log[10], " Invalid object name 'ZMP_NINCS'.");
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.0");
}

TEST_F(UpgradeRunTest, AFatalFailureInTheTablePhaseSkipsTheLaterPhases) {
  ASSERT_FALSE(Upgrade(
      {"$$V$$1.0$$", "$$T$$10$$ZMP_A$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$", "$$V$$1.0$$"}));
  EXPECT_TRUE(
      Upgrade({"$$V$$1.1$$", "$$T$$10$$ZMP_A$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
               "$$T$$20$$ZMP_B$$", "$$T$$30$$ZMP_C$$", "$$t$$31$$30$$1$$ID$$56$$0$$0$$I$$$$",
               "$$I$$40$$30$$ZMP_C_ID$$", "$$i$$41$$40$$31$$1$$", "$$U$$50$$utó$$1$$V$$N$$",
               "insert into ZMP_C (ID) values (1)$$", "$$V$$1.1$$"}));
  EXPECT_EQ(frame.LastError(), "Hiba a vezió váltás közben !");
  // ZMP_B has no columns: its create fails, and ZMP_C is still created.
  EXPECT_EQ(Scalar("select count(*) from sysobjects where name = 'ZMP_C'"), "1");
  EXPECT_EQ(Scalar("select count(*) from sysindexes where name = 'ZMP_C_ID'"), "0");
  EXPECT_EQ(Scalar("select count(*) from ZMP_C"), "0");
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.0");
  const Strings log = Normalised(LogLines());
  const auto b = std::find(log.begin(), log.end(), "ZMP_B");
  ASSERT_LE(std::distance(b, log.end()), 11);
  EXPECT_EQ(Strings(b, b + 3), (Strings{"ZMP_B", " HIBA ", " Utasítás : create table ZMP_B()"}));
  EXPECT_EQ(Strings(b + 4, log.end()),
            (Strings{"ZMP_C", "Tábla kész ! (mm:ss)", "", "", "A verzióváltásban hiba volt !",
                     "A program nem indítható !"}));
}

}  // namespace
}  // namespace moltaro::engine
