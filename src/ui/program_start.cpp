#include "ui/program_start.h"

#include <QApplication>
#include <exception>

#include "startup/login_test.h"
#include "ui/desktop_windows.h"
#include "ui/login_view.h"
#include "ui/message_boxes.h"
#include "ui/qt_translation.h"

namespace moltaro::ui {

namespace {
constexpr int kExitOk = 0;
constexpr int kExitNoSettings = 1;
}  // namespace

void ConfigureApplication(QApplication& app) {
  // No application display name: Qt would add it to every caption, on some
  // platforms after a dash, and the program's captions are complete as they are.
  InstallQtTranslation(app, QtTranslationFolders());
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
