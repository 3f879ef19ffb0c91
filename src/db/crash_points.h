// Crash points for the crash tests: with MOLTARO_TEST_KILL_AT=N in its
// environment, a process kills itself (SIGKILL, as kill -9 would) just
// before it sends its N-th statement, so a test can stop a run at any step
// it names, repeatably. MOLTARO_TEST_STATEMENT_TRACE=FILE appends one line
// per statement sent ("N<TAB>first line"), which is how a test finds the
// numbers of the steps it wants to interrupt.
//
// Both are read once per process; without them this costs one test of a
// flag per statement.
#pragma once

#include <string_view>

namespace moltaro::db {

// Called by every connection before it sends a statement or a call.
void PassCrashPoint(std::string_view statement);

}  // namespace moltaro::db
