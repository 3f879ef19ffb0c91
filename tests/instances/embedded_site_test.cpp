// The main window's list and commands on a real embedded server: one server
// for the whole suite (creating logins is slow on purpose), one scenario per
// test building on what the earlier ones created.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "instances/main_window.h"
#include "instances/program_windows.h"
#include "recording_views.h"

namespace moltaro::instances {
namespace {

using testing::RecordingFoView;
using testing::RecordingOperator;
using testing::ScriptedDBBeView;
using testing::ScriptedDialogusView;
using testing::ScriptedRepUtView;

constexpr const char* kPassword = "Titok-2024";

class EmbeddedSite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dataDir_ = std::filesystem::temp_directory_path() /
               ("moltaro-site-" + std::to_string(std::random_device{}()));
    db::embedded::InitializeServer(dataDir_, kPassword);
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dataDir_); }

  static std::string Server() { return "embedded:" + dataDir_.string(); }

  void Use(const std::string& common) {
    settings_.SetServerSettings(Server(), common, "", "sa", kPassword);
  }
  // Runs statements on a database directly, as a test's own setup.
  void Sql(const std::string& database, const std::vector<std::string>& statements) {
    db::Connection connection(settings_.DatabaseConnectionString(database));
    connection.Open();
    for (const auto& statement : statements) connection.Execute(statement);
  }
  db::ResultSet Query(const std::string& database, const std::string& sql) {
    db::Connection connection(settings_.DatabaseConnectionString(database));
    connection.Open();
    return connection.Query(sql);
  }
  TfrmFo& Create() {
    window_ = std::make_unique<TfrmFo>(view_, operator_, settings_,
                                       MainWindowDialogs{dialogus_, repUt_, dbBe_}, valtDisplay_);
    window_->FormCreate();
    return *window_;
  }
  void NewCompany(const std::string& company, const std::string& database) {
    dbBeView_.script = [company, database](TfrmDBBe& d) {
      d.eCegnevChange(company);
      d.eDatabaseChange(database);
      d.bRendbenClick();
    };
    window_->aDbCreaExecute();
  }

  static inline std::filesystem::path dataDir_;
  ServerSettings settings_;
  RecordingFoView view_;
  testing::RecordingValtDisplay valtDisplay_;
  RecordingOperator operator_;
  ScriptedDialogusView dialogusView_;
  ScriptedRepUtView repUtView_;
  ScriptedDBBeView dbBeView_;
  TfrmDialogus dialogus_{dialogusView_};
  TfrmRepUt repUt_{repUtView_};
  TfrmDBBe dbBe_{dbBeView_};
  std::unique_ptr<TfrmFo> window_;
};

// Runs first: the suite's server has no common database yet.
TEST_F(EmbeddedSite, A_NewSiteCreatesTheCommonDatabaseWithTheFirstCompany) {
  Use("master");
  TfrmFo& fo = Create();
  ASSERT_EQ(operator_.errors.size(), 1u);  // master has no instance table
  EXPECT_EQ(fo.RowCount(), 0u);
  operator_.errors.clear();

  NewCompany("Első Kft", "ceg1");
  ASSERT_TRUE(operator_.errors.empty()) << operator_.errors[0];
  EXPECT_TRUE(operator_.messages.empty());

  auto instances = Query("ZMP_Vorel", "select id, pld, fiznev, tilt from ZMP_Peldany");
  ASSERT_EQ(instances.RowCount(), 1u);
  EXPECT_EQ(instances.Integer("id"), 1);
  EXPECT_EQ(instances.Text("pld"), " Első Kft ");
  EXPECT_EQ(instances.Text("fiznev"), " ceg1 ");
  EXPECT_EQ(instances.Text("tilt"), "N");
  auto user = Query("ZMP_Vorel", "select id, nev, u_nev, u_pwd, tilt, rg from ZMP_User");
  ASSERT_EQ(user.RowCount(), 1u);
  EXPECT_EQ(user.Integer("id"), 2);
  EXPECT_EQ(user.Text("nev"), "RENDSZERGAZDA");
  EXPECT_EQ(user.Text("u_nev"), "ZMPHP");
  EXPECT_EQ(user.Text("u_pwd"), "570392");
  EXPECT_EQ(user.Text("rg"), "I");
  auto link = Query("ZMP_Vorel", "select pld_id, user_id from ZMP_Pld_User");
  ASSERT_EQ(link.RowCount(), 1u);
  EXPECT_EQ(link.Integer("pld_id"), 1);
  EXPECT_EQ(link.Integer("user_id"), 2);
  auto param = Query("ZMP_Vorel", "select kod, nev, ertek from ZMP_Param");
  EXPECT_EQ(param.Text("kod") + "/" + param.Text("nev") + "/" + param.Text("ertek"), "ZMP/ID/30");

  // The company database exists and opens; the list, reopened on ZMP_Vorel,
  // shows the new row without a version until the next load.
  EXPECT_EQ(
      Query("master", "select count(*) n from dbo.sysdatabases where name='ceg1'").Integer("n"), 1);
  ASSERT_EQ(fo.RowCount(), 1u);
  EXPECT_EQ(fo.Row(0).Ver, "");
  fo.LoadInstances();
  EXPECT_EQ(fo.Row(0).Ver, "Nincs telepítve");
  EXPECT_EQ(fo.Row(0).VanVer, "N");
}

