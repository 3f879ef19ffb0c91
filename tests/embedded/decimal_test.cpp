// Exact numbers without a server: the stored form's byte order, and the
// arithmetic at the edges of precision 38.
#include "db/embedded/types/decimal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace moltaro::db::embedded {
namespace {

Decimal Dec(const char* text, int precision, int scale) {
  Decimal out;
  EXPECT_TRUE(RescaleDecimal(*ParseDecimalText(text), precision, scale, out)) << text;
  return out;
}

TEST(DecimalTest, StoredBytesSortAsTheNumbersAndReadBack) {
  std::mt19937_64 random(7);
  std::vector<Decimal> values;
  const char* fixed[] = {"0",     "-0.01", "0.01",  "0.5",
                         "0.501", "0.49",  "1",     "10",
                         "-10",   "9.99",  "-9.99", "99999999999999999999999999999999999999",
                         "-1e0"};
  for (const char* f : fixed) {
    if (auto d = ParseDecimalText(f)) values.push_back(*d);
  }
  for (int i = 0; i < 2000; ++i) {
    Decimal d;
    d.scale = static_cast<int>(random() % 11);
    d.precision = 38;
    d.unscaled = static_cast<Int128>(static_cast<std::int64_t>(random())) >> (random() % 60);
    if (i % 3 == 0) d.unscaled *= PowerOfTen(static_cast<int>(random() % 15));
    values.push_back(d);
  }
  for (const Decimal& d : values) {
    Decimal back;
    const std::string bytes = EncodeDecimal(d);
    ASSERT_TRUE(
        DecodeDecimal(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), back))
        << DecimalText(d);
    EXPECT_EQ(DecimalText(back), DecimalText(d));
    EXPECT_EQ(back.scale, d.scale);
  }
  for (std::size_t i = 0; i + 1 < values.size(); ++i) {
    const Decimal& a = values[i];
    const Decimal& b = values[i + 1];
    const int bytes = EncodeDecimal(a).compare(EncodeDecimal(b));
    const int numbers = CompareDecimal(a, b);
    if (numbers != 0) {
      EXPECT_EQ(bytes < 0, numbers < 0) << DecimalText(a) << " vs " << DecimalText(b);
    } else if (a.scale == b.scale) {
      EXPECT_EQ(bytes, 0);
    }
  }
}

TEST(DecimalTest, ArithmeticAtTheEdgesOfPrecision) {
  Decimal r;
  SqlError error;
  // 38 nines plus one overflows; minus one does not.
  const Decimal nines = Dec("99999999999999999999999999999999999999", 38, 0);
  EXPECT_FALSE(DecimalArithmetic(ExactOp::Add, nines, DecimalFromInteger(1), r, error));
  EXPECT_EQ(error.number, 8115);
  ASSERT_TRUE(DecimalArithmetic(ExactOp::Subtract, nines, DecimalFromInteger(1), r, error));
  EXPECT_EQ(DecimalText(r), "99999999999999999999999999999999999998");
  // Products wider than 38 digits keep at least six decimals, rounded.
  const Decimal third = Dec("0.3333333333333333333333333333333333333", 38, 37);
  ASSERT_TRUE(DecimalArithmetic(ExactOp::Multiply, third, Dec("3", 38, 0), r, error));
  EXPECT_EQ(DecimalText(r), "1.000000");
  ASSERT_TRUE(DecimalArithmetic(ExactOp::Divide, Dec("-7", 5, 0), Dec("2", 1, 0), r, error));
  EXPECT_EQ(DecimalText(r), "-3.500000");
  ASSERT_TRUE(DecimalArithmetic(ExactOp::Modulo, Dec("-7.5", 2, 1), Dec("2", 1, 0), r, error));
  EXPECT_EQ(DecimalText(r), "-1.5");
  EXPECT_FALSE(DecimalArithmetic(ExactOp::Divide, nines, Dec("0", 1, 0), r, error));
  EXPECT_EQ(error.number, 8134);
  // Money stays money with money and with integers.
  Decimal m;
  ASSERT_TRUE(ToMoney(*ParseDecimalText("32.38"), ExactKind::Money, m));
  ASSERT_TRUE(DecimalArithmetic(ExactOp::Divide, m, DecimalFromInteger(3), r, error));
  EXPECT_EQ(DecimalText(r), "10.7933");
  EXPECT_EQ(DecimalCastText(r), "10.79");
}

TEST(DecimalTest, FloatsConvertByTheirShortestDigits) {
  EXPECT_EQ(DecimalText(*DecimalFromDouble(0.1)), "0.1");
  EXPECT_EQ(DecimalText(*DecimalFromDouble(-1e20)), "-100000000000000000000");
  EXPECT_EQ(DecimalText(*DecimalFromDouble(1.5e-5)), "0.000015");
  EXPECT_FALSE(DecimalFromDouble(1e300));
  EXPECT_FALSE(ParseDecimalText("1.2.3"));
  EXPECT_FALSE(ParseDecimalText("1e5"));
  EXPECT_EQ(DecimalText(*ParseDecimalText("  -0,50 ")), "-0.50");
}

}  // namespace
}  // namespace moltaro::db::embedded
