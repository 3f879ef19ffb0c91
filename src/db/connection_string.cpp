#include "db/connection_string.h"

#include "common/text.h"
#include "db/errors.h"

namespace moltaro::db {

bool KeyLess::operator()(const std::string& a, const std::string& b) const {
  return ToUpperAscii(a) < ToUpperAscii(b);
}

namespace {

// Reads one value starting at `i` (just after "="), leaving `i` on the ";"
// that ends it or at the end of the text.
std::string ReadValue(std::string_view text, std::size_t& i) {
  std::size_t start = i;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  if (start < text.size() && (text[start] == '"' || text[start] == '\'')) {
    const char quote = text[start];
    std::string value;
    std::size_t k = start + 1;
    for (;; ++k) {
      if (k >= text.size()) {
        throw Error("The connection string has an unterminated quoted value.");
      }
      if (text[k] == quote) {
        if (k + 1 < text.size() && text[k + 1] == quote) {
          value += quote;
          ++k;
          continue;
        }
        break;
      }
      value += text[k];
    }
    i = k + 1;
    while (i < text.size() && text[i] != ';') ++i;
    return value;
  }
  std::size_t end = text.find(';', start);
  if (end == std::string_view::npos) end = text.size();
  i = end;
  return Trim(text.substr(start, end - start));
}

}  // namespace

ConnectionString ConnectionString::Parse(std::string_view text) {
  ConnectionString out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t eq = text.find('=', i);
    const std::size_t semi = text.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      // A piece without "=": nothing to keep.
      if (semi == std::string_view::npos) break;
      i = semi + 1;
      continue;
    }
    std::string key = Trim(text.substr(i, eq - i));
    i = eq + 1;
    std::string value = ReadValue(text, i);
    if (!key.empty()) out.values_[key] = std::move(value);
    if (i < text.size()) ++i;  // the ";"
  }
  return out;
}

std::optional<std::string> ConnectionString::Get(const std::string& key) const {
  const auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::string ConnectionString::GetOr(const std::string& key, std::string fallback) const {
  const auto it = values_.find(key);
  return it == values_.end() ? std::move(fallback) : it->second;
}

std::string QuoteConnectionValue(std::string_view value, bool keepOuterBlanks) {
  const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  const bool needsQuotes =
      value.find(';') != std::string_view::npos ||
      (!value.empty() && (value.front() == '"' || value.front() == '\'')) ||
      (keepOuterBlanks && !value.empty() && (blank(value.front()) || blank(value.back())));
  if (!needsQuotes) return std::string(value);
  return "\"" + ReplaceAll(value, "\"", "\"\"") + "\"";
}

}  // namespace moltaro::db
