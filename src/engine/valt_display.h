// What the version switch frame shows while it runs, and the narrow interface
// through which a Qt frame, the command line or a test displays it.
#pragma once

#include <string>

namespace moltaro::engine {

// A control's place inside the frame, in pixels.
struct ControlRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// The frame's controls at design time. `FitToPanel` moves the panel to the
// frame's corner and gives the frame the panel's size; a view places its
// widgets from this.
struct ValtLayout {
  ControlRect frame{0, 0, 280, 75};
  ControlRect pAlap{0, 0, 280, 73};     // panel, lowered inner bevel, holds the rest
  ControlRect lVer{8, 8, 29, 13};       // caption "Verzió"; its hint names the databases
  ControlRect lVerzio{64, 8, 209, 13};  // version being installed, or "Törlés"
  ControlRect lMit{8, 26, 49, 13};      // current phase or object kind
  ControlRect lObj{64, 26, 209, 13};    // current object name
  ControlRect pbFolyam{8, 49, 265, 16};
};

// Caption of `lVer`; it never changes.
inline constexpr const char* kVerCaption = "Verzió";

// The labels whose text changes during a run.
enum class ValtLabel { lVerzio, lMit, lObj };

// Implemented by whatever shows the frame. Every call must take effect on the
// screen at once: a run keeps the user-interface thread busy, so nothing gets
// painted later.
class ValtDisplay {
 public:
  virtual ~ValtDisplay() = default;

  // The frame's geometry changed (FitToPanel).
  virtual void ApplyLayout(const ValtLayout& layout) = 0;

  // The hint (tooltip) of `lVer`: source database, " -> ", target database.
  virtual void SetVersionHint(const std::string& hint) = 0;

  // Sets a label's text and repaints it.
  virtual void ShowText(ValtLabel label, const std::string& text) = 0;

  // `pbFolyam`: its range, and its position within that range.
  virtual void SetProgressRange(int minimum, int maximum) = 0;
  virtual void SetProgressPosition(int position) = 0;
};

}  // namespace moltaro::engine
