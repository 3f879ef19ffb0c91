// The login record and the connection strings built from it.
#pragma once

#include <string>

namespace moltaro {

inline constexpr const char* kDefaultCommonDatabase = "ZMP_Vorel";
inline constexpr const char* kSboCommon = "Sbo-Common";

// The one connection-string layout of the system. Values go in verbatim,
// except that a value holding ";" or starting with a quote is quoted so that
// it cannot end early or inject keys; ordinary values keep the layout
// character for character.
std::string BuildConnectionString(const std::string& server, const std::string& catalogue,
                                  const std::string& login, const std::string& password);

// Filled once by the login and read by everyone for the rest of the run. The
// program owns one and hands it to the windows by reference.
struct ServerSettings {
  std::string serverName;         // empty or "local": the default server
  std::string commonDatabase;     // "ZMP_Vorel" by default, or "Sbo-Common"
  std::string instanceCatalogue;  // always empty: nothing sets it
  std::string loginName;
  std::string password;

  void SetServerSettings(std::string server, std::string common, std::string instance,
                         std::string login, std::string pwd);

  std::string CommonConnectionString() const;
  std::string InstanceConnectionString() const;
  std::string MasterConnectionString() const;
  std::string DatabaseConnectionString(const std::string& database) const;

  // Exactly "Sbo-Common", case included.
  bool IsSboCommon() const { return commonDatabase == kSboCommon; }
};

}  // namespace moltaro