TEST_F(EmbeddedSite, B_SecondCompanyGetsTheNextIdAndAnExistingDatabaseIsReported) {
  Use("ZMP_Vorel");
  TfrmFo& fo = Create();
  ASSERT_TRUE(operator_.errors.empty()) << operator_.errors[0];
  NewCompany("O'Brien Bt", "ceg2");
  ASSERT_TRUE(operator_.errors.empty()) << operator_.errors[0];
  NewCompany("Ismét", "ceg2");
  ASSERT_TRUE(operator_.errors.empty()) << operator_.errors[0];
  EXPECT_EQ(operator_.messages, (std::vector<std::string>{"A ceg2 adatbázis már létezik!!"}));

  auto rows = Query("ZMP_Vorel", "select id, pld, fiznev from ZMP_Peldany order by id");
  ASSERT_EQ(rows.RowCount(), 3u);
  rows.Next();
  EXPECT_EQ(rows.Integer("id"), 2);
  EXPECT_EQ(rows.Text("pld"), " O'Brien Bt ");
  rows.Next();
  EXPECT_EQ(rows.Integer("id"), 3);
  EXPECT_EQ(rows.Text("fiznev"), " ceg2 ");
  EXPECT_EQ(fo.RowCount(), 3u);
}

TEST_F(EmbeddedSite, C_VersionsAsTheListShowsThem) {
  Use("ZMP_Vorel");
  // ceg1: no catalogue table; ceg2: an empty one; ceg3: a long version.
  Sql("ceg2", {"create table ZMP_OBJ_VER (SZAM nvarchar(40))"});
  Sql("master", {"create database ceg3"});
  Sql("ceg3", {"create table zmp_obj_ver (szam nvarchar(40))",
               "insert into zmp_obj_ver (szam) values ('2024.03.15.0001-hosszu')"});
  Sql("ZMP_Vorel",
      {"insert into ZMP_Peldany (id, pld, fiznev, tilt) values (4, 'Harmadik', 'ceg3', 'N')"});
  TfrmFo& fo = Create();
  ASSERT_TRUE(operator_.errors.empty()) << operator_.errors[0];
  ASSERT_EQ(fo.RowCount(), 4u);
  EXPECT_EQ(fo.Row(0).Ver, "Nincs telepítve");
  EXPECT_EQ(fo.Row(1).Ver, "Nincs telepítve");  // empty zmp_obj_ver
  EXPECT_EQ(fo.Row(1).VanVer, "N");
  EXPECT_EQ(fo.Row(2).Ver, "Nincs telepítve");  // the same database twice
  EXPECT_EQ(fo.Row(3).Ver, "2024.03.15.0001");
  EXPECT_EQ(fo.Row(3).VanVer, "I");
}

TEST_F(EmbeddedSite, D_UnreadableInstanceStopsTheLoadAndCaseMatters) {
  Use("ZMP_Vorel");
  Sql("ZMP_Vorel",
      {"insert into ZMP_Peldany (id, pld, fiznev, tilt) values (5, 'Nincs ilyen', 'nincsdb', 'N')",
       "insert into ZMP_Peldany (id, pld, fiznev, tilt) values (6, 'Nagybetűs', 'CEG3', 'N')"});
  TfrmFo& fo = Create();
  ASSERT_EQ(operator_.errors.size(), 1u);
  EXPECT_EQ(fo.CurrentRow(), 4u);
  EXPECT_EQ(fo.Row(3).Ver, "2024.03.15.0001");
  // CEG3 names the same database, but the load stopped before it and the
  // cache pair of ceg3 does not match another letter case.
  EXPECT_EQ(fo.Row(5).Ver, "");
  EXPECT_EQ(fo.Row(5).VanVer, "I");
  Sql("ZMP_Vorel", {"delete from ZMP_Peldany where id in (5, 6)"});
}

