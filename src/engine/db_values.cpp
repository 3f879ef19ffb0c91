#include "engine/db_values.h"

#include <charconv>
#include <cmath>
#include <string>

#include "common/text.h"
#include "db/errors.h"

namespace moltaro::engine {

std::int64_t WholeNumber(const db::Value& value) {
  const auto* text = std::get_if<std::string>(&value);
  if (text == nullptr) return db::ToInteger(value);
  const std::string trimmed = Trim(*text);
  // from_chars ignores the locale, which a window toolkit may have set.
  const char* begin = trimmed.data();
  if (!trimmed.empty() && trimmed[0] == '+') ++begin;
  double number = 0;
  const auto [end, error] = std::from_chars(begin, trimmed.data() + trimmed.size(), number);
  if (trimmed.empty() || error != std::errc() || end != trimmed.data() + trimmed.size() ||
      !std::isfinite(number)) {
    throw db::Error("The value '" + *text + "' is not a number.");
  }
  return static_cast<std::int64_t>(number);
}

}  // namespace moltaro::engine
