#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/scripted_server.h"
#include "fake_server.h"
#include "instances/main_window.h"
#include "instances/new_company_statements.h"
#include "recording_views.h"

namespace moltaro::instances {
namespace {

using testing::FakeServer;
using testing::RecordingFoView;
using testing::RecordingOperator;
using testing::RecordingValtDisplay;
using testing::ScriptedDBBeView;
using testing::ScriptedDialogusView;
using testing::ScriptedRepUtView;

// A scratch work directory: the frame reads verzio.ver and writes its run log there.
class TempDir {
 public:
  TempDir()
      : path_(std::filesystem::temp_directory_path() /
              ("moltaro-fo-" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

db::ResultSet List(std::vector<std::vector<db::Value>> rows) {
  return db::ResultSet({"nev", "dbname"}, std::move(rows));
}

class MainWindow : public ::testing::Test {
 protected:
  void Settings(const std::string& common) {
    settings_.SetServerSettings("", common, "", "sa", "titok");
  }
  // An instance database whose ZMP_OBJ_VER.SZAM exists and holds `version`.
  void Installed(const std::string& database, const std::string& version) {
    server_.Answer(database, kVersionColumnSql, db::ResultSet({"id"}, {{std::int64_t{7}}}));
    server_.Answer(database, kInstalledVersionSql, db::ResultSet({"szam"}, {{version}}));
  }
  TfrmFo& Create(db::ConnectionFactory engine = nullptr) {
    valtDisplay_.window = &view_;
    if (!engine) engine = engineServer_.Factory();
    window_ = std::make_unique<TfrmFo>(view_, operator_, settings_,
                                       MainWindowDialogs{dialogus_, repUt_, dbBe_}, valtDisplay_,
                                       MainWindowConnections{server_.Factory(), engine});
    window_->fraValt1().SetWorkDirectory(workDir_.Path());
    window_->FormCreate();
    return *window_;
  }
  std::vector<std::string> Captions(const std::vector<MenuItem>& items) {
    std::vector<std::string> captions;
    for (const MenuItem& item : items) {
      captions.push_back(item.separator ? "-" : window_->GetAction(item.action).caption);
    }
    return captions;
  }

  ServerSettings settings_;
  FakeServer server_;
  engine::testing::ScriptedServer engineServer_;
  TempDir workDir_;
  RecordingValtDisplay valtDisplay_;
  RecordingFoView view_;
  RecordingOperator operator_;
  ScriptedDialogusView dialogusView_;
  ScriptedRepUtView repUtView_;
  ScriptedDBBeView dbBeView_;
  TfrmDialogus dialogus_{dialogusView_};
  TfrmRepUt repUt_{repUtView_};
  TfrmDBBe dbBe_{dbBeView_};
  std::unique_ptr<TfrmFo> window_;
};

TEST_F(MainWindow, ProductModeListsByIdAndOffersOnlyValtAndKilep) {
  Settings("ZMP_Vorel");
  TfrmFo& fo = Create();
  EXPECT_EQ(fo.ListSql(), "  select pld nev, fiznev dbname from ZMP_Peldany t order by t.id");
  ASSERT_FALSE(server_.calls.empty());
  EXPECT_EQ(server_.calls[0].catalogue, "ZMP_Vorel");
  EXPECT_EQ(Captions(fo.VisiblePopupItems()),
            (std::vector<std::string>{"Vált", "-", "-", "Kilép"}));
  for (ActionId id : {ActionId::aMigrator, ActionId::aUni, ActionId::aUtca, ActionId::aDbCrea}) {
    EXPECT_FALSE(fo.GetAction(id).visible);
  }
  EXPECT_EQ(fo.GetAction(ActionId::aValt).hint, "Verzió váltás");
  EXPECT_EQ(fo.GetAction(ActionId::aVege).hint, "Kilépés");
}

TEST_F(MainWindow, SboModeListsCompaniesByNameWithTheFullMenu) {
  Settings("Sbo-Common");
  TfrmFo& fo = Create();
  EXPECT_EQ(fo.ListSql(), "select cmpName nev, dbName dbname from srgc order by cmpName");
  EXPECT_EQ(Captions(fo.VisiblePopupItems()),
            (std::vector<std::string>{"Vált", "Rep utvonal", "-", "Migrátor", "Uninstall", "-",
                                      "Kilép"}));
  EXPECT_FALSE(fo.GetAction(ActionId::aDbCrea).enabled);
}

TEST_F(MainWindow, FramePlacedBelowTheButtonsAtCreation) {
  Settings("ZMP_Vorel");
  Create();
  EXPECT_EQ(view_.frame.left, (420 - 280) / 2);
  EXPECT_EQ(view_.frame.top, (256 - (73 + 185)) / 2 + 185);
}

TEST_F(MainWindow, LoadReadsEachInstanceVersionAndEnablesByVanVer) {
  Settings("Sbo-Common");
  server_.Answer("Sbo-Common", kSboInstanceListSql,
                 List({{std::string("Alfa"), std::string("ceg1")},
                       {std::string("Béta"), std::string("ceg2")}}));
  Installed("ceg1", "2012.01.15.0001");
  // ceg2 has no ZMP_OBJ_VER.SZAM: the column lookup answers nothing.
  TfrmFo& fo = Create();
  ASSERT_TRUE(operator_.errors.empty());

  EXPECT_EQ(fo.Row(0).Ver, "2012.01.15.0001");
  EXPECT_EQ(fo.Row(0).VanVer, "I");
  EXPECT_EQ(fo.Row(1).Ver, "Nincs telepítve");
  EXPECT_EQ(fo.Row(1).VanVer, "N");
  EXPECT_EQ(fo.CurrentRow(), 0u);
  EXPECT_TRUE(fo.GetAction(ActionId::aUtca).enabled);
  fo.SelectRow(1);
  for (ActionId id : {ActionId::aMigrator, ActionId::aUni, ActionId::aUtca}) {
    EXPECT_FALSE(fo.GetAction(id).enabled);
  }

  // The lookup binds the table and column names as parameters.
  const auto lookup = std::find_if(server_.calls.begin(), server_.calls.end(),
                                   [](const auto& c) { return c.catalogue == "ceg1"; });
  ASSERT_NE(lookup, server_.calls.end());
  EXPECT_EQ(lookup->sql, kVersionColumnSql);
  EXPECT_EQ(lookup->params, (db::Params{std::string("ZMP_OBJ_VER"), std::string("SZAM")}));
  // No version read where the column is missing.
  for (const auto& call : server_.calls) {
    if (call.catalogue == "ceg2") {
      EXPECT_NE(call.sql, kInstalledVersionSql);
    }
  }
}

TEST_F(MainWindow, InstanceThatCannotBeReadStopsTheLoadAtItsRow) {
  Settings("ZMP_Vorel");
  server_.Answer("ZMP_Vorel", kInstanceListSql,
                 List({{std::string("Alfa"), std::string(" ceg1 ")},
                       {std::string("Béta"), std::string(" ceg2 ")},
                       {std::string("Gamma"), std::string(" ceg3 ")}}));
  Installed("ceg1", "1.0");
  Installed("ceg3", "3.0");
  server_.RefuseOpen("ceg2");
  TfrmFo& fo = Create();

  ASSERT_EQ(operator_.errors.size(), 1u);
  EXPECT_NE(operator_.errors[0].find("ceg2"), std::string::npos);
  EXPECT_EQ(fo.Cache().Items(), (std::vector<std::string>{"a", " ceg1 ", "1.0"}));
  EXPECT_EQ(fo.CurrentRow(), 1u);
  EXPECT_EQ(fo.Row(0).Ver, "1.0");
  for (std::size_t row : {1u, 2u}) {
    EXPECT_EQ(fo.Row(row).Ver, "");
    EXPECT_EQ(fo.Row(row).VanVer, "I");
  }
  // The window stays usable.
  fo.SelectRow(0);
  EXPECT_EQ(db::ToText(fo.CurrentDbname()), " ceg1 ");
}

TEST_F(MainWindow, SboInstanceThatCannotBeOpenedShowsAsNotInstalledAndTheLoadGoesOn) {
  Settings("Sbo-Common");
  server_.Answer("Sbo-Common", kSboInstanceListSql,
                 List({{std::string("Alfa"), std::string("ceg1")},
                       {std::string("Béta"), std::string("ceg2")},
                       {std::string("Gamma"), std::string("ceg3")}}));
  Installed("ceg1", "1.0");
  Installed("ceg2", "2.0");
  Installed("ceg3", "3.0");
  server_.RefuseOpen("ceg2");
  TfrmFo& fo = Create();

  EXPECT_TRUE(operator_.errors.empty());
  EXPECT_EQ(fo.Row(0).Ver, "1.0");
  EXPECT_EQ(fo.Row(1).Ver, "Nincs telepítve");
  EXPECT_EQ(fo.Row(1).VanVer, "N");
  EXPECT_EQ(fo.Row(1).unreadable.rfind(kUnreadableInstance, 0), 0u);
  EXPECT_NE(fo.Row(1).unreadable.find("ceg2"), std::string::npos);
  EXPECT_EQ(fo.Row(2).Ver, "3.0");
  EXPECT_EQ(fo.Row(2).VanVer, "I");
  EXPECT_TRUE(fo.Row(2).unreadable.empty());
  fo.SelectRow(1);
  for (ActionId id : {ActionId::aMigrator, ActionId::aUni, ActionId::aUtca}) {
    EXPECT_FALSE(fo.GetAction(id).enabled);
  }
  fo.SelectRow(2);
  EXPECT_TRUE(fo.GetAction(ActionId::aUni).enabled);
}

TEST_F(MainWindow, ListThatCannotBeReopenedLeavesTheGridEmpty) {
  Settings("ZMP_Vorel");
  server_.Answer("ZMP_Vorel", kInstanceListSql, List({{std::string("Alfa"), std::string("ceg1")}}));
  TfrmFo& fo = Create();
  ASSERT_EQ(fo.RowCount(), 1u);
  server_.Fail("ZMP_Vorel", kInstanceListSql, "Invalid object name 'ZMP_Peldany'.");
  const int changes = view_.listChanges;
  EXPECT_THROW(fo.LoadInstances(), db::DatabaseError);
  EXPECT_GT(view_.listChanges, changes);
  EXPECT_EQ(fo.RowCount(), 0u);
  EXPECT_EQ(fo.Cache().Items().size(), 3u);  // the cache of the last load stays
}

TEST_F(MainWindow, UnreachableCommonDatabaseLeavesAnEmptyListWithActionsOff) {
  Settings("Sbo-Common");
  server_.RefuseOpen("Sbo-Common");
  TfrmFo& fo = Create();
  EXPECT_EQ(operator_.errors.size(), 1u);
  EXPECT_EQ(fo.RowCount(), 0u);
  EXPECT_TRUE(db::IsNull(fo.CurrentDbname()));
  EXPECT_FALSE(fo.GetAction(ActionId::aUtca).enabled);
  fo.aUtcaExecute();  // no instance: nothing happens
  EXPECT_EQ(repUtView_.shown, 0);
}

class NewCompany : public MainWindow {
 protected:
  void SetUp() override {
    Settings("ZMP_Vorel");
    server_.Answer("master", kMasterFileNameSql,
                   db::ResultSet({"FILENAME"}, {{std::string("/srv/data/master.mdf")}}));
  }
  void Type(const std::string& company, const std::string& database) {
    dbBeView_.script = [company, database](TfrmDBBe& d) {
      d.eCegnevChange(company);
      d.eDatabaseChange(database);
      d.bRendbenClick();
    };
  }
  void Count(const std::string& sql, std::int64_t n) {
    server_.Answer("master", sql, db::ResultSet({"db"}, {{n}}));
    // An existing common database is a complete one unless a test says otherwise.
    if (sql == kCommonDatabaseCountSql) {
      server_.Answer("ZMP_Vorel", kCommonDatabaseCompleteSql, db::ResultSet({"db"}, {{n}}));
    }
  }
  std::vector<std::string> StatementsOn(const std::string& catalogue, std::size_t from) {
    std::vector<std::string> texts;
    for (std::size_t i = from; i < server_.calls.size(); ++i) {
      if (server_.calls[i].catalogue == catalogue) texts.push_back(server_.calls[i].sql);
    }
    return texts;
  }
};

TEST_F(NewCompany, FirstCompanyCreatesAndSeedsTheCommonDatabase) {
  Settings("master");
  TfrmFo& fo = Create();
  EXPECT_EQ(operator_.errors.size(), 0u);  // the fake answers an empty list
  const std::size_t before = server_.calls.size();
  Type("Első Kft", "ceg1");
  fo.aDbCreaExecute();

  std::vector<std::string> master = {kMasterFileNameSql, DatabaseCountSql("ceg1")};
  for (const auto& s : CompanyDatabaseStatements("ceg1", "/srv/data/")) master.push_back(s);
  master.push_back(kCommonDatabaseCountSql);
  for (const auto& s : CommonDatabaseStatements("/srv/data/")) master.push_back(s);
  EXPECT_EQ(StatementsOn("master", before), master);
  std::vector<std::string> common = {"begin transaction"};
  for (const auto& s : CommonDatabaseContentStatements("Első Kft", "ceg1")) common.push_back(s);
  common.push_back("commit transaction");
  common.push_back(kInstanceListSql);  // the list reopened on the new common database
  EXPECT_EQ(StatementsOn("ZMP_Vorel", before), common);
  EXPECT_TRUE(operator_.errors.empty());
  EXPECT_TRUE(operator_.messages.empty());
  EXPECT_TRUE(fo.ListOpen());
}

TEST_F(NewCompany, SecondCompanyGetsTheNextId) {
  Count(kCommonDatabaseCountSql, 1);
  server_.Answer("ZMP_Vorel", kMaxInstanceIdSql, db::ResultSet({"db"}, {{std::int64_t{4}}}));
  TfrmFo& fo = Create();
  Type("Második Bt", "ceg2");
  fo.aDbCreaExecute();
  ASSERT_TRUE(operator_.errors.empty());
  EXPECT_EQ(server_.calls.back().sql, kInstanceListSql);
  const auto& insert = server_.calls[server_.calls.size() - 2];
  EXPECT_EQ(insert.catalogue, "ZMP_Vorel");
  EXPECT_EQ(insert.sql, RegistrationInsert(5, "Második Bt", "ceg2"));
}

TEST_F(NewCompany, ExistingDatabaseIsReportedAndRegistered) {
  Count(DatabaseCountSql("ceg2"), 1);
  Count(kCommonDatabaseCountSql, 1);
  TfrmFo& fo = Create();
  const std::size_t before = server_.calls.size();
  Type("Második Bt", "ceg2");
  fo.aDbCreaExecute();
  EXPECT_EQ(operator_.messages, (std::vector<std::string>{"A ceg2 adatbázis már létezik!!"}));
  for (const auto& sql : StatementsOn("master", before)) {
    EXPECT_EQ(sql.find("create database"), std::string::npos) << sql;
  }
  EXPECT_EQ(
      StatementsOn("ZMP_Vorel", before),
      (std::vector<std::string>{kCommonDatabaseCompleteSql, kMaxInstanceIdSql,
                                RegistrationInsert(1, "Második Bt", "ceg2"), kInstanceListSql}));
}

// A common database left without its tables (the first new company was
// stopped after creating it) is filled by the next one, which becomes
// instance 1, instead of failing on the missing ZMP_Peldany for ever.
TEST_F(NewCompany, ACommonDatabaseLeftEmptyIsFilledByTheNextCompany) {
  Count(kCommonDatabaseCountSql, 1);
  server_.Answer("ZMP_Vorel", kCommonDatabaseCompleteSql,
                 db::ResultSet({"db"}, {{std::int64_t{0}}}));
  TfrmFo& fo = Create();
  const std::size_t before = server_.calls.size();
  Type("Első Kft", "ceg1");
  fo.aDbCreaExecute();
  ASSERT_TRUE(operator_.errors.empty());
  std::vector<std::string> common = {kCommonDatabaseCompleteSql, "begin transaction"};
  for (const auto& s : CommonDatabaseContentStatements("Első Kft", "ceg1")) common.push_back(s);
  common.push_back("commit transaction");
  common.push_back(kInstanceListSql);
  EXPECT_EQ(StatementsOn("ZMP_Vorel", before), common);
}

TEST_F(NewCompany, CancelOrAnEmptyFieldCreatesNothing) {
  TfrmFo& fo = Create();
  const std::size_t before = server_.calls.size();
  dbBeView_.script = [](TfrmDBBe& d) {
    d.eCegnevChange("Első Kft");
    d.eDatabaseChange("ceg1");
    d.bMegsemClick();
  };
  fo.aDbCreaExecute();
  dbBeView_.script = [](TfrmDBBe& d) {
    d.eCegnevChange("Első Kft");  // the database field stays empty
    d.bRendbenClick();
  };
  fo.aDbCreaExecute();
  EXPECT_EQ(server_.calls.size(), before);
  EXPECT_TRUE(fo.ListOpen());
}

TEST_F(NewCompany, ShortNameIsConfirmedWhenTheOtherFieldWasChangedLast) {
  Count(kCommonDatabaseCountSql, 1);
  TfrmFo& fo = Create();
  dbBeView_.script = [](TfrmDBBe& d) {
    d.eDatabaseChange("c1");
    d.eCegnevChange("Első Kft");
    d.bRendbenClick();
  };
  fo.aDbCreaExecute();
  EXPECT_TRUE(operator_.errors.empty());
  EXPECT_EQ(server_.calls[server_.calls.size() - 2].sql, RegistrationInsert(1, "Első Kft", "c1"));
}

TEST_F(NewCompany, UnusableDatabaseNameStopsBeforeAnythingIsSent) {
  TfrmFo& fo = Create();
  const std::size_t before = server_.calls.size();
  Type("Első Kft", "x;drop");
  fo.aDbCreaExecute();
  ASSERT_EQ(operator_.errors.size(), 1u);
  // In the program's language, naming the name and the character at fault.
  EXPECT_EQ(operator_.errors[0],
            "Nem használható adatbázisnév: \"x;drop\" – csak betű, számjegy és a _ @ $ # jelek "
            "lehetnek benne, \";\" nem. Semmi sem jött létre.");
  EXPECT_EQ(server_.calls.size(), before);
  EXPECT_TRUE(fo.ListOpen());
}

TEST_F(NewCompany, ApostropheInTheCompanyNameIsDoubled) {
  Count(kCommonDatabaseCountSql, 1);
  TfrmFo& fo = Create();
  Type("O'Brien Kft", "ceg3");
  fo.aDbCreaExecute();
  ASSERT_TRUE(operator_.errors.empty());
  EXPECT_EQ(
      server_.calls[server_.calls.size() - 2].sql,
      "insert into ZMP_Peldany (id, pld, fiznev, tilt) values (1,  ' O''Brien Kft ' ,  ' ceg3 "
      "' ,'N' )  ");
}

TEST_F(NewCompany, ServerErrorStopsAtThatStatementAndReopensTheList) {
  server_.Answer("ZMP_Vorel", kInstanceListSql,
                 List({{std::string("Alfa"), std::string("ceg0")},
                       {std::string("Béta"), std::string("ceg9")}}));
  server_.Fail("master", "alter database ceg1 set recovery full", "no right to alter");
  TfrmFo& fo = Create();
  fo.SelectRow(1);
  Type("Első Kft", "ceg1");
  fo.aDbCreaExecute();
  EXPECT_EQ(operator_.errors, (std::vector<std::string>{"no right to alter"}));
  EXPECT_EQ(StatementsOn("master", 0).back(), "alter database ceg1 set recovery full");
  // Not left closed until a restart: the list is back, on its first row.
  ASSERT_TRUE(fo.ListOpen());
  EXPECT_EQ(fo.RowCount(), 2u);
  EXPECT_EQ(db::ToText(fo.CurrentDbname()), "ceg0");
}

TEST_F(NewCompany, ListThatWasNotOpenIsNotRetriedAfterAFailure) {
  server_.RefuseOpen("ZMP_Vorel");
  server_.Fail("master", "alter database ceg1 set recovery full", "no right to alter");
  TfrmFo& fo = Create();
  operator_.errors.clear();
  Type("Első Kft", "ceg1");
  fo.aDbCreaExecute();
  EXPECT_EQ(operator_.errors, (std::vector<std::string>{"no right to alter"}));
  EXPECT_FALSE(fo.ListOpen());
}

TEST_F(NewCompany, NewRowShowsNoVersionUntilTheNextLoad) {
  Count(kCommonDatabaseCountSql, 1);
  server_.Answer("ZMP_Vorel", kInstanceListSql, List({{std::string("Alfa"), std::string("ceg1")}}));
  Installed("ceg1", kNotInstalled);
  TfrmFo& fo = Create();
  server_.Answer("ZMP_Vorel", kInstanceListSql,
                 List({{std::string("Alfa"), std::string("ceg1")},
                       {std::string(" Béta "), std::string(" ceg2 ")}}));
  Type("Béta", "ceg2");
  fo.aDbCreaExecute();
  ASSERT_EQ(fo.RowCount(), 2u);
  EXPECT_EQ(fo.Row(0).Ver, "Nincs telepítve");
  EXPECT_EQ(fo.Row(1).Ver, "");
  EXPECT_EQ(fo.Row(1).VanVer, "I");
}

TEST_F(NewCompany, SboModeReopensTheCompanyListOnItsOwnDatabase) {
  Settings("Sbo-Common");
  Count(kCommonDatabaseCountSql, 1);
  TfrmFo& fo = Create();
  Type("Első Kft", "ceg1");
  fo.aDbCreaExecute();
  EXPECT_TRUE(operator_.errors.empty());
  EXPECT_EQ(server_.calls.back().catalogue, "Sbo-Common");
  EXPECT_EQ(server_.calls.back().sql, kSboInstanceListSql);
}

class ReportDirectory : public MainWindow {
 protected:
  void SetUp() override {
    Settings("Sbo-Common");
    server_.Answer("Sbo-Common", kSboInstanceListSql,
                   List({{std::string("Alfa"), std::string("ceg1")}}));
    Installed("ceg1", "1.0");
  }
};

TEST_F(ReportDirectory, MissingSettingIsInsertedWithId100) {
  TfrmFo& fo = Create();
  repUtView_.script = [](TfrmRepUt& d) {
    EXPECT_FALSE(d.RendbenEnabled());
    d.eDirChange("  D:\\Riport ");
    d.bRendbenClick();
  };
  fo.aUtcaExecute();
  EXPECT_EQ(repUtView_.shownDirectory, "");
  ASSERT_TRUE(operator_.errors.empty());
  EXPECT_EQ(server_.calls.back().catalogue, "ceg1");
  EXPECT_EQ(server_.calls.back().sql, kReportDirInsertSql);
  EXPECT_EQ(server_.calls.back().params,
            (db::Params{std::int64_t{100}, std::string("PWREPUT"), std::string("D:\\Riport")}));
}

TEST_F(ReportDirectory, ExistingSettingIsShownTrimmedAndUpdatedById) {
  server_.Answer("ceg1", kReportDirSelectSql,
                 db::ResultSet({"id", "kod"}, {{std::int64_t{7}, std::string(" C:\\Regi ")},
                                               {std::int64_t{8}, std::string("masodik")}}));
  TfrmFo& fo = Create();
  repUtView_.script = [](TfrmRepUt& d) {
    d.eDirChange("D:\\Uj");
    d.bRendbenClick();
  };
  fo.aUtcaExecute();
  EXPECT_EQ(repUtView_.shownDirectory, "C:\\Regi");
  EXPECT_EQ(server_.calls.back().sql, kReportDirUpdateSql);
  EXPECT_EQ(server_.calls.back().params, (db::Params{std::string("D:\\Uj"), std::int64_t{7}}));
}

TEST_F(ReportDirectory, CancelWritesNothing) {
  TfrmFo& fo = Create();
  repUtView_.script = [](TfrmRepUt& d) {
    d.eDirChange("D:\\Uj");
    d.bMegsemClick();
  };
  fo.aUtcaExecute();
  EXPECT_EQ(server_.calls.back().sql, kReportDirSelectSql);
}

TEST_F(ReportDirectory, MissingSettingsTableStopsBeforeTheDialog) {
  server_.Fail("ceg1", kReportDirSelectSql, "Invalid object name 'zmp_puy'.");
  TfrmFo& fo = Create();
  fo.aUtcaExecute();
  EXPECT_EQ(operator_.errors, (std::vector<std::string>{"Invalid object name 'zmp_puy'."}));
  EXPECT_EQ(repUtView_.shown, 0);
}

class VersionSwitch : public MainWindow {
 protected:
  void SetUp() override {
    Settings("Sbo-Common");
    server_.Answer("Sbo-Common", kSboInstanceListSql,
                   List({{std::string("Alfa"), std::string("ceg1")},
                         {std::string("Béta"), std::string("ceg2")}}));
    Installed("ceg1", "1.0");
  }
  void Answer(bool yes) {
    dialogusView_.script = [yes](TfrmDialogus& d) {
      if (yes) {
        d.bIgenClick();
      } else {
        d.bNemClick();
      }
    };
  }
  int VersionLookups() {
    int n = 0;
    for (const auto& call : server_.calls)
      n += call.catalogue == "ceg1" && call.sql == kVersionColumnSql;
    return n;
  }
};

TEST_F(VersionSwitch, EmptyListAsksNothing) {
  Settings("ZMP_Vorel");
  TfrmFo& fo = Create();
  Answer(true);
  fo.aValtExecute();
  fo.aUniExecute();
  EXPECT_EQ(dialogusView_.question, "");
  EXPECT_TRUE(engineServer_.sent.empty());
}

TEST_F(VersionSwitch, NoLeavesEverythingUnchanged) {
  TfrmFo& fo = Create();
  Answer(false);
  fo.aValtExecute();
  EXPECT_EQ(dialogusView_.question, "Mehet a verzióváltás ?");
  fo.aUniExecute();
  EXPECT_EQ(dialogusView_.question, "Valóban töröljem ?");
  EXPECT_TRUE(engineServer_.sent.empty());
  EXPECT_TRUE(operator_.messages.empty());
  EXPECT_EQ(fo.LastRunOutcome(), TfrmFo::RunOutcome::NotRun);
}

TEST_F(VersionSwitch, FailedRunShowsItsReasonWithControlsBackAndReloadsTheList) {
  TfrmFo& fo = Create();
  const int lookups = VersionLookups();
  Answer(true);
  fo.aValtExecute();  // the work directory has no verzio.ver
  EXPECT_EQ(valtDisplay_.hint, "ceg1 -> ceg1");
  EXPECT_EQ(operator_.messages, (std::vector<std::string>{"Nincs meg a verzió file !"}));
  EXPECT_TRUE(operator_.errors.empty());
  EXPECT_EQ(fo.LastRunOutcome(), TfrmFo::RunOutcome::Failed);
  EXPECT_TRUE(view_.controlsEnabled);
  EXPECT_GE(view_.repaints, 2);
  EXPECT_TRUE(std::filesystem::exists(workDir_.Path() / "ceg1_verzio.log"));
  EXPECT_EQ(VersionLookups(), lookups + 1);
  EXPECT_EQ(fo.CurrentRow(), 0u);
}

TEST_F(VersionSwitch, ErrorOpeningTheInstanceIsShownAndTheControlsComeBack) {
  struct Refusing : db::ConnectionPort {
    void Open(const std::string&) override { throw db::DatabaseError("Login failed for ceg1."); }
    void Close() override {}
    db::ResultSet Query(std::string_view, const db::Params&) override { return {}; }
    void Execute(std::string_view, const db::Params&) override {}
  };
  TfrmFo& fo = Create([] { return std::make_unique<Refusing>(); });
  const int lookups = VersionLookups();
  Answer(true);
  fo.aValtExecute();
  EXPECT_EQ(operator_.errors, (std::vector<std::string>{"Login failed for ceg1."}));
  EXPECT_TRUE(operator_.messages.empty());
  EXPECT_TRUE(view_.controlsEnabled);
  EXPECT_EQ(fo.LastRunOutcome(), TfrmFo::RunOutcome::Raised);
  EXPECT_EQ(VersionLookups(), lookups);  // no reload
}

TEST_F(VersionSwitch, UninstallShowsNoMessageAndReloads) {
  TfrmFo& fo = Create();
  const int lookups = VersionLookups();
  Answer(true);
  fo.aUniExecute();
  EXPECT_TRUE(operator_.errors.empty()) << operator_.errors[0];
  EXPECT_TRUE(operator_.messages.empty());
  EXPECT_EQ(fo.LastRunOutcome(), TfrmFo::RunOutcome::Succeeded);
  EXPECT_EQ(VersionLookups(), lookups + 1);
}

TEST_F(VersionSwitch, MigratorOnlyPointsTheInstanceConnection) {
  TfrmFo& fo = Create();
  fo.SelectRow(1);
  const std::size_t calls = server_.calls.size();
  fo.aMigratorExecute();
  EXPECT_EQ(server_.opens.back(), "ceg2");
  EXPECT_EQ(server_.calls.size(), calls);
  EXPECT_EQ(dialogusView_.question, "");
}

// The conversion window as the front end hands it over: records where it was
// opened, or refuses like a database that cannot be reached.
struct RecordingConversionWindow : ConversionWindow {
  std::vector<std::string> openedOn;
  std::string refusal;
  void OpenOn(const std::string& database) override {
    if (!refusal.empty()) throw db::DatabaseError(refusal);
    openedOn.push_back(database);
  }
};

class Conversion : public MainWindow {
 protected:
  void SetUp() override {
    Settings("ZMP_Vorel");
    server_.Answer("ZMP_Vorel", kInstanceListSql,
                   List({{std::string("Alfa"), std::string(" ceg1 ")},
                         {std::string("Béta"), std::string(" ceg2 ")}}));
  }
  RecordingConversionWindow konvert_;
};

TEST_F(Conversion, EntryComesLastOnceAWindowIsAttachedAndOpensItOnTheCurrentInstance) {
  TfrmFo& fo = Create();
  EXPECT_FALSE(fo.GetAction(ActionId::aKonvert).visible);
  fo.aKonvertExecute();  // nothing attached: nothing to open
  fo.AttachConversionWindow(konvert_);
  EXPECT_EQ(Captions(fo.VisiblePopupItems()),
            (std::vector<std::string>{"Vált", "-", "-", "Kilép", "Konvertálás…"}));
  // Enabled on any instance, installed or not.
  EXPECT_TRUE(fo.GetAction(ActionId::aKonvert).enabled);
  fo.SelectRow(1);
  fo.aKonvertExecute();
  // The name as listed: the connection is built from it as "Vált" builds it.
  EXPECT_EQ(konvert_.openedOn, (std::vector<std::string>{" ceg2 "}));
  EXPECT_TRUE(operator_.errors.empty());
  EXPECT_EQ(dialogusView_.question, "");  // opening asks nothing
}

TEST_F(Conversion, EntryIsOffWithoutAnInstanceAndAFailedOpenIsShown) {
  server_.Answer("ZMP_Vorel", kInstanceListSql, List({}));
  TfrmFo& fo = Create();
  fo.AttachConversionWindow(konvert_);
  EXPECT_FALSE(fo.GetAction(ActionId::aKonvert).enabled);
  fo.aKonvertExecute();
  EXPECT_TRUE(konvert_.openedOn.empty());

  server_.Answer("ZMP_Vorel", kInstanceListSql,
                 List({{std::string("Alfa"), std::string(" ceg1 ")}}));
  fo.LoadInstances();
  EXPECT_TRUE(fo.GetAction(ActionId::aKonvert).enabled);
  konvert_.refusal = "Cannot open database \"ceg1\" requested by the login.";
  fo.aKonvertExecute();
  EXPECT_EQ(operator_.errors, (std::vector<std::string>{konvert_.refusal}));
}

}  // namespace
}  // namespace moltaro::instances
