#include "instances/confirm_dialog.h"

namespace moltaro::instances {

TfrmDialogus::TfrmDialogus(View& view) : view_(view) {}

void TfrmDialogus::SetQuestion(const std::string& text) {
  question_ = text;
  view_.SetQuestion(text);
}

std::string TfrmDialogus::Confirm(const std::string& question, DefaultButton defaultButton) {
  answer_ = kAnswerNo;
  defaultButton_ = defaultButton;
  SetQuestion(question);
  view_.ShowModal(*this);
  return answer_;
}

}  // namespace moltaro::instances
