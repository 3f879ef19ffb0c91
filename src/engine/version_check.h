// Refusing a version file whose version is not newer than the installed one.
#pragma once

#include <string>
#include <string_view>

#include "db/value.h"
#include "engine/run_context.h"

namespace moltaro::engine {

inline constexpr const char* kFaultyVersionFile = "Hibás a verzió file !";

// Versions are compared as text in character-code order (Windows-1250), so
// "2.10" is not newer than "2.9"; installed sites rely on that order.
bool IsNewerVersion(std::string_view installed, std::string_view offered);

// "A(z) "2.0" verziót már 2026. 01. 02. 3:04:05 telepítette !"
std::string AlreadyInstalledMessage(std::string_view installed, std::string_view installedAt);

// A datetime read from the server in the regional short-date and long-time
// format (time left out at midnight). A value that is not a recognisable
// date and time comes back as its plain text.
std::string ServerDateTimeText(const db::Value& value);

// True when the file may be loaded; then `NewVersion` is set. Otherwise
// `LastError` holds the reason and it is logged. The header's version is
// field 3 of the whole header line.
bool CheckVersion(RunContext& run, std::string_view header, std::string_view trailer);

}  // namespace moltaro::engine
