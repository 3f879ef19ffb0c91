#include "db/embedded/execution/raiserror_message.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// RAISERROR's message with its substitutions: %[flags][width][.precision]
// [h|l|I64]type, width and precision possibly "*" (taken from the
// arguments). Arguments are consumed in order; none left prints "(null)".
class RaiserrorFormat {
 public:
  explicit RaiserrorFormat(const std::vector<StoredValue>& arguments) : arguments_(arguments) {}

  std::string Apply(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '%') {
        out += text[i];
        continue;
      }
      if (i + 1 < text.size() && text[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      const std::size_t used = Substitute(text, i, out);
      if (used == 0) {
        out += '%';
      } else {
        i += used - 1;
      }
    }
    return out;
  }

 private:
  // The length of the placeholder at text[at] ('%') after appending its
  // substitution; 0 when it is none.
  std::size_t Substitute(std::string_view text, std::size_t at, std::string& out) {
    std::size_t j = at + 1;
    std::string flags;
    while (j < text.size() && std::string_view("-+0 #").find(text[j]) != std::string_view::npos) {
      flags += text[j++];
    }
    std::string width = Count(text, j);
    std::string precision;
    if (j < text.size() && text[j] == '.') {
      ++j;
      precision = Count(text, j);
      if (precision.empty()) precision = "0";
    }
    bool wide = false;
    if (text.compare(j, 3, "I64") == 0) {
      wide = true;
      j += 3;
    } else if (j < text.size() && (text[j] == 'h' || text[j] == 'l')) {
      ++j;
    }
    if (j >= text.size() || std::string_view("disuoxX").find(text[j]) == std::string_view::npos) {
      return 0;
    }
    const char type = text[j];
    if (width == "*") width = std::to_string(IntegerArgument());
    if (precision == "*") precision = std::to_string(IntegerArgument());
    const std::string spec = "%" + flags + width + (precision.empty() ? "" : "." + precision);
    const std::size_t index = next_ + 1;
    const StoredValue* value = next_ < arguments_.size() ? &arguments_[next_] : nullptr;
    ++next_;
    if (value == nullptr || std::holds_alternative<std::monostate>(*value)) {
      out += Printed(spec + "s", "(null)");
    } else if (type == 's') {
      const auto* s = std::get_if<std::string>(value);
      if (!s) throw ServerErrorByNumber(2786, {std::to_string(index)});
      out += Printed(spec + "s", s->c_str());
    } else {
      const auto* n = std::get_if<std::int64_t>(value);
      if (!n) throw ServerErrorByNumber(2786, {std::to_string(index)});
      if (type == 'd' || type == 'i') {
        out += Printed(spec + "lld", static_cast<long long>(*n));
      } else {
        // Unsigned conversions see the argument's 32 bits (64 with I64).
        const unsigned long long bits =
            wide ? static_cast<unsigned long long>(*n)
                 : static_cast<unsigned long long>(static_cast<std::uint32_t>(*n));
        out += Printed(spec + "ll" + type, bits);
      }
    }
    return j + 1 - at;
  }

  static std::string Count(std::string_view text, std::size_t& j) {
    if (j < text.size() && text[j] == '*') {
      ++j;
      return "*";
    }
    std::string digits;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') digits += text[j++];
    return digits.substr(0, 4);
  }

  long long IntegerArgument() {
    const std::size_t index = next_ + 1;
    if (next_ >= arguments_.size()) return 0;
    const auto* n = std::get_if<std::int64_t>(&arguments_[next_++]);
    if (!n) throw ServerErrorByNumber(2786, {std::to_string(index)});
    return std::clamp<long long>(*n, 0, kMaxRaiserrorMessage);
  }

  // `format` is one conversion built above from checked flags and digits.
  template <typename T>
  static std::string Printed(const std::string& format, T value) {
    const int size = std::snprintf(nullptr, 0, format.c_str(), value);
    if (size <= 0) return "";
    std::string out(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(out.data(), out.size(), format.c_str(), value);
    out.resize(static_cast<std::size_t>(size));
    return out;
  }

  const std::vector<StoredValue>& arguments_;
  std::size_t next_ = 0;
};

}  // namespace

std::string FormatRaiserrorMessage(const std::vector<StoredValue>& arguments,
                                   std::string_view text) {
  return RaiserrorFormat(arguments).Apply(text);
}

}  // namespace moltaro::db::embedded
