// Text crossing the ODBC boundary: the program's UTF-8 and the drivers'
// UTF-16 (SQLWCHAR), so that Hungarian letters reach the server whole.
#pragma once

#include <string>
#include <string_view>

namespace moltaro::db::odbc {

// Malformed UTF-8 bytes become U+FFFD rather than being dropped, so a broken
// text still shows where it broke.
std::u16string ToUtf16(std::string_view utf8);

// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

}  // namespace moltaro::db::odbc
