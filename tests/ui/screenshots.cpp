// Renders every window of the desktop program to PNG, on a throw-away
// embedded server set up the way an operator would: two companies created
// through "Új cég", the first one upgraded through "Vált" with the example
// version file and the example legacy company converted into it through
// "Konvertálás…". Usage: moltaro_screenshots OUTPUT_DIR EXAMPLES_DIR
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QtTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include <iostream>
#include "message_box_answerer.h"
#include "typing.h"

#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "ui/desktop_windows.h"
#include "ui/konvert_view.h"
#include "ui/login_view.h"
#include "ui/message_boxes.h"
#include "ui/program_start.h"

namespace moltaro::ui {

using testing::Type;
namespace {

constexpr const char* kPassword = "Titok-2024";

class Shots {
 public:
  explicit Shots(QString directory) : directory_(std::move(directory)) {}

  void Save(QWidget* window, const char* name) {
    const QString path = QDir(directory_).filePath(QString::fromUtf8(name) + ".png");
    if (!window->grab().save(path)) failures_.push_back(path);
    std::cout << path.toStdString() << '\n';
  }
  bool Ok() const {
    for (const QString& path : failures_)
      std::cerr << "Cannot write " << path.toStdString() << '\n';
    return failures_.empty();
  }

 private:
  QString directory_;
  std::vector<QString> failures_;
};

void WhenShown(std::function<void()> act) {
  QTimer::singleShot(0, std::move(act));
}

void NewCompany(DesktopWindows& windows, const char* company, const char* database, Shots* shots) {
  TfrmDBBeView& dialog = windows.frmDBBe();
  WhenShown([&dialog, company, database, shots] {
    Type(dialog.eCegnev(), QString::fromUtf8(company));
    Type(dialog.eDatabase(), QString::fromUtf8(database));
    if (shots != nullptr) shots->Save(&dialog, "new_company");
    QTest::mouseClick(dialog.bRendben(), Qt::LeftButton);
  });
  QTest::mouseClick(windows.frmFo().Button1(), Qt::LeftButton);
}

void Login(const std::filesystem::path& work, Shots& shots) {
  ServerSettings settings;
  TfrmSaPwdView login(settings, work, [](auto&&...) { return true; });
  login.Logic().LoadSettings();
  login.show();
  Type(login.eName(), "sa");
  Type(login.ePwd(), kPassword);
  shots.Save(&login, "login");
}

void SavePopupMenu(TfrmFoView& fo, Shots& shots, const char* name) {
  fo.PopupMenu1()->popup(fo.mapToGlobal(QPoint(60, 60)));
  shots.Save(fo.PopupMenu1(), name);
  fo.PopupMenu1()->hide();
}

// The conversion window on the upgraded company, over the example export set
// copied under the working directory: the window as it opens, and during the
// run, in the middle of the largest file.
void Konvert(DesktopWindows& windows, const std::filesystem::path& examples, Shots& shots) {
  std::filesystem::copy(examples / "legacy", "export");
  TfrmFoView& fo = windows.frmFo();
  windows.Logic().frmFo().SelectRow(0);
  fo.action(instances::ActionId::aKonvert)->trigger();
  TkonvertView& konvert = windows.konvert();
  // A relative directory keeps the temporary path out of the pictures.
  Type(konvert.dEdit(), "export");
  shots.Save(&konvert, "konvert");

  bool runShot = false;
  QObject::connect(konvert.ProgressBar2(), &QProgressBar::valueChanged, [&](int value) {
    if (runShot || !konvert.Label1()->text().endsWith(QStringLiteral("yphavi.txt")) ||
        value < konvert.ProgressBar2()->maximum() / 2) {
      return;
    }
    runShot = true;
    shots.Save(&konvert, "konvert_running");
  });
  WhenShown([&] { QTest::mouseClick(windows.frmDialogus().bIgen(), Qt::LeftButton); });
  QTest::mouseClick(konvert.Button1(), Qt::LeftButton);
  const convert::Tkonvert& logic = windows.konvertWindow().Logic();
  if (logic.LastOutcome() != convert::Tkonvert::Outcome::Succeeded) {
    std::cerr << "The conversion did not finish: " << logic.LastError() << '\n';
  }
  QTest::mouseClick(konvert.btnVissza(), Qt::LeftButton);
}

// The SAP Business One listing: its companies, and the instance commands for
// the upgraded one.
void SapMenu(ServerSettings settings, Shots& shots) {
  db::Connection master(settings.DatabaseConnectionString("master"));
  master.Open();
  master.Execute("create database [Sbo-Common]");
  db::Connection sbo(settings.DatabaseConnectionString("Sbo-Common"));
  sbo.Open();
  sbo.Execute("create table srgc (cmpName nvarchar(100), dbName nvarchar(100))");
  sbo.Execute("insert into srgc (cmpName, dbName) values ('Első Kft', 'ceg1')");
  sbo.Execute("insert into srgc (cmpName, dbName) values ('Második Bt', 'ceg2')");

  settings.commonDatabase = "Sbo-Common";
  DesktopWindows windows(settings);
  windows.Start();
  shots.Save(&windows.frmFo(), "main_window_sap");
  SavePopupMenu(windows.frmFo(), shots, "popup_menu_sap");
}

int Render(const QString& outputArgument, const std::filesystem::path& examplesArgument) {
  // Both are read after the move into the throw-away working directory.
  const QString output = QDir(outputArgument).absolutePath();
  const std::filesystem::path examples = std::filesystem::absolute(examplesArgument);
  QTemporaryDir work;
  if (!work.isValid() || !QDir().mkpath(output)) return 1;
  const std::filesystem::path workPath = work.path().toStdString();
  QDir::setCurrent(work.path());
  db::embedded::InitializeServer(workPath / "data", kPassword);
  std::ofstream(workPath / "VELDORAdb_new.ini") << "$$ZMP_Vorel\r\n";
  std::filesystem::copy_file(examples / "verzio.ver", workPath / "verzio.ver");

  Shots shots(output);
  Login(workPath, shots);

  ServerSettings settings;
  settings.SetServerSettings("", "ZMP_Vorel", "", "sa", kPassword);
  {
    // A fresh server has no common database yet: the first company makes it.
    testing::MessageBoxAnswerer errors;
    DesktopWindows first(settings);
    first.Start();
    NewCompany(first, "Első Kft", "ceg1", &shots);
    NewCompany(first, "Második Bt", "ceg2", nullptr);
    NewCompany(first, "Harmadik Zrt", "ceg3", nullptr);
  }

  testing::MessageBoxAnswerer boxes;
  DesktopWindows windows(settings);
  windows.Start();
  TfrmFoView& fo = windows.frmFo();
  TfrmDialogusView& question = windows.frmDialogus();
  WhenShown([&] {
    shots.Save(&question, "confirm");
    QTest::mouseClick(question.bIgen(), Qt::LeftButton);
  });
  // The run holds the event loop; each step of the bar is a moment to look.
  bool runShot = false;
  QObject::connect(fo.fraValt1().pbFolyam(), &QProgressBar::valueChanged, [&] {
    if (runShot || fo.fraValt1().lMit()->text() != QStringLiteral("Index")) return;
    runShot = true;
    shots.Save(&fo, "main_window_running");
  });
  // The outcome message comes once the run is over; the frame still shows
  // the version installed and the full bar then.
  boxes.whileShown = [&] {
    shots.Save(&fo, "main_window_run_finished");
    shots.Save(QApplication::activeModalWidget(), "upgrade_message");
  };
  QTest::mouseClick(fo.bValt(), Qt::LeftButton);
  boxes.whileShown = nullptr;
  shots.Save(&fo, "main_window");

  TfrmRepUtView& repUt = windows.frmRepUt();
  instances::TfrmRepUt& repUtLogic = windows.Logic().frmRepUt();
  repUtLogic.SetDirectory("C:\\ZMP\\Riport");
  WhenShown([&] {
    shots.Save(&repUt, "report_dir");
    QTest::keyClick(&repUt, Qt::Key_Escape);
  });
  repUtLogic.ShowModal();

  SavePopupMenu(fo, shots, "popup_menu");
  Konvert(windows, examples, shots);
  SapMenu(settings, shots);
  return shots.Ok() ? 0 : 1;
}

}  // namespace
}  // namespace moltaro::ui

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  moltaro::ui::ConfigureApplication(app);
  if (argc != 3) {
    std::cerr << "usage: moltaro_screenshots OUTPUT_DIR EXAMPLES_DIR\n";
    return 2;
  }
  try {
    return moltaro::ui::Render(QString::fromLocal8Bit(argv[1]), argv[2]);
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return 1;
  }
}
