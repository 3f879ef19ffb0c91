#include "ui/new_company_view.h"

#include "ui/mnemonic.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace moltaro::ui {

TfrmDBBeView::TfrmDBBeView(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowTitleHint) {
  setWindowTitle(QString::fromUtf8(instances::kNewCompanyCaption));

  constexpr int kFieldLength = static_cast<int>(instances::kNewCompanyFieldLength);
  eCegnev_ = new QLineEdit(this);
  eCegnev_->setMaxLength(kFieldLength);
  eDatabase_ = new QLineEdit(this);
  eDatabase_->setMaxLength(kFieldLength);
  auto* fields = new QFormLayout;
  fields->addRow(WithMnemonic(instances::kCegnevLabel), eCegnev_);
  fields->addRow(WithMnemonic(instances::kDatabaseLabel), eDatabase_);

  bRendben_ = new QPushButton(WithMnemonic("Rendben"), this);
  bRendben_->setEnabled(false);
  bMegsem_ = new QPushButton(WithMnemonic("Mégsem"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(bRendben_);
  buttons->addWidget(bMegsem_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  setTabOrder(eCegnev_, eDatabase_);

  connect(eCegnev_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (editing_ != nullptr) editing_->eCegnevChange(text.toStdString());
  });
  connect(eDatabase_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (editing_ != nullptr) editing_->eDatabaseChange(text.toStdString());
  });
  connect(bRendben_, &QPushButton::clicked, this, [this] {
    if (editing_ == nullptr) return;
    editing_->bRendbenClick();
    if (editing_->Confirmed()) accept();
  });
  connect(bMegsem_, &QPushButton::clicked, this, [this] { reject(); });
}

void TfrmDBBeView::SetFields(const std::string& cegnev, const std::string& database) {
  const QSignalBlocker blockCegnev(eCegnev_);
  const QSignalBlocker blockDatabase(eDatabase_);
  eCegnev_->setText(QString::fromStdString(cegnev));
  eDatabase_->setText(QString::fromStdString(database));
}

void TfrmDBBeView::SetRendbenEnabled(bool enabled) {
  bRendben_->setEnabled(enabled);
}

void TfrmDBBeView::ShowModal(instances::TfrmDBBe& dialog) {
  editing_ = &dialog;
  eCegnev_->setFocus();
  exec();
  editing_ = nullptr;
}

void TfrmDBBeView::reject() {
  if (editing_ != nullptr) editing_->FormClose();
  QDialog::reject();
}

}  // namespace moltaro::ui
