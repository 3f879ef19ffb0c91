// The version switch frame on a terminal: the version, phase, object and
// progress on one line that is rewritten in place while a run goes on.
#pragma once

#include <iosfwd>
#include <string>
#include <utility>

#include "engine/valt_display.h"

namespace moltaro::cli {

class TerminalValtDisplay : public engine::ValtDisplay {
 public:
  // Draws only when `enabled` (the stream is a terminal); `width` is the
  // terminal's, in characters.
  TerminalValtDisplay(std::ostream& out, bool enabled, std::size_t width = 80);
  ~TerminalValtDisplay() override;
  TerminalValtDisplay(const TerminalValtDisplay&) = delete;
  TerminalValtDisplay& operator=(const TerminalValtDisplay&) = delete;

  void ApplyLayout(const engine::ValtLayout&) override {}
  void SetVersionHint(const std::string&) override {}
  void ShowText(engine::ValtLabel label, const std::string& text) override;
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgressPosition(int position) override;

  // Clears the line, so what follows starts on an empty one.
  void Finish();

  // Names the instance at the line's start, for runs over a whole site.
  void SetInstance(std::string instance) { instance_ = std::move(instance); }

  // The line as it would be drawn now.
  std::string Line() const;

 private:
  void Draw();

  std::ostream& out_;
  bool enabled_;
  std::size_t width_;
  bool drawn_ = false;
  std::string instance_;
  std::string lVerzio_;
  std::string lMit_;
  std::string lObj_;
  int minimum_ = 0;
  int maximum_ = 0;
  int position_ = 0;
};

// Whether standard error is a terminal, and its width (80 when unknown).
bool StderrIsTerminal();
std::size_t StderrWidth();

}  // namespace moltaro::cli
