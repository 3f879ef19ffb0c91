#include "ui/main_window_view.h"

#include "ui/place.h"

#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
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
constexpr auto kKonvertShortcut = Qt::CTRL | Qt::Key_K;

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
  gPeldanyok_->horizontalHeader()->setStretchLastSection(true);
  gPeldanyok_->setContextMenuPolicy(Qt::CustomContextMenu);

  bValt_ = new QPushButton(this);
  Button1_ = new QPushButton(QString::fromUtf8(instances::kNewCompanyButtonCaption), this);
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
    QAction* created = new QAction(QString::fromStdString(initial[i].caption), this);
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
    gPeldanyok_->setItem(r, kVerColumn, GridCell(row.Ver));
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
    actions_[i]->setText(QString::fromStdString(state.caption));
    actions_[i]->setToolTip(QString::fromStdString(state.hint));
    actions_[i]->setEnabled(state.enabled);
    actions_[i]->setVisible(state.visible);
  }
  SyncButton(bValt_, ActionId::aValt);
  SyncButton(bKilep_, ActionId::aVege);
}

void TfrmFoView::SyncButton(QPushButton* button, ActionId id) {
  const instances::Action& state = logic_->GetAction(id);
  button->setText(QString::fromStdString(state.caption));
  button->setToolTip(QString::fromStdString(state.hint));
  button->setEnabled(state.enabled && controlsEnabled_);
  button->setVisible(state.visible);
}

void TfrmFoView::SetControlsEnabled(bool enabled) {
  controlsEnabled_ = enabled;
  gPeldanyok_->setEnabled(enabled);
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
