// Text helpers shared by every layer. All text is UTF-8 unless a name says otherwise.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace moltaro {

// The text with every occurrence of `from` replaced by `to`, left to right.
// Replacements are never scanned again, so `to` may contain `from`.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// 1-based position (in characters) of the first occurrence of `needle`; 0 when
// absent or when the needle is empty.
std::size_t TextPos(std::string_view needle, std::string_view haystack);

// Removes leading and trailing blanks and control characters (codes up to 32).
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// The n-th field (from 1) of `text` split at `separator` (itself trimmed first).
// Appends the separator n times before splitting, so a field past the last
// separator comes back empty. The caller trims the result.
std::string SettingsField(std::string_view text, int n, std::string_view separator);

// The current user identifier as decimal text; nothing sets it, so always "0".
std::string UserIdText();

// ASCII case folding; identifiers and column names of the system are ASCII.
std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);
bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b);

// Number of Unicode characters in a UTF-8 text (malformed bytes count one each).
std::size_t Utf8Length(std::string_view text);

// The first `count` characters of a UTF-8 text.
std::string Utf8Left(std::string_view text, std::size_t count);

}  // namespace moltaro
