// A value sent to or read from a server: NULL, integer, floating point or text.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace moltaro::db {

using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

// Parameters of a statement, bound by the order in which their `:name`
// markers appear in its text.
using Params = std::vector<Value>;

inline Value Null() {
  return std::monostate{};
}
inline bool IsNull(const Value& v) {
  return std::holds_alternative<std::monostate>(v);
}

// Text form: NULL is empty, integers in decimal, floating point in the
// shortest form that reads back the same, with a decimal point.
std::string ToText(const Value& v);

// Integer form: NULL is 0, floating point truncated toward zero, text parsed
// as a decimal number after trimming, its fraction dropped (exact numbers
// arrive as text such as "523.06"). Throws db::Error when the text is not a
// number.
std::int64_t ToInteger(const Value& v);

}  // namespace moltaro::db
