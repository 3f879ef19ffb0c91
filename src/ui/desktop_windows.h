// The windows of the desktop program after a successful login: the Qt views
// of the main window and its dialogs, and the logic that drives them,
// created in start-up order.
#pragma once

#include "instances/program_windows.h"
#include "startup/server_settings.h"
#include "ui/confirm_dialog_view.h"
#include "ui/konvert_view.h"
#include "ui/konvert_window.h"
#include "ui/main_window_view.h"
#include "ui/message_operator.h"
#include "ui/new_company_view.h"
#include "ui/report_dir_view.h"

namespace moltaro::ui {

class DesktopWindows {
 public:
  // `settings` is the login record and must outlive the windows.
  explicit DesktopWindows(const ServerSettings& settings);

  // Creates the windows in start-up order (the main window connects and
  // lists the instances; failures are shown) and shows the main window.
  void Start();

  TfrmFoView& frmFo() { return frmFoView_; }
  TfrmDialogusView& frmDialogus() { return frmDialogusView_; }
  TkonvertView& konvert() { return konvertView_; }
  KonvertWindow& konvertWindow() { return konvert_; }
  TfrmRepUtView& frmRepUt() { return frmRepUtView_; }
  TfrmDBBeView& frmDBBe() { return frmDBBeView_; }
  instances::ProgramWindows& Logic() { return windows_; }

 private:
  // The views come first: the logic holds references to them, so it must
  // go before they do. The dialogs have no parent, so they open centred on
  // the desktop rather than on the main window; the conversion window stays
  // hidden until the main window opens it.
  TfrmFoView frmFoView_;
  TfrmDialogusView frmDialogusView_;
  TkonvertView konvertView_;
  TfrmRepUtView frmRepUtView_;
  TfrmDBBeView frmDBBeView_;
  MessageBoxOperator operator_;
  instances::ProgramWindows windows_;
  // Asks through the yes/no dialog, so it comes after the windows.
  KonvertWindow konvert_;
};

}  // namespace moltaro::ui
