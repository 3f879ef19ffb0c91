#include "cli/terminal.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "common/text.h"

namespace moltaro::cli {

namespace {
// Turns terminal echo off for its lifetime.
class EchoOff {
 public:
  EchoOff() {
    if (tcgetattr(STDIN_FILENO, &saved_) == 0) {
      termios quiet = saved_;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
  }
  ~EchoOff() {
    if (active_) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};
}  // namespace

bool StdinIsTerminal() {
  return isatty(STDIN_FILENO) != 0;
}

bool ReadLine(const std::string& prompt, bool hidden, std::string& line) {
  std::cerr << prompt << std::flush;
  bool ok = false;
  if (hidden && StdinIsTerminal()) {
    EchoOff quiet;
    ok = static_cast<bool>(std::getline(std::cin, line));
    std::cerr << '\n';
  } else {
    ok = static_cast<bool>(std::getline(std::cin, line));
  }
  if (ok && !line.empty() && line.back() == '\r') line.pop_back();
  return ok;
}

bool AskYesNo(const std::string& question) {
  if (!StdinIsTerminal()) return false;
  std::string answer;
  if (!ReadLine(question + " (igen/nem) ", false, answer)) return false;
  const std::string a = ToLowerAscii(Trim(answer));
  return !a.empty() && (a[0] == 'i' || a[0] == 'y');
}

}  // namespace moltaro::cli
