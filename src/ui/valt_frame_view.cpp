#include "ui/valt_frame_view.h"

#include <QLabel>

#include <QProgressBar>
#include "ui/place.h"

namespace moltaro::ui {

namespace {
constexpr int kLabelFontPixels = 11;
}  // namespace

TfraValtView::TfraValtView(QWidget* parent) : QFrame(parent) {
  // The labels have fixed design sizes 13 pixels high; the workstation font
  // they were drawn for is 11 pixels high, so the texts of a run fit them.
  QFont small = font();
  small.setPixelSize(kLabelFontPixels);
  setFont(small);
  pAlap_ = new QFrame(this);
  pAlap_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  lVer_ = new QLabel(QString::fromUtf8(engine::kVerCaption), pAlap_);
  lVerzio_ = new QLabel(pAlap_);
  lMit_ = new QLabel(pAlap_);
  lObj_ = new QLabel(pAlap_);
  pbFolyam_ = new QProgressBar(pAlap_);
  pbFolyam_->setTextVisible(false);
  SetProgressRange(0, 0);
  ApplyLayout(engine::ValtLayout{});
  hide();  // idle until a run shows something
}

void TfraValtView::ApplyLayout(const engine::ValtLayout& layout) {
  Place(pAlap_, layout.pAlap);
  Place(lVer_, layout.lVer);
  lVer_->adjustSize();  // the only label that sizes itself to its caption
  Place(lVerzio_, layout.lVerzio);
  Place(lMit_, layout.lMit);
  Place(lObj_, layout.lObj);
  Place(pbFolyam_, layout.pbFolyam);
  setFixedSize(layout.frame.width, layout.frame.height);
}

void TfraValtView::SetVersionHint(const std::string& hint) {
  lVer_->setToolTip(QString::fromStdString(hint));
}

QLabel* TfraValtView::LabelOf(engine::ValtLabel label) const {
  switch (label) {
    case engine::ValtLabel::lVerzio:
      return lVerzio_;
    case engine::ValtLabel::lMit:
      return lMit_;
    case engine::ValtLabel::lObj:
      return lObj_;
  }
  return lObj_;
}

void TfraValtView::ShowText(engine::ValtLabel label, const std::string& text) {
  QLabel* target = LabelOf(label);
  target->setText(QString::fromStdString(text));
  target->repaint();
  FollowContent();
}

void TfraValtView::SetProgressRange(int minimum, int maximum) {
  // An empty range would turn Qt's bar into a busy indicator; it means there
  // is no step to count.
  hasRange_ = maximum > minimum;
  if (!hasRange_) {
    pbFolyam_->setRange(0, 1);
    pbFolyam_->setValue(0);
  } else {
    pbFolyam_->setRange(minimum, maximum);
  }
  pbFolyam_->repaint();
  FollowContent();
}

void TfraValtView::SetProgressPosition(int position) {
  pbFolyam_->setValue(position);
  pbFolyam_->repaint();
}

bool TfraValtView::Idle() const {
  return !hasRange_ && lVerzio_->text().isEmpty() && lMit_->text().isEmpty() &&
         lObj_->text().isEmpty();
}

void TfraValtView::FollowContent() {
  const bool show = !Idle();
  if (show == !isHidden()) return;
  setVisible(show);
  // A run keeps the event loop from painting, so the change is painted here:
  // the whole frame as it appears, the window beneath it as it goes.
  if (show) {
    repaint();
  } else if (parentWidget() != nullptr) {
    parentWidget()->repaint(geometry());
  }
}

}  // namespace moltaro::ui
