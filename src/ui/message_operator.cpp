#include "ui/message_operator.h"

#include "ui/message_boxes.h"

namespace moltaro::ui {

void MessageBoxOperator::ShowMessage(const std::string& text) {
  ShowPlainMessage(parent_, text);
}

void MessageBoxOperator::ShowError(const std::string& text) {
  ShowErrorMessage(parent_, text);
}

}  // namespace moltaro::ui
