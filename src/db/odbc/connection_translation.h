// The system's connection string (`Provider=SQLOLEDB.1;Server=…;…`) turned
// into a DSN-less ODBC connection string for the configured driver.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/connection_string.h"
#include "db/odbc/odbc_options.h"

namespace moltaro::db::odbc {

// The drivers whose keys differ: FreeTDS's, Microsoft's ("ODBC Driver 17/18
// for SQL Server" and the older "SQL Server Native Client"), and any other,
// which gets only the keys every driver knows.
enum class DriverFamily { FreeTds, Microsoft, Other };

DriverFamily DriverFamilyOf(std::string_view driverName);

// A server as the settings name it: `host`, `host,port`, `host\instance`
// (and `host\instance,port`).
struct ServerAddress {
  std::string host;
  std::string instance;  // empty when none
  std::string port;      // empty when none; digits otherwise
};

// Throws db::Error when the host is missing or the port is not a TCP port.
ServerAddress ParseServerAddress(std::string_view server);

struct OdbcConnectTarget {
  std::string connectionString;
  // Microsoft's driver takes the packet size only as a connection attribute.
  std::optional<int> packetSizeAttribute;
};

// Server, login, password, catalogue (trimmed; left out when empty so the
// login's default database is used), UTF-8 client character set in place of
// "Auto Translate", packet size and encryption, then the operator's extra keys.
OdbcConnectTarget TranslateConnectionString(const ConnectionString& settings,
                                            const OdbcOptions& options);

}  // namespace moltaro::db::odbc
