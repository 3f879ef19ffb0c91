#include "ui/konvert_window.h"

namespace moltaro::ui {

KonvertWindow::KonvertWindow(const ServerSettings& settings, TkonvertView& view,
                             instances::TfrmDialogus& dialogus)
    : settings_(settings), view_(view), dialogus_(dialogus), logic_(view, *this, view) {
  view_.Attach(logic_);
}

void KonvertWindow::OpenOn(const std::string& database) {
  logic_.Connect(settings_.DatabaseConnectionString(database), database);
  view_.Open();
}

std::string KonvertWindow::Confirm(const std::string& question, convert::QuestionKind kind) {
  return dialogus_.Confirm(question, kind == convert::QuestionKind::DestroysData
                                         ? instances::DefaultButton::Nem
                                         : instances::DefaultButton::Igen);
}

}  // namespace moltaro::ui
