// The new-database dialog window "Új database".
#pragma once

#include <QDialog>

#include "instances/new_company_dialog.h"

class QLineEdit;
class QPushButton;

namespace moltaro::ui {

class TfrmDBBeView : public QDialog, public instances::TfrmDBBe::View {
 public:
  explicit TfrmDBBeView(QWidget* parent = nullptr);

  // instances::TfrmDBBe::View
  void SetFields(const std::string& cegnev, const std::string& database) override;
  void SetRendbenEnabled(bool enabled) override;
  void ShowModal(instances::TfrmDBBe& dialog) override;

  QLineEdit* eCegnev() const { return eCegnev_; }
  QLineEdit* eDatabase() const { return eDatabase_; }
  QPushButton* bRendben() const { return bRendben_; }
  QPushButton* bMegsem() const { return bMegsem_; }

 protected:
  // Esc and the close box cancel.
  void reject() override;

 private:
  // The dialog being filled in while it is shown; typing and buttons report to it.
  instances::TfrmDBBe* editing_ = nullptr;
  QLineEdit* eCegnev_;
  QLineEdit* eDatabase_;
  QPushButton* bRendben_;
  QPushButton* bMegsem_;
};

}  // namespace moltaro::ui
