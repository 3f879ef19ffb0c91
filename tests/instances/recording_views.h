// Views and an operator that record what the logic shows, with scripted
// answers for the modal dialogs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/valt_display.h"
#include "instances/confirm_dialog.h"
#include "instances/main_window.h"
#include "instances/new_company_dialog.h"
#include "instances/operator.h"
#include "instances/report_dir_dialog.h"

namespace moltaro::instances::testing {

struct RecordingOperator : Operator {
  std::vector<std::string> messages;
  std::vector<std::string> errors;
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
};

struct RecordingFoView : TfrmFo::View {
  int listChanges = 0;
  int repaints = 0;
  bool controlsEnabled = true;
  bool closed = false;
  Rect frame;
  void Repaint() override { ++repaints; }
  void ListChanged() override { ++listChanges; }
  void CurrentRowChanged(std::size_t) override {}
  void ActionsChanged() override {}
  void SetControlsEnabled(bool enabled) override { controlsEnabled = enabled; }
  void PlaceFrame(const Rect& placed) override { frame = placed; }
  void CloseWindow() override { closed = true; }
};

// The version switch frame: counts what it showed while the main window's
// controls were disabled.
struct RecordingValtDisplay : engine::ValtDisplay {
  const RecordingFoView* window = nullptr;
  int textsWhileDisabled = 0;
  std::string hint;
  void ApplyLayout(const engine::ValtLayout&) override {}
  void SetVersionHint(const std::string& text) override { hint = text; }
  void ShowText(engine::ValtLabel, const std::string& text) override {
    if (window && !text.empty() && !window->controlsEnabled) ++textsWhileDisabled;
  }
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
};

// Each dialog view runs the test's script when the dialog is shown.
struct ScriptedDBBeView : TfrmDBBe::View {
  std::function<void(TfrmDBBe&)> script;
  bool rendbenEnabled = true;
  int shown = 0;
  void SetFields(const std::string&, const std::string&) override {}
  void SetRendbenEnabled(bool enabled) override { rendbenEnabled = enabled; }
  void ShowModal(TfrmDBBe& dialog) override {
    ++shown;
    if (script) script(dialog);
  }
};

struct ScriptedRepUtView : TfrmRepUt::View {
  std::function<void(TfrmRepUt&)> script;
  std::string shownDirectory;
  bool rendbenEnabled = true;
  int shown = 0;
  void SetDirectory(const std::string& directory) override { shownDirectory = directory; }
  void SetRendbenEnabled(bool enabled) override { rendbenEnabled = enabled; }
  void ShowModal(TfrmRepUt& dialog) override {
    ++shown;
    if (script) script(dialog);
  }
};

struct ScriptedDialogusView : TfrmDialogus::View {
  std::function<void(TfrmDialogus&)> script;
  std::string question;
  void SetQuestion(const std::string& text) override { question = text; }
  void ShowModal(TfrmDialogus& dialog) override {
    if (script) script(dialog);
  }
};

}  // namespace moltaro::instances::testing
