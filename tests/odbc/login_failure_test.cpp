// A login to a server that does not answer ends in an error, never in a hang.
#include <gtest/gtest.h>

#include "db/connection_string.h"
#include "db/errors.h"
#include "db/odbc/connection_translation.h"
#include "db/odbc/odbc_connection.h"
#include "test_drivers.h"

namespace moltaro::db::odbc {
namespace {

TEST(LoginFailure, AClosedPortThroughFreeTdsFailsAsADatabaseError) {
  const int port = testing::ClosedLocalPort();
  const ConnectionString settings = ConnectionString::Parse(
      "Provider=SQLOLEDB.1;Server=127.0.0.1," + std::to_string(port) +
      ";Password=x;Persist Security Info=True;User ID=sa;Initial Catalog=ZMP_Vorel;"
      "Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;"
      "Use Encryption for Data=False;");
  OdbcOptions options;
  options.driver = testing::FreeTdsDriver();
  ASSERT_FALSE(options.driver.empty())
      << "FreeTDS's ODBC driver (Debian package tdsodbc) is not installed.";
  options.loginTimeout = 5;
  const OdbcConnectTarget target = TranslateConnectionString(settings, options);
  EXPECT_THROW(OdbcConnection(target, options.loginTimeout, options.driver), DatabaseError);
}

}  // namespace
}  // namespace moltaro::db::odbc
