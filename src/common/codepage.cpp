#include "common/codepage.h"

#include <array>
#include <cstdint>

namespace moltaro {
namespace {

// Unicode code points of the Windows-1250 bytes 0x80..0xFF.
constexpr std::array<char16_t, 128> kCp1250High = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one UTF-8 character at `i`, advancing it; malformed bytes decode as
// U+FFFD one byte at a time.
char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  std::size_t len = lead < 0x80 ? 1 : lead < 0xC0 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (len == 0 || i + len > s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t cp = len == 1   ? lead
                : len == 2 ? (lead & 0x1F)
                : len == 3 ? (lead & 0x0F)
                           : (lead & 0x07);
  for (std::size_t k = 1; k < len; ++k) {
    const auto cont = static_cast<unsigned char>(s[i + k]);
    if ((cont & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (cont & 0x3F);
  }
  i += len;
  return cp;
}

int Cp1250Byte(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  for (std::size_t b = 0; b < kCp1250High.size(); ++b) {
    if (kCp1250High[b] == cp) return static_cast<int>(0x80 + b);
  }
  return -1;
}

}  // namespace

std::string Cp1250ToUtf8(std::string_view cp1250) {
  std::string out;
  out.reserve(cp1250.size() + cp1250.size() / 8);
  for (char c : cp1250) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      AppendUtf8(out, kCp1250High[b - 0x80]);
    }
  }
  return out;
}

std::string Utf8ToCp1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const int b = Cp1250Byte(DecodeUtf8(utf8, i));
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

bool FitsCp1250(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    if (Cp1250Byte(DecodeUtf8(utf8, i)) < 0) return false;
  }
  return true;
}

std::string Cp852ToCp1250(std::string_view cp852) {
  static constexpr auto kTable = [] {
    std::array<std::uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(b);
    constexpr std::uint8_t pairs[][2] = {
        {0xA0, 0xE1}, {0xB5, 0xC1}, {0x82, 0xE9}, {0x90, 0xC9}, {0xA1, 0xED}, {0xD6, 0xCD},
        {0xA2, 0xF3}, {0xE0, 0xD3}, {0x94, 0xF6}, {0x99, 0xD6}, {0x8B, 0xF5}, {0x8A, 0xD5},
        {0xA3, 0xFA}, {0xE9, 0xDA}, {0x81, 0xFC}, {0x9A, 0xDC}, {0xFB, 0xFB}, {0xEB, 0xDB}};
    for (const auto& p : pairs) t[p[0]] = p[1];
    return t;
  }();
  std::string out(cp852);
  for (char& c : out) c = static_cast<char>(kTable[static_cast<unsigned char>(c)]);
  return out;
}

}  // namespace moltaro
