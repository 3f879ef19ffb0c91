#include "db/odbc/connector.h"

#include <algorithm>
#include <cstdint>

#include "common/text.h"
#include "db/errors.h"
#include "db/odbc/diagnostics.h"
#include "db/odbc/odbc_options.h"
#include "db/odbc/utf16.h"

namespace moltaro::db::odbc {

namespace {

bool HasState(const std::vector<DiagnosticRecord>& records, std::string_view state) {
  return std::any_of(records.begin(), records.end(),
                     [&](const DiagnosticRecord& r) { return r.state == state; });
}

// unixODBC reports a driver library it cannot open not as IM003 but as a
// failed connection whose only record is a warning (01000): a driver that
// ran would have said why with an error's state.
bool LibraryNotOpened(const std::vector<DiagnosticRecord>& records) {
  return !records.empty() && std::all_of(records.begin(), records.end(), IsInformational);
}

// A driver named by its library path needs no registration.
bool IsRegistered(const Handle& environment, std::string_view driverName) {
  if (driverName.rfind('/', 0) == 0) return true;
  const std::vector<std::string> names = RegisteredDrivers(environment);
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
    return EqualsIgnoreCaseAscii(name, driverName);
  });
}

std::string JoinNames(const std::vector<std::string>& names) {
  if (names.empty()) return "none";
  std::string text;
  for (const std::string& name : names) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

[[noreturn]] void ThrowDriverMissing(const Handle& environment, std::string_view driverName) {
  throw Error("No ODBC driver named \"" + std::string(driverName) +
              "\" is registered with the driver manager (registered: " +
              JoinNames(RegisteredDrivers(environment)) +
              "). Install FreeTDS's driver (Debian package tdsodbc) or Microsoft's ODBC Driver "
              "for SQL Server, or set " +
              std::string(kDriverVariable) + " to one of the registered names.");
}

[[noreturn]] void ThrowDriverUnloadable(const std::vector<DiagnosticRecord>& records,
                                        std::string_view driverName) {
  throw Error("The ODBC driver \"" + std::string(driverName) + "\" cannot be loaded (" +
              ServerError(records).what() +
              "); check that its library exists: the path given, or for a registered driver "
              "the library its entry in odbcinst.ini names.");
}

void SetConnectionAttribute(const ConnectionHandle& connection, SQLINTEGER attribute, SQLULEN value,
                            std::string_view what) {
  const SQLRETURN rc =
      SQLSetConnectAttr(connection.Get().Get(), attribute,
                        reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(value)), 0);
  Check(rc, connection.Get(), what);
}

}  // namespace

std::vector<std::string> RegisteredDrivers(const Handle& environment) {
  std::vector<std::string> names;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLWCHAR description[512] = {};
    SQLWCHAR attributes[2048] = {};
    SQLSMALLINT descriptionLength = 0;
    SQLSMALLINT attributesLength = 0;
    const SQLRETURN rc = SQLDriversW(environment.Get(), direction, description, 512,
                                     &descriptionLength, attributes, 2048, &attributesLength);
    if (!SQL_SUCCEEDED(rc)) break;
    const auto* units = reinterpret_cast<const char16_t*>(description);
    names.push_back(ToUtf8(std::u16string_view(units).substr(
        0, std::min<std::size_t>(std::max<SQLSMALLINT>(descriptionLength, 0), 511))));
    direction = SQL_FETCH_NEXT;
  }
  return names;
}

void Connect(const Handle& environment, ConnectionHandle& connection,
             const OdbcConnectTarget& target, int loginTimeoutSeconds,
             std::string_view driverName) {
  SetConnectionAttribute(connection, SQL_ATTR_LOGIN_TIMEOUT,
                         static_cast<SQLULEN>(std::max(loginTimeoutSeconds, 0)),
                         "Setting the login time-out");
  if (target.packetSizeAttribute) {
    SetConnectionAttribute(connection, SQL_ATTR_PACKET_SIZE,
                           static_cast<SQLULEN>(*target.packetSizeAttribute),
                           "Setting the packet size");
  }
  std::u16string text = ToUtf16(target.connectionString);
  SQLSMALLINT outLength = 0;
  const SQLRETURN rc = SQLDriverConnectW(
      connection.Get().Get(), nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
      static_cast<SQLSMALLINT>(text.size()), nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
  if (SQL_SUCCEEDED(rc)) {
    connection.MarkConnected();
    return;
  }
  const std::vector<DiagnosticRecord> records = ReadDiagnostics(connection.Get());
  if (HasState(records, "IM002") || !IsRegistered(environment, driverName)) {
    ThrowDriverMissing(environment, driverName);
  }
  if (HasState(records, "IM003") || LibraryNotOpened(records)) {
    ThrowDriverUnloadable(records, driverName);
  }
  if (records.empty()) {
    throw Error("Connecting through the ODBC driver \"" + std::string(driverName) +
                "\" failed and the driver gave no reason.");
  }
  throw ServerError(records);
}

}  // namespace moltaro::db::odbc
