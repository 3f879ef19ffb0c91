// The desktop program on a real embedded server, driven through its Qt
// windows: start-up, the instance grid and its menus, the new company, the
// version switch, the report directory and the uninstall. One server for the
// whole program (logins are slow on purpose); each test builds on what the
// earlier ones left, in the order they are declared.
#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest/QtTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "shown_text.h"
#include "typing.h"

#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "message_box_answerer.h"
#include "startup/login_test.h"
#include "ui/desktop_windows.h"
#include "ui/login_view.h"
#include "ui/program_start.h"

namespace moltaro::ui {

using testing::Shown;
using testing::Type;

using instances::ActionId;
using testing::MessageBoxAnswerer;

namespace {

constexpr const char* kPassword = "Titok-2024";

void WhenShown(std::function<void()> act) {
  QTimer::singleShot(0, std::move(act));
}

QStringList GridColumn(const QTableWidget* grid, int column) {
  QStringList texts;
  for (int row = 0; row < grid->rowCount(); ++row) texts << grid->item(row, column)->text();
  return texts;
}

// The pop-up menu as the operator sees it; a separator reads as "-".
QStringList ShownMenu(const QMenu* menu) {
  QStringList items;
  for (const QAction* item : menu->actions()) {
    if (item->isSeparator()) {
      items << QStringLiteral("-");
    } else if (item->isVisible()) {
      items << Shown(item->text());
    }
  }
  return items;
}

void ClickRow(QTableWidget* grid, int row) {
  const QRect cell = grid->visualItemRect(grid->item(row, 0));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

// Keys go where the keyboard focus is, as they do for the operator.
QWidget* Focused() {
  QWidget* focused = QApplication::focusWidget();
  return focused != nullptr ? focused : QApplication::activeWindow();
}

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QWidget* target = Focused();
  if (target == nullptr) {
    qWarning("no window has the keyboard");
    return;
  }
  QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

bool Activate(QWidget* window) {
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

// Runs `act` with the first shown window of type `Window`, once there is one.
template <typename Window>
void WhenWindowShown(std::function<void(Window&)> act, int triesLeft = 400) {
  QTimer::singleShot(5, [act = std::move(act), triesLeft]() mutable {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* window = dynamic_cast<Window*>(widget);
      if (window != nullptr && window->isVisible()) {
        act(*window);
        return;
      }
    }
    if (triesLeft > 0) WhenWindowShown<Window>(std::move(act), triesLeft - 1);
  });
}

// Counts the mouse buttons pressed anywhere in the program while it lives.
class MouseButtonCounter : public QObject {
 public:
  MouseButtonCounter() { qApp->installEventFilter(this); }
  ~MouseButtonCounter() override { qApp->removeEventFilter(this); }
  int presses = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
      ++presses;
    }
    return false;
  }
};

}  // namespace

class MainWindowViewTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir work_;
  QString startDirectory_;
  ServerSettings settings_;

  std::filesystem::path WorkPath() const { return work_.path().toStdString(); }

  void Use(const std::string& common) {
    settings_.SetServerSettings("", common, "", "sa", kPassword);
  }

  db::ResultSet Query(const std::string& database, const std::string& sql) {
    db::Connection connection(settings_.DatabaseConnectionString(database));
    connection.Open();
    return connection.Query(sql);
  }
  void Execute(const std::string& database, const std::string& sql) {
    db::Connection connection(settings_.DatabaseConnectionString(database));
    connection.Open();
    connection.Execute(sql);
  }

  void NewCompany(DesktopWindows& windows, const char* company, const char* database) {
    TfrmDBBeView& dialog = windows.frmDBBe();
    WhenShown([&dialog, company, database] {
      Type(dialog.eCegnev(), QString::fromUtf8(company));
      Type(dialog.eDatabase(), QString::fromUtf8(database));
      QTest::mouseClick(dialog.bRendben(), Qt::LeftButton);
    });
    QTest::mouseClick(windows.frmFo().Button1(), Qt::LeftButton);
  }

  // Answers the next yes/no question, checking that it is `question`.
  static void AnswerQuestion(DesktopWindows& windows, const char* question, bool yes) {
    TfrmDialogusView& dialog = windows.frmDialogus();
    WhenShown([&dialog, question, yes] {
      QCOMPARE(dialog.lSzoveg()->text(), QString::fromUtf8(question));
      QTest::mouseClick(yes ? dialog.bIgen() : dialog.bNem(), Qt::LeftButton);
    });
  }

 private slots:
  void initTestCase() {
    QVERIFY(work_.isValid());
    startDirectory_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work_.path()));
    // No server in the settings: the server in data/ of the working directory.
    db::embedded::InitializeServer(WorkPath() / "data", kPassword);
    std::ofstream(WorkPath() / "VELDORAdb_new.ini") << "$$ZMP_Vorel\r\n";
    std::filesystem::copy_file(std::filesystem::path(MOLTARO_EXAMPLES_DIR) / "verzio.ver",
                               WorkPath() / "verzio.ver");
  }

  void cleanupTestCase() { QDir::setCurrent(startDirectory_); }

  void startUpStopsWithoutSettingsAndEndsOnCancel() {
    MessageBoxAnswerer boxes;
    QTemporaryDir empty;
    ServerSettings settings;
    QCOMPARE(LogIn(settings, empty.path().toStdString(), TestLogin), LoginOutcome::NoSettings);
    QCOMPARE(boxes.Texts(), QStringList{QStringLiteral("Nincs .ini file!")});
    QCOMPARE(boxes.boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes[0].title, QString::fromUtf8("Moltaro verzióváltó"));

    // An empty settings file stops start-up too, saying why.
    boxes.Clear();
    std::ofstream(empty.filePath("VELDORAdb_new.ini").toStdString()).flush();
    QCOMPARE(LogIn(settings, empty.path().toStdString(), TestLogin), LoginOutcome::NoSettings);
    QCOMPARE(boxes.boxes.size(), std::size_t{1});
    QCOMPARE(boxes.boxes[0].icon, QMessageBox::Critical);
    QVERIFY(boxes.boxes[0].text.startsWith(QString::fromUtf8("A beállítófájl üres: ")));

    WhenShown([] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    QCOMPARE(LogIn(settings, WorkPath(), TestLogin), LoginOutcome::Cancelled);
  }

  void firstNewCompanyCreatesTheCommonDatabaseAndListsTheCompany() {
    Use("ZMP_Vorel");
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    // The common database does not exist yet: shown as errors, window usable.
    QVERIFY(!boxes.boxes.empty());
    for (const auto& box : boxes.boxes) QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(windows.frmFo().gPeldanyok()->rowCount(), 0);
    QVERIFY(windows.frmFo().isVisible());
    boxes.Clear();

    NewCompany(windows, "Első Kft", "ceg1");
    NewCompany(windows, "Második Bt", "ceg2");
    QCOMPARE(boxes.Texts(), QStringList());
    const QTableWidget* grid = windows.frmFo().gPeldanyok();
    QCOMPARE(GridColumn(grid, 0),
             (QStringList{QString::fromUtf8(" Első Kft "), QString::fromUtf8(" Második Bt ")}));
    QCOMPARE(GridColumn(grid, 1), (QStringList{" ceg1 ", " ceg2 "}));
    // The version cache is rebuilt only by a full load: no version yet.
    QCOMPARE(GridColumn(grid, 2), (QStringList{"", ""}));

    // A cancelled dialog creates nothing, even with both fields filled.
    TfrmDBBeView& dialog = windows.frmDBBe();
    WhenShown([&dialog] {
      Type(dialog.eCegnev(), "Harmadik");
      Type(dialog.eDatabase(), "ceg3");
      QTest::mouseClick(dialog.bMegsem(), Qt::LeftButton);
    });
    QTest::mouseClick(windows.frmFo().Button1(), Qt::LeftButton);
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(
        Query("master", "select count(*) n from dbo.sysdatabases where name='ceg3'").Integer("n"),
        0);
  }

  // Needs the common database, which the first new company created.
  void startUpLogsInToTheServerOfTheWorkingDirectory() {
    MessageBoxAnswerer boxes;
    ServerSettings settings;
    WhenShown([] {
      auto* login = dynamic_cast<TfrmSaPwdView*>(QApplication::activeModalWidget());
      QVERIFY(login != nullptr);
      Type(login->eName(), "sa");
      Type(login->ePwd(), "rossz");
      QTest::mouseClick(login->bRendben(), Qt::LeftButton);  // refused: the dialog stays
      login->ePwd()->clear();
      Type(login->ePwd(), kPassword);
      QTest::mouseClick(login->bRendben(), Qt::LeftButton);
      // Refused again: end the dialog so the test fails instead of hanging.
      if (login->isVisible()) QTest::mouseClick(login->bMegsem(), Qt::LeftButton);
    });
    QCOMPARE(LogIn(settings, WorkPath(), TestLogin), LoginOutcome::LoggedIn);
    QCOMPARE(boxes.Texts(), QStringList{QString::fromUtf8("Hibás Név vagy Jelszó !")});
    QCOMPARE(settings.commonDatabase, std::string("ZMP_Vorel"));
    QCOMPARE(settings.loginName, std::string("sa"));
  }

  // The program as the operator starts it: login, the windows, the message
  // loop until "Kilép" closes the main window.
  void programRunsFromLoginUntilTheMainWindowCloses() {
    MessageBoxAnswerer boxes;
    QStringList listed;
    WhenShown([&listed] {
      auto* login = dynamic_cast<TfrmSaPwdView*>(QApplication::activeModalWidget());
      QVERIFY(login != nullptr);
      Type(login->eName(), "sa");
      Type(login->ePwd(), kPassword);
      // Runs once the program's message loop is up, after the login closed.
      QTimer::singleShot(0, [&listed] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
          auto* fo = dynamic_cast<TfrmFoView*>(window);
          if (fo == nullptr || !fo->isVisible()) continue;
          listed = GridColumn(fo->gPeldanyok(), 1);
          QTest::mouseClick(fo->bKilep(), Qt::LeftButton);
          return;
        }
        QApplication::quit();  // no main window: let the test fail, not hang
      });
      QTest::mouseClick(login->bRendben(), Qt::LeftButton);
    });
    QCOMPARE(RunDesktopProgram(), 0);
    QCOMPARE(boxes.Texts(), QStringList());
    QCOMPARE(listed, (QStringList{" ceg1 ", " ceg2 "}));
  }

  void productListShowsVersionsAndOnlyItsOwnCommands() {
    Use("ZMP_Vorel");
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    QCOMPARE(boxes.Texts(), QStringList());
    TfrmFoView& fo = windows.frmFo();
    QCOMPARE(fo.windowTitle(), QString::fromUtf8("ZMP Verzió 2.0"));
    QCOMPARE(fo.size(), QSize(420, 256));
    const QTableWidget* grid = fo.gPeldanyok();
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QString::fromUtf8("Cég megnevezése"));
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), QString::fromUtf8("Adatbázis neve"));
    QCOMPARE(grid->horizontalHeaderItem(2)->text(), QString::fromUtf8("Verzió"));
    QCOMPARE(grid->columnWidth(0), 145);
    QCOMPARE(grid->columnWidth(1), 136);
    QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(GridColumn(grid, 2), (QStringList{QString::fromUtf8("Nincs telepítve"),
                                               QString::fromUtf8("Nincs telepítve")}));
    QCOMPARE(grid->currentRow(), 0);
    // Rows as high as their text: the grid has room for six instances or more,
    // and no row clips its text.
    QVERIFY(grid->rowHeight(0) >= grid->fontMetrics().height());
    QVERIFY2(grid->viewport()->height() / grid->rowHeight(0) >= 6,
             qPrintable(QStringLiteral("row height %1").arg(grid->rowHeight(0))));

    QCOMPARE(ShownMenu(fo.PopupMenu1()),
             (QStringList{QString::fromUtf8("Vált"), "-", "-", QString::fromUtf8("Kilép"),
                          QString::fromUtf8("Konvertálás…")}));
    QCOMPARE(Shown(fo.bValt()->text()), QString::fromUtf8("Vált"));
    QCOMPARE(fo.bValt()->toolTip(), QString::fromUtf8("Verzió váltás"));
    QCOMPARE(fo.bKilep()->toolTip(), QString::fromUtf8("Kilépés"));
    QVERIFY(fo.bValt()->isEnabled());
    // The frame sits centred below the buttons, as the window's arithmetic puts it.
    QCOMPARE(fo.fraValt1().geometry(), QRect(70, 184, 280, 73));

    // Around a run: the grid, "Vált" and "Kilép" go; "Új cég" and the
    // actions themselves stay.
    fo.SetControlsEnabled(false);
    QVERIFY(!grid->isEnabled());
    QVERIFY(!fo.bValt()->isEnabled());
    QVERIFY(!fo.bKilep()->isEnabled());
    QVERIFY(fo.Button1()->isEnabled());
    QVERIFY(fo.action(ActionId::aValt)->isEnabled());
    fo.SetControlsEnabled(true);
    QVERIFY(grid->isEnabled());
    QVERIFY(fo.bValt()->isEnabled());

    QTest::mouseClick(fo.bKilep(), Qt::LeftButton);
    QVERIFY(!fo.isVisible());
  }

  void valtUpgradesTheSelectedInstanceOnlyAfterYes() {
    Use("ZMP_Vorel");
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    TfrmFoView& fo = windows.frmFo();
    QTableWidget* grid = fo.gPeldanyok();
    ClickRow(grid, 1);
    ClickRow(grid, 0);

    // No run, no frame: an empty bar under the buttons would say nothing.
    QVERIFY(fo.isVisible());
    QVERIFY(!fo.fraValt1().isVisible());
    AnswerQuestion(windows, "Mehet a verzióváltás ?", false);
    QTest::mouseClick(fo.bValt(), Qt::LeftButton);
    QCOMPARE(boxes.Texts(), QStringList());
    QVERIFY(!std::filesystem::exists(WorkPath() / " ceg1 _verzio.log"));
    QVERIFY(!fo.fraValt1().isVisible());

    // What the frame shows beside the outcome message: the run's version and
    // a full bar.
    QString shownVersion;
    bool barFull = false;
    bool frameWithOutcome = false;
    boxes.whileShown = [&] {
      frameWithOutcome = fo.fraValt1().isVisible();
      shownVersion = fo.fraValt1().lVerzio()->text();
      const QProgressBar* bar = fo.fraValt1().pbFolyam();
      barFull = bar->maximum() > 0 && bar->value() == bar->maximum();
    };
    // What the window shows at each step of the bar while the run holds the
    // event loop: the phases in the frame, the controls disabled.
    QStringList phases;
    bool controlsOffDuringRun = true;
    QObject::connect(fo.fraValt1().pbFolyam(), &QProgressBar::valueChanged, [&](int value) {
      if (value == 0) return;
      const QString phase = fo.fraValt1().lMit()->text();
      if (!phase.isEmpty() && !phases.contains(phase)) phases << phase;
      controlsOffDuringRun = controlsOffDuringRun && fo.fraValt1().isVisible() &&
                             !grid->isEnabled() && !fo.bValt()->isEnabled() &&
                             !fo.bKilep()->isEnabled() && fo.Button1()->isEnabled();
    });
    AnswerQuestion(windows, "Mehet a verzióváltás ?", true);
    QTest::mouseClick(fo.bValt(), Qt::LeftButton);
    QCOMPARE(boxes.Texts(), QStringList{QString::fromUtf8("A verzióváltás sikeresen lefutott !")});
    QCOMPARE(boxes.boxes[0].icon, QMessageBox::NoIcon);
    QCOMPARE(shownVersion, QStringLiteral("2.1.0"));
    QVERIFY(barFull);
    QVERIFY(frameWithOutcome);
    QCOMPARE(phases, (QStringList{QString::fromUtf8("Előfutó"), "Tábla", "Index", "Procedure",
                                  QString::fromUtf8("Utánfutó")}));
    QVERIFY(controlsOffDuringRun);

    // Afterwards: the list reloaded with the new version, the controls back,
    // the frame emptied and hidden.
    QCOMPARE(GridColumn(grid, 2),
             (QStringList{QStringLiteral("2.1.0"), QString::fromUtf8("Nincs telepítve")}));
    QCOMPARE(grid->currentRow(), 0);
    QVERIFY(grid->isEnabled());
    QVERIFY(fo.bValt()->isEnabled());
    QVERIFY(fo.bKilep()->isEnabled());
    QCOMPARE(fo.fraValt1().lVerzio()->text(), QString());
    QVERIFY(!fo.fraValt1().isVisible());
    QCOMPARE(Query("ceg1", "select szam from zmp_obj_ver").Text("szam"), std::string("2.1.0"));
    QVERIFY(std::filesystem::exists(WorkPath() / " ceg1 _verzio.log"));
  }

  void failedSwitchShowsTheEngineReason() {
    Use("ZMP_Vorel");
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    TfrmFoView& fo = windows.frmFo();
    ClickRow(fo.gPeldanyok(), 1);
    std::filesystem::rename(WorkPath() / "verzio.ver", WorkPath() / "verzio.tmp");
    AnswerQuestion(windows, "Mehet a verzióváltás ?", true);
    QTest::mouseClick(fo.bValt(), Qt::LeftButton);
    std::filesystem::rename(WorkPath() / "verzio.tmp", WorkPath() / "verzio.ver");
    QCOMPARE(boxes.Texts(), QStringList{QString::fromUtf8("Nincs meg a verzió file !")});
    QCOMPARE(GridColumn(fo.gPeldanyok(), 2),
             (QStringList{QStringLiteral("2.1.0"), QString::fromUtf8("Nincs telepítve")}));
    QVERIFY(fo.bValt()->isEnabled());
    QVERIFY(!fo.fraValt1().isVisible());
  }

  void sapListOffersInstanceCommandsOnlyForInstalledRows() {
    Use("master");
    Execute("master", "create database [Sbo-Common]");
    Execute("Sbo-Common", "create table srgc (cmpName nvarchar(100), dbName nvarchar(100))");
    Execute("Sbo-Common", "insert into srgc (cmpName, dbName) values ('Beta', 'ceg2')");
    Execute("Sbo-Common", "insert into srgc (cmpName, dbName) values ('Alfa', 'ceg1')");

    Use("Sbo-Common");
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    QCOMPARE(boxes.Texts(), QStringList());
    TfrmFoView& fo = windows.frmFo();
    QCOMPARE(GridColumn(fo.gPeldanyok(), 0), (QStringList{"Alfa", "Beta"}));
    QCOMPARE(GridColumn(fo.gPeldanyok(), 2),
             (QStringList{QStringLiteral("2.1.0"), QString::fromUtf8("Nincs telepítve")}));
    QCOMPARE(ShownMenu(fo.PopupMenu1()),
             (QStringList{QString::fromUtf8("Vált"), "Rep utvonal", "-",
                          QString::fromUtf8("Migrátor"), "Uninstall", "-",
                          QString::fromUtf8("Kilép"), QString::fromUtf8("Konvertálás…")}));
    for (ActionId id : {ActionId::aMigrator, ActionId::aUni, ActionId::aUtca}) {
      QVERIFY(fo.action(id)->isEnabled());
    }
    ClickRow(fo.gPeldanyok(), 1);
    for (ActionId id : {ActionId::aMigrator, ActionId::aUni, ActionId::aUtca}) {
      QVERIFY(!fo.action(id)->isEnabled());
    }
    QVERIFY(fo.action(ActionId::aValt)->isEnabled());
    ClickRow(fo.gPeldanyok(), 0);
    QVERIFY(fo.action(ActionId::aUni)->isEnabled());
  }

  void reportDirectoryIsEditedForTheSelectedInstance() {
    Use("Sbo-Common");
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    TfrmRepUtView& dialog = windows.frmRepUt();
    QString shown;
    WhenShown([&] {
      shown = dialog.eDir()->text();
      dialog.eDir()->clear();
      Type(dialog.eDir(), "  D:\\Riportok  ");
      QTest::keyClick(dialog.eDir(), Qt::Key_Return);
    });
    windows.frmFo().action(ActionId::aUtca)->trigger();
    QCOMPARE(boxes.Texts(), QStringList());
    // The version's post-run script set the site's default.
    QCOMPARE(shown, QStringLiteral("C:\\ZMP\\Riport"));
    auto setting = Query("ceg1", "select id, kod from zmp_puy where nev='PWREPUT'");
    QCOMPARE(setting.RowCount(), std::size_t{1});
    QCOMPARE(setting.Text("kod"), std::string("D:\\Riportok"));

    WhenShown([&] {
      shown = dialog.eDir()->text();
      Type(dialog.eDir(), "X");
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    windows.frmFo().action(ActionId::aUtca)->trigger();
    QCOMPARE(shown, QStringLiteral("D:\\Riportok"));
    QCOMPARE(Query("ceg1", "select kod from zmp_puy where nev='PWREPUT'").Text("kod"),
             std::string("D:\\Riportok"));
  }

  void uninstallRemovesTheVersionWithoutAMessage() {
    Use("Sbo-Common");
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    TfrmFoView& fo = windows.frmFo();
    // Enter by reflex answers "Nem": nothing is dropped.
    const QStringList installed = GridColumn(fo.gPeldanyok(), 2);
    QVERIFY(installed.contains(QStringLiteral("2.1.0")));
    TfrmDialogusView& dialog = windows.frmDialogus();
    WhenShown([&dialog] {
      QCOMPARE(dialog.lSzoveg()->text(), QString::fromUtf8("Valóban töröljem ?"));
      QTest::keyClick(&dialog, Qt::Key_Return);
    });
    fo.action(ActionId::aUni)->trigger();
    QCOMPARE(GridColumn(fo.gPeldanyok(), 2), installed);

    AnswerQuestion(windows, "Valóban töröljem ?", true);
    fo.action(ActionId::aUni)->trigger();
    QCOMPARE(boxes.Texts(), QStringList());
    QCOMPARE(GridColumn(fo.gPeldanyok(), 2), (QStringList{QString::fromUtf8("Nincs telepítve"),
                                                          QString::fromUtf8("Nincs telepítve")}));
    QVERIFY(!fo.action(ActionId::aUni)->isEnabled());
    QVERIFY(fo.bValt()->isEnabled());
  }

  void sapCompanyWithoutItsDatabaseShowsNotInstalledWithTheReason() {
    Execute("Sbo-Common", "insert into srgc (cmpName, dbName) values ('Delta', 'nincsilyen')");
    Use("Sbo-Common");
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    Execute("Sbo-Common", "delete from srgc where dbName = 'nincsilyen'");
    QCOMPARE(boxes.Texts(), QStringList());
    TfrmFoView& fo = windows.frmFo();
    QTableWidget* grid = fo.gPeldanyok();
    QCOMPARE(GridColumn(grid, 1), (QStringList{"ceg1", "ceg2", "nincsilyen"}));
    QCOMPARE(grid->item(2, 2)->text(), QString::fromUtf8("Nincs telepítve"));
    QVERIFY(
        grid->item(2, 2)->toolTip().startsWith(QString::fromUtf8("Az adatbázis nem olvasható: ")));
    QCOMPARE(grid->item(1, 2)->toolTip(), QString());
    ClickRow(grid, 2);
    for (ActionId id : {ActionId::aMigrator, ActionId::aUni, ActionId::aUtca}) {
      QVERIFY(!fo.action(id)->isEnabled());
    }
  }

  // The operator's tasks with the keyboard alone: log in, pick the second
  // instance, switch its version, add a company, leave. No mouse event.
  void keyboardAloneLogsInSwitchesAddsACompanyAndExits() {
    MouseButtonCounter mouse;
    MessageBoxAnswerer boxes;
    QList<QWidget*> tabWalk;
    QList<QWidget*> expectedWalk;
    bool menuOpened = false;
    QString question;
    QStringList versionsAfterSwitch;
    bool focusBackInGrid = false;
    int rowAfterSwitch = -1;
    QStringList companies;

    WhenWindowShown<TfrmSaPwdView>([&](TfrmSaPwdView& login) {
      QVERIFY(Activate(&login));
      Press(Qt::Key_F, Qt::AltModifier);  // "&Felhasználó :"
      QCOMPARE(Focused(), login.eName());
      testing::Type(Focused(), "sa");
      Press(Qt::Key_Tab);
      QCOMPARE(Focused(), login.ePwd());
      testing::Type(Focused(), kPassword);
      Press(Qt::Key_Return);
    });
    WhenWindowShown<TfrmFoView>([&](TfrmFoView& fo) {
      // A failed step must end the program, not leave the test waiting on it.
      struct EndIfStillOpen {
        TfrmFoView& window;
        ~EndIfStillOpen() {
          if (window.isVisible()) QApplication::quit();
        }
      } guard{fo};
      QVERIFY(Activate(&fo));
      QTableWidget* grid = fo.gPeldanyok();
      // Reading order forward and back, Ctrl+Tab out of the grid too.
      tabWalk << Focused();
      for (const auto& [key, modifiers] : std::vector<std::pair<int, Qt::KeyboardModifiers>>{
               {Qt::Key_Tab, Qt::NoModifier},
               {Qt::Key_Tab, Qt::NoModifier},
               {Qt::Key_Tab, Qt::NoModifier},
               {Qt::Key_Backtab, Qt::ShiftModifier},
               {Qt::Key_Backtab, Qt::ShiftModifier},
               {Qt::Key_Backtab, Qt::ShiftModifier},
               {Qt::Key_Tab, Qt::ControlModifier},
               {Qt::Key_Backtab, Qt::ShiftModifier}}) {
        Press(key, modifiers);
        tabWalk << Focused();
      }
      expectedWalk = {grid,       fo.bValt(), fo.Button1(), fo.bKilep(), fo.Button1(),
                      fo.bValt(), grid,       fo.bValt(),   grid};

      // The arrow keys choose the row; the Menu key opens the pop-up there.
      Press(Qt::Key_Down);
      Press(Qt::Key_Menu);
      menuOpened = fo.PopupMenu1()->isVisible();
      QTest::keyClick(fo.PopupMenu1(), Qt::Key_Escape);

      // Enter switches the selected row; Enter answers the question "Igen".
      WhenWindowShown<TfrmDialogusView>([&](TfrmDialogusView& dialog) {
        QVERIFY(Activate(&dialog));
        question = dialog.lSzoveg()->text();
        Press(Qt::Key_Return);
      });
      Press(Qt::Key_Return);
      versionsAfterSwitch = GridColumn(grid, 2);
      // The offscreen platform does not give the keyboard back to the window
      // a modal dialog came from; a window manager would.
      QVERIFY(Activate(&fo));
      // The keyboard is back in the list the run was started from, though the
      // list was disabled meanwhile: the arrow keys choose a row again.
      focusBackInGrid = Focused() == grid;
      Press(Qt::Key_Down);
      rowAfterSwitch = grid->currentRow();

      WhenWindowShown<TfrmDBBeView>([&](TfrmDBBeView& dialog) {
        QVERIFY(Activate(&dialog));
        testing::Type(Focused(), "Negyedik Zrt");
        Press(Qt::Key_Tab);
        testing::Type(Focused(), "ceg4");
        Press(Qt::Key_Return);
      });
      // An access key clicks its button a moment later, as it shows the press.
      Press(Qt::Key_Uacute, Qt::AltModifier);  // "&Új cég"
      QTRY_COMPARE(grid->rowCount(), 3);
      companies = GridColumn(grid, 1);
      QVERIFY(Activate(&fo));
      Press(Qt::Key_K, Qt::AltModifier);  // "&Kilép"
      QTRY_VERIFY(!fo.isVisible());
    });
    QCOMPARE(RunDesktopProgram(), 0);

    QCOMPARE(tabWalk, expectedWalk);
    QVERIFY(menuOpened);
    QCOMPARE(question, QString::fromUtf8("Mehet a verzióváltás ?"));
    QCOMPARE(versionsAfterSwitch, (QStringList{QString::fromUtf8("Nincs telepítve"), "2.1.0"}));
    QVERIFY(focusBackInGrid);
    QCOMPARE(rowAfterSwitch, 1);
    QCOMPARE(companies, (QStringList{" ceg1 ", " ceg2 ", " ceg4 "}));
    QCOMPARE(boxes.Texts(), QStringList{QString::fromUtf8("A verzióváltás sikeresen lefutott !")});
    QCOMPARE(mouse.presses, 0);
  }
};

}  // namespace moltaro::ui

QTEST_MAIN(moltaro::ui::MainWindowViewTest)
#include "main_window_view_test.moc"
