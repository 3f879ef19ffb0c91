// How the run log shows how long a phase or a run took.
#pragma once

#include <chrono>
#include <string>

namespace moltaro::engine {

// "mm:ss" of the duration, whole seconds; hours are dropped, so a run of
// 1:02:03 reads "02:03".
std::string ElapsedText(std::chrono::steady_clock::duration duration);

}  // namespace moltaro::engine
