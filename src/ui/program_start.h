// The desktop program's start: login first, then the windows and the
// message loop until the main window closes.
#pragma once

#include <filesystem>

class QApplication;

#include "startup/login_dialog.h"
#include "startup/server_settings.h"

namespace moltaro::ui {

enum class LoginOutcome { LoggedIn, Cancelled, NoSettings };

// Reads the settings file of `workDirectory` and shows the login dialog.
// A missing or unreadable settings file is shown in the error box.
LoginOutcome LogIn(ServerSettings& settings, const std::filesystem::path& workDirectory,
                   const TfrmSaPwd::LoginTester& tester);

// What the program sets on its application object before any window shows.
// Window captions stay exactly the windows' own: no application name is
// added to them.
void ConfigureApplication(QApplication& app);

// The whole program in the current directory; returns the exit status.
int RunDesktopProgram();

}  // namespace moltaro::ui
