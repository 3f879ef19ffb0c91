#include "engine/elapsed_text.h"

#include <cstdio>

namespace moltaro::engine {

std::string ElapsedText(std::chrono::steady_clock::duration duration) {
  long long seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
  if (seconds < 0) seconds = 0;
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d", static_cast<int>((seconds / 60) % 60),
                static_cast<int>(seconds % 60));
  return buffer;
}

}  // namespace moltaro::engine
