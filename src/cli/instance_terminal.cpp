#include "cli/instance_terminal.h"

#include <ostream>

namespace moltaro::cli {

void TerminalOperator::ShowMessage(const std::string& text) {
  if (beforeOutput_) beforeOutput_();
  out_ << text << '\n';
}

void TerminalOperator::ShowError(const std::string& text) {
  ++errors_;
  if (beforeOutput_) beforeOutput_();
  err_ << text << '\n';
}

}  // namespace moltaro::cli
