// RAISERROR's message: its text with the arguments substituted as printf
// does, in SQL Server's subset of it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

// RAISERROR's longest message; a longer one ends in "...".
inline constexpr std::size_t kMaxRaiserrorMessage = 2047;

// `text` with each %[flags][width][.precision][h|l|I64]type (d i s u o x X;
// width and precision may be "*", taken from the arguments) replaced by the
// next argument, "%%" by "%". A missing or NULL argument prints "(null)";
// an argument of the wrong type is error 2786.
std::string FormatRaiserrorMessage(const std::vector<StoredValue>& arguments,
                                   std::string_view text);

}  // namespace moltaro::db::embedded
