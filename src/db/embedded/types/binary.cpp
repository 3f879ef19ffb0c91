#include "db/embedded/types/binary.h"

namespace moltaro::db::embedded {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string EncodeBinary(const Binary& value) {
  std::string out(1, static_cast<char>(kBinaryTag));
  out += value.bytes;
  return out;
}

bool DecodeBinary(const unsigned char* blob, std::size_t size, Binary& out) {
  if (!blob || size < 1 || blob[0] != kBinaryTag) return false;
  out.bytes.assign(reinterpret_cast<const char*>(blob) + 1, size - 1);
  return true;
}

std::string BinaryHexText(const Binary& value, bool prefix) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = prefix ? "0x" : "";
  for (const char c : value.bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

std::optional<Binary> BinaryFromHex(std::string_view digits) {
  Binary out;
  std::size_t i = 0;
  if (digits.size() % 2 == 1) {
    const int d = HexDigit(digits[0]);
    if (d < 0) return std::nullopt;
    out.bytes += static_cast<char>(d);
    i = 1;
  }
  for (; i < digits.size(); i += 2) {
    const int hi = HexDigit(digits[i]), lo = HexDigit(digits[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out.bytes += static_cast<char>(hi << 4 | lo);
  }
  return out;
}

std::int64_t BinaryToInteger(const Binary& value, int width) {
  const std::size_t n = value.bytes.size();
  const std::size_t from = n > static_cast<std::size_t>(width) ? n - width : 0;
  std::uint64_t u = 0;
  for (std::size_t i = from; i < n; ++i) u = u << 8 | static_cast<unsigned char>(value.bytes[i]);
  if (width == 4) return static_cast<std::int32_t>(static_cast<std::uint32_t>(u));
  return static_cast<std::int64_t>(u);
}

Binary IntegerToBinary(std::int64_t value) {
  const int width = value >= INT32_MIN && value <= INT32_MAX ? 4 : 8;
  Binary out;
  const auto u = static_cast<std::uint64_t>(value);
  for (int k = width - 1; k >= 0; --k) out.bytes += static_cast<char>(u >> (8 * k) & 0xFF);
  return out;
}

std::optional<std::string> BinaryConstantInteger(std::string_view hexDigits) {
  const auto value = BinaryFromHex(hexDigits);
  if (!value || value->bytes.size() > 8) return std::nullopt;
  return std::to_string(BinaryToInteger(*value, value->bytes.size() <= 4 ? 4 : 8));
}

Binary RowversionBinary(std::int64_t counter) {
  Binary out;
  const auto u = static_cast<std::uint64_t>(counter);
  for (int shift = 56; shift >= 0; shift -= 8) {
    out.bytes += static_cast<char>(u >> shift & 0xFF);
  }
  return out;
}

}  // namespace moltaro::db::embedded
