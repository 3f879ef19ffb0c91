// The conversion window of the desktop program: its view and logic, asking
// through the yes/no dialog, and opened by the main window on the instance
// selected in its list.
#pragma once

#include <string>

#include "convert/konvert.h"
#include "convert/konvert_view.h"
#include "instances/confirm_dialog.h"
#include "instances/conversion_window.h"
#include "startup/server_settings.h"
#include "ui/konvert_view.h"

namespace moltaro::ui {

class KonvertWindow : public instances::ConversionWindow, public convert::KonvertQuestions {
 public:
  // All three must outlive the window.
  KonvertWindow(const ServerSettings& settings, TkonvertView& view,
                instances::TfrmDialogus& dialogus);

  // instances::ConversionWindow: the work connection goes to `database`
  // (NextId with it), then the window is shown. A connection that cannot be
  // opened propagates and the window stays closed.
  void OpenOn(const std::string& database) override;

  // convert::KonvertQuestions
  std::string Confirm(const std::string& question, convert::QuestionKind kind) override;

  convert::Tkonvert& Logic() { return logic_; }

 private:
  const ServerSettings& settings_;
  TkonvertView& view_;
  instances::TfrmDialogus& dialogus_;
  convert::Tkonvert logic_;
};

}  // namespace moltaro::ui
