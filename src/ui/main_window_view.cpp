#include "ui/main_window_view.h"

#include "ui/mnemonic.h"
#include "ui/place.h"

#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

#include "db/value.h"

namespace moltaro::ui {

using instances::ActionId;

namespace {

constexpr int kNevColumn = 0;
constexpr int kDbnameColumn = 1;
constexpr int kVerColumn = 2;
constexpr int kRowPadding = 4;
constexpr auto kKonvertShortcut = Qt::CTRL | Qt::Key_K;

// The access key of each action's caption, distinct within the pop-up menu
// ("Kilép" and "Konvertálás…" share their first letter).
constexpr std::array<qsizetype, instances::kActionCount> kMnemonicLetter = {
    0,  // aValt: Vált
    0,  // aVege: Kilép
    0,  // aMigrator: Migrátor
    0,  // aUni: Uninstall
    0,  // aUtca: Rep utvonal
    0,  // aDbCrea: db Crea
    1,  // aKonvert: Konvertálás…
};

QTableWidgetItem* GridCell(const std::string& text) {
  auto* item = new QTableWidgetItem(QString::fromStdString(text));
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

TfrmFoView::TfrmFoView(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QString::fromUtf8(instances::kMainWindowCaption));

  gPeldanyok_ = new QTableWidget(0, 3, this);
  gPeldanyok_->setHorizontalHeaderLabels({QString::fromUtf8(instances::kNevColumnTitle),
                                          QString::fromUtf8(instances::kDbnameColumnTitle),
                                          QString::fromUtf8(instances::kVerColumnTitle)});
  gPeldanyok_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gPeldanyok_->setSelectionBehavior(QAbstractItemView::SelectRows);
  gPeldanyok_->setSelectionMode(QAbstractItemView::SingleSelection);
  gPeldanyok_->verticalHeader()->hide();
  // Rows as high as their text needs, so the grid shows as many instances as fit.
  gPeldanyok_->verticalHeader()->setMinimumSectionSize(1);
  gPeldanyok_->verticalHeader()->setDefaultSectionSize(gPeldanyok_->fontMetrics().height() +
                                                       kRowPadding);
  gPeldanyok_->horizontalHeader()->setStretchLastSection(true);
  gPeldanyok_->setContextMenuPolicy(Qt::CustomContextMenu);
  // Tab leaves the grid for the buttons; the arrow keys move between rows.
  gPeldanyok_->setTabKeyNavigation(false);
  gPeldanyok_->installEventFilter(this);

  bValt_ = new QPushButton(this);
  Button1_ = new QPushButton(WithMnemonic(instances::kNewCompanyButtonCaption), this);
  bKilep_ = new QPushButton(this);
  fraValt1_ = new TfraValtView(this);

  CreateActions();
  CreatePopupMenu();
  ApplyLayout(instances::MainWindowLayout{});

  connect(gPeldanyok_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (logic_ != nullptr && current.isValid()) {
              logic_->SelectRow(static_cast<std::size_t>(current.row()));
            }
          });
  connect(gPeldanyok_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    PopupMenu1_->popup(gPeldanyok_->viewport()->mapToGlobal(at));
  });
  // Reading order: grid, then the buttons left to right, then the frame.
  setTabOrder(gPeldanyok_, bValt_);
  setTabOrder(bValt_, Button1_);
  setTabOrder(Button1_, bKilep_);
  connect(bValt_, &QPushButton::clicked, this, [this] { action(ActionId::aValt)->trigger(); });
  connect(bKilep_, &QPushButton::clicked, this, [this] { action(ActionId::aVege)->trigger(); });
  connect(Button1_, &QPushButton::clicked, this, [this] {
    if (logic_ != nullptr) logic_->aDbCreaExecute();
  });
}

