// How the instance windows talk to the operator outside their own controls:
// plain message boxes and the standard error message box. The desktop program
// shows boxes, the command line prints, tests record.
#pragma once

#include <string>

namespace moltaro::instances {

class Operator {
 public:
  virtual ~Operator() = default;

  // An expected condition, told in a plain message box (OK only).
  virtual void ShowMessage(const std::string& text) = 0;

  // The standard error message box: a server or platform error that stopped
  // the current command.
  virtual void ShowError(const std::string& text) = 0;
};

}  // namespace moltaro::instances
