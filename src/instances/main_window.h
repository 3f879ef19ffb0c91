// The main window "ZMP Verzió 2.0": the instance list with the installed
// versions, its actions and pop-up menu, and the commands that act on the
// current row or create an instance.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/connection_port.h"
#include "db/result_set.h"
#include "engine/tfra_valt.h"
#include "engine/valt_display.h"
#include "instances/confirm_dialog.h"
#include "instances/conversion_window.h"
#include "instances/main_window_actions.h"
#include "instances/main_window_layout.h"
#include "instances/new_company_dialog.h"
#include "instances/operator.h"
#include "instances/report_dir_dialog.h"
#include "instances/version_cache.h"
#include "startup/server_settings.h"

namespace moltaro::instances {

inline constexpr const char* kMainWindowCaption = "ZMP Verzió 2.0";
inline constexpr const char* kNevColumnTitle = "Cég megnevezése";
inline constexpr const char* kDbnameColumnTitle = "Adatbázis neve";
inline constexpr const char* kVerColumnTitle = "Verzió";
inline constexpr const char* kNewCompanyButtonCaption = "Új cég";

inline constexpr const char* kSboInstanceListSql =
    "select cmpName nev, dbName dbname from srgc order by cmpName";
inline constexpr const char* kInstanceListSql =
    "  select pld nev, fiznev dbname from ZMP_Peldany t order by t.id";
inline constexpr const char* kVersionColumnSql =
    "select b.id from sysobjects a, syscolumns b where a.id=b.id and a.name=:xa and b.name=:xb";
inline constexpr const char* kVersionTable = "ZMP_OBJ_VER";
inline constexpr const char* kVersionColumn = "SZAM";
inline constexpr const char* kInstalledVersionSql = "select szam from zmp_obj_ver";

inline constexpr const char* kReportDirSelectSql =
    "select id, kod from zmp_puy where nev='PWREPUT'";
inline constexpr const char* kReportDirUpdateSql = "update zmp_puy set kod=:xkod where id=:xid";
inline constexpr const char* kReportDirInsertSql =
    "insert into zmp_puy (id, nev, kod) values (:xid, :xnev, :xkod)";
inline constexpr const char* kReportDirSetting = "PWREPUT";
inline constexpr std::int64_t kReportDirNewId = 100;

// "A " + name + " adatbázis már létezik!!"
std::string DatabaseExistsMessage(const std::string& database);

inline constexpr const char* kValtQuestion = "Mehet a verzióváltás ?";
inline constexpr const char* kUninstallQuestion = "Valóban töröljem ?";
inline constexpr const char* kValtSucceeded = "A verzióváltás sikeresen lefutott !";
inline constexpr const char* kValtFailed = "Hiba a verzióváltásban !";
inline constexpr const char* kUpgradePhases = "IIIII";
inline constexpr const char* kUninstallPhases = "XXXXX";

// One row of the list with its calculated fields.
struct InstanceRow {
  db::Value nev;
  db::Value dbname;
  std::string Ver;
  std::string VanVer;
  // Why the instance's version could not be read; empty when it was.
  std::string unreadable;
};

// Before the server's reason, for an instance whose version cannot be read.
inline constexpr const char* kUnreadableInstance = "Az adatbázis nem olvasható: ";

// The dialogs the main window's commands open; the program owns them.
struct MainWindowDialogs {
  TfrmDialogus& dialogus;
  TfrmRepUt& repUt;
  TfrmDBBe& dbBe;
};

// How the main window and its version switch frame reach the server.
struct MainWindowConnections {
  db::ConnectionFactory window = db::MakeServerConnection;
  db::ConnectionFactory engine = db::MakeServerConnection;
};

class TfrmFo {
 public:
  class View {
   public:
    virtual ~View() = default;
    // The list was opened, closed or reloaded: the grid reads it again
    // through RowCount and Row.
    virtual void ListChanged() = 0;
    virtual void CurrentRowChanged(std::size_t row) = 0;
    // An action's enabled or visible state changed: read them through GetAction.
    virtual void ActionsChanged() = 0;
    // gPeldanyok, bValt and bKilep together.
    virtual void SetControlsEnabled(bool enabled) = 0;
    virtual void PlaceFrame(const Rect& frame) = 0;
    virtual void CloseWindow() = 0;
    // Paints the window and the version switch frame now: a run keeps the
    // user-interface thread busy, so nothing would be painted later.
    virtual void Repaint() = 0;
  };

  // `valtDisplay` shows the version switch frame that lives in the window.
  TfrmFo(View& view, Operator& op, const ServerSettings& settings, MainWindowDialogs dialogs,
         engine::ValtDisplay& valtDisplay, MainWindowConnections connections = {},
         MainWindowLayout layout = {});

