// The instance windows' operator on the desktop: message boxes over the
// main window.
#pragma once

#include "instances/operator.h"

class QWidget;

namespace moltaro::ui {

class MessageBoxOperator : public instances::Operator {
 public:
  explicit MessageBoxOperator(QWidget* parent) : parent_(parent) {}

  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;

 private:
  QWidget* parent_;
};

}  // namespace moltaro::ui
