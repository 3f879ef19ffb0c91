// The login dialog window: "Login".
#pragma once

#include <QDialog>

#include "startup/login_dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace moltaro::ui {

class TfrmSaPwdView : public QDialog, public TfrmSaPwd::View {
 public:
  TfrmSaPwdView(ServerSettings& settings, const std::filesystem::path& workDirectory,
                TfrmSaPwd::LoginTester tester, QWidget* parent = nullptr);

  TfrmSaPwd& Logic() { return logic_; }

  // TfrmSaPwd::View
  void ShowDatabaseName(const std::string& name) override;
  void SetFields(const std::string& name, const std::string& password) override;
  void SetRendbenEnabled(bool enabled) override;
  void SetRendbenDefault(bool isDefault) override;
  void ShowMessage(const std::string& text) override;
  void FocusName() override;
  void CloseWith(int result) override;

  QLineEdit* eName() const { return eName_; }
  QLineEdit* ePwd() const { return ePwd_; }
  QPushButton* bRendben() const { return bRendben_; }
  QPushButton* bMegsem() const { return bMegsem_; }
  QLabel* lDbname() const { return lDbname_; }

 protected:
  // Esc presses Mégsem, so the dialog ends with its result.
  void reject() override;

 private:
  TfrmSaPwd logic_;
  QLabel* lDbname_;
  QLineEdit* eName_;
  QLineEdit* ePwd_;
  QPushButton* bRendben_;
  QPushButton* bMegsem_;
};

}  // namespace moltaro::ui
