// The report directory dialog window "Riport könyvtár".
#pragma once

#include <QDialog>

#include "instances/report_dir_dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace moltaro::ui {

class TfrmRepUtView : public QDialog, public instances::TfrmRepUt::View {
 public:
  explicit TfrmRepUtView(QWidget* parent = nullptr);

  // instances::TfrmRepUt::View
  void SetDirectory(const std::string& directory) override;
  void SetRendbenEnabled(bool enabled) override;
  void ShowModal(instances::TfrmRepUt& dialog) override;

  QLineEdit* eDir() const { return eDir_; }
  QToolButton* bTallozas() const { return bTallozas_; }
  QPushButton* bRendben() const { return bRendben_; }
  QPushButton* bMegsem() const { return bMegsem_; }

 protected:
  // Esc and the close box cancel, as Mégsem does.
  void reject() override;

 private:
  // eDir's browse button: the platform's folder picker, starting at the
  // directory in the field.
  void BrowseDirectory();

  // The dialog being edited while it is shown; typing and buttons report to it.
  instances::TfrmRepUt* editing_ = nullptr;
  QLineEdit* eDir_;
  QToolButton* bTallozas_;
  QPushButton* bRendben_;
  QPushButton* bMegsem_;
};

}  // namespace moltaro::ui
