#include "db/embedded/execution/cursors.h"

#include <algorithm>

namespace moltaro::db::embedded {

long long FetchTarget(const std::string& direction, long long offset, long long position,
                      long long count) {
  long long target = position + 1;
  if (direction == "PRIOR") target = position - 1;
  if (direction == "FIRST") target = 0;
  if (direction == "LAST") target = count - 1;
  if (direction == "ABSOLUTE") target = offset > 0 ? offset - 1 : offset < 0 ? count + offset : -1;
  if (direction == "RELATIVE") target = position + offset;
  // A fetch past either end leaves the cursor just outside it.
  return std::clamp(target, -1LL, count);
}

}  // namespace moltaro::db::embedded