  // Lays out the frame, connects to the common database, picks the listing
  // mode and loads the list. Failures are shown and leave the window usable.
  void FormCreate();

  // Opens the list and rebuilds the version cache from every instance
  // database. In the product's own mode a database that cannot be read stops
  // it at that row, keeping the pairs read so far, and the error propagates.
  // SAP Business One's company list may name databases this server cannot
  // open: such a row counts as not installed, with the reason kept, and the
  // load goes on.
  void LoadInstances();

  void EnableControls(bool enabled);

  // The list as the grid shows it.
  bool ListOpen() const { return qPeldanyok_.has_value(); }
  std::size_t RowCount() const;
  InstanceRow Row(std::size_t row) const;
  std::size_t CurrentRow() const;
  // The grid's selection moved; the actions follow the new row.
  void SelectRow(std::size_t row);
  // The current row's `dbname`, NULL when there is no current row.
  db::Value CurrentDbname() const;

  const Action& GetAction(ActionId id) const;
  // Whether the window offers the action for the current row: visible and
  // enabled. A hidden action is neither in the menu nor reachable by its
  // shortcut, enabled or not. Other front ends ask this before running a
  // command, so they offer exactly what the window offers.
  bool Offers(ActionId id) const;
  // The pop-up menu as shown: separators, and the items whose action is visible.
  std::vector<MenuItem> VisiblePopupItems() const;

  const VersionCache& Cache() const { return cache_; }
  const std::string& ListSql() const { return listSql_; }
  const Rect& FramePlacement() const { return framePlacement_; }
  bool ControlsEnabled() const { return controlsEnabled_; }
  const MainWindowLayout& Layout() const { return layout_; }

  engine::TfraValt& fraValt1() { return fraValt1_; }
  // How the last "Vált" or "Uninstall" ended.
  enum class RunOutcome {
    NotRun,     // no instance, or the question was not answered "IGEN"
    Succeeded,  // the run returned and did not fail
    Failed,     // the run returned with its failure flag set
    Raised,     // an error escaped Prepare or the run
  };
  RunOutcome LastRunOutcome() const { return lastRunOutcome_; }

  // Commands. Each shows its own failures in the standard error box.
  void aVegeExecute() { view_.CloseWindow(); }
  void aDbCreaExecute();
  void aUtcaExecute();
  void aValtExecute();
  void aUniExecute();
  void aMigratorExecute();
  // "Konvertálás…": opens the conversion window on the current instance.
  void aKonvertExecute();

  // Offers "Konvertálás…", enabled while an instance is current. `window`
  // must outlive this one.
  void AttachConversionWindow(ConversionWindow& window);

 private:
  // Runs a step of a command; a failure is shown and gives false.
  bool Report(const std::function<void()>& step);

  void OpenList();
  void CloseList();
  void ListMoved();
  void dsPeldanyokDataChange();
  Action& MutableAction(ActionId id);
  std::string InstalledVersion(const std::string& database);
  // InstalledVersion, or in SAP Business One mode "Nincs telepítve" for a
  // database that cannot be read.
  std::string ReadVersion(const std::string& database);

  // New company.
  void CreateCompany(const std::string& company, const std::string& database);
  void CreateCommonDatabase(const std::string& company, const std::string& database,
                            const std::string& directory);
  void FillCommonDatabase(const std::string& company, const std::string& database);
  void RegisterCompany(const std::string& company, const std::string& database);
  void ReopenListAfterCreation();
  void ReopenListAfterFailure();

  // Report directory.
  void EditReportDirectory(const std::string& database);

  // Version switch and uninstall: `run` is the engine's run, returning
  // whether it failed.
  void RunOnInstance(const std::string& question, DefaultButton defaultButton,
                     const std::string& phaseMask, const std::function<bool()>& run,
                     bool reportOutcome);

  View& view_;
  Operator& operator_;
  const ServerSettings& settings_;
  MainWindowDialogs dialogs_;
  MainWindowLayout layout_;
  Rect framePlacement_;
  engine::TfraValt fraValt1_;
  RunOutcome lastRunOutcome_ = RunOutcome::NotRun;
  ConversionWindow* conversionWindow_ = nullptr;

  std::unique_ptr<db::ConnectionPort> ADOConnection1_;       // common database; the list
  std::unique_ptr<db::ConnectionPort> adoVer_;               // one instance at a time
  std::unique_ptr<db::ConnectionPort> ADOConnectionMaster_;  // master; database creation

  std::string listSql_;
  std::optional<db::ResultSet> qPeldanyok_;
  VersionCache cache_;
  // Instance database name -> why its version could not be read.
  std::map<std::string, std::string> unreadable_;
  std::array<Action, kActionCount> actions_;
  bool controlsEnabled_ = true;
};

}  // namespace moltaro::instances
