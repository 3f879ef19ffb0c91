#include "engine/record_field.h"

namespace moltaro::engine {

namespace {
constexpr std::string_view kSeparator = "$$";
}

std::string RecordField(std::string_view text, int n) {
  if (n < 1) return {};
  std::size_t start = 0;
  for (int field = 1;; ++field) {
    const std::size_t end = text.find(kSeparator, start);
    if (end == std::string_view::npos) return {};
    if (field == n) return std::string(text.substr(start, end - start));
    start = end + kSeparator.size();
  }
}

int RecordFieldCount(std::string_view text) {
  int count = 0;
  for (std::size_t at = text.find(kSeparator); at != std::string_view::npos;
       at = text.find(kSeparator, at + kSeparator.size())) {
    ++count;
  }
  return count;
}

}  // namespace moltaro::engine
