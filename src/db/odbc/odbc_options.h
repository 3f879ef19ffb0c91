// What the operator may set about reaching SQL Server, beyond the one-line
// settings file: the ODBC driver, extra connection keys and the login time-out.
//
// Read from an optional file beside the settings file, then from the
// environment, which wins:
//
//   moltaro-odbc.ini         Driver=..., Extra=KEY=VALUE;..., LoginTimeout=...
//   MOLTARO_ODBC_DRIVER      the driver name as registered in odbcinst.ini
//   MOLTARO_ODBC_EXTRA       extra keys, appended after the file's
//   MOLTARO_ODBC_LOGIN_TIMEOUT  seconds
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace moltaro::db::odbc {

inline constexpr std::string_view kOptionsFileName = "moltaro-odbc.ini";
inline constexpr std::string_view kDriverVariable = "MOLTARO_ODBC_DRIVER";
inline constexpr std::string_view kExtraVariable = "MOLTARO_ODBC_EXTRA";
inline constexpr std::string_view kLoginTimeoutVariable = "MOLTARO_ODBC_LOGIN_TIMEOUT";

struct OdbcOptions {
  std::string driver = "FreeTDS";
  // ODBC `KEY=VALUE;` pairs added to the translated string; a key that the
  // translation also writes takes the value given here.
  std::string extra;
  int loginTimeout = 15;  // seconds; 0 waits as long as the driver does
};

// Looks up an environment variable; empty values count as unset.
using EnvironmentLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The process environment.
std::optional<std::string> ProcessEnvironment(std::string_view name);

// The options file in `directory` (when present) overlaid with the
// environment. An unreadable line or value throws db::Error naming the file
// or the variable at fault.
OdbcOptions LoadOdbcOptions(const std::filesystem::path& directory,
                            const EnvironmentLookup& environment);

}  // namespace moltaro::db::odbc
