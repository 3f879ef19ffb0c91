// The embedded SQL Server–compatible server on SQLite: entry points.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "db/connection_string.h"
#include "db/session.h"

namespace moltaro::db::embedded {

// Opens a session on the server whose data directory is `dataDirectory`, with
// the login, password and catalogue of `settings` ("User ID", "Password",
// "Initial Catalog"). Refusals throw DatabaseError with SQL Server's wording.
std::unique_ptr<Session> OpenEmbeddedSession(const std::filesystem::path& dataDirectory,
                                             const ConnectionString& settings);

// Creates a new server in `dataDirectory` with the login "sa". Throws
// db::Error when the directory already holds a server.
void InitializeServer(const std::filesystem::path& dataDirectory, const std::string& saPassword);

}  // namespace moltaro::db::embedded
