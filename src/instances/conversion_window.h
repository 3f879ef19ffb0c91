// The conversion window as the main window sees it. The conversion layer is
// not below this one, so the front end that creates the window hands it to
// the main window through this interface.
#pragma once

#include <string>

namespace moltaro::instances {

class ConversionWindow {
 public:
  virtual ~ConversionWindow() = default;

  // Points the window's work at the instance database `database` (as the
  // list holds its name) and shows the window. A connection that cannot be
  // opened propagates, and the window is not shown.
  virtual void OpenOn(const std::string& database) = 0;
};

}  // namespace moltaro::instances
