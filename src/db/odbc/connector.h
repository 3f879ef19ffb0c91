// Logging in to the server through a DSN-less connection string, without any
// prompt, within the login time-out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/odbc/connection_translation.h"
#include "db/odbc/handles.h"

namespace moltaro::db::odbc {

// The driver names registered with the driver manager (odbcinst.ini).
std::vector<std::string> RegisteredDrivers(const Handle& environment);

// Connects `connection`. A refused login or an unreachable server throws
// DatabaseError with the driver's message; a driver that is not registered
// or cannot be loaded throws db::Error saying what to install or set.
void Connect(const Handle& environment, ConnectionHandle& connection,
             const OdbcConnectTarget& target, int loginTimeoutSeconds, std::string_view driverName);

}  // namespace moltaro::db::odbc
