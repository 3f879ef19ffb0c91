// What every command but server-init does first: read the settings file and
// test the login as the login dialog does.
#pragma once

#include <optional>
#include <string>

#include "startup/server_settings.h"

namespace moltaro::cli {

struct Credentials {
  std::optional<std::string> login;     // -U
  std::optional<std::string> password;  // -P
};

// Exit statuses of the command-line program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Fills `settings` from the settings file of the working directory and the
// login (options, else MOLTARO_LOGIN/MOLTARO_PASSWORD, else a prompt). Returns
// kExitOk, or kExitUsage after printing why to stderr.
int StartProgram(const Credentials& given, ServerSettings& settings);

}  // namespace moltaro::cli
