// The desktop program's start: login first, then the windows and the
// message loop until the main window closes.
#pragma once

#include <filesystem>

#include "startup/login_dialog.h"
#include "startup/server_settings.h"

namespace moltaro::ui {

enum class LoginOutcome { LoggedIn, Cancelled, NoSettings };

// Reads the settings file of `workDirectory` and shows the login dialog.
// A missing or unreadable settings file is shown in the error box.
LoginOutcome LogIn(ServerSettings& settings, const std::filesystem::path& workDirectory,
                   const TfrmSaPwd::LoginTester& tester);

// The whole program in the current directory; returns the exit status.
int RunDesktopProgram();

}  // namespace moltaro::ui
