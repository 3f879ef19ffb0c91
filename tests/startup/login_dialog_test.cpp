#include "startup/login_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "common/codepage.h"
#include "startup/settings_file.h"

namespace moltaro {
namespace {

struct RecordingView : TfrmSaPwd::View {
  std::string database;
  bool enabled = true, isDefault = false, focused = false;
  int closedWith = 0;
  std::vector<std::string> messages;
  void ShowDatabaseName(const std::string& name) override { database = name; }
  void SetFields(const std::string&, const std::string&) override {}
  void SetRendbenEnabled(bool e) override { enabled = e; }
  void SetRendbenDefault(bool d) override { isDefault = d; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void FocusName() override { focused = true; }
  void CloseWith(int result) override { closedWith = result; }
};

class LoginDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("moltaro-login-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void WriteSettings(const std::string& bytes) {
    std::ofstream(dir_ / "VELDORAdb_new.ini", std::ios::binary) << bytes;
  }
  TfrmSaPwd MakeDialog(bool accept) {
    return TfrmSaPwd(view_, settings_, dir_,
                     [this, accept](const std::string& server, const std::string& db,
                                    const std::string& login, const std::string& pwd) {
                       tested_ = server + "|" + db + "|" + login + "|" + pwd;
                       return accept;
                     });
  }
  std::filesystem::path dir_;
  RecordingView view_;
  ServerSettings settings_;
  std::string tested_;
};

TEST_F(LoginDialog, MissingSettingsFileReportsTwo) {
  auto dialog = MakeDialog(true);
  EXPECT_EQ(dialog.LoadSettings(), kSettingsMissing);
}

TEST_F(LoginDialog, SettingsShowCommonDatabaseAndOnlyFirstLineCounts) {
  WriteSettings(Utf8ToCp1250("szerver$$Cég_közös\r\nother$$ignored\r\n"));
  auto dialog = MakeDialog(true);
  ASSERT_EQ(dialog.LoadSettings(), kSettingsLoaded);
  EXPECT_EQ(view_.database, "Cég_közös");
  EXPECT_EQ(dialog.ServerName(), "szerver");
  EXPECT_FALSE(view_.enabled);
}

TEST_F(LoginDialog, RendbenNeedsBothFieldsAndOnlyPasswordSetsDefault) {
  WriteSettings("local$$ZMP_Vorel");
  auto dialog = MakeDialog(true);
  dialog.LoadSettings();
  dialog.eNameChange(" ");
  EXPECT_FALSE(view_.enabled);
  dialog.ePwdChange(" ");  // a single blank in each is enough
  EXPECT_TRUE(view_.enabled);
  EXPECT_TRUE(view_.isDefault);
  dialog.eNameChange("");
  EXPECT_FALSE(view_.enabled);
  EXPECT_TRUE(view_.isDefault);  // a name change leaves the default button alone
  dialog.ePwdChange("");
  EXPECT_FALSE(view_.isDefault);
}

TEST_F(LoginDialog, FailedLoginKeepsDialogOpenWithTypedValuesRecorded) {
  WriteSettings("local$$ZMP_Vorel");
  auto dialog = MakeDialog(false);
  dialog.LoadSettings();
  dialog.eNameChange("sa");
  dialog.ePwdChange("bad");
  dialog.bRendbenClick();
  EXPECT_EQ(tested_, "local|ZMP_Vorel|sa|bad");
  EXPECT_EQ(view_.messages, std::vector<std::string>{"Hibás Név vagy Jelszó !"});
  EXPECT_TRUE(view_.focused);
  EXPECT_EQ(view_.closedWith, 0);
  EXPECT_EQ(settings_.loginName, "sa");  // stored before the test
  EXPECT_EQ(settings_.password, "bad");
}

TEST_F(LoginDialog, GoodLoginClosesWithHundredAndCancelWithTwo) {
  WriteSettings("$$");
  auto dialog = MakeDialog(true);
  dialog.LoadSettings();
  dialog.eNameChange("sa");
  dialog.ePwdChange("pw");
  dialog.bRendbenClick();
  EXPECT_EQ(view_.closedWith, kLoginOk);
  EXPECT_EQ(settings_.commonDatabase, "ZMP_Vorel");
  EXPECT_EQ(settings_.instanceCatalogue, "");
  dialog.bMegsemClick();
  EXPECT_EQ(view_.closedWith, kLoginCancelled);
}

TEST_F(LoginDialog, EmptySettingsFileStopsStartUp) {
  WriteSettings("");
  auto dialog = MakeDialog(true);
  EXPECT_THROW(dialog.LoadSettings(), std::runtime_error);
}

// Saved by an editor in UTF-8 with a byte-order mark, or in UTF-16: said so,
// instead of a server name with stray bytes that fails only at the login.
TEST_F(LoginDialog, SettingsFileInAnotherEncodingStopsStartUpSayingSo) {
  using namespace std::string_literals;
  for (const std::string& bytes : {std::string("\xEF\xBB\xBFszerver$$ZMP_Vorel\r\n"),
                                   "s\0z\0$\0$\0Z\0\r\0\n\0"s, "szerver$$ZMP\0Vorel\r\n"s}) {
    WriteSettings(bytes);
    auto dialog = MakeDialog(true);
    try {
      dialog.LoadSettings();
      ADD_FAILURE() << "accepted " << bytes.size() << " bytes";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(kNotCp1250Text, 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find("VELDORAdb_new.ini"), std::string::npos);
    }
  }
  // Windows-1250 accents are not mistaken for another encoding.
  WriteSettings(Utf8ToCp1250("szerver$$Cég_közös\r\n"));
  EXPECT_EQ(MakeDialog(true).LoadSettings(), kSettingsLoaded);
}

}  // namespace
}  // namespace moltaro
