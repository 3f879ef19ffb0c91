#include "startup/server_settings.h"

#include "db/connection_string.h"

namespace moltaro {

std::string BuildConnectionString(const std::string& server, const std::string& catalogue,
                                  const std::string& login, const std::string& password) {
  std::string out = "Provider=SQLOLEDB.1;";
  if (!server.empty() && server != "local") {
    out += "Server=" + db::QuoteConnectionValue(server) + ";";
  }
  out += "Password=" + db::QuoteConnectionValue(password, true);
  out += ";Persist Security Info=True;User ID=" + db::QuoteConnectionValue(login);
  out += ";Initial Catalog=" + db::QuoteConnectionValue(catalogue);
  out +=
      ";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;"
      "Use Encryption for Data=False;";
  return out;
}

void ServerSettings::SetServerSettings(std::string server, std::string common, std::string instance,
                                       std::string login, std::string pwd) {
  serverName = std::move(server);
  commonDatabase = std::move(common);
  instanceCatalogue = std::move(instance);
  loginName = std::move(login);
  password = std::move(pwd);
}

std::string ServerSettings::CommonConnectionString() const {
  return BuildConnectionString(serverName, commonDatabase, loginName, password);
}

std::string ServerSettings::InstanceConnectionString() const {
  return BuildConnectionString(serverName, instanceCatalogue, loginName, password);
}

std::string ServerSettings::MasterConnectionString() const {
  return BuildConnectionString(serverName, "master", loginName, password);
}

std::string ServerSettings::DatabaseConnectionString(const std::string& database) const {
  return BuildConnectionString(serverName, database, loginName, password);
}

}  // namespace moltaro
