// The system's own connection strings reach the ODBC backend for every server
// name that is not one of the embedded forms.
#include <gtest/gtest.h>

#include <cstdlib>

#include "db/connection.h"
#include "db/errors.h"
#include "db/odbc/odbc_options.h"
#include "test_drivers.h"

namespace moltaro::db {
namespace {

std::string SystemConnectionString(const std::string& server, const std::string& catalogue) {
  return "Provider=SQLOLEDB.1;Server=" + server +
         ";Password=titok;Persist Security Info=True;User ID=sa;Initial Catalog=" + catalogue +
         ";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;"
         "Use Encryption for Data=False;";
}

// The operator's variables are the only way in from outside; each test sets
// what it needs and leaves the process as it found it.
class BackendChoice : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string_view name :
         {odbc::kDriverVariable, odbc::kExtraVariable, odbc::kLoginTimeoutVariable}) {
      ::unsetenv(std::string(name).c_str());
    }
  }
  static void Set(std::string_view name, const std::string& value) {
    ::setenv(std::string(name).c_str(), value.c_str(), 1);
  }
};

TEST_F(BackendChoice, AHostNameOpensThroughTheConfiguredOdbcDriver) {
  const std::string driver = odbc::testing::SqliteDriver();
  ASSERT_FALSE(driver.empty()) << "The SQLite ODBC driver (libsqliteodbc) is not installed.";
  const odbc::testing::ScratchFile file("moltaro-odbc-backend");
  Set(odbc::kDriverVariable, driver);
  Set(odbc::kExtraVariable, "Database=" + file.Path().string());

  Connection connection(SystemConnectionString("sqlszerver\\BER", "ZMP_Vorel"));
  connection.Open();
  connection.Execute("CREATE TABLE ZMP_Peldany (nev VARCHAR(40))");
  connection.Execute("INSERT INTO ZMP_Peldany (nev) VALUES (:nev)", {std::string("Szőlő Kft.")});
  ResultSet rows = connection.Query("SELECT nev FROM ZMP_Peldany");
  EXPECT_EQ(rows.Text("NEV"), "Szőlő Kft.");
  connection.Close();
  connection.Open();
  EXPECT_EQ(connection.Query("SELECT count(*) AS n FROM ZMP_Peldany").Integer("N"), 1);
}

TEST_F(BackendChoice, AnUnreachableServerFailsTheLogin) {
  const std::string driver = odbc::testing::FreeTdsDriver();
  ASSERT_FALSE(driver.empty())
      << "FreeTDS's ODBC driver (Debian package tdsodbc) is not installed.";
  Set(odbc::kDriverVariable, driver);
  Set(odbc::kLoginTimeoutVariable, "5");
  Connection connection(SystemConnectionString(
      "127.0.0.1," + std::to_string(odbc::testing::ClosedLocalPort()), "ZMP_Vorel"));
  connection.SetCommandTimeout(30);
  EXPECT_THROW(connection.Open(), DatabaseError);
  EXPECT_FALSE(connection.IsOpen());
}

}  // namespace
}  // namespace moltaro::db
