// One embedded server per test suite (Argon2 makes logins slow on purpose).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "db/connection.h"
#include "db/errors.h"

namespace moltaro::db::embedded::testing {

class EmbeddedServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  static const std::filesystem::path& DataDir() { return dataDir_; }
  // A connection string of the system's layout on the suite's server.
  static std::string ConnectionString(const std::string& catalog, const std::string& login = "sa",
                                      const std::string& password = kPassword);
  static Connection Open(const std::string& catalog);
  // Creates a database as the new-company command does; returns its name.
  static std::string CreateDatabase(const std::string& name,
                                    const std::string& collation = "SQL_Hungarian_Cp1250_CI_AS");
  // The message of the DatabaseError a statement raises ("" when none).
  static std::string ErrorOf(Connection& c, const std::string& sql, const Params& params = {});

  static constexpr const char* kPassword = "s3cret;\"pw";

 private:
  static std::filesystem::path dataDir_;
};

}  // namespace moltaro::db::embedded::testing
