// The main window and its dialogs on a terminal: messages go to the output,
// errors to the error stream, and the dialogs are filled in from the
// command's arguments instead of being typed into.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "instances/confirm_dialog.h"
#include "instances/main_window.h"
#include "instances/new_company_dialog.h"
#include "instances/operator.h"
#include "instances/report_dir_dialog.h"

namespace moltaro::cli {

class TerminalOperator : public instances::Operator {
 public:
  // `beforeOutput` runs before anything is printed, so a progress line being
  // drawn on the terminal is cleared first.
  TerminalOperator(std::ostream& out, std::ostream& err, std::function<void()> beforeOutput = {})
      : out_(out), err_(err), beforeOutput_(std::move(beforeOutput)) {}
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  int ErrorCount() const { return errors_; }

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::function<void()> beforeOutput_;
  int errors_ = 0;
};

// Nothing to draw: the commands read the window's state when they need it.
class TerminalMainView : public instances::TfrmFo::View {
 public:
  void ListChanged() override {}
  void CurrentRowChanged(std::size_t) override {}
  void ActionsChanged() override {}
  void SetControlsEnabled(bool) override {}
  void PlaceFrame(const instances::Rect&) override {}
  void CloseWindow() override {}
  void Repaint() override {}
};

// A modal dialog whose operator is a function the command sets before it
// runs; without one the dialog is closed at once, which cancels it.
template <typename Dialog>
class ScriptedModal {
 public:
  using Script = std::function<void(Dialog&)>;
  void SetScript(Script script) { script_ = std::move(script); }

 protected:
  void Run(Dialog& dialog) {
    if (script_) script_(dialog);
  }

 private:
  Script script_;
};

class TerminalDBBeView : public instances::TfrmDBBe::View,
                         public ScriptedModal<instances::TfrmDBBe> {
 public:
  void SetFields(const std::string&, const std::string&) override {}
  void SetRendbenEnabled(bool) override {}
  void ShowModal(instances::TfrmDBBe& dialog) override { Run(dialog); }
};

class TerminalRepUtView : public instances::TfrmRepUt::View,
                          public ScriptedModal<instances::TfrmRepUt> {
 public:
  void SetDirectory(const std::string&) override {}
  void SetRendbenEnabled(bool) override {}
  void ShowModal(instances::TfrmRepUt& dialog) override { Run(dialog); }
};

class TerminalDialogusView : public instances::TfrmDialogus::View,
                             public ScriptedModal<instances::TfrmDialogus> {
 public:
  void SetQuestion(const std::string&) override {}
  void ShowModal(instances::TfrmDialogus& dialog) override { Run(dialog); }
};

}  // namespace moltaro::cli
