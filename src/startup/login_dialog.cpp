#include "startup/login_dialog.h"

#include "startup/settings_file.h"

namespace moltaro {

TfrmSaPwd::TfrmSaPwd(View& view, ServerSettings& settings, std::filesystem::path workDirectory,
                     LoginTester tester)
    : view_(view),
      settings_(settings),
      workDirectory_(std::move(workDirectory)),
      tester_(std::move(tester)) {}

int TfrmSaPwd::LoadSettings() {
  const auto values = ReadSettingsFile(workDirectory_);
  if (!values) return kSettingsMissing;
  serverName_ = values->serverName;
  commonDatabase_ = values->commonDatabase;
  view_.ShowDatabaseName(commonDatabase_);
  name_.clear();
  password_.clear();
  view_.SetFields(name_, password_);
  rendbenEnabled_ = false;
  view_.SetRendbenEnabled(false);
  return kSettingsLoaded;
}

void TfrmSaPwd::UpdateRendben() {
  rendbenEnabled_ = BothFilled();
  view_.SetRendbenEnabled(rendbenEnabled_);
}

void TfrmSaPwd::eNameChange(const std::string& text) {
  name_ = text;
  UpdateRendben();
}

void TfrmSaPwd::ePwdChange(const std::string& text) {
  password_ = text;
  UpdateRendben();
  rendbenDefault_ = BothFilled();
  view_.SetRendbenDefault(rendbenDefault_);
}

void TfrmSaPwd::bRendbenClick() {
  // The record holds the typed values even when the test fails.
  settings_.SetServerSettings(serverName_, commonDatabase_, "", name_, password_);
  if (tester_(serverName_, commonDatabase_, name_, password_)) {
    view_.CloseWith(kLoginOk);
    return;
  }
  view_.ShowMessage(kWrongLoginMessage);
  view_.FocusName();
}

void TfrmSaPwd::bMegsemClick() {
  view_.CloseWith(kLoginCancelled);
}

}  // namespace moltaro
