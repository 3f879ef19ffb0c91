// The login dialog against a SQL Server that does not answer: the operator
// gets the wrong-login message, and the dialog stays open for another try.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "db/odbc/odbc_options.h"
#include "startup/login_dialog.h"
#include "startup/login_test.h"
#include "startup/server_settings.h"
#include "startup/settings_file.h"
#include "test_drivers.h"

namespace moltaro {
namespace {

class RecordingView : public TfrmSaPwd::View {
 public:
  void ShowDatabaseName(const std::string&) override {}
  void SetFields(const std::string&, const std::string&) override {}
  void SetRendbenEnabled(bool) override {}
  void SetRendbenDefault(bool) override {}
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void FocusName() override {}
  void CloseWith(int result) override { closedWith.push_back(result); }

  std::vector<std::string> messages;
  std::vector<int> closedWith;
};

TEST(UnreachableServer, TheLoginEndsInTheWrongLoginMessage) {
  const std::string driver = db::odbc::testing::FreeTdsDriver();
  ASSERT_FALSE(driver.empty())
      << "FreeTDS's ODBC driver (Debian package tdsodbc) is not installed.";
  ::setenv(std::string(db::odbc::kDriverVariable).c_str(), driver.c_str(), 1);
  ::setenv(std::string(db::odbc::kLoginTimeoutVariable).c_str(), "5", 1);

  const db::odbc::testing::ScratchFile scratch("moltaro-odbc-login");
  const std::filesystem::path directory =
      std::filesystem::path(scratch.Path()).replace_extension(".dir");
  std::filesystem::create_directories(directory);
  std::ofstream(directory / kSettingsFileName)
      << "127.0.0.1," << db::odbc::testing::ClosedLocalPort() << "$$ZMP_Vorel\r\n";

  RecordingView view;
  ServerSettings settings;
  TfrmSaPwd dialog(view, settings, directory, TestLogin);
  ASSERT_EQ(dialog.LoadSettings(), kSettingsLoaded);
  dialog.eNameChange("sa");
  dialog.ePwdChange("titok");
  dialog.bRendbenClick();

  EXPECT_EQ(view.messages, std::vector<std::string>{kWrongLoginMessage});
  EXPECT_TRUE(view.closedWith.empty());
  std::filesystem::remove_all(directory);
  ::unsetenv(std::string(db::odbc::kDriverVariable).c_str());
  ::unsetenv(std::string(db::odbc::kLoginTimeoutVariable).c_str());
}

}  // namespace
}  // namespace moltaro
