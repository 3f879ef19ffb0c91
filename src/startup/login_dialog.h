// The login dialog's logic: settings, enabling of Rendben, the login test.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "startup/server_settings.h"

namespace moltaro {

// Dialog results.
inline constexpr int kLoginOk = 100;
inline constexpr int kLoginCancelled = 2;

// LoadSettings results.
inline constexpr int kSettingsLoaded = 1;
inline constexpr int kSettingsMissing = 2;

inline constexpr const char* kNoSettingsFileMessage = "Nincs .ini file!";
inline constexpr const char* kWrongLoginMessage = "Hibás Név vagy Jelszó !";
inline constexpr int kLoginFieldMaxLength = 100;

class TfrmSaPwd {
 public:
  // What the dialog's window shows; the Qt dialog and the terminal implement it.
  class View {
   public:
    virtual ~View() = default;
    virtual void ShowDatabaseName(const std::string& name) = 0;  // lDbname
    virtual void SetFields(const std::string& name, const std::string& password) = 0;
    virtual void SetRendbenEnabled(bool enabled) = 0;
    virtual void SetRendbenDefault(bool isDefault) = 0;
    virtual void ShowMessage(const std::string& text) = 0;
    virtual void FocusName() = 0;
    virtual void CloseWith(int result) = 0;
  };

  using LoginTester = std::function<bool(const std::string& server, const std::string& database,
                                         const std::string& login, const std::string& password)>;

  // `settings` is the program's login record, filled on Rendben.
  TfrmSaPwd(View& view, ServerSettings& settings, std::filesystem::path workDirectory,
            LoginTester tester);

  // 1 when the settings were read and the dialog is ready, 2 when there is no
  // settings file.
  int LoadSettings();

  void eNameChange(const std::string& text);
  void ePwdChange(const std::string& text);
  void bRendbenClick();
  void bMegsemClick();

  const std::string& ServerName() const { return serverName_; }
  const std::string& CommonDatabase() const { return commonDatabase_; }
  bool RendbenEnabled() const { return rendbenEnabled_; }
  bool RendbenDefault() const { return rendbenDefault_; }

 private:
  bool BothFilled() const { return !name_.empty() && !password_.empty(); }
  void UpdateRendben();

  View& view_;
  ServerSettings& settings_;
  std::filesystem::path workDirectory_;
  LoginTester tester_;
  std::string serverName_;
  std::string commonDatabase_;
  std::string name_;
  std::string password_;
  bool rendbenEnabled_ = false;
  bool rendbenDefault_ = false;
};

}  // namespace moltaro
