#include <gmock/gmock.h>

#include "db/embedded/server/embedded_server.h"
#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

class LoginTest : public EmbeddedServerTest {};

std::string OpenError(const std::string& connectionString) {
  try {
    Connection c(connectionString);
    c.Open();
  } catch (const DatabaseError& e) {
    return e.what();
  }
  return "";
}

TEST_F(LoginTest, InitializingAnExistingServerIsRefused) {
  EXPECT_THROW(InitializeServer(DataDir(), "other"), Error);
}

TEST_F(LoginTest, RefusesWrongPasswordAndUnknownLogin) {
  EXPECT_EQ(OpenError(ConnectionString("master", "sa", "wrong")), "Login failed for user 'sa'.");
  EXPECT_EQ(OpenError(ConnectionString("master", "nobody", kPassword)),
            "Login failed for user 'nobody'.");
  // A verified login is remembered, but never for another password.
  EXPECT_EQ(OpenError(ConnectionString("master")), "");
  EXPECT_EQ(OpenError(ConnectionString("master", "sa", "wrong")), "Login failed for user 'sa'.");
}

TEST_F(LoginTest, RefusesMissingDatabaseAndMissingServer) {
  EXPECT_EQ(OpenError(ConnectionString("nincs")),
            "Cannot open database \"nincs\" requested by the login. The login failed.");
  const std::string missing =
      "Provider=SQLOLEDB.1;Server=embedded:/nonexistent/moltaro;Password=x;User ID=sa;Initial "
      "Catalog=;";
  const std::string message = OpenError(missing);
  EXPECT_THAT(message, HasSubstr("The server was not found or was not accessible"));
  EXPECT_THAT(message, HasSubstr("no master.mdf in /nonexistent/moltaro"));
}

TEST_F(LoginTest, EmptyCatalogOpensDefaultDatabaseAndNamesIgnoreCaseAndBlanks) {
  Connection c = Open("");
  ResultSet r = c.Query("select FILENAME from dbo.sysdatabases where name='master' ");
  const std::string file = r.Text("FILENAME");
  ASSERT_GE(file.size(), 10u);
  EXPECT_EQ(file.substr(file.size() - 10), "master.mdf");
  EXPECT_EQ(file.substr(0, file.size() - 10), DataDir().string() + "/");
  EXPECT_EQ(OpenError(ConnectionString(" MASTER ")), "");
}

TEST_F(LoginTest, PasswordsAreStoredAsArgon2Hashes) {
  Connection c = Open("master");
  ResultSet r = c.Query("select password from syslogins where name = 'sa'");
  EXPECT_THAT(r.Text("password"), HasSubstr("$argon2"));
  EXPECT_EQ(r.Text("password").find(kPassword), std::string::npos);
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
