#include "instances/report_dir_dialog.h"

#include "common/text.h"

namespace moltaro::instances {

void TfrmRepUt::SetDirectory(const std::string& text) {
  eDir_ = Trim(text);
  result_.clear();
  view_.SetDirectory(eDir_);
  UpdateButtons();
}

bool TfrmRepUt::ShowModal() {
  confirmed_ = false;
  view_.ShowModal(*this);
  return confirmed_;
}

void TfrmRepUt::eDirChange(const std::string& text) {
  eDir_ = text;
  UpdateButtons();
}

void TfrmRepUt::UpdateButtons() {
  rendbenEnabled_ = !eDir_.empty();
  view_.SetRendbenEnabled(rendbenEnabled_);
}

void TfrmRepUt::bRendbenClick() {
  if (!rendbenEnabled_) return;
  result_ = Trim(eDir_);
  confirmed_ = true;
}

void TfrmRepUt::bMegsemClick() {
  confirmed_ = false;
}

}  // namespace moltaro::instances
