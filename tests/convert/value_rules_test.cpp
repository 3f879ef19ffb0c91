#include "convert/value_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "convert/convert_error.h"

namespace moltaro::convert {
namespace {

std::string Positions(const std::string& flags, char mark) {
  std::string at;
  for (std::size_t i = 0; i < flags.size(); ++i) {
    if (flags[i] == mark) at += (at.empty() ? "" : ",") + std::to_string(i + 1);
  }
  return at;
}

TEST(DateRules, DotsAreInsertedUncheckedAndEightBlanksMeanTheEndOfTime) {
  EXPECT_EQ(DateRule("20091105"), "2009.11.05");
  EXPECT_EQ(DateRule("99991231"), "9999.12.31");
  EXPECT_EQ(DateRule(""), "..");
  EXPECT_EQ(DateRule("20091"), "2009.1.");
  EXPECT_EQ(DateRule("2009őé05"), "2009.őé.05");  // characters, not bytes
  EXPECT_EQ(BlankDateRule("        "), "9999.12.31");
  EXPECT_EQ(BlankDateRule("20100101"), "2010.01.01");
  EXPECT_EQ(BlankDateRule("    "), "    ..");  // cut short: not eight blanks
  EXPECT_EQ(BlankDateRule(""), "..");
}

TEST(TFlagRule, OnlyACapitalTIsYes) {
  EXPECT_EQ(TFlagRule("T"), "I");
  EXPECT_EQ(TFlagRule("t"), "N");
  EXPECT_EQ(TFlagRule(" "), "N");
  EXPECT_EQ(TFlagRule(""), "N");
}

TEST(DecimalRule, BlankFullWidthIsNullAndEverythingElseMustBeANumber) {
  EXPECT_TRUE(db::IsNull(DecimalRule("      ", 6)));
  EXPECT_EQ(std::get<double>(DecimalRule("12.5  ", 6)), 12.5);
  EXPECT_EQ(std::get<double>(DecimalRule("  -3.25", 7)), -3.25);
  EXPECT_EQ(std::get<double>(DecimalRule("100", 6)), 100.0);  // cut short but a number
  EXPECT_EQ(std::get<double>(DecimalRule("1,5", 3)), 1.5);    // a comma is the regional point
  EXPECT_THROW(DecimalRule("   ", 6), ConvertError);          // cut short: not blank
  EXPECT_THROW(DecimalRule("", 6), ConvertError);
  EXPECT_THROW(DecimalRule("1.2.3 ", 6), ConvertError);
  EXPECT_THROW(DecimalRule("12a   ", 6), ConvertError);
  EXPECT_THROW(DecimalRule("1 000", 5), ConvertError);
  EXPECT_THROW(DecimalRule("-", 1), ConvertError);
  EXPECT_EQ(HungarianFloat("1,5e2"), 150.0);
  EXPECT_EQ(HungarianFloat("+,5"), 0.5);
  EXPECT_THROW(HungarianFloat("1e"), ConvertError);
}

TEST(LegacyInteger, LeadingBlanksOnly) {
  EXPECT_EQ(LegacyInteger(" 8"), 8);
  EXPECT_EQ(LegacyInteger("19"), 19);
  EXPECT_EQ(LegacyInteger("-1"), -1);
  EXPECT_THROW(LegacyInteger("  "), ConvertError);
  EXPECT_THROW(LegacyInteger("8 "), ConvertError);
  EXPECT_THROW(LegacyInteger("x"), ConvertError);
  EXPECT_THROW(LegacyInteger(""), ConvertError);
}

TEST(CommaTextRule, EveryPointBecomesAComma) {
  EXPECT_EQ(CommaTextRule("12.50"), "12,50");
  EXPECT_EQ(CommaTextRule("1.2.3"), "1,2,3");
  EXPECT_EQ(CommaTextRule("      "), "      ");
}

TEST(TimeCodeFlags, LegacyCodesMarkTheirNewCodes) {
  const std::string flags = TimeCodeFlags("1,2,22");
  ASSERT_EQ(flags.size(), 100u);
  EXPECT_EQ(Positions(flags, 'I'), "10,11,42");
  EXPECT_EQ(flags.find_first_not_of("IN"), std::string::npos);
  EXPECT_EQ(TimeCodeFlags(""), std::string(100, 'N'));
  EXPECT_EQ(TimeCodeFlags("47"), std::string(100, 'N'));
  EXPECT_EQ(Positions(TimeCodeFlags("44,46,22,22"), 'I'), "42");
  EXPECT_EQ(Positions(TimeCodeFlags("9,42,43,45"), 'I'), "19,45,46,89");
  EXPECT_EQ(Positions(TimeCodeFlags("1, 2"), 'I'), "10");  // blanks prevent a match
  EXPECT_EQ(TimeCodeFlags("01"), std::string(100, 'N'));   // so do leading zeros
}

TEST(NumberFlags, NumbersMarkTheirOwnPositions) {
  const std::string flags = NumberFlags("3,250");
  ASSERT_EQ(flags.size(), 250u);
  EXPECT_EQ(Positions(flags, 'I'), "3,250");
  EXPECT_EQ(flags.find_first_not_of("I_"), std::string::npos);
  EXPECT_EQ(Positions(NumberFlags("12"), 'I'), "12");
  EXPECT_EQ(Positions(NumberFlags("0,251,5"), 'I'), "5");
  EXPECT_EQ(NumberFlags(""), std::string(250, '_'));
  // The flags mark exactly what the plain ",list," search finds.
  for (const std::string list :
       {"1,,2", ",7,", "+3,4", "5 ,6", "-8,9", "2500,25", "7,7,007", "1,2,3,", "x,10,y", "0"}) {
    const std::string flags = NumberFlags(list);
    for (int k = 1; k <= 250; ++k) {
      EXPECT_EQ(flags[static_cast<std::size_t>(k - 1)] == 'I', ListNames(list, k))
          << list << " " << k;
    }
  }
}

}  // namespace
}  // namespace moltaro::convert
