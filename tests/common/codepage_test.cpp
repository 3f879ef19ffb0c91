#include "common/codepage.h"

#include "common/text.h"
#include "common/utf8.h"

#include <gtest/gtest.h>

namespace moltaro {
namespace {

TEST(Cp1250, HungarianLettersRoundTrip) {
  const std::string utf8 = "ÁRVÍZTŰRŐ tükörfúrógép őŐűŰ €";
  const std::string cp = Utf8ToCp1250(utf8);
  EXPECT_EQ(cp.size(), Utf8Length(utf8));
  EXPECT_EQ(static_cast<unsigned char>(cp[0]), 0xC1);  // Á
  EXPECT_EQ(Cp1250ToUtf8(cp), utf8);
}

TEST(Cp1250, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1250(Cp1250ToUtf8(all)), all);
}

TEST(Cp1250, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1250("a\xE2\x98\x83z"), "a?z");  // snowman
  EXPECT_FALSE(FitsCp1250("\xE2\x98\x83"));
  EXPECT_TRUE(FitsCp1250("Ő"));
}

TEST(Cp852, EighteenLettersMapInOnePass) {
  // Ú (0xE9) must not be turned into é's byte and then again into something else.
  const std::string in = "\xA0\xB5\x82\x90\xA1\xD6\xA2\xE0\x94\x99\x8B\x8A\xA3\xE9\x81\x9A\xFB\xEB";
  const std::string expected = Utf8ToCp1250("áÁéÉíÍóÓöÖőŐúÚüÜűŰ");
  EXPECT_EQ(Cp852ToCp1250(in), expected);
  EXPECT_EQ(Cp852ToCp1250("plain \x01\xFF"), "plain \x01\xFF");
}

}  // namespace
}  // namespace moltaro

namespace moltaro {
namespace {

TEST(Utf8Decoding, MalformedSequencesBecomeOneReplacementEach) {
  // Overlong "/", a lone continuation byte, a cut sequence and a surrogate.
  for (const std::string bad : {"\xC0\xAF", "\x80", "\xC5", "\xED\xA0\x80"}) {
    std::size_t i = 0;
    EXPECT_EQ(DecodeUtf8(bad, i), kReplacementCharacter);
    EXPECT_GT(i, 0u);
  }
  EXPECT_EQ(Utf8ToCp1250("a\xC0\xAFz"), "a?z");
  std::string out;
  AppendUtf8(out, U'ő');
  std::size_t i = 0;
  EXPECT_EQ(DecodeUtf8(out, i), U'ő');
  EXPECT_EQ(i, out.size());
}

}  // namespace
}  // namespace moltaro
