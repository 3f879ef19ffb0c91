#include "ui/konvert_view.h"
#include "ui/mnemonic.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>

#include "ui/message_boxes.h"
#include "ui/place.h"

namespace moltaro::ui {

using convert::KonvertBar;

namespace {

QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

QProgressBar* VerticalBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setOrientation(Qt::Vertical);
  bar->setTextVisible(false);
  bar->setRange(0, 1);
  bar->reset();
  return bar;
}

QPushButton* Button(const char* caption, QWidget* parent) {
  // Alt and the first letter presses it: Indít, Törlés and Vissza differ there.
  auto* button = new QPushButton(WithMnemonic(caption), parent);
  // Enter presses the button that has the focus, as Space does.
  button->setAutoDefault(true);
  return button;
}

}  // namespace

TkonvertView::TkonvertView(QWidget* parent, KonvertLayout layout)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(Text(convert::kKonvertCaption));
  // The window works on the instance it was opened on: the list must not
  // move to another one behind it.
  setWindowModality(Qt::ApplicationModal);

  dEdit_ = new QLineEdit(this);
  dEditButton_ = new QToolButton(this);
  dEditButton_->setText(QStringLiteral("…"));
  FileListBox1_ = new QListWidget(this);
  FileListBox1_->setSelectionMode(QAbstractItemView::NoSelection);
  btnVissza_ = Button(convert::kVisszaCaption, this);

  PageControl1_ = new QTabWidget(this);
  // One page only: its tab is a caption, not a place for the focus.
  PageControl1_->tabBar()->setFocusPolicy(Qt::NoFocus);
  TabSheet1_ = new QWidget;
  PageControl1_->addTab(TabSheet1_, Text(convert::kTabSheet1Caption));

  Label1_ = new QLabel(Text(convert::kLabel1DesignText), TabSheet1_);
  Label1_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont large = Label1_->font();
  large.setBold(true);
  large.setPixelSize(layout.labelFontPixels);
  Label1_->setFont(large);
  ProgressBar1_ = VerticalBar(TabSheet1_);
  ProgressBar2_ = VerticalBar(TabSheet1_);
  Button1_ = Button(convert::kButton1Caption, TabSheet1_);
  Button2_ = Button(convert::kButton2Caption, TabSheet1_);
  // Emptying the tables takes a deliberate click, never a Tab on the way.
  Button2_->setFocusPolicy(Qt::ClickFocus);

  ApplyLayout(layout);
  setTabOrder(dEdit_, dEditButton_);
  setTabOrder(dEditButton_, FileListBox1_);
  setTabOrder(FileListBox1_, Button1_);
  setTabOrder(Button1_, btnVissza_);

  connect(dEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (logic_ != nullptr) logic_->dEditChange(text.toStdString());
  });
  connect(dEditButton_, &QToolButton::clicked, this, [this] { BrowseDirectory(); });
  connect(Button1_, &QPushButton::clicked, this, [this] {
    if (logic_ != nullptr) logic_->Button1Click();
  });
  connect(Button2_, &QPushButton::clicked, this, [this] {
    if (logic_ != nullptr) logic_->Button2Click();
  });
  connect(btnVissza_, &QPushButton::clicked, this, [this] {
    if (logic_ != nullptr) logic_->btnVisszaClick();
  });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, btnVissza_, &QPushButton::click);
}

void TkonvertView::Attach(convert::Tkonvert& logic) {
  logic_ = &logic;
}

void TkonvertView::Open() {
  show();
  raise();
  activateWindow();
  dEdit_->setFocus();
}

void TkonvertView::ApplyLayout(const KonvertLayout& layout) {
  setFixedSize(layout.clientWidth, layout.clientHeight);
  Place(dEdit_, layout.dEdit);
  Place(dEditButton_, layout.dEditButton);
  Place(FileListBox1_, layout.FileListBox1);
  Place(btnVissza_, layout.btnVissza);
  Place(PageControl1_, layout.PageControl1);
  Place(Label1_, layout.Label1);
  Place(ProgressBar1_, layout.ProgressBar1);
  Place(ProgressBar2_, layout.ProgressBar2);
  Place(Button1_, layout.Button1);
  Place(Button2_, layout.Button2);
}

void TkonvertView::SetFileMask(const std::string& mask) {
  mask_ = mask;
  ListFiles();
}

void TkonvertView::ListFiles() {
  FileListBox1_->clear();
  if (mask_.empty()) return;
  const QString mask = QString::fromStdString(mask_);
  const qsizetype cut = mask.lastIndexOf(QDir::separator());
  const QString directory = cut < 0 ? QStringLiteral(".") : mask.left(cut + 1);
  const QString pattern = mask.mid(cut + 1);
  // Exports copied from DOS disks are often named in capitals: the pattern
  // matches either case.
  FileListBox1_->addItems(
      QDir(directory).entryList({pattern}, QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void TkonvertView::ShowLabel(const std::string& text) {
  Label1_->setText(QString::fromStdString(text));
  Label1_->repaint();
}

QProgressBar* TkonvertView::Bar(KonvertBar bar) const {
  return bar == KonvertBar::ProgressBar1 ? ProgressBar1_ : ProgressBar2_;
}

void TkonvertView::SetBarRange(KonvertBar which, int minimum, int maximum) {
  QProgressBar* bar = Bar(which);
  // An empty range would turn Qt's bar into a busy indicator; an idle bar
  // shows no progress at all instead.
  if (maximum <= minimum) {
    bar->setRange(0, 1);
    bar->reset();
  } else {
    bar->setRange(minimum, maximum);
  }
  bar->repaint();
}

void TkonvertView::SetBarPosition(KonvertBar which, int position) {
  QProgressBar* bar = Bar(which);
  // Qt ignores a value outside the range; a bar stops at its end instead.
  bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
  bar->repaint();
}

void TkonvertView::SetButton2Caption(const std::string& text) {
  // The access key belongs to "Törlés" only; "kis türelmet" is a status.
  Button2_->setText(text == convert::kButton2Caption ? WithMnemonic(text)
                                                     : QString::fromStdString(text));
  Button2_->repaint();
}

void TkonvertView::FocusButton1() {
  if (Button1_->isVisible() && Button1_->isEnabled()) Button1_->setFocus();
}

void TkonvertView::Repaint() {
  repaint();
}

void TkonvertView::CloseWindow() {
  close();
}

void TkonvertView::ShowError(const std::string& text) {
  ShowErrorMessage(this, text);
}

void TkonvertView::ShowMessage(const std::string& text) {
  ShowPlainMessage(this, text);
}

void TkonvertView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ListFiles();
  if (!centred_) {
    centred_ = true;
    CentreOnDesktop();
  }
}

void TkonvertView::CentreOnDesktop() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect placed = frameGeometry();
  placed.moveCenter(screen->availableGeometry().center());
  move(placed.topLeft());
}

void TkonvertView::BrowseDirectory() {
  const QString chosen =
      QFileDialog::getExistingDirectory(this, Text(convert::kKonvertCaption), dEdit_->text());
  // A cancelled picker keeps what the field held.
  if (!chosen.isEmpty()) dEdit_->setText(QDir::toNativeSeparators(chosen));
}

}  // namespace moltaro::ui
