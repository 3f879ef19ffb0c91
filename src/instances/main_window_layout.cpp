#include "instances/main_window_layout.h"

namespace moltaro::instances {

Rect PlaceValtFrame(int clientWidth, int clientHeight, FrameSize frame, const Rect& bValt) {
  const int below = bValt.top + bValt.height;
  Rect placed;
  placed.width = frame.width;
  placed.height = frame.height;
  placed.left = (clientWidth - frame.width) / 2;
  placed.top = (clientHeight - (frame.height + below)) / 2 + below;
  return placed;
}

}  // namespace moltaro::instances
