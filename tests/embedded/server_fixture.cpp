#include "server_fixture.h"

#include <unistd.h>

#include "db/connection_string.h"
#include "db/embedded/server/embedded_server.h"

namespace moltaro::db::embedded::testing {

std::filesystem::path EmbeddedServerTest::dataDir_;

void EmbeddedServerTest::SetUpTestSuite() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_suite();
  dataDir_ = std::filesystem::temp_directory_path() /
             ("moltaro-embedded-" + std::string(info ? info->name() : "suite") + "-" +
              std::to_string(::getpid()));
  std::filesystem::remove_all(dataDir_);
  InitializeServer(dataDir_, kPassword);
}

void EmbeddedServerTest::TearDownTestSuite() {
  std::error_code ec;
  std::filesystem::remove_all(dataDir_, ec);
}

std::string EmbeddedServerTest::ConnectionString(const std::string& catalog,
                                                 const std::string& login,
                                                 const std::string& password) {
  return "Provider=SQLOLEDB.1;Server=embedded:" + dataDir_.string() +
         ";Password=" + QuoteConnectionValue(password) +
         ";Persist Security Info=True;User ID=" + login + ";Initial Catalog=" + catalog +
         ";Use Procedure for Prepare=1;Auto Translate=True;Packet Size=4096;Use Encryption for "
         "Data=False;";
}

Connection EmbeddedServerTest::Open(const std::string& catalog) {
  Connection c(ConnectionString(catalog));
  c.Open();
  return c;
}

std::string EmbeddedServerTest::CreateDatabase(const std::string& name,
                                               const std::string& collation) {
  Connection master = Open("master");
  const std::string dir = dataDir_.string() + "/";
  master.Execute(
      "create database " + name + " on (name ='" + name + "_dat', filename='" + dir + name +
      "_data.mdf', SIZE = 9, MAXSIZE = UNLIMITED, FILEGROWTH = 10%)LOG ON (name='" + name +
      "_log', filename='" + dir + name +
      "_data.ldf', SIZE = 5, MAXSIZE = UNLIMITED, FILEGROWTH = 10%)  COLLATE " + collation + " ");
  return name;
}

std::string EmbeddedServerTest::ErrorOf(Connection& c, const std::string& sql,
                                        const Params& params) {
  try {
    c.Run(sql, params);
  } catch (const DatabaseError& e) {
    return e.what();
  }
  return "";
}

}  // namespace moltaro::db::embedded::testing
