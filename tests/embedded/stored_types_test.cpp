// The stored forms of the newer types without a server: binary blobs and
// exact-number blobs never read as each other, and the texts and
// comparators of the date types and uniqueidentifier order as SQL Server.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "db/embedded/types/binary.h"
#include "db/embedded/types/decimal.h"
#include "db/embedded/types/sql_types.h"
#include "db/embedded/types/temporal.h"

namespace moltaro::db::embedded {
namespace {

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(StoredTypesTest, BinaryAndExactBlobsNeverReadAsEachOther) {
  std::mt19937_64 random(11);
  for (int i = 0; i < 3000; ++i) {
    Binary b;
    const int size = static_cast<int>(random() % 20);
    for (int k = 0; k < size; ++k) b.bytes += static_cast<char>(random() & 0xFF);
    const std::string blob = EncodeBinary(b);
    Decimal d;
    EXPECT_FALSE(DecodeDecimal(Bytes(blob), blob.size(), d)) << BinaryHexText(b);
    Binary back;
    ASSERT_TRUE(DecodeBinary(Bytes(blob), blob.size(), back));
    EXPECT_EQ(back, b);

    Decimal exact;
    ASSERT_TRUE(RescaleDecimal(
        DecimalFromInteger(static_cast<std::int64_t>(random() >> 1) - (std::int64_t{1} << 62)), 38,
        static_cast<int>(random() % 10), exact));
    const std::string stored = EncodeDecimal(exact);
    EXPECT_FALSE(DecodeBinary(Bytes(stored), stored.size(), back)) << DecimalText(exact);
  }
}

TEST(StoredTypesTest, BinaryConstantsSpellTheirIntegers) {
  EXPECT_EQ(BinaryConstantInteger("0F"), "15");
  EXPECT_EQ(BinaryConstantInteger("FFFFFFFF"), "-1");                  // an int, signed
  EXPECT_EQ(BinaryConstantInteger("00000000FFFFFFFF"), "4294967295");  // a bigint
  EXPECT_EQ(BinaryConstantInteger("F"), "15");                         // read as 0x0F
  EXPECT_FALSE(BinaryConstantInteger("010203040506070809"));
  EXPECT_EQ(BinaryHexText(*BinaryFromHex("ABC")), "0x0ABC");
}

TEST(StoredTypesTest, DateTextsRoundAndRefuseWhatSqlServerRefuses) {
  const SqlType datetime2_0{BaseType::DateTime2, 0, 0, 0};
  const SqlType time3{BaseType::Time, 0, 0, 3};
  std::string out;
  ASSERT_TRUE(TemporalText(*ParseTemporalText("2023-12-31 23:59:59.5"), datetime2_0, out));
  EXPECT_EQ(out, "2024-01-01 00:00:00");
  ASSERT_TRUE(TemporalText(*ParseTemporalText("23:59:59.9996"), time3, out));
  EXPECT_EQ(out, "00:00:00.000");  // time wraps at midnight
  // Rounding past the last day leaves the type.
  EXPECT_FALSE(TemporalText(*ParseTemporalText("9999-12-31 23:59:59.9"), datetime2_0, out));
  EXPECT_FALSE(ParseTemporalText("2023-02-29"));
  EXPECT_FALSE(ParseTemporalText("10:00:00.12345678"));  // eight fraction digits
  EXPECT_FALSE(ParseTemporalText("2024-01-01 10:00 +15:00"));
  EXPECT_FALSE(ParseTemporalText("24:00"));
  const auto offset = ParseTemporalText("2024-01-01T10:00:00.1 -05:30");
  ASSERT_TRUE(offset);
  EXPECT_EQ(offset->offsetMinutes, -330);
  EXPECT_EQ(offset->ticks % kTicksPerSecond, 1'000'000);
}

TEST(StoredTypesTest, OffsetsCompareByTheInstant) {
  EXPECT_EQ(CompareDateTimeOffsetText("2024-03-01 10:00:00 +02:00", "2024-03-01 08:00:00 +00:00"),
            0);
  EXPECT_LT(CompareDateTimeOffsetText("2024-03-01 10:00:00 +02:00", "2024-03-01 09:00:00 +00:00"),
            0);
  // Across midnight in UTC.
  EXPECT_GT(CompareDateTimeOffsetText("2024-03-01 00:30:00 -01:00", "2024-03-01 01:00:00 +02:00"),
            0);
}

// The first three groups count from their last byte, the last two from
// their first.
TEST(StoredTypesTest, UniqueIdentifiersOrderByTheirLastBytesFirst) {
  const char* ascending[] = {
      "01000000-0000-0000-0000-000000000000", "00010000-0000-0000-0000-000000000000",
      "00000100-0000-0000-0000-000000000000", "00000001-0000-0000-0000-000000000000",
      "00000000-0100-0000-0000-000000000000", "00000000-0001-0000-0000-000000000000",
      "00000000-0000-0100-0000-000000000000", "00000000-0000-0001-0000-000000000000",
      "00000000-0000-0000-0001-000000000000", "00000000-0000-0000-0100-000000000000",
      "00000000-0000-0000-0000-000000000001", "00000000-0000-0000-0000-010000000000"};
  for (std::size_t i = 0; i + 1 < std::size(ascending); ++i) {
    EXPECT_LT(CompareUniqueIdentifierText(ascending[i], ascending[i + 1]), 0) << ascending[i];
    EXPECT_GT(CompareUniqueIdentifierText(ascending[i + 1], ascending[i]), 0) << ascending[i];
  }
  EXPECT_EQ(CompareUniqueIdentifierText("6f9619ff-8b86-d011-b42d-00c04fc964ff",
                                        "6F9619FF-8B86-D011-B42D-00C04FC964FF"),
            0);
}

}  // namespace
}  // namespace moltaro::db::embedded
