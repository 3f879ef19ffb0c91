#include "common/utf8.h"

namespace moltaro {

namespace {

// Length of the sequence a lead byte starts, with the smallest code point it
// may encode (anything below is an overlong form); length 0 for a byte that
// cannot lead.
struct Lead {
  int length;
  char32_t minimum;
  char32_t bits;
};

Lead ReadLead(unsigned char byte) {
  if (byte < 0x80) return {1, 0, byte};
  if ((byte & 0xE0) == 0xC0) return {2, 0x80, static_cast<char32_t>(byte & 0x1F)};
  if ((byte & 0xF0) == 0xE0) return {3, 0x800, static_cast<char32_t>(byte & 0x0F)};
  if ((byte & 0xF8) == 0xF0) return {4, 0x10000, static_cast<char32_t>(byte & 0x07)};
  return {0, 0, 0};
}

}  // namespace

char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
  const Lead lead = ReadLead(static_cast<unsigned char>(text[i]));
  if (lead.length == 0) {
    ++i;
    return kReplacementCharacter;
  }
  char32_t cp = lead.bits;
  std::size_t k = i + 1;
  for (int n = 1; n < lead.length; ++n, ++k) {
    if (k >= text.size() || (static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) {
      i = k;
      return kReplacementCharacter;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(text[k]) & 0x3F);
  }
  i = k;
  if (cp < lead.minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return kReplacementCharacter;
  }
  return cp;
}

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

}  // namespace moltaro
