// Where the operator sets the driver, extra keys and login time-out.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "db/errors.h"
#include "db/odbc/odbc_options.h"
#include "test_drivers.h"

namespace moltaro::db::odbc {
namespace {

class OdbcOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::path(scratch_.Path()).replace_extension(".dir");
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  void WriteFile(const std::string& text) {
    std::ofstream(directory_ / kOptionsFileName, std::ios::binary) << text;
  }

  OdbcOptions Load() const {
    return LoadOdbcOptions(directory_, [this](std::string_view name) -> std::optional<std::string> {
      const auto it = environment_.find(std::string(name));
      if (it == environment_.end()) return std::nullopt;
      return it->second;
    });
  }

  testing::ScratchFile scratch_{"moltaro-odbc-options"};
  std::filesystem::path directory_;
  std::map<std::string, std::string> environment_;
};

TEST_F(OdbcOptionsTest, WithoutFileOrEnvironmentFreeTdsIsUsed) {
  const OdbcOptions options = Load();
  EXPECT_EQ(options.driver, "FreeTDS");
  EXPECT_EQ(options.extra, "");
  EXPECT_EQ(options.loginTimeout, 15);
}

TEST_F(OdbcOptionsTest, TheFileBesideTheSettingsIsRead) {
  WriteFile(
      "\xEF\xBB\xBF# SQL Server of the payroll office\r\n"
      "[odbc]\r\n"
      "Driver = ODBC Driver 18 for SQL Server\r\n"
      "Extra=TrustServerCertificate=yes\r\n"
      "extra=APP=Moltaro;\r\n"
      "LoginTimeout=7\r\n");
  const OdbcOptions options = Load();
  EXPECT_EQ(options.driver, "ODBC Driver 18 for SQL Server");
  EXPECT_EQ(options.extra, "TrustServerCertificate=yes;APP=Moltaro;");
  EXPECT_EQ(options.loginTimeout, 7);
}

TEST_F(OdbcOptionsTest, TheEnvironmentWinsAndItsExtraKeysComeLast) {
  WriteFile("Driver=FreeTDS\nExtra=TDS_Version=7.3\nLoginTimeout=7\n");
  environment_[std::string(kDriverVariable)] = "{ODBC Driver 17 for SQL Server}";
  environment_[std::string(kExtraVariable)] = "TDS_Version=7.4";
  environment_[std::string(kLoginTimeoutVariable)] = "3";
  const OdbcOptions options = Load();
  EXPECT_EQ(options.driver, "ODBC Driver 17 for SQL Server");
  EXPECT_EQ(options.extra, "TDS_Version=7.3;TDS_Version=7.4");
  EXPECT_EQ(options.loginTimeout, 3);
}

TEST_F(OdbcOptionsTest, MistakesNameTheirPlace) {
  WriteFile("Driver=FreeTDS\nTimeout=5\n");
  try {
    Load();
    FAIL() << "an unknown key was accepted";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("line 2"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("\"Timeout\""), std::string::npos) << e.what();
  }
  WriteFile("");
  environment_[std::string(kLoginTimeoutVariable)] = "15s";
  try {
    Load();
    FAIL() << "a time-out that is not a number was accepted";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find(kLoginTimeoutVariable), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace moltaro::db::odbc