void TfrmFoView::CreateActions() {
  const auto initial = instances::InitialActions();
  for (std::size_t i = 0; i < instances::kActionCount; ++i) {
    const auto id = static_cast<ActionId>(i);
    QAction* created = new QAction(WithMnemonic(initial[i].caption, kMnemonicLetter[i]), this);
    created->setObjectName(QString::fromStdString(initial[i].name));
    connect(created, &QAction::triggered, this, [this, id] { Run(id); });
    actions_[i] = created;
  }
  // The conversion has no button; its shortcut works anywhere in the window,
  // as long as the entry is enabled.
  QAction* konvert = action(ActionId::aKonvert);
  konvert->setShortcut(QKeySequence(kKonvertShortcut));
  konvert->setShortcutContext(Qt::WindowShortcut);
  addAction(konvert);
}

void TfrmFoView::CreatePopupMenu() {
  PopupMenu1_ = new QMenu(this);
  PopupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
  // Non-SAP mode hides every item between the separators; both stay shown.
  PopupMenu1_->setSeparatorsCollapsible(false);
  PopupMenu1_->setToolTipsVisible(true);
  for (const instances::MenuItem& item : instances::PopupMenuItems()) {
    if (item.separator) {
      PopupMenu1_->addSeparator();
      continue;
    }
    QAction* shared = action(item.action);
    if (!item.hint.empty()) shared->setStatusTip(QString::fromStdString(item.hint));
    PopupMenu1_->addAction(shared);
  }
}

void TfrmFoView::ApplyLayout(const instances::MainWindowLayout& layout) {
  setFixedSize(layout.clientWidth, layout.clientHeight);
  Place(gPeldanyok_, layout.gPeldanyok);
  Place(bValt_, layout.bValt);
  Place(Button1_, layout.Button1);
  Place(bKilep_, layout.bKilep);
  gPeldanyok_->setColumnWidth(kNevColumn, layout.nevColumnWidth);
  gPeldanyok_->setColumnWidth(kDbnameColumn, layout.dbnameColumnWidth);
}

void TfrmFoView::Attach(instances::TfrmFo& logic) {
  logic_ = &logic;
  ApplyLayout(logic.Layout());
  ActionsChanged();
  ListChanged();
}

QAction* TfrmFoView::action(ActionId id) const {
  return actions_[static_cast<std::size_t>(id)];
}

void TfrmFoView::Run(ActionId id) {
  if (logic_ == nullptr) return;
  switch (id) {
    case ActionId::aValt:
      logic_->aValtExecute();
      break;
    case ActionId::aVege:
      logic_->aVegeExecute();
      break;
    case ActionId::aMigrator:
      logic_->aMigratorExecute();
      break;
    case ActionId::aUni:
      logic_->aUniExecute();
      break;
    case ActionId::aUtca:
      logic_->aUtcaExecute();
      break;
    case ActionId::aDbCrea:
      logic_->aDbCreaExecute();
      break;
    case ActionId::aKonvert:
      logic_->aKonvertExecute();
      break;
  }
}

void TfrmFoView::ListChanged() {
  if (logic_ == nullptr) return;
  const QSignalBlocker blockSelection(gPeldanyok_->selectionModel());
  const std::size_t rows = logic_->RowCount();
  gPeldanyok_->clearContents();
  gPeldanyok_->setRowCount(static_cast<int>(rows));
  for (std::size_t i = 0; i < rows; ++i) {
    const instances::InstanceRow row = logic_->Row(i);
    const int r = static_cast<int>(i);
    gPeldanyok_->setItem(r, kNevColumn, GridCell(db::ToText(row.nev)));
    gPeldanyok_->setItem(r, kDbnameColumn, GridCell(db::ToText(row.dbname)));
    QTableWidgetItem* version = GridCell(row.Ver);
    version->setToolTip(QString::fromStdString(row.unreadable));
    gPeldanyok_->setItem(r, kVerColumn, version);
  }
}

void TfrmFoView::CurrentRowChanged(std::size_t row) {
  const QSignalBlocker blockSelection(gPeldanyok_->selectionModel());
  if (row < static_cast<std::size_t>(gPeldanyok_->rowCount())) {
    gPeldanyok_->selectRow(static_cast<int>(row));
  } else {
    gPeldanyok_->clearSelection();
  }
  gPeldanyok_->viewport()->update();
}

