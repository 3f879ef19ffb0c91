// Reading catalogue and system table values whatever form the server hands
// them in (numeric columns may arrive as integers, floating point or text).
#pragma once

#include <cstdint>
#include <string_view>

#include "db/result_set.h"
#include "db/value.h"

namespace moltaro::engine {

// NULL is 0; floating point and decimal text ("20.0") are truncated toward
// zero. Text that is not a number throws db::Error.
std::int64_t WholeNumber(const db::Value& value);

inline std::int64_t WholeNumber(const db::ResultSet& row, std::string_view column) {
  return WholeNumber(row.Field(column));
}

}  // namespace moltaro::engine
