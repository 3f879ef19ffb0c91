#include "instances/program_windows.h"

#include <exception>

namespace moltaro::instances {

ProgramWindows::ProgramWindows(const ServerSettings& settings, InstanceViews views, Operator& op,
                               MainWindowConnections connections)
    : operator_(op),
      frmDialogus_(views.dialogus),
      frmRepUt_(views.repUt),
      frmDBBe_(views.dbBe),
      frmFo_(views.fo, op, settings, MainWindowDialogs{frmDialogus_, frmRepUt_, frmDBBe_},
             views.fraValt1, std::move(connections)),
      dataModule1_(settings) {}

void ProgramWindows::Start() {
  if (started_) return;
  started_ = true;
  frmFo_.FormCreate();
  try {
    dataModule1_.DataModuleCreate();
  } catch (const std::exception& e) {
    operator_.ShowError(e.what());
  }
}

}  // namespace moltaro::instances
