// The conversion window on a terminal: one line, rewritten in place, shows
// the step, the file and the record; messages and errors are printed, and the
// questions are answered by --yes or by the operator.
#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

#include "convert/convert_context.h"
#include "convert/konvert_view.h"

namespace moltaro::cli {

class TerminalKonvertView : public convert::KonvertView {
 public:
  // Draws only when `enabled` (the stream is a terminal); `width` is the
  // terminal's, in characters.
  TerminalKonvertView(std::ostream& err, bool enabled, std::size_t width = 80);
  ~TerminalKonvertView() override;
  TerminalKonvertView(const TerminalKonvertView&) = delete;
  TerminalKonvertView& operator=(const TerminalKonvertView&) = delete;

  void SetFileMask(const std::string&) override {}
  void ShowLabel(const std::string& text) override;
  void SetBarRange(convert::KonvertBar bar, int minimum, int maximum) override;
  void SetBarPosition(convert::KonvertBar bar, int position) override;
  void SetButton2Caption(const std::string&) override {}
  void FocusButton1() override {}
  void Repaint() override {}
  void CloseWindow() override {}
  void ShowError(const std::string& text) override;

  // Clears the line, so what follows starts on an empty one.
  void Finish();

  // The line as it would be drawn now: "[step/steps] label  record/records".
  std::string Line() const;

 private:
  struct Bar {
    int maximum = 0;
    int position = 0;
  };
  // `force`: the label changed, which is always shown; record positions are
  // drawn at most ten times a second.
  void Draw(bool force);

  std::ostream& err_;
  bool enabled_;
  std::size_t width_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
  std::string label_;
  Bar steps_;
  Bar records_;
};

// The importers' messages on the error stream, one line each; "Rendben
// lefutott !" and "Kész !", the command's result, on the output.
class TerminalKonvertMessages : public convert::MessageSink {
 public:
  TerminalKonvertMessages(std::ostream& out, std::ostream& err, TerminalKonvertView& view)
      : out_(out), err_(err), view_(view) {}
  void ShowMessage(const std::string& text) override;

 private:
  std::ostream& out_;
  std::ostream& err_;
  TerminalKonvertView& view_;
};

// "IGEN" when --yes was given or the operator answered yes on the terminal.
class TerminalKonvertQuestions : public convert::KonvertQuestions {
 public:
  explicit TerminalKonvertQuestions(bool yes) : yes_(yes) {}
  std::string Confirm(const std::string& question, convert::QuestionKind kind) override;

 private:
  bool yes_;
};

}  // namespace moltaro::cli