void TfrmFoView::ActionsChanged() {
  if (logic_ == nullptr) return;
  for (std::size_t i = 0; i < instances::kActionCount; ++i) {
    const instances::Action& state = logic_->GetAction(static_cast<ActionId>(i));
    actions_[i]->setText(WithMnemonic(state.caption, kMnemonicLetter[i]));
    actions_[i]->setToolTip(QString::fromStdString(state.hint));
    actions_[i]->setEnabled(state.enabled);
    actions_[i]->setVisible(state.visible);
  }
  SyncButton(bValt_, ActionId::aValt);
  SyncButton(bKilep_, ActionId::aVege);
}

void TfrmFoView::SyncButton(QPushButton* button, ActionId id) {
  const instances::Action& state = logic_->GetAction(id);
  button->setText(WithMnemonic(state.caption, kMnemonicLetter[static_cast<std::size_t>(id)]));
  button->setToolTip(QString::fromStdString(state.hint));
  button->setEnabled(state.enabled && controlsEnabled_);
  button->setVisible(state.visible);
}

void TfrmFoView::SetControlsEnabled(bool enabled) {
  controlsEnabled_ = enabled;
  // Disabling the list takes the keyboard from it; a run started from the
  // list gives it back there, so the arrow keys choose a row again.
  if (!enabled) gridHadFocus_ = focusWidget() == gPeldanyok_;
  gPeldanyok_->setEnabled(enabled);
  if (enabled && gridHadFocus_) {
    gridHadFocus_ = false;
    gPeldanyok_->setFocus(Qt::OtherFocusReason);
  }
  if (logic_ == nullptr) return;
  SyncButton(bValt_, ActionId::aValt);
  SyncButton(bKilep_, ActionId::aVege);
}

void TfrmFoView::PlaceFrame(const instances::Rect& frame) {
  fraValt1_->move(frame.left, frame.top);
}

void TfrmFoView::CloseWindow() {
  close();
}

void TfrmFoView::Repaint() {
  repaint();
  fraValt1_->repaint();
}

bool TfrmFoView::eventFilter(QObject* watched, QEvent* event) {
  if (watched != gPeldanyok_ || event->type() != QEvent::KeyPress) {
    return QWidget::eventFilter(watched, event);
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool ctrl = key->modifiers().testFlag(Qt::ControlModifier);
  switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      // Ctrl+Tab leaves the grid like Tab does; the plain keys go their own way.
      if (!ctrl) return false;
      focusNextPrevChild(key->key() == Qt::Key_Tab &&
                         !key->modifiers().testFlag(Qt::ShiftModifier));
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Enter on a row switches its version, as "Vált" would.
      if (bValt_->isVisible() && bValt_->isEnabled()) bValt_->click();
      return true;
    case Qt::Key_Menu:
      PopupAtCurrentRow();
      return true;
    case Qt::Key_F10:
      if (!key->modifiers().testFlag(Qt::ShiftModifier)) return false;
      PopupAtCurrentRow();
      return true;
    default:
      return false;
  }
}

void TfrmFoView::PopupAtCurrentRow() {
  const QModelIndex current = gPeldanyok_->currentIndex();
  const QRect cell = current.isValid() ? gPeldanyok_->visualRect(current) : QRect();
  const QPoint at = cell.isValid() ? cell.center() : QPoint(0, 0);
  PopupMenu1_->popup(gPeldanyok_->viewport()->mapToGlobal(at));
}

void TfrmFoView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!centred_) {
    centred_ = true;
    CentreOnDesktop();
  }
}

void TfrmFoView::CentreOnDesktop() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect placed = frameGeometry();
  placed.moveCenter(screen->availableGeometry().center());
  move(placed.topLeft());
}

}  // namespace moltaro::ui
