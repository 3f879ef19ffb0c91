#include "cli/program_start.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cli/terminal.h"
#include "startup/login_dialog.h"
#include "startup/login_test.h"
#include "startup/settings_file.h"

namespace moltaro::cli {

namespace {

std::optional<std::string> FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// The login dialog's view on a terminal: messages to stderr, nothing else to draw.
class TerminalLoginView : public TfrmSaPwd::View {
 public:
  void ShowDatabaseName(const std::string&) override {}
  void SetFields(const std::string&, const std::string&) override {}
  void SetRendbenEnabled(bool) override {}
  void SetRendbenDefault(bool) override {}
  void ShowMessage(const std::string& text) override { std::cerr << text << '\n'; }
  void FocusName() override {}
  void CloseWith(int result) override { result_ = result; }
  int Result() const { return result_; }

 private:
  int result_ = 0;
};

bool AskCredential(const std::string& prompt, bool hidden, std::string& value) {
  if (!StdinIsTerminal()) return false;
  return ReadLine(prompt, hidden, value);
}

}  // namespace

int StartProgram(const Credentials& given, ServerSettings& settings) {
  TerminalLoginView view;
  TfrmSaPwd dialog(view, settings, std::filesystem::current_path(), TestLogin);
  int loaded = 0;
  try {
    loaded = dialog.LoadSettings();
  } catch (const std::exception& e) {
    std::cerr << e.what() << '\n';
    return kExitUsage;
  }
  if (loaded == kSettingsMissing) {
    std::cerr << kNoSettingsFileMessage << '\n';
    return kExitUsage;
  }

  std::optional<std::string> login = given.login ? given.login : FromEnvironment("MOLTARO_LOGIN");
  std::optional<std::string> password =
      given.password ? given.password : FromEnvironment("MOLTARO_PASSWORD");
  std::string typed;
  if (!login) {
    if (!AskCredential("Felhasználó : ", false, typed)) {
      std::cerr << "No login given: use -U LOGIN, or set MOLTARO_LOGIN.\n";
      return kExitUsage;
    }
    login = typed;
  }
  if (!password) {
    if (!AskCredential("Password : ", true, typed)) {
      std::cerr << "No password given: use -P PASSWORD, or set MOLTARO_PASSWORD.\n";
      return kExitUsage;
    }
    password = typed;
  }

  // The dialog's own rule: Rendben is usable only with both fields filled.
  dialog.eNameChange(*login);
  dialog.ePwdChange(*password);
  if (!dialog.RendbenEnabled()) {
    std::cerr << kWrongLoginMessage << '\n';
    return kExitUsage;
  }
  dialog.bRendbenClick();
  return view.Result() == kLoginOk ? kExitOk : kExitUsage;
}

}  // namespace moltaro::cli
