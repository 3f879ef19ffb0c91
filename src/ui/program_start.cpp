#include "ui/program_start.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>
#include <memory>

#include "startup/login_test.h"
#include "ui/desktop_windows.h"
#include "ui/login_view.h"
#include "ui/message_boxes.h"

namespace moltaro::ui {

namespace {
constexpr int kExitOk = 0;
constexpr int kExitNoSettings = 1;
}  // namespace

namespace {

// Qt's own texts (standard buttons, the line edit's menu, the folder picker)
// in Hungarian: the system's translation, else the one shipped beside the
// program. Without either they stay in English.
void LoadQtTranslation(QApplication& app) {
  const QLocale hungarian(QLocale::Hungarian, QLocale::Hungary);
  const QStringList places = {
      QLibraryInfo::path(QLibraryInfo::TranslationsPath),
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
  for (const QString& place : places) {
    auto translation = std::make_unique<QTranslator>();
    if (translation->load(hungarian, QStringLiteral("qtbase"), QStringLiteral("_"), place)) {
      translation->setParent(&app);  // the application owns it from here
      QCoreApplication::installTranslator(translation.release());
      return;
    }
  }
}

}  // namespace

void ConfigureApplication(QApplication& app) {
  // No application display name: Qt would add it to every caption, on some
  // platforms after a dash, and the program's captions are complete as they are.
  LoadQtTranslation(app);
}

LoginOutcome LogIn(ServerSettings& settings, const std::filesystem::path& workDirectory,
                   const TfrmSaPwd::LoginTester& tester) {
  TfrmSaPwdView dialog(settings, workDirectory, tester);
  int loaded = kSettingsMissing;
  try {
    loaded = dialog.Logic().LoadSettings();
  } catch (const std::exception& e) {
    // An empty or unreadable settings file stops start-up like a missing one.
    ShowErrorMessage(nullptr, e.what());
    return LoginOutcome::NoSettings;
  }
  if (loaded == kSettingsMissing) {
    ShowErrorMessage(nullptr, kNoSettingsFileMessage);
    return LoginOutcome::NoSettings;
  }
  return dialog.exec() == kLoginOk ? LoginOutcome::LoggedIn : LoginOutcome::Cancelled;
}

int RunDesktopProgram() {
  ServerSettings settings;
  switch (LogIn(settings, std::filesystem::current_path(), TestLogin)) {
    case LoginOutcome::NoSettings:
      return kExitNoSettings;
    case LoginOutcome::Cancelled:
      return kExitOk;
    case LoginOutcome::LoggedIn:
      break;
  }
  DesktopWindows windows(settings);
  windows.Start();
  return QApplication::exec();
}

}  // namespace moltaro::ui
