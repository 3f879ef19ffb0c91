#include "cli/instance_terminal.h"

#include <ostream>

namespace moltaro::cli {

void TerminalOperator::ShowMessage(const std::string& text) {
  out_ << text << '\n';
}

void TerminalOperator::ShowError(const std::string& text) {
  ++errors_;
  err_ << text << '\n';
}

}  // namespace moltaro::cli
