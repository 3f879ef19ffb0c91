// CONVERT's datetime styles: every style's text reads back as the datetime it
// was written from, to the style's precision.
#include <gtest/gtest.h>

#include "db/embedded/execution/date_functions.h"

namespace moltaro::db::embedded {
namespace {

enum class Kept { Date, Minutes, Seconds, Milliseconds, TimeSeconds, TimeMilliseconds };

struct Style {
  int style;
  Kept kept;
};

constexpr Style kStyles[] = {
    {0, Kept::Minutes},
    {100, Kept::Minutes},
    {1, Kept::Date},
    {101, Kept::Date},
    {2, Kept::Date},
    {102, Kept::Date},
    {3, Kept::Date},
    {103, Kept::Date},
    {4, Kept::Date},
    {104, Kept::Date},
    {5, Kept::Date},
    {105, Kept::Date},
    {6, Kept::Date},
    {106, Kept::Date},
    {7, Kept::Date},
    {107, Kept::Date},
    {8, Kept::TimeSeconds},
    {108, Kept::TimeSeconds},
    {9, Kept::Milliseconds},
    {109, Kept::Milliseconds},
    {10, Kept::Date},
    {110, Kept::Date},
    {11, Kept::Date},
    {111, Kept::Date},
    {12, Kept::Date},
    {112, Kept::Date},
    {13, Kept::Milliseconds},
    {113, Kept::Milliseconds},
    {14, Kept::TimeMilliseconds},
    {114, Kept::TimeMilliseconds},
    {20, Kept::Seconds},
    {120, Kept::Seconds},
    {21, Kept::Milliseconds},
    {121, Kept::Milliseconds},
    {22, Kept::Seconds},
    {23, Kept::Date},
    {126, Kept::Milliseconds},
};

DateTimeParts Expected(const DateTimeParts& p, Kept kept) {
  DateTimeParts e = p;
  const bool timeOnly = kept == Kept::TimeSeconds || kept == Kept::TimeMilliseconds;
  if (timeOnly) e.year = 1900, e.month = 1, e.day = 1;
  if (kept == Kept::Date) e.hour = 0, e.minute = 0;
  if (kept == Kept::Date || kept == Kept::Minutes) e.second = 0;
  if (kept != Kept::Milliseconds && kept != Kept::TimeMilliseconds) e.millisecond = 0;
  return e;
}

TEST(DateStylesTest, EveryStyleReadsBackWhatItWrote) {
  // Morning and afternoon, one-digit and two-digit days and hours, the turn
  // of a century for the two-digit years.
  const DateTimeParts samples[] = {
      {2008, 1, 5, 17, 4, 9, 53}, {1999, 12, 31, 0, 0, 0, 0},   {2000, 2, 29, 12, 30, 59, 997},
      {2049, 11, 9, 9, 7, 3, 3},  {1950, 6, 15, 23, 59, 58, 0}, {2024, 10, 21, 11, 5, 0, 500},
  };
  for (const DateTimeParts& p : samples) {
    for (const Style& s : kStyles) {
      const auto text = DateTimeStyleText(p, s.style);
      ASSERT_TRUE(text) << s.style;
      bool outOfRange = false;
      const auto read = ParseStyledDateTime(*text, s.style, outOfRange);
      ASSERT_TRUE(read) << "style " << s.style << ": " << *text;
      EXPECT_EQ(CanonicalOf(*read), CanonicalOf(Expected(p, s.kept)))
          << "style " << s.style << ": " << *text;
    }
  }
}

TEST(DateStylesTest, TextThatIsNoDateIsToldFromADayThatDoesNotExist) {
  bool outOfRange = false;
  EXPECT_FALSE(ParseStyledDateTime("30/02/2021", 103, outOfRange));
  EXPECT_TRUE(outOfRange);
  EXPECT_FALSE(ParseStyledDateTime("02/30/2021", 103, outOfRange));
  EXPECT_TRUE(outOfRange);
  for (const char* text : {"", "2021", "abc 5 2021", "05/01/2021 25:00", "05/01/2021 10:00 XM",
                           "1/2/3/4", "05/01/2021 10:61"}) {
    EXPECT_FALSE(ParseStyledDateTime(text, 103, outOfRange)) << text;
  }
}

TEST(DateStylesTest, PartNamesAndTheirAbbreviations) {
  EXPECT_EQ(DatePartNamed("yyyy"), DatePart::Year);
  EXPECT_EQ(DatePartNamed("Qq"), DatePart::Quarter);
  EXPECT_EQ(DatePartNamed("y"), DatePart::DayOfYear);
  EXPECT_EQ(DatePartNamed("w"), DatePart::Weekday);
  EXPECT_EQ(DatePartNamed("isoww"), DatePart::IsoWeek);
  EXPECT_EQ(DatePartNamed("n"), DatePart::Minute);
  EXPECT_FALSE(DatePartNamed("yyy"));
  EXPECT_FALSE(DatePartNamed(""));
}

}  // namespace
}  // namespace moltaro::db::embedded
