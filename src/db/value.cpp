#include "db/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/text.h"
#include "db/errors.h"

namespace moltaro::db {

namespace {
std::string DoubleText(double d) {
  if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15) {
    return std::to_string(static_cast<long long>(d));
  }
  char buffer[40];
  for (int precision = 15; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, d);
    if (std::strtod(buffer, nullptr) == d) break;
  }
  return buffer;
}
}  // namespace

std::string ToText(const Value& v) {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(std::int64_t i) const { return std::to_string(i); }
    std::string operator()(double d) const { return DoubleText(d); }
    std::string operator()(const std::string& s) const { return s; }
  };
  return std::visit(Visitor{}, v);
}

std::int64_t ToInteger(const Value& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) return *i;
  if (const auto* d = std::get_if<double>(&v)) return static_cast<std::int64_t>(*d);
  if (const auto* s = std::get_if<std::string>(&v)) {
    const std::string t = Trim(*s);
    std::int64_t out = 0;
    const char* begin = t.data();
    if (!t.empty() && t[0] == '+') ++begin;
    const auto [end, ec] = std::from_chars(begin, t.data() + t.size(), out);
    const char* last = t.data() + t.size();
    if (ec == std::errc() && end != last && *end == '.' && end + 1 != last) {
      // An exact number's text ("523.06"): its whole part, as a float's.
      const char* digit = end + 1;
      while (digit != last && *digit >= '0' && *digit <= '9') ++digit;
      if (digit == last) return out;
    }
    if (ec != std::errc() || end != t.data() + t.size() || t.empty()) {
      throw Error("The value '" + *s + "' is not a whole number.");
    }
    return out;
  }
  return 0;
}

}  // namespace moltaro::db
