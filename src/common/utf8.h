// UTF-8 code points, the one encoding of text inside the program.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace moltaro {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the code point at `i` and moves `i` past it. A malformed sequence
// (a stray continuation byte, a cut or overlong sequence, a surrogate or a
// value beyond U+10FFFF) decodes as U+FFFD, so a broken text still shows
// where it broke.
char32_t DecodeUtf8(std::string_view text, std::size_t& i);

void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace moltaro
