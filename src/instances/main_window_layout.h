// The main window's geometry and where the version switch frame goes in it.
#pragma once

#include "engine/valt_display.h"

namespace moltaro::instances {

// A control's place in pixels: the same measure the frame uses for its own controls.
using Rect = engine::ControlRect;

// The main window at design time: 436 × 290 outside, the list on top, the
// buttons in one row below it, the version switch frame below the buttons.
struct MainWindowLayout {
  int windowWidth = 436;
  int windowHeight = 290;
  int clientWidth = 420;
  int clientHeight = 256;
  Rect gPeldanyok{8, 8, 404, 145};
  Rect bValt{8, 160, 75, 25};
  Rect Button1{91, 160, 75, 25};
  Rect bKilep{337, 160, 75, 25};
  // Columns of the list: "Cég megnevezése", "Adatbázis neve"; "Verzió" takes the rest.
  int nevColumnWidth = 145;
  int dbnameColumnWidth = 136;
};

// The version switch frame's size once fitted to its inner panel.
struct FrameSize {
  int width = 0;
  int height = 0;
};

// Centres the frame across the client area and, vertically, in the space
// below the "Vált" button. Integer divisions truncate toward zero, so a
// frame taller than that space moves up by half the overlap, rounded toward
// the button.
Rect PlaceValtFrame(int clientWidth, int clientHeight, FrameSize frame, const Rect& bValt);

}  // namespace moltaro::instances
