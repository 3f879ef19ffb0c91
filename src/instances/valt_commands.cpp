// "Vált", "Uninstall", "Migrátor" and "Konvertálás…": the commands that hand
// the current instance to the version switch frame or the conversion window,
// or point the instance connection at it.
#include "instances/main_window.h"

namespace moltaro::instances {

void TfrmFo::aValtExecute() {
  RunOnInstance(
      kValtQuestion, DefaultButton::Igen, kUpgradePhases, [this] { return fraValt1_.RunUpgrade(); },
      true);
}

void TfrmFo::aUniExecute() {
  RunOnInstance(
      kUninstallQuestion, DefaultButton::Nem, kUninstallPhases,
      [this] {
        fraValt1_.RunUninstall();
        return false;
      },
      false);
}

void TfrmFo::RunOnInstance(const std::string& question, DefaultButton defaultButton,
                           const std::string& phaseMask, const std::function<bool()>& run,
                           bool reportOutcome) {
  lastRunOutcome_ = RunOutcome::NotRun;
  const db::Value current = CurrentDbname();
  if (db::IsNull(current)) return;
  if (dialogs_.dialogus.Confirm(question, defaultButton) != kAnswerYes) return;

  const std::string database = db::ToText(current);
  const std::string connectionString = settings_.DatabaseConnectionString(database);
  bool failed = true;
  const bool returned = Report([&] {
    fraValt1_.Prepare(database, database, connectionString, connectionString, phaseMask,
                      settings_.loginName, settings_.password);
    EnableControls(false);
    view_.Repaint();
    failed = run();
  });
  // The controls come back even when an error escaped the run: a window
  // whose list, "Vált" and "Kilép" stayed disabled could only be closed.
  EnableControls(true);
  view_.Repaint();
  if (!returned) {
    lastRunOutcome_ = RunOutcome::Raised;
    return;
  }
  lastRunOutcome_ = failed ? RunOutcome::Failed : RunOutcome::Succeeded;

  if (reportOutcome) {
    if (!failed) {
      operator_.ShowMessage(kValtSucceeded);
    } else {
      const std::string& reason = fraValt1_.LastError();
      operator_.ShowMessage(reason.empty() ? kValtFailed : reason);
    }
  }
  fraValt1_.ResetProgress();
  CloseList();
  Report([this] { LoadInstances(); });
}

void TfrmFo::aMigratorExecute() {
  Report([this] {
    adoVer_->Close();
    adoVer_->Open(settings_.DatabaseConnectionString(db::ToText(CurrentDbname())));
  });
}

void TfrmFo::AttachConversionWindow(ConversionWindow& window) {
  conversionWindow_ = &window;
  MutableAction(ActionId::aKonvert).visible = true;
  dsPeldanyokDataChange();
}

void TfrmFo::aKonvertExecute() {
  const db::Value current = CurrentDbname();
  if (conversionWindow_ == nullptr || db::IsNull(current)) return;
  Report([&] { conversionWindow_->OpenOn(db::ToText(current)); });
}

}  // namespace moltaro::instances
