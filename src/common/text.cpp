#include "common/text.h"

#include <algorithm>

namespace moltaro {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (;;) {
    const std::size_t hit = text.find(from, start);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(start, hit - start));
    out.append(to);
    start = hit + from.size();
  }
  out.append(text.substr(start));
  return out;
}

std::size_t TextPos(std::string_view needle, std::string_view haystack) {
  if (needle.empty()) return 0;
  const std::size_t hit = haystack.find(needle);
  if (hit == std::string_view::npos) return 0;
  return Utf8Length(haystack.substr(0, hit)) + 1;
}

namespace {
bool IsTrimmed(char c) {
  return static_cast<unsigned char>(c) <= 32;
}
}  // namespace

std::string TrimLeft(std::string_view text) {
  std::size_t b = 0;
  while (b < text.size() && IsTrimmed(text[b])) ++b;
  return std::string(text.substr(b));
}

std::string TrimRight(std::string_view text) {
  std::size_t e = text.size();
  while (e > 0 && IsTrimmed(text[e - 1])) --e;
  return std::string(text.substr(0, e));
}

std::string Trim(std::string_view text) {
  return TrimLeft(TrimRight(text));
}

std::string SettingsField(std::string_view text, int n, std::string_view separator) {
  const std::string sep = Trim(separator);
  if (n < 1) return {};
  std::string whole(text);
  for (int i = 0; i < n; ++i) whole += sep;
  if (sep.empty()) return n == 1 ? std::string(text) : std::string();
  std::size_t start = 0;
  for (int field = 1;; ++field) {
    const std::size_t hit = whole.find(sep, start);
    if (hit == std::string::npos) return field == n ? whole.substr(start) : std::string();
    if (field == n) return whole.substr(start, hit - start);
    start = hit + sep.size();
  }
}

std::string UserIdText() {
  return "0";
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
  return out;
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  return out;
}

bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

namespace {
// Length of the UTF-8 sequence starting with `lead`, 1 for stray bytes.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}
}  // namespace

std::size_t Utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++count) {
    i += SequenceLength(static_cast<unsigned char>(text[i]));
  }
  return count;
}

std::string Utf8Left(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t n = 0; n < count && i < text.size(); ++n) {
    i += SequenceLength(static_cast<unsigned char>(text[i]));
  }
  return std::string(text.substr(0, std::min(i, text.size())));
}

}  // namespace moltaro
