#include "db/odbc/odbc_keys.h"

#include <algorithm>

#include "common/text.h"
#include "db/errors.h"

namespace moltaro::db::odbc {

namespace {

bool NeedsBraces(std::string_view value) {
  if (value.empty()) return false;
  if (value.find_first_of(";{}") != std::string_view::npos) return true;
  return value.front() == ' ' || value.back() == ' ';
}

// Reads one value starting at `i`, leaving `i` after the ";" that ends it.
std::string ReadRawValue(std::string_view text, std::size_t& i, std::string_view pairs) {
  const std::size_t start = i;
  if (i < text.size() && text[i] == '{') {
    for (++i;; ++i) {
      if (i >= text.size()) {
        throw Error("The ODBC keys \"" + std::string(pairs) + "\" have an unclosed \"{\".");
      }
      if (text[i] == '}') {
        if (i + 1 < text.size() && text[i + 1] == '}') {
          ++i;
          continue;
        }
        break;
      }
    }
    ++i;
  }
  const std::size_t end = std::min(text.find(';', i), text.size());
  std::string raw(Trim(text.substr(start, end - start)));
  i = end < text.size() ? end + 1 : end;
  return raw;
}

}  // namespace

std::string QuoteOdbcValue(std::string_view value) {
  if (!NeedsBraces(value)) return std::string(value);
  return "{" + ReplaceAll(value, "}", "}}") + "}";
}

void OdbcKeyList::Set(std::string_view key, std::string_view value) {
  SetRaw(key, QuoteOdbcValue(value));
}

void OdbcKeyList::SetRaw(std::string_view key, std::string_view rawValue) {
  const auto it = std::find_if(pairs_.begin(), pairs_.end(), [&](const auto& pair) {
    return EqualsIgnoreCaseAscii(pair.first, key);
  });
  if (it != pairs_.end()) {
    it->second = rawValue;
  } else {
    pairs_.emplace_back(key, rawValue);
  }
}

void OdbcKeyList::Merge(std::string_view pairs) {
  std::size_t i = 0;
  while (i < pairs.size()) {
    const std::size_t eq = pairs.find('=', i);
    const std::size_t semi = pairs.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      const std::string piece =
          Trim(pairs.substr(i, semi == std::string_view::npos ? std::string_view::npos : semi - i));
      if (!piece.empty()) {
        throw Error("The ODBC keys \"" + std::string(pairs) + "\" have a piece without \"=\": \"" +
                    piece + "\".");
      }
      if (semi == std::string_view::npos) break;
      i = semi + 1;
      continue;
    }
    const std::string key = Trim(pairs.substr(i, eq - i));
    i = eq + 1;
    while (i < pairs.size() && pairs[i] == ' ') ++i;
    const std::string raw = ReadRawValue(pairs, i, pairs);
    if (key.empty()) {
      throw Error("The ODBC keys \"" + std::string(pairs) + "\" have a value without a key.");
    }
    SetRaw(key, raw);
  }
}

std::string OdbcKeyList::Raw(std::string_view key) const {
  for (const auto& [k, v] : pairs_) {
    if (EqualsIgnoreCaseAscii(k, key)) return v;
  }
  return {};
}

bool OdbcKeyList::Has(std::string_view key) const {
  return std::any_of(pairs_.begin(), pairs_.end(),
                     [&](const auto& pair) { return EqualsIgnoreCaseAscii(pair.first, key); });
}

std::string OdbcKeyList::Text() const {
  std::string text;
  for (const auto& [key, value] : pairs_) {
    text += key;
    text += '=';
    text += value;
    text += ';';
  }
  return text;
}

}  // namespace moltaro::db::odbc
