// Code page conversions at the program's file boundaries.
#pragma once

#include <string>
#include <string_view>

namespace moltaro {

// Windows-1250 bytes to UTF-8. The five bytes that Windows-1250 leaves
// undefined map to the C1 control of the same number, so no byte is lost.
std::string Cp1250ToUtf8(std::string_view cp1250);

// UTF-8 to Windows-1250. A character the code page cannot hold becomes "?".
std::string Utf8ToCp1250(std::string_view utf8);

// True when every character of the UTF-8 text has a Windows-1250 byte.
bool FitsCp1250(std::string_view utf8);

// The 18 Hungarian accented letters of code page 852 replaced by their
// Windows-1250 bytes in one pass; every other byte stays as it is.
std::string Cp852ToCp1250(std::string_view cp852);

}  // namespace moltaro
