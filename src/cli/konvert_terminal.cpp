#include "cli/konvert_terminal.h"

#include <ostream>

#include "cli/terminal.h"
#include "common/text.h"

namespace moltaro::cli {

namespace {
constexpr const char* kClearLine = "\r\033[K";
constexpr std::chrono::milliseconds kRedrawInterval{100};
}  // namespace

TerminalKonvertView::TerminalKonvertView(std::ostream& err, bool enabled, std::size_t width)
    : err_(err), enabled_(enabled), width_(width < 2 ? 2 : width) {}

TerminalKonvertView::~TerminalKonvertView() {
  Finish();
}

void TerminalKonvertView::ShowLabel(const std::string& text) {
  label_ = text;
  Draw(true);
}

void TerminalKonvertView::SetBarRange(convert::KonvertBar bar, int, int maximum) {
  (bar == convert::KonvertBar::ProgressBar1 ? steps_ : records_).maximum = maximum;
  Draw(false);
}

void TerminalKonvertView::SetBarPosition(convert::KonvertBar bar, int position) {
  (bar == convert::KonvertBar::ProgressBar1 ? steps_ : records_).position = position;
  Draw(bar == convert::KonvertBar::ProgressBar1);
}

void TerminalKonvertView::ShowError(const std::string& text) {
  Finish();
  err_ << text << '\n';
}

std::string TerminalKonvertView::Line() const {
  if (label_.empty()) return {};
  std::string line;
  if (steps_.maximum > 0) {
    line += "[" + std::to_string(steps_.position) + "/" + std::to_string(steps_.maximum) + "] ";
  }
  line += label_;
  if (records_.maximum > 0) {
    line +=
        "  " + std::to_string(records_.position + 1) + "/" + std::to_string(records_.maximum + 1);
  }
  // One character short of the width, so the cursor never wraps the line.
  return Utf8Left(line, width_ - 1);
}

void TerminalKonvertView::Draw(bool force) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  err_ << kClearLine << Line() << std::flush;
  drawn_ = true;
}

void TerminalKonvertView::Finish() {
  if (!drawn_) return;
  err_ << kClearLine << std::flush;
  drawn_ = false;
}

void TerminalKonvertMessages::ShowMessage(const std::string& text) {
  view_.Finish();
  if (text == convert::kRunSucceeded || text == convert::kDeleteDone) {
    out_ << text << '\n' << std::flush;
    return;
  }
  err_ << ReplaceAll(ReplaceAll(text, "\r\n", " "), "\n", " ") << '\n';
}

std::string TerminalKonvertQuestions::Confirm(const std::string& question,
                                              convert::QuestionKind /*kind*/) {
  return yes_ || AskYesNo(question) ? "IGEN" : "NEM";
}

}  // namespace moltaro::cli
