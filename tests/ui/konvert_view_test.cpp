// The conversion window in the desktop program on a real embedded server:
// reached from the instance list, its controls, and a run and a "Törlés"
// driven through its buttons and questions. One server for the program
// (logins are slow on purpose): two companies made through "Új cég", the
// first upgraded through "Vált" as an operator would before converting.
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "message_box_answerer.h"
#include "shown_text.h"
#include "typing.h"

#include "convert/run_steps.h"
#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "ui/desktop_windows.h"

namespace moltaro::ui {

using instances::ActionId;
using testing::MessageBoxAnswerer;
using testing::Shown;
using testing::Type;

namespace {

constexpr const char* kPassword = "Titok-2024";
// A payroll item of a person the company does not have: the importer says so
// and the run goes on.
constexpr const char* kUnknownPerson = "00000000042";

void WhenShown(std::function<void()> act) {
  QTimer::singleShot(0, std::move(act));
}

void ClickRow(QTableWidget* grid, int row) {
  const QRect cell = grid->visualItemRect(grid->item(row, 0));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

// Keys go where the operator types: to the active window.
bool Activate(QWidget* window) {
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

// A bar that shows no progress, and not Qt's busy indicator either.
bool Idle(const QProgressBar* bar) {
  return bar->maximum() > bar->minimum() && bar->value() <= bar->minimum();
}

// Where `widget` sits in the window's coordinates.
QRect InWindow(const QWidget* widget) {
  return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

// The texts a label showed on the screen, in order: a command holds the event
// loop, so only what it painted at once was ever seen.
class PaintedTexts : public QObject {
 public:
  explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
  QStringList texts;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == label_ && event->type() == QEvent::Paint &&
        (texts.isEmpty() || texts.last() != label_->text())) {
      texts << label_->text();
    }
    return false;
  }

 private:
  QLabel* label_;
};

}  // namespace

class KonvertViewTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir work_;
  QTemporaryDir exports_;
  QString startDirectory_;
  ServerSettings settings_;

  std::filesystem::path WorkPath() const { return work_.path().toStdString(); }
  std::filesystem::path ExportPath() const { return exports_.path().toStdString(); }

  std::string Scalar(const std::string& database, const std::string& sql) {
    db::Connection connection(settings_.DatabaseConnectionString(database));
    connection.Open();
    const db::ResultSet result = connection.Query(sql);
    return result.Rows().empty() ? std::string() : db::ToText(result.Rows()[0][0]);
  }

  // Answers the next yes/no question with the button of the operator's
  // choice, or with Esc, checking that it is `question`.
  enum class Answer { Igen, Nem, Escape, Enter };
  static void AnswerQuestion(DesktopWindows& windows, const char* question, Answer answer) {
    TfrmDialogusView& dialog = windows.frmDialogus();
    WhenShown([&dialog, question, answer] {
      QCOMPARE(dialog.lSzoveg()->text(), Utf8(question));
      switch (answer) {
        case Answer::Igen:
          QTest::mouseClick(dialog.bIgen(), Qt::LeftButton);
          break;
        case Answer::Nem:
          QTest::mouseClick(dialog.bNem(), Qt::LeftButton);
          break;
        case Answer::Escape:
          QTest::keyClick(&dialog, Qt::Key_Escape);
          break;
        case Answer::Enter:
          QTest::keyClick(&dialog, Qt::Key_Return);
          break;
      }
    });
  }

  static void NewCompany(DesktopWindows& windows, const char* company, const char* database) {
    TfrmDBBeView& dialog = windows.frmDBBe();
    WhenShown([&dialog, company, database] {
      Type(dialog.eCegnev(), Utf8(company));
      Type(dialog.eDatabase(), Utf8(database));
      QTest::mouseClick(dialog.bRendben(), Qt::LeftButton);
    });
    QTest::mouseClick(windows.frmFo().Button1(), Qt::LeftButton);
  }

  // The conversion window opened on the first company, the export directory
  // typed in.
  static TkonvertView& OpenOnCeg1(DesktopWindows& windows, const QString& directory) {
    TfrmFoView& fo = windows.frmFo();
    ClickRow(fo.gPeldanyok(), 0);
    if (!Activate(&fo)) qWarning("the main window did not become active");
    QTest::keyClick(fo.gPeldanyok(), Qt::Key_K, Qt::ControlModifier);
    TkonvertView& konvert = windows.konvert();
    if (!Activate(&konvert)) qWarning("the conversion window did not become active");
    konvert.dEdit()->clear();
    Type(konvert.dEdit(), directory);
    return konvert;
  }

