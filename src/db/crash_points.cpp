#include "db/crash_points.h"

#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>

namespace moltaro::db {

namespace {

struct CrashPlan {
  long long killAt = 0;  // 0: never
  std::string tracePath;
  bool Active() const { return killAt > 0 || !tracePath.empty(); }
};

CrashPlan ReadPlan() {
  CrashPlan plan;
  if (const char* killAt = std::getenv("MOLTARO_TEST_KILL_AT")) plan.killAt = std::atoll(killAt);
  if (const char* trace = std::getenv("MOLTARO_TEST_STATEMENT_TRACE")) plan.tracePath = trace;
  return plan;
}

}  // namespace

void PassCrashPoint(std::string_view statement) {
  // The plan is fixed for the life of the process and the counter is only
  // ever advanced, so both are safe to share between threads.
  static const CrashPlan plan = ReadPlan();
  if (!plan.Active()) return;
  static std::atomic<long long> sent{0};
  const long long number = ++sent;
  if (!plan.tracePath.empty()) {
    std::ofstream trace(plan.tracePath, std::ios::app);
    trace << number << '\t' << statement.substr(0, statement.find_first_of("\r\n")) << '\n';
  }
  if (number == plan.killAt) ::raise(SIGKILL);
}

}  // namespace moltaro::db
