// The workstation's regional formats: Hungarian short date "yyyy. MM. dd.",
// long time "H:mm:ss", decimal comma.
#pragma once

#include <chrono>
#include <string>

namespace moltaro {

// A broken-down local moment.
struct LocalMoment {
  int year = 1900, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
};

LocalMoment LocalNow();

// Short date, one blank and long time; the time is left out at exactly midnight.
std::string NowText(const LocalMoment& moment);
std::string NowText();

}  // namespace moltaro