 private slots:
  void initTestCase() {
    QVERIFY(work_.isValid());
    QVERIFY(exports_.isValid());
    startDirectory_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work_.path()));
    db::embedded::InitializeServer(WorkPath() / "data", kPassword);
    std::ofstream(WorkPath() / "VELDORAdb_new.ini") << "$$ZMP_Vorel\r\n";
    std::filesystem::copy_file(std::filesystem::path(MOLTARO_EXAMPLES_DIR) / "verzio.ver",
                               WorkPath() / "verzio.ver");
    settings_.SetServerSettings("", "ZMP_Vorel", "", "sa", kPassword);

    MessageBoxAnswerer boxes;
    {
      DesktopWindows first(settings_);
      first.Start();  // no common database yet: its errors are answered
      // With nothing listed there is no instance to convert.
      QVERIFY(!first.frmFo().action(ActionId::aKonvert)->isEnabled());
      NewCompany(first, "Első Kft", "ceg1");
      NewCompany(first, "Második Bt", "ceg2");
    }
    boxes.Clear();
    DesktopWindows windows(settings_);
    windows.Start();
    AnswerQuestion(windows, "Mehet a verzióváltás ?", Answer::Igen);
    QTest::mouseClick(windows.frmFo().bValt(), Qt::LeftButton);
    QCOMPARE(boxes.Texts(), QStringList{Utf8("A verzióváltás sikeresen lefutott !")});

