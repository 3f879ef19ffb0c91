// The version switch frame: a lowered panel with the run's labels and bar.
// It shows only while there is a run to show: from its first text or range
// until everything is emptied again after the run.
#pragma once

#include <QFrame>

#include "engine/valt_display.h"

class QLabel;
class QProgressBar;

namespace moltaro::ui {

class TfraValtView : public QFrame, public engine::ValtDisplay {
 public:
  explicit TfraValtView(QWidget* parent = nullptr);

  // engine::ValtDisplay: every change is painted at once, since a run keeps
  // the event loop from painting anything later.
  void ApplyLayout(const engine::ValtLayout& layout) override;
  void SetVersionHint(const std::string& hint) override;
  void ShowText(engine::ValtLabel label, const std::string& text) override;
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressPosition(int position) override;

  QLabel* lVer() const { return lVer_; }
  QLabel* lVerzio() const { return lVerzio_; }
  QLabel* lMit() const { return lMit_; }
  QLabel* lObj() const { return lObj_; }
  QProgressBar* pbFolyam() const { return pbFolyam_; }

 private:
  QLabel* LabelOf(engine::ValtLabel label) const;
  bool Idle() const;
  // Shows or hides the frame as it has something to show, painting at once.
  void FollowContent();

  QFrame* pAlap_;
  QLabel* lVer_;
  QLabel* lVerzio_;
  QLabel* lMit_;
  QLabel* lObj_;
  QProgressBar* pbFolyam_;
  bool hasRange_ = false;
};

}  // namespace moltaro::ui
