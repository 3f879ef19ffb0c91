#include "ui/report_dir_view.h"

#include "ui/mnemonic.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace moltaro::ui {

TfrmRepUtView::TfrmRepUtView(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowTitleHint) {
  setWindowTitle(QString::fromUtf8(instances::kReportDirCaption));

  // "R" belongs to "Rendben"; the field takes the "k" of "könyvtár".
  auto* label1 = new QLabel(WithMnemonic(instances::kReportDirCaption, 7), this);
  eDir_ = new QLineEdit(this);
  eDir_->setMinimumWidth(320);
  label1->setBuddy(eDir_);
  bTallozas_ = new QToolButton(this);
  bTallozas_->setText(QStringLiteral("…"));
  auto* field = new QHBoxLayout;
  field->setSpacing(2);
  field->addWidget(eDir_, 1);
  field->addWidget(bTallozas_);

  bRendben_ = new QPushButton(WithMnemonic("Rendben"), this);
  bRendben_->setDefault(true);
  bRendben_->setEnabled(false);
  bMegsem_ = new QPushButton(WithMnemonic("Mégsem"), this);
  bMegsem_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(bRendben_);
  buttons->addWidget(bMegsem_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label1);
  layout->addLayout(field);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(eDir_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (editing_ != nullptr) editing_->eDirChange(text.toStdString());
  });
  connect(bTallozas_, &QToolButton::clicked, this, [this] { BrowseDirectory(); });
  connect(bRendben_, &QPushButton::clicked, this, [this] {
    if (editing_ == nullptr) return;
    editing_->bRendbenClick();
    if (editing_->Confirmed()) accept();
  });
  connect(bMegsem_, &QPushButton::clicked, this, [this] { reject(); });
}

void TfrmRepUtView::SetDirectory(const std::string& directory) {
  const QSignalBlocker block(eDir_);
  eDir_->setText(QString::fromStdString(directory));
}

void TfrmRepUtView::SetRendbenEnabled(bool enabled) {
  bRendben_->setEnabled(enabled);
}

void TfrmRepUtView::ShowModal(instances::TfrmRepUt& dialog) {
  editing_ = &dialog;
  eDir_->setFocus();
  exec();
  editing_ = nullptr;
}

void TfrmRepUtView::reject() {
  if (editing_ != nullptr) editing_->bMegsemClick();
  QDialog::reject();
}

void TfrmRepUtView::BrowseDirectory() {
  const QString chosen = QFileDialog::getExistingDirectory(
      this, QString::fromUtf8(instances::kReportDirCaption), eDir_->text());
  // A cancelled picker keeps what the field held.
  if (!chosen.isEmpty()) eDir_->setText(QDir::toNativeSeparators(chosen));
}

}  // namespace moltaro::ui
