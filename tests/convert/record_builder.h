// Fixed-width legacy records built by placing texts at 1-based positions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/codepage.h"
#include "convert/legacy_file.h"

namespace moltaro::convert::testing {

class RecordBuilder {
 public:
  explicit RecordBuilder(std::size_t length = 0) : bytes_(length, ' ') {}

  // Writes `utf8` (one Windows-1250 byte per character) from `pos` on,
  // lengthening the record with blanks when it is too short.
  RecordBuilder& Put(std::size_t pos, std::string_view utf8) {
    const std::string text = Utf8ToCp1250(utf8);
    if (bytes_.size() < pos - 1 + text.size()) bytes_.resize(pos - 1 + text.size(), ' ');
    bytes_.replace(pos - 1, text.size(), text);
    return *this;
  }

  LegacyRecord Build(std::size_t line = 1) const { return LegacyRecord(bytes_, line); }

 private:
  std::string bytes_;
};

// `text` right-aligned in `width` characters (its last `width` when longer).
inline std::string RightAligned(const std::string& text, std::size_t width) {
  if (text.size() >= width) return text.substr(text.size() - width);
  return std::string(width - text.size(), ' ') + text;
}

}  // namespace moltaro::convert::testing
