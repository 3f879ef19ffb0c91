#include "common/text.h"

#include <gtest/gtest.h>

#include "common/regional.h"

namespace moltaro {
namespace {

TEST(ReplaceAll, DoesNotRescanReplacementsAndDeletesWithEmpty) {
  EXPECT_EQ(ReplaceAll("a'b'c", "'", "''"), "a''b''c");
  EXPECT_EQ(ReplaceAll("xx", "x", "xx"), "xxxx");
  EXPECT_EQ(ReplaceAll("a--b--", "--", ""), "ab");
  EXPECT_EQ(ReplaceAll("none", "q", "z"), "none");
}

TEST(TextPos, CountsCharactersFromOneAndZeroWhenAbsent) {
  EXPECT_EQ(TextPos("b", "abc"), 2u);
  EXPECT_EQ(TextPos("x", "abc"), 0u);
  EXPECT_EQ(TextPos("", "abc"), 0u);
  EXPECT_EQ(TextPos("c", "ábc"), 3u);  // á is one character, two bytes
}

TEST(Trim, RemovesBlanksAndControlCharacters) {
  EXPECT_EQ(Trim(" \t\r\n x y \x01"), "x y");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("árvíztűrő "), "árvíztűrő");  // bytes above 127 are content
}

TEST(SettingsField, FollowsTheAppendedSeparatorRule) {
  EXPECT_EQ(SettingsField("srv$$ZMP", 1, "$$"), "srv");
  EXPECT_EQ(SettingsField("srv$$ZMP", 2, "$$"), "ZMP");
  EXPECT_EQ(SettingsField("srv", 2, "$$"), "");
  EXPECT_EQ(SettingsField("$$db", 1, "$$"), "");
  EXPECT_EQ(SettingsField("a$$b$", 2, "$$"), "b");  // the trailing $ joins the appended separator
  EXPECT_EQ(SettingsField("a$$b", 3, " $$ "), "");
  EXPECT_EQ(SettingsField("", 1, "$$"), "");
}

TEST(Utf8, LengthAndLeftCountCharacters) {
  EXPECT_EQ(Utf8Length("őrző"), 4u);
  EXPECT_EQ(Utf8Left("Árvíztűrő tükörfúrógép", 9), "Árvíztűrő");
  EXPECT_EQ(Utf8Left("abc", 10), "abc");
}

TEST(NowText, HungarianShortDateAndLongTimeWithoutTimeAtMidnight) {
  EXPECT_EQ(NowText(LocalMoment{2009, 11, 5, 8, 7, 6}), "2009. 11. 05. 8:07:06");
  EXPECT_EQ(NowText(LocalMoment{2009, 11, 5, 0, 0, 0}), "2009. 11. 05.");
  EXPECT_EQ(NowText(LocalMoment{2009, 1, 5, 0, 0, 1}), "2009. 01. 05. 0:00:01");
  EXPECT_EQ(UserIdText(), "0");
}

}  // namespace
}  // namespace moltaro
