#include "startup/login_test.h"

#include "db/connection.h"
#include "startup/server_settings.h"

namespace moltaro {

bool TestLogin(const std::string& server, const std::string& database, const std::string& login,
               const std::string& password) {
  try {
    db::Connection connection;
    connection.SetCommandTimeout(kLoginCommandTimeoutSeconds);
    connection.Open(BuildConnectionString(server, database, login, password));
    connection.Close();
    return true;
  } catch (...) {
    // Any failure is a refused login; the caller shows its own message.
    return false;
  }
}

}  // namespace moltaro