    // Every export file of the run, empty but for one payroll item.
    for (const convert::RunStep& step : convert::RunSteps()) {
      std::ofstream(ExportPath() / step.fileName, std::ios::binary).flush();
    }
    std::string item = std::string("A") + kUnknownPerson;
    item.resize(160, ' ');
    // The last line of an export is never a record: DOS closed them with ^Z.
    std::ofstream(ExportPath() / "ypjogc.txt", std::ios::binary) << item << "\r\n\x1a";
  }

  void cleanupTestCase() { QDir::setCurrent(startDirectory_); }

  void menuEntryAndShortcutOpenTheWindowOnTheSelectedInstance() {
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    TfrmFoView& fo = windows.frmFo();
    TkonvertView& konvert = windows.konvert();
    QVERIFY(!konvert.isVisible());  // created hidden at start-up

    QAction* entry = fo.action(ActionId::aKonvert);
    QCOMPARE(fo.PopupMenu1()->actions().last(), entry);
    QCOMPARE(Shown(entry->text()), Utf8("Konvertálás…"));
    QCOMPARE(entry->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
    // Not only installed instances: a company is converted into any instance.
    ClickRow(fo.gPeldanyok(), 1);
    QVERIFY(entry->isEnabled());

    QVERIFY(Activate(&fo));
    QTest::keyClick(fo.gPeldanyok(), Qt::Key_K, Qt::ControlModifier);
    QVERIFY(konvert.isVisible());
    QCOMPARE(konvert.windowModality(), Qt::ApplicationModal);
    QCOMPARE(windows.konvertWindow().Logic().Instance(), std::string(" ceg2 "));
    QVERIFY(windows.konvertWindow().Logic().Connected());
    QTest::mouseClick(konvert.btnVissza(), Qt::LeftButton);
    QVERIFY(!konvert.isVisible());

    ClickRow(fo.gPeldanyok(), 0);
    entry->trigger();  // as the pop-up menu does
    QVERIFY(konvert.isVisible());
    QCOMPARE(windows.konvertWindow().Logic().Instance(), std::string(" ceg1 "));
    QVERIFY(Activate(&konvert));
    QTest::keyClick(&konvert, Qt::Key_Escape);  // Esc goes back too
    QVERIFY(!konvert.isVisible());
    QCOMPARE(boxes.Texts(), QStringList());
    // The main window's own buttons are untouched.
    QCOMPARE(Shown(fo.bValt()->text()), Utf8("Vált"));
  }

  void windowHasItsCaptionsAndLayout() {
    DesktopWindows windows(settings_);
    TkonvertView& konvert = windows.konvert();
    QCOMPARE(konvert.windowTitle(), Utf8("Konvertálás"));
    QCOMPARE(konvert.size(), QSize(784, 636));  // 800 × 670 with its frame
    QVERIFY(konvert.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(konvert.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(konvert.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(konvert.PageControl1()->count(), 1);
    QCOMPARE(konvert.PageControl1()->tabText(0), Utf8("Konvertálás"));
    QCOMPARE(konvert.Label1()->text(), Utf8("ELvégzendő feladat"));
    QVERIFY(konvert.Label1()->font().bold());
    QVERIFY(konvert.Label1()->font().pixelSize() > konvert.font().pixelSize());
    QCOMPARE(konvert.Label1()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(Shown(konvert.Button1()->text()), Utf8("Indít"));
    QCOMPARE(Shown(konvert.Button2()->text()), Utf8("Törlés"));
    QCOMPARE(Shown(konvert.btnVissza()->text()), Utf8("Vissza"));
    // Every button has its access key, "Törlés" too (after its question).
    QCOMPARE(konvert.Button1()->text(), Utf8("&Indít"));
    QCOMPARE(konvert.Button2()->text(), Utf8("&Törlés"));
    QCOMPARE(konvert.btnVissza()->text(), Utf8("&Vissza"));
    QVERIFY(!(konvert.Button2()->focusPolicy() & Qt::TabFocus));
    QVERIFY(konvert.Button1()->focusPolicy() & Qt::TabFocus);
    for (const QProgressBar* bar : {konvert.ProgressBar1(), konvert.ProgressBar2()}) {
      QCOMPARE(bar->orientation(), Qt::Vertical);
      QVERIFY(Idle(bar));
    }

    // The left column: the directory, its files under it, "Vissza" at the
    // bottom; the page to its right.
    const QRect dir = InWindow(konvert.dEdit());
    const QRect files = InWindow(konvert.FileListBox1());
    const QRect vissza = InWindow(konvert.btnVissza());
    const QRect page = InWindow(konvert.PageControl1());
    QVERIFY(InWindow(konvert.dEditButton()).left() > dir.right());
    QVERIFY(files.top() > dir.bottom());
    QVERIFY(vissza.top() > files.bottom());
    QVERIFY(vissza.bottom() > konvert.height() - 20);
    QVERIFY(page.left() > files.right());
    // On the page: the label on top, the bars side by side under it, "Indít"
    // below the bars and "Törlés" to their right.
    const QRect label = InWindow(konvert.Label1());
    const QRect bar1 = InWindow(konvert.ProgressBar1());
    const QRect bar2 = InWindow(konvert.ProgressBar2());
    const QRect indit = InWindow(konvert.Button1());
    const QRect torles = InWindow(konvert.Button2());
    QVERIFY(page.contains(label) && page.contains(bar1) && page.contains(torles));
    QVERIFY(bar1.top() > label.bottom());
    QCOMPARE(bar2.top(), bar1.top());
    QVERIFY(bar2.left() > bar1.right());
    QVERIFY(bar1.height() > 4 * bar1.width());
    QVERIFY(indit.top() > bar1.bottom());
    QVERIFY(torles.left() > bar2.right());
    QVERIFY(torles.top() < bar2.bottom());
  }

  void directoryFieldListsItsTextFiles() {
    QTemporaryDir other;
    QVERIFY(other.isValid());
    const std::filesystem::path path = other.path().toStdString();
    for (const char* name : {"yput.txt", "YPKOD.TXT", "olvass.doc"}) {
      std::ofstream(path / name).flush();
    }
    std::filesystem::create_directory(path / "mappa.txt");

    DesktopWindows windows(settings_);
    windows.Start();
    TkonvertView& konvert = OpenOnCeg1(windows, other.path());
    const convert::Tkonvert& logic = windows.konvertWindow().Logic();
    QCOMPARE(logic.SourceDirectory(), path.string() + "/");
    QStringList listed;
    for (int i = 0; i < konvert.FileListBox1()->count(); ++i) {
      listed << konvert.FileListBox1()->item(i)->text();
    }
    QCOMPARE(listed, (QStringList{"YPKOD.TXT", "yput.txt"}));

    // The folder picker fills the field, and the list follows.
    WhenShown([&] {
      auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      QVERIFY(picker != nullptr);
      picker->setDirectory(exports_.path());
      picker->selectFile(exports_.path());
      QMetaObject::invokeMethod(picker, "accept");
    });
    QTest::mouseClick(konvert.dEditButton(), Qt::LeftButton);
    QCOMPARE(QDir::fromNativeSeparators(konvert.dEdit()->text()), exports_.path());
    QCOMPARE(logic.SourceDirectory(), ExportPath().string() + "/");
    QCOMPARE(konvert.FileListBox1()->count(), 18);  // ypsztsz.txt serves two steps

    konvert.dEdit()->clear();
    QCOMPARE(logic.SourceDirectory(), std::string());
    QCOMPARE(konvert.FileListBox1()->count(), 0);
  }

  void runGoesOnlyAfterIgenAndShowsEachFileAndTheImportersMessages() {
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    TkonvertView& konvert = OpenOnCeg1(windows, exports_.path());

    for (Answer answer : {Answer::Nem, Answer::Escape}) {
      AnswerQuestion(windows, "Mehet ? ", answer);
      QTest::mouseClick(konvert.Button1(), Qt::LeftButton);
    }
    QCOMPARE(boxes.Texts(), QStringList());
    QCOMPARE(konvert.Label1()->text(), Utf8("ELvégzendő feladat"));
    QCOMPARE(Scalar("ceg1", "select count(*) from zmp_kod"), std::string("0"));
    QCOMPARE(Scalar("ceg1", "select szam from zmp_obj_ver"), std::string("2.1.0"));

    // What the window showed while the run held the event loop, and beside
    // its closing message.
    PaintedTexts labels(konvert.Label1());
    int stepShownAtTheEnd = -1;
    boxes.whileShown = [&] { stepShownAtTheEnd = konvert.ProgressBar1()->value(); };
    // Keyboard only: Tab from the directory to "Indít", Enter.
    // The questions had the focus; the platform here gives it back only when asked.
    QVERIFY(Activate(&konvert));
    konvert.dEdit()->setFocus();
    QTest::keyClick(konvert.dEdit(), Qt::Key_Tab);
    QTest::keyClick(konvert.dEditButton(), Qt::Key_Tab);
    QTest::keyClick(konvert.FileListBox1(), Qt::Key_Tab);
    QVERIFY(konvert.Button1()->hasFocus());
    AnswerQuestion(windows, "Mehet ? ", Answer::Igen);
    QTest::keyClick(konvert.Button1(), Qt::Key_Return);

    QCOMPARE(boxes.Texts(),
             (QStringList{Utf8("Baj van!!:") + kUnknownPerson, Utf8("Rendben lefutott !")}));
    for (const auto& box : boxes.boxes) QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(stepShownAtTheEnd, 19);
    const QString source = QString::fromStdString(ExportPath().string() + "/");
    QCOMPARE(labels.texts.size(), 20);  // nineteen files, then emptied
    QCOMPARE(labels.texts.first(), source + "ypjt.txt");
    QCOMPARE(labels.texts[3], source + "ypjogc.txt");
    QCOMPARE(labels.texts[18], source + "ypsztsz.txt");
    QCOMPARE(labels.texts.last(), QString());
    // Afterwards the label is empty and both bars idle.
    QCOMPARE(konvert.Label1()->text(), QString());
    QVERIFY(Idle(konvert.ProgressBar1()));
    QVERIFY(Idle(konvert.ProgressBar2()));
    QCOMPARE(Scalar("ceg1", "select count(*) from zmp_jogc"), std::string("1"));
    QCOMPARE(Scalar("ceg1", "select count(*) from zmp_kod"), std::string("139"));
    QCOMPARE(Scalar("ceg1", "select szam from zmp_obj_ver"), std::string(" 3.33 "));
  }

  void aFailedRunIsShownInTheErrorBoxAndLeavesTheLastFileShown() {
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    std::filesystem::rename(ExportPath() / "ypuy.txt", WorkPath() / "ypuy.txt");
    TkonvertView& konvert = OpenOnCeg1(windows, exports_.path());
    AnswerQuestion(windows, "Mehet ? ", Answer::Igen);
    QTest::mouseClick(konvert.Button1(), Qt::LeftButton);
    std::filesystem::rename(WorkPath() / "ypuy.txt", ExportPath() / "ypuy.txt");

    // The payroll item came before the missing file.
    QCOMPARE(boxes.boxes.size(), std::size_t{2});
    QCOMPARE(boxes.boxes[1].icon, QMessageBox::Critical);
    QCOMPARE(boxes.boxes[1].title, Utf8("Moltaro verzióváltó"));
    QVERIFY2(boxes.boxes[1].text.contains(QStringLiteral("ypuy.txt")),
             qPrintable(boxes.boxes[1].text));
    QVERIFY(konvert.Label1()->text().endsWith(QStringLiteral("ypuy.txt")));
    QCOMPARE(konvert.ProgressBar1()->value(), 10);
    QVERIFY(konvert.isVisible());
  }

  void torlesEmptiesTheTablesOnlyAfterIgen() {
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    TkonvertView& konvert = OpenOnCeg1(windows, exports_.path());
    const std::string items = Scalar("ceg1", "select count(*) from zmp_jogc");
    QVERIFY(items != "0");

    // Neither "Nem" nor Enter by reflex deletes anything.
    for (Answer answer : {Answer::Nem, Answer::Enter}) {
      AnswerQuestion(windows, "Valóban töröljem ?", answer);
      QTest::mouseClick(konvert.Button2(), Qt::LeftButton);
      QCOMPARE(boxes.Texts(), QStringList());
      QCOMPARE(Scalar("ceg1", "select count(*) from zmp_jogc"), items);
    }

    PaintedTexts tables(konvert.Label1());
    bool busyCaption = true;
    QObject::connect(konvert.ProgressBar1(), &QProgressBar::valueChanged, [&](int position) {
      if (position == 0) return;
      busyCaption = busyCaption && konvert.Button2()->text() == Utf8("kis türelmet");
    });
    AnswerQuestion(windows, "Valóban töröljem ?", Answer::Igen);
    QTest::mouseClick(konvert.Button2(), Qt::LeftButton);
    QCOMPARE(boxes.Texts(), QStringList{Utf8("Kész !")});
    QVERIFY(busyCaption);
    QVERIFY(tables.texts.size() >= 20);
    QCOMPARE(tables.texts.first(), QStringLiteral("zmp_jt"));
    QVERIFY(tables.texts.contains(QStringLiteral("zmp_jogc")));
    QCOMPARE(tables.texts.last(), QString());
    QCOMPARE(Shown(konvert.Button2()->text()), Utf8("Törlés"));
    QCOMPARE(konvert.Label1()->text(), QString());
    QCOMPARE(konvert.focusWidget(), konvert.Button1());  // the window's focus, once active
    QCOMPARE(Scalar("ceg1", "select count(*) from zmp_jogc"), std::string("0"));
    QCOMPARE(Scalar("ceg1", "select count(*) from zmp_kod"), std::string("0"));
    // The stamp of the last run stays.
    QCOMPARE(Scalar("ceg1", "select szam from zmp_obj_ver"), std::string(" 3.33 "));
  }

  // The example company, end to end from the window, after the "Törlés" above.
  void exampleCompanyConvertsWhole() {
    MessageBoxAnswerer boxes;
    DesktopWindows windows(settings_);
    windows.Start();
    TkonvertView& konvert = OpenOnCeg1(windows, Utf8(MOLTARO_EXAMPLES_DIR "/legacy"));
    QCOMPARE(konvert.FileListBox1()->count(), 18);
    AnswerQuestion(windows, "Mehet ? ", Answer::Igen);
    QTest::mouseClick(konvert.Button1(), Qt::LeftButton);
    QCOMPARE(boxes.Texts(), QStringList{Utf8("Rendben lefutott !")});
    QCOMPARE(Scalar("ceg1", "select count(*) from zmp_kszt"), std::string("36"));
    QCOMPARE(Scalar("ceg1", "select count(*) from zmp_havi"), std::string("792"));
    QCOMPARE(Scalar("ceg1", "select rtrim(kod) from zmp_puy where nev = 'PWCEGNEV'"),
             std::string("Példa Bérszámfejtő Kft."));
  }
};

}  // namespace moltaro::ui

QTEST_MAIN(moltaro::ui::KonvertViewTest)
#include "konvert_view_test.moc"
