#include "ui/confirm_dialog_view.h"

#include "ui/mnemonic.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace moltaro::ui {

TfrmDialogusView::TfrmDialogusView(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  // The question has no caption. An empty title would let the platform put
  // the program's name there instead; a blank one stays blank.
  setWindowTitle(QString::fromUtf8(kBlankCaption));
  setFixedSize(instances::kDialogusWidth, instances::kDialogusHeight);

  lSzoveg_ = new QLabel(QString::fromUtf8(instances::kInitialQuestion), this);
  lSzoveg_->setAlignment(Qt::AlignCenter);
  lSzoveg_->setWordWrap(true);
  QFont font = lSzoveg_->font();
  font.setPixelSize(instances::kQuestionFontHeight);
  lSzoveg_->setFont(font);

  bIgen_ = new QPushButton(WithMnemonic(instances::kIgenCaption), this);
  bNem_ = new QPushButton(WithMnemonic(instances::kNemCaption), this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(bIgen_);
  buttons->addWidget(bNem_);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lSzoveg_, 1);
  layout->addLayout(buttons);

  connect(bIgen_, &QPushButton::clicked, this, [this] {
    if (answering_ != nullptr) answering_->bIgenClick();
    accept();
  });
  connect(bNem_, &QPushButton::clicked, this, [this] {
    if (answering_ != nullptr) answering_->bNemClick();
    reject();
  });
}

void TfrmDialogusView::SetQuestion(const std::string& text) {
  lSzoveg_->setText(QString::fromStdString(text));
}

void TfrmDialogusView::ShowModal(instances::TfrmDialogus& dialog) {
  answering_ = &dialog;
  const bool nem = dialog.Default() == instances::DefaultButton::Nem;
  bIgen_->setDefault(!nem);
  bNem_->setDefault(nem);
  (nem ? bNem_ : bIgen_)->setFocus();
  exec();  // the close box and Esc leave the answer Confirm started with: "NEM"
  answering_ = nullptr;
}

}  // namespace moltaro::ui
