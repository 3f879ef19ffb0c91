// Picks and opens the backend a connection string names.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "db/connection_string.h"
#include "db/session.h"

namespace moltaro::db {

struct ServerTarget {
  enum class Kind { Embedded, Odbc };
  Kind kind = Kind::Embedded;
  std::filesystem::path dataDirectory;  // Embedded: absolute data directory
  std::string host;                     // Odbc: host, host,port or host\instance
};

// Where the `Server` key of a connection string points, resolved against the
// current working directory.
ServerTarget ResolveServer(const ConnectionString& settings);

std::unique_ptr<Session> OpenSession(const ConnectionString& settings, int commandTimeout);

}  // namespace moltaro::db
