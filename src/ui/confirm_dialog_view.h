// The yes/no dialog window: a question and "Igen"/"Nem", no caption.
#pragma once

#include <QDialog>

#include "instances/confirm_dialog.h"

class QLabel;
class QPushButton;

namespace moltaro::ui {

inline constexpr const char* kBlankCaption = " ";

class TfrmDialogusView : public QDialog, public instances::TfrmDialogus::View {
 public:
  explicit TfrmDialogusView(QWidget* parent = nullptr);

  // instances::TfrmDialogus::View
  void SetQuestion(const std::string& text) override;
  void ShowModal(instances::TfrmDialogus& dialog) override;

  QLabel* lSzoveg() const { return lSzoveg_; }
  QPushButton* bIgen() const { return bIgen_; }
  QPushButton* bNem() const { return bNem_; }

 private:
  // The dialog being answered while it is shown; the buttons report to it.
  instances::TfrmDialogus* answering_ = nullptr;
  QLabel* lSzoveg_;
  QPushButton* bIgen_;
  QPushButton* bNem_;
};

}  // namespace moltaro::ui
