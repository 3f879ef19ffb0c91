// SQL Server through ODBC: entry point.
#pragma once

#include <memory>

#include "db/connection_string.h"
#include "db/session.h"

namespace moltaro::db::odbc {

// Opens a session on the SQL Server named by the `Server` key of `settings`.
std::unique_ptr<Session> OpenOdbcSession(const ConnectionString& settings, int commandTimeout);

}  // namespace moltaro::db::odbc
