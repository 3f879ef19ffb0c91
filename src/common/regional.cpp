#include "common/regional.h"

#include <cstdio>
#include <ctime>

namespace moltaro {

LocalMoment LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  return LocalMoment{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                     parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

std::string NowText(const LocalMoment& m) {
  char buffer[64];
  if (m.hour == 0 && m.minute == 0 && m.second == 0) {
    std::snprintf(buffer, sizeof buffer, "%04d. %02d. %02d.", m.year, m.month, m.day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d. %02d. %02d. %d:%02d:%02d", m.year, m.month, m.day,
                  m.hour, m.minute, m.second);
  }
  return buffer;
}

std::string NowText() {
  return NowText(LocalNow());
}

}  // namespace moltaro