TEST_F(EmbeddedSite, E_ReportDirectoryInsertUpdateTrimAndCancel) {
  Use("ZMP_Vorel");
  Sql("ceg3", {"create table zmp_puy (id int, nev nvarchar(20), kod nvarchar(200), tipus "
               "nvarchar(1), hossz int)",
               "insert into zmp_puy (id, nev, kod) values (1, 'MASIK', 'x')"});
  TfrmFo& fo = Create();
  fo.SelectRow(3);
  repUtView_.script = [](TfrmRepUt& d) {
    d.eDirChange("  D:\\Riport  ");
    d.bRendbenClick();
  };
  fo.aUtcaExecute();
  ASSERT_TRUE(operator_.errors.empty()) << operator_.errors[0];
  auto row = Query("ceg3", "select id, kod from zmp_puy where nev='PWREPUT'");
  ASSERT_EQ(row.RowCount(), 1u);
  EXPECT_EQ(row.Integer("id"), 100);
  EXPECT_EQ(row.Text("kod"), "D:\\Riport");

  repUtView_.script = [](TfrmRepUt& d) {
    d.eDirChange("E:\\Uj");
    d.bRendbenClick();
  };
  fo.aUtcaExecute();
  EXPECT_EQ(repUtView_.shownDirectory, "D:\\Riport");
  repUtView_.script = [](TfrmRepUt& d) {
    d.eDirChange("F:\\Soha");
    d.bMegsemClick();
  };
  fo.aUtcaExecute();
  row = Query("ceg3", "select id, kod from zmp_puy where nev='PWREPUT'");
  ASSERT_EQ(row.RowCount(), 1u);
  EXPECT_EQ(row.Text("kod"), "E:\\Uj");
}

TEST_F(EmbeddedSite, F_SboModeListsCompaniesByName) {
  Use("master");
  Sql("master", {"create database [Sbo-Common]"});
  Sql("Sbo-Common", {"create table srgc (cmpName nvarchar(100), dbName nvarchar(100))",
                     "insert into srgc values ('Zeta Zrt', 'ceg3')",
                     "insert into srgc values ('Alfa Kft', 'ceg1')"});
  Use("Sbo-Common");
  TfrmFo& fo = Create();
  ASSERT_TRUE(operator_.errors.empty()) << operator_.errors[0];
  ASSERT_EQ(fo.RowCount(), 2u);
  EXPECT_EQ(db::ToText(fo.Row(0).nev), "Alfa Kft");
  EXPECT_FALSE(fo.GetAction(ActionId::aUtca).enabled);  // ceg1 has no version
  EXPECT_TRUE(fo.GetAction(ActionId::aUtca).visible);
  fo.SelectRow(1);
  EXPECT_TRUE(fo.GetAction(ActionId::aUtca).enabled);
  EXPECT_EQ(fo.VisiblePopupItems().size(), 7u);
}

TEST_F(EmbeddedSite, G_StartUpListsFirstAndGoesOnWhenTheDataModuleCannotConnect) {
  Use("ZMP_Vorel");
  ProgramWindows windows(settings_,
                         InstanceViews{view_, valtDisplay_, dialogusView_, repUtView_, dbBeView_},
                         operator_);
  windows.Start();
  ASSERT_TRUE(operator_.errors.empty()) << operator_.errors[0];
  EXPECT_GT(windows.frmFo().RowCount(), 0u);
  EXPECT_TRUE(windows.DataModule1().adoKozos().IsOpen());
  EXPECT_EQ(windows.frmDialogus().Question(), "Valóban töröljem ?");

  // A common database that does not exist: the list and then the data
  // module report it, and the main window is up all the same.
  Use("Nincs_Ilyen");
  ProgramWindows broken(settings_,
                        InstanceViews{view_, valtDisplay_, dialogusView_, repUtView_, dbBeView_},
                        operator_);
  broken.Start();
  EXPECT_EQ(operator_.errors.size(), 2u);
  EXPECT_EQ(broken.frmFo().RowCount(), 0u);
  EXPECT_FALSE(broken.frmFo().GetAction(ActionId::aUtca).visible);
}

}  // namespace
}  // namespace moltaro::instances
