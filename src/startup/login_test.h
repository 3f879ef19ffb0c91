// Testing a login against the server.
#pragma once

#include <string>

namespace moltaro {

inline constexpr int kLoginCommandTimeoutSeconds = 30;

// Opens a throw-away connection with these values and a 30-second command
// time-out. True when it opens; every failure gives false and is swallowed.
bool TestLogin(const std::string& server, const std::string& database, const std::string& login,
               const std::string& password);

}  // namespace moltaro
