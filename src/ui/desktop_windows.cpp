#include "ui/desktop_windows.h"

namespace moltaro::ui {

DesktopWindows::DesktopWindows(const ServerSettings& settings)
    : operator_(&frmFoView_),
      windows_(settings,
               instances::InstanceViews{frmFoView_, frmFoView_.fraValt1(), frmDialogusView_,
                                        frmRepUtView_, frmDBBeView_},
               operator_),
      konvert_(settings, konvertView_, windows_.frmDialogus()) {
  frmFoView_.Attach(windows_.frmFo());
  windows_.frmFo().AttachConversionWindow(konvert_);
}

void DesktopWindows::Start() {
  windows_.Start();
  frmFoView_.show();
}

}  // namespace moltaro::ui
