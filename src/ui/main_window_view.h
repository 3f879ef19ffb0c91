// The main window "ZMP Verzió 2.0": the instance grid, its buttons and
// pop-up menu, and the version switch frame below the buttons.
#pragma once

#include <QWidget>
#include <array>

#include "instances/main_window.h"
#include "ui/valt_frame_view.h"

class QAction;
class QMenu;
class QPushButton;
class QTableWidget;

namespace moltaro::ui {

class TfrmFoView : public QWidget, public instances::TfrmFo::View {
 public:
  explicit TfrmFoView(QWidget* parent = nullptr);

  // The window's logic, created after this view; the grid, the actions and
  // the buttons show its state from now on.
  void Attach(instances::TfrmFo& logic);

  TfraValtView& fraValt1() { return *fraValt1_; }

  // instances::TfrmFo::View
  void ListChanged() override;
  void CurrentRowChanged(std::size_t row) override;
  void ActionsChanged() override;
  void SetControlsEnabled(bool enabled) override;
  void PlaceFrame(const instances::Rect& frame) override;
  void CloseWindow() override;
  void Repaint() override;

  QTableWidget* gPeldanyok() const { return gPeldanyok_; }
  QPushButton* bKilep() const { return bKilep_; }
  QPushButton* bValt() const { return bValt_; }
  QPushButton* Button1() const { return Button1_; }
  QMenu* PopupMenu1() const { return PopupMenu1_; }
  QAction* action(instances::ActionId id) const;

 protected:
  void showEvent(QShowEvent* event) override;
  // The grid's keys: Ctrl+Tab out, Enter runs "Vált", the Menu key (and
  // Shift+F10) open the pop-up menu at the selected row.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateActions();
  void CreatePopupMenu();
  void ApplyLayout(const instances::MainWindowLayout& layout);
  void Run(instances::ActionId id);
  // A button bound to an action shows its caption, hint and state.
  void SyncButton(QPushButton* button, instances::ActionId id);
  void CentreOnDesktop();
  void PopupAtCurrentRow();

  instances::TfrmFo* logic_ = nullptr;
  bool centred_ = false;
  // A run disables "Vált" and "Kilép" whatever their actions say.
  bool controlsEnabled_ = true;
  // Whether the list had the keyboard when a run disabled it.
  bool gridHadFocus_ = false;
  std::array<QAction*, instances::kActionCount> actions_{};
  QTableWidget* gPeldanyok_;
  QPushButton* bValt_;
  QPushButton* Button1_;
  QPushButton* bKilep_;
  TfraValtView* fraValt1_;
  QMenu* PopupMenu1_;
};

}  // namespace moltaro::ui
