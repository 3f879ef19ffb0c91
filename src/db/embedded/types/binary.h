// binary(n), varbinary(n|max) and image values. Inside SQLite a value is a
// BLOB whose first byte is kBinaryTag and the rest its bytes: exact numbers
// are BLOBs too (decimal.h), but theirs start with a class byte below
// kBinaryTag, so neither can be read as the other, and byte order still sorts
// binary values as SQL Server compares them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace moltaro::db::embedded {

inline constexpr unsigned char kBinaryTag = 0x40;

struct Binary {
  std::string bytes;
  friend bool operator==(const Binary&, const Binary&) = default;
};

std::string EncodeBinary(const Binary& value);
bool DecodeBinary(const unsigned char* blob, std::size_t size, Binary& out);

// "0x0F1A" (upper case); without the prefix when `prefix` is false.
std::string BinaryHexText(const Binary& value, bool prefix = true);
// Hex digits (no prefix) as bytes; an odd count takes a leading zero, as
// SQL Server reads 0xF as 0x0F. nullopt on a character that is not hex.
std::optional<Binary> BinaryFromHex(std::string_view digits);

// The integer SQL Server reads from binary: its last `width` bytes (4 for
// int, 8 for bigint), big-endian, signed; shorter values are zero-extended.
std::int64_t BinaryToInteger(const Binary& value, int width);
// An integer's bytes, big-endian, 4 of them when it fits an int, else 8.
Binary IntegerToBinary(std::int64_t value);

// A timestamp (rowversion) value: the database's counter as eight bytes,
// big-endian, so that later values compare greater.
Binary RowversionBinary(std::int64_t counter);

// A binary constant (0x…) as the integer it stands for where it meets a
// number; nullopt beyond 8 bytes.
std::optional<std::string> BinaryConstantInteger(std::string_view hexDigits);

}  // namespace moltaro::db::embedded
