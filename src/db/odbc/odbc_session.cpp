#include "db/odbc/odbc_session.h"

#include <filesystem>

#include "db/odbc/connection_translation.h"
#include "db/odbc/odbc_connection.h"
#include "db/odbc/odbc_options.h"

namespace moltaro::db::odbc {

std::unique_ptr<Session> OpenOdbcSession(const ConnectionString& settings, int commandTimeout) {
  // The options file lies beside the settings file, in the working directory.
  const OdbcOptions options = LoadOdbcOptions(std::filesystem::current_path(), ProcessEnvironment);
  const OdbcConnectTarget target = TranslateConnectionString(settings, options);
  auto session = std::make_unique<OdbcConnection>(target, options.loginTimeout, options.driver);
  session->SetCommandTimeout(commandTimeout);
  return session;
}

}  // namespace moltaro::db::odbc
