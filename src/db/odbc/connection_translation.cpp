#include "db/odbc/connection_translation.h"

#include <charconv>

#include "common/text.h"
#include "db/errors.h"
#include "db/odbc/odbc_keys.h"

namespace moltaro::db::odbc {

namespace {

constexpr int kDefaultPacketSize = 4096;
constexpr long kUnlimitedTextSize = 2147483647;

bool Contains(std::string_view text, std::string_view part) {
  return ToLowerAscii(text).find(ToLowerAscii(part)) != std::string::npos;
}

bool IsTrue(const std::string& value) {
  return EqualsIgnoreCaseAscii(value, "True") || EqualsIgnoreCaseAscii(value, "Yes") ||
         value == "1";
}

std::string ValidPort(std::string_view text, std::string_view server) {
  const std::string port = Trim(text);
  int number = 0;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
  if (port.empty() || ec != std::errc() || end != port.data() + port.size() || number < 1 ||
      number > 65535) {
    throw Error("The server name \"" + std::string(server) + "\" has \"" + port +
                "\" where a TCP port (1 to 65535) belongs.");
  }
  return std::to_string(number);
}

int PacketSize(const ConnectionString& settings) {
  const std::string text = Trim(settings.GetOr("Packet Size", ""));
  int size = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), size);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || size <= 0) {
    return kDefaultPacketSize;
  }
  return size;
}

void SetDriver(OdbcKeyList& keys, const std::string& driver) {
  // A driver given by its library path needs no braces; a registered name
  // may hold blanks and is braced the way odbcinst.ini names usually are.
  if (driver.find('}') == std::string::npos && driver.rfind('/', 0) != 0) {
    keys.SetRaw("Driver", "{" + driver + "}");
  } else {
    keys.Set("Driver", driver);
  }
}

// FreeTDS takes the port as a key of its own; an instance is looked up by
// the SQL Server Browser only when no port is given.
void SetFreeTdsServer(OdbcKeyList& keys, const ServerAddress& address) {
  if (!address.port.empty()) {
    keys.Set("Server", address.host);
    keys.Set("Port", address.port);
  } else if (!address.instance.empty()) {
    keys.Set("Server", address.host + "\\" + address.instance);
  } else {
    keys.Set("Server", address.host);
  }
}

void SetLogin(OdbcKeyList& keys, const ConnectionString& settings) {
  const std::string catalogue = Trim(settings.GetOr("Initial Catalog", ""));
  if (!catalogue.empty()) keys.Set("Database", catalogue);
  keys.Set("UID", settings.GetOr("User ID", ""));
  keys.Set("PWD", settings.GetOr("Password", ""));
}

}  // namespace

DriverFamily DriverFamilyOf(std::string_view driverName) {
  if (Contains(driverName, "FreeTDS") || Contains(driverName, "tdsodbc")) {
    return DriverFamily::FreeTds;
  }
  if (Contains(driverName, "SQL Server") || Contains(driverName, "msodbcsql")) {
    return DriverFamily::Microsoft;
  }
  return DriverFamily::Other;
}

ServerAddress ParseServerAddress(std::string_view server) {
  const std::string text = Trim(server);
  ServerAddress address;
  std::string rest = text;
  const std::size_t comma = rest.find(',');
  if (comma != std::string::npos) {
    address.port = ValidPort(std::string_view(rest).substr(comma + 1), text);
    rest.erase(comma);
  }
  const std::size_t slash = rest.find('\\');
  if (slash != std::string::npos) {
    address.instance = Trim(rest.substr(slash + 1));
    rest.erase(slash);
  }
  address.host = Trim(rest);
  if (address.host.empty()) {
    throw Error("The server name \"" + text + "\" names no host.");
  }
  return address;
}

OdbcConnectTarget TranslateConnectionString(const ConnectionString& settings,
                                            const OdbcOptions& options) {
  const std::string server = Trim(settings.GetOr("Server", ""));
  const ServerAddress address = ParseServerAddress(server);
  const bool encrypt = IsTrue(Trim(settings.GetOr("Use Encryption for Data", "False")));
  const bool translate = IsTrue(Trim(settings.GetOr("Auto Translate", "True")));
  const int packetSize = PacketSize(settings);

  OdbcConnectTarget target;
  OdbcKeyList keys;
  SetDriver(keys, options.driver);
  switch (DriverFamilyOf(options.driver)) {
    case DriverFamily::FreeTds:
      SetFreeTdsServer(keys, address);
      SetLogin(keys, settings);
      // The program's text is UTF-8; FreeTDS converts to and from the
      // server's code page, which is what "Auto Translate" asked of SQLOLEDB.
      keys.Set("ClientCharset", "UTF-8");
      keys.Set("PacketSize", std::to_string(packetSize));
      keys.Set("Encryption", encrypt ? "require" : "off");
      // FreeTDS otherwise asks the server to cut long text values short.
      keys.Set("TextSize", std::to_string(kUnlimitedTextSize));
      break;
    case DriverFamily::Microsoft:
      keys.Set("Server", server);
      SetLogin(keys, settings);
      keys.Set("AutoTranslate", translate ? "yes" : "no");
      // Driver 18 encrypts by default; the settings ask for no encryption.
      keys.Set("Encrypt", encrypt ? "yes" : "no");
      target.packetSizeAttribute = packetSize;
      break;
    case DriverFamily::Other:
      keys.Set("Server", server);
      SetLogin(keys, settings);
      break;
  }
  keys.Merge(options.extra);
  target.connectionString = keys.Text();
  return target;
}

}  // namespace moltaro::db::odbc
