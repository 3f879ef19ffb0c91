#include "cli/valt_terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <ostream>

#include "common/text.h"

namespace moltaro::cli {

namespace {
constexpr const char* kClearLine = "\r\033[K";
}

TerminalValtDisplay::TerminalValtDisplay(std::ostream& out, bool enabled, std::size_t width)
    : out_(out), enabled_(enabled), width_(width < 2 ? 2 : width) {}

TerminalValtDisplay::~TerminalValtDisplay() {
  Finish();
}

void TerminalValtDisplay::ShowText(engine::ValtLabel label, const std::string& text) {
  switch (label) {
    case engine::ValtLabel::lVerzio:
      lVerzio_ = text;
      break;
    case engine::ValtLabel::lMit:
      lMit_ = text;
      break;
    case engine::ValtLabel::lObj:
      lObj_ = text;
      break;
  }
  Draw();
}

void TerminalValtDisplay::SetProgressRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  Draw();
}

void TerminalValtDisplay::SetProgressPosition(int position) {
  position_ = position;
  Draw();
}

std::string TerminalValtDisplay::Line() const {
  std::string line;
  auto add = [&line](const std::string& part) {
    if (part.empty()) return;
    if (!line.empty()) line += "  ";
    line += part;
  };
  add(instance_);
  if (maximum_ > minimum_) {
    const long long done =
        static_cast<long long>(position_ - minimum_) * 100 / (maximum_ - minimum_);
    add("[" + std::to_string(done) + "%]");
  }
  add(lVerzio_);
  add(lMit_);
  add(lObj_);
  // One character short of the width, so the cursor never wraps the line.
  return Utf8Left(line, width_ - 1);
}

void TerminalValtDisplay::Draw() {
  if (!enabled_) return;
  out_ << kClearLine << Line() << std::flush;
  drawn_ = true;
}

void TerminalValtDisplay::Finish() {
  if (!drawn_) return;
  out_ << kClearLine << std::flush;
  drawn_ = false;
}

bool StderrIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

std::size_t StderrWidth() {
  winsize size{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace moltaro::cli
