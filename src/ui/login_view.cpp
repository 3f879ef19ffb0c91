#include "ui/login_view.h"

#include "ui/mnemonic.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/message_boxes.h"

namespace moltaro::ui {

TfrmSaPwdView::TfrmSaPwdView(ServerSettings& settings, const std::filesystem::path& workDirectory,
                             TfrmSaPwd::LoginTester tester, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      logic_(*this, settings, workDirectory, std::move(tester)) {
  setWindowTitle(QStringLiteral("Login"));

  auto* lDb = new QLabel(QStringLiteral("Példány :"), this);
  lDbname_ = new QLabel(this);
  auto* band = new QHBoxLayout;
  band->addWidget(lDb);
  band->addWidget(lDbname_, 1);

  eName_ = new QLineEdit(this);
  eName_->setMaxLength(kLoginFieldMaxLength);
  ePwd_ = new QLineEdit(this);
  ePwd_->setMaxLength(kLoginFieldMaxLength);
  ePwd_->setEchoMode(QLineEdit::Password);
  ePwd_->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*"
  auto* fields = new QFormLayout;
  fields->addRow(WithMnemonic("Felhasználó :"), eName_);
  fields->addRow(WithMnemonic("Password :"), ePwd_);

  bRendben_ = new QPushButton(WithMnemonic("Rendben"), this);
  bRendben_->setEnabled(false);
  bRendben_->setAutoDefault(false);
  bRendben_->setFocusPolicy(Qt::ClickFocus);  // not reachable with Tab
  bMegsem_ = new QPushButton(WithMnemonic("Mégsem"), this);
  bMegsem_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(bRendben_);
  buttons->addWidget(bMegsem_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(band);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(eName_, &QLineEdit::textChanged,
          [this](const QString& text) { logic_.eNameChange(text.toStdString()); });
  connect(ePwd_, &QLineEdit::textChanged,
          [this](const QString& text) { logic_.ePwdChange(text.toStdString()); });
  connect(bRendben_, &QPushButton::clicked, [this] { logic_.bRendbenClick(); });
  connect(bMegsem_, &QPushButton::clicked, [this] { logic_.bMegsemClick(); });
}

void TfrmSaPwdView::ShowDatabaseName(const std::string& name) {
  lDbname_->setText(QString::fromStdString(name));
}

void TfrmSaPwdView::SetFields(const std::string& name, const std::string& password) {
  const QSignalBlocker blockName(eName_);
  const QSignalBlocker blockPwd(ePwd_);
  eName_->setText(QString::fromStdString(name));
  ePwd_->setText(QString::fromStdString(password));
}

void TfrmSaPwdView::SetRendbenEnabled(bool enabled) {
  bRendben_->setEnabled(enabled);
}

void TfrmSaPwdView::SetRendbenDefault(bool isDefault) {
  bRendben_->setDefault(isDefault);
}

void TfrmSaPwdView::ShowMessage(const std::string& text) {
  ShowPlainMessage(this, text);
}

void TfrmSaPwdView::FocusName() {
  if (eName_->isVisible() && eName_->isEnabled()) eName_->setFocus();
}

void TfrmSaPwdView::CloseWith(int result) {
  done(result);
}

void TfrmSaPwdView::reject() {
  logic_.bMegsemClick();
}

}  // namespace moltaro::ui
