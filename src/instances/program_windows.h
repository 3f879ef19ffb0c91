// The long-lived windows that start-up creates after a successful login, in
// their order: the main window (which connects and lists the instances),
// the yes/no dialog, the report directory dialog, the new-database dialog
// and the shared data module. The conversion window belongs to the
// conversion layer and is created by the front end alongside these.
#pragma once

#include "db/connection_port.h"
#include "instances/confirm_dialog.h"
#include "instances/main_window.h"
#include "instances/new_company_dialog.h"
#include "instances/operator.h"
#include "instances/report_dir_dialog.h"
#include "startup/data_module.h"
#include "startup/server_settings.h"

namespace moltaro::instances {

struct InstanceViews {
  TfrmFo::View& fo;
  engine::ValtDisplay& fraValt1;
  TfrmDialogus::View& dialogus;
  TfrmRepUt::View& repUt;
  TfrmDBBe::View& dbBe;
};

class ProgramWindows {
 public:
  ProgramWindows(const ServerSettings& settings, InstanceViews views, Operator& op,
                 MainWindowConnections connections = {});

  // Creates the windows in start-up order. Failures (the common database or
  // the data module's connections cannot be opened) are shown, and start-up
  // goes on with the main window up.
  void Start();

  TfrmFo& frmFo() { return frmFo_; }
  TfrmDialogus& frmDialogus() { return frmDialogus_; }
  TfrmRepUt& frmRepUt() { return frmRepUt_; }
  TfrmDBBe& frmDBBe() { return frmDBBe_; }
  TDataModule1& DataModule1() { return dataModule1_; }

 private:
  Operator& operator_;
  // The dialogs' objects come first because the main window's commands use
  // them; their creation has no effect outside them.
  TfrmDialogus frmDialogus_;
  TfrmRepUt frmRepUt_;
  TfrmDBBe frmDBBe_;
  TfrmFo frmFo_;
  TDataModule1 dataModule1_;
  bool started_ = false;
};

}  // namespace moltaro::instances
