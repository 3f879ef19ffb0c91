// The conversion window's geometry at design time: 800 × 670 outside, the
// directory, the file list and "Vissza" in the left column, the page
// "Konvertálás" with the run's label, bars and buttons on the right.
#pragma once

#include "convert/konvert_view.h"
#include "engine/valt_display.h"

namespace moltaro::ui {

struct KonvertLayout {
  int windowWidth = convert::kKonvertWidth;
  int windowHeight = convert::kKonvertHeight;
  // Inside the borders and the caption bar, measured as the main window's.
  int clientWidth = convert::kKonvertWidth - 16;
  int clientHeight = convert::kKonvertHeight - 34;

  // The window's own controls.
  engine::ControlRect dEdit{8, 8, 161, 21};
  engine::ControlRect dEditButton{171, 8, 22, 21};
  engine::ControlRect FileListBox1{8, 37, 185, 558};
  engine::ControlRect btnVissza{8, 603, 185, 25};
  engine::ControlRect PageControl1{201, 8, 575, 620};

  // Inside the page "Konvertálás".
  engine::ControlRect Label1{8, 8, 551, 40};
  engine::ControlRect ProgressBar1{239, 64, 33, 440};
  engine::ControlRect ProgressBar2{280, 64, 33, 440};
  engine::ControlRect Button1{226, 520, 100, 30};
  engine::ControlRect Button2{337, 474, 100, 30};
  int labelFontPixels = 19;
};

}  // namespace moltaro::ui
