#include "engine/version_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "engine/record_field.h"

namespace moltaro::engine {
namespace {

TEST(RecordField, ReadsFieldsEndedBySeparators) {
  EXPECT_EQ(RecordField("T$$12$$ZMP_ADAT$$", 1), "T");
  EXPECT_EQ(RecordField("T$$12$$ZMP_ADAT$$", 2), "12");
  EXPECT_EQ(RecordField("T$$12$$ZMP_ADAT$$", 3), "ZMP_ADAT");
  EXPECT_EQ(RecordField("T$$12$$ZMP_ADAT$$", 4), "");
  EXPECT_EQ(RecordField("T$$12$$ZMP_ADAT$$", 0), "");
  // A field without its closing separator does not count.
  EXPECT_EQ(RecordField("T$$12$$ZMP_ADAT", 3), "");
}

TEST(RecordField, LeadingSeparatorEndsAnEmptyFirstField) {
  EXPECT_EQ(RecordField("$$V$$2.1.0$$Minta$$", 1), "");
  EXPECT_EQ(RecordField("$$V$$2.1.0$$Minta$$", 3), "2.1.0");
}

TEST(RecordField, EmptyMiddleFieldKeepsTheFieldsAfterIt) {
  const std::string record = "t$$5$$1$$2$$AR$$56$$$$$$N$$$$";
  EXPECT_EQ(RecordField(record, 7), "");
  EXPECT_EQ(RecordField(record, 8), "");
  EXPECT_EQ(RecordField(record, 9), "N");
  EXPECT_EQ(RecordField(record, 10), "");
  EXPECT_EQ(RecordFieldCount(record), 10);
}

TEST(RecordField, SeparatorIsConsumedWholeAndExactly) {
  EXPECT_EQ(RecordField("a$$$b$$", 2), "$b");
  EXPECT_EQ(RecordFieldCount("a$$$b$$"), 2);
  EXPECT_EQ(RecordField("a $$ b$$", 2), " b");
}

TEST(SplitVersionLines, EndsLinesAtCrLfAndKeepsAFinalEmptyLine) {
  EXPECT_EQ(SplitVersionLines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitVersionLines("a\r\nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitVersionLines("a\r\nb\r\n\r\n"), (std::vector<std::string>{"a", "b", ""}));
  EXPECT_EQ(SplitVersionLines("a\nb\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(SplitVersionLines("").empty());
  // A CR inside a line is content.
  EXPECT_EQ(SplitVersionLines("a\rb\r\n"), (std::vector<std::string>{"a\rb"}));
}

TEST(SplitVersionLines, ConvertsWindows1250ToUtf8) {
  EXPECT_EQ(SplitVersionLines("\xe1rv\xedzt\xfbr\xf5\r\n"),
            (std::vector<std::string>{"árvíztűrő"}));
}

TEST(RecordKind, IsTheThirdCharacterOfARecordLine) {
  EXPECT_TRUE(IsRecordLine("$$T$$1$$X$$"));
  EXPECT_FALSE(IsRecordLine(" $$T$$"));
  EXPECT_FALSE(IsRecordLine("$"));
  EXPECT_EQ(RecordKind("$$t$$"), 't');
  EXPECT_EQ(RecordKind("$$"), '\0');
}

TEST(NormaliseDefault, SuppliesDefaultsForNotNullColumns) {
  EXPECT_EQ(NormaliseDefault("61", "I", ""), "('19730823')");
  EXPECT_EQ(NormaliseDefault("56", "I", ""), "(0)");
  EXPECT_EQ(NormaliseDefault("231", "I", ""), "('_')");
  EXPECT_EQ(NormaliseDefault("167", "I", ""), "('_')");
  EXPECT_EQ(NormaliseDefault("175", "I", ""), "('_')");
  EXPECT_EQ(NormaliseDefault("231", "N", ""), "");
  EXPECT_EQ(NormaliseDefault("56", "", ""), "");
}

TEST(NormaliseDefault, WrapsGivenDefaultsByType) {
  EXPECT_EQ(NormaliseDefault("175", "N", "'abc'"), "('abc')");
  EXPECT_EQ(NormaliseDefault("108", "N", "5"), "(5)");
  EXPECT_EQ(NormaliseDefault("61", "I", "'20000101'"), "('20000101')");
  // Type codes are compared as text: only "61" is a datetime.
  EXPECT_EQ(NormaliseDefault("061", "I", ""), "(0)");
  // Quotes alone leave nothing to wrap.
  EXPECT_EQ(NormaliseDefault("231", "N", "''"), "");
}

TEST(RecordFault, AcceptsSoundRecordsAndIgnoresUnknownKinds) {
  EXPECT_FALSE(RecordFault('T', "T$$10$$ZMP_ADAT$$"));
  EXPECT_FALSE(RecordFault('t', "t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$"));
  EXPECT_FALSE(RecordFault('i', "i$$21$$20$$ 11 $$1$$"));
  EXPECT_FALSE(RecordFault('P', "P$$30$$proc$$1$$V$$N$$"));
  EXPECT_FALSE(RecordFault('V', "V$$anything"));
  EXPECT_FALSE(RecordFault('\0', ""));
}

// Missing trailing fields read as empty: only a number or a name the record
// needs makes it faulty.
TEST(RecordFault, MissingTrailingFieldsAreEmpty) {
  EXPECT_FALSE(RecordFault('t', "t$$11$$10$$1$$ID$$56$$0$$0$$I$$"));
  EXPECT_FALSE(RecordFault('t', "t$$11$$10$$1$$ID$$56$$0$$0$$"));
  EXPECT_FALSE(RecordFault('P', "P$$30$$proc$$1$$"));
  const auto size = RecordFault('t', "t$$11$$10$$1$$ID$$56$$");
  ASSERT_TRUE(size);
  EXPECT_NE(size->find("7. mező"), std::string::npos) << *size;
  const auto name = RecordFault('T', "T$$10$$ZMP_ADAT");
  ASSERT_TRUE(name);
  EXPECT_NE(name->find("3. mező (a név)"), std::string::npos) << *name;
}

TEST(RecordFault, NamesFieldsThatAreNotWholeNumbersOrDoNotFit) {
  const auto letters = RecordFault('E', "E$$x1$$elo$$1$$V$$N$$");
  ASSERT_TRUE(letters);
  EXPECT_NE(letters->find("2. mező"), std::string::npos) << *letters;
  EXPECT_TRUE(RecordFault('E', "E$$$$elo$$1$$V$$N$$"));
  EXPECT_TRUE(RecordFault('E', "E$$1.5$$elo$$1$$V$$N$$"));
  EXPECT_TRUE(RecordFault('T', "T$$1234567890$$X$$"));
  EXPECT_FALSE(RecordFault('T', "T$$000123456789$$X$$"));
  // Column positions, types and sizes are numeric(4).
  EXPECT_TRUE(RecordFault('t', "t$$11$$10$$1$$ID$$231$$12345$$0$$I$$$$"));
}

TEST(VersionNumberFault, RefusesEmptyAndTooLongVersions) {
  EXPECT_TRUE(VersionNumberFault(""));
  EXPECT_TRUE(VersionNumberFault("   "));
  EXPECT_TRUE(VersionNumberFault("1.2.3.4.5.6"));
  EXPECT_FALSE(VersionNumberFault("1.2.3.4.56"));
  // Counted in characters: ten accented letters fit.
  EXPECT_FALSE(VersionNumberFault("áéíóöőúüűÁ"));
}

TEST(FaultyLineMessage, NamesLineCauseAndRecordCuttingLongLines) {
  EXPECT_EQ(FaultyLineMessage(7, "ok", "$$T$$x$$"), "Hibás a verzió file 7. sora (ok): $$T$$x$$");
  const std::string message = FaultyLineMessage(3, "hosszú", "$$T$$" + std::string(5000, 'x'));
  EXPECT_LT(message.size(), 300u);
  EXPECT_EQ(message.substr(message.size() - 3), "…");
}

}  // namespace
}  // namespace moltaro::engine

namespace moltaro::engine {
namespace {

std::string ReadExample() {
  std::ifstream file(std::string(MOLTARO_EXAMPLES_DIR) + "/verzio.ver", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The demo depends on the example file being sound in every record.
TEST(ExampleVersionFile, IsWellFormedInEveryRecord) {
  const std::string bytes = ReadExample();
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.find('\n', 0), bytes.find("\r\n") + 1) << "lines end with CR LF";
  const std::vector<std::string> lines = SplitVersionLines(bytes);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), lines.back());
  EXPECT_FALSE(VersionNumberFault(RecordField(lines.front(), 3)));
  std::string kinds;
  for (std::size_t k = 1; k + 1 < lines.size(); ++k) {
    if (!IsRecordLine(lines[k])) continue;
    const char kind = RecordKind(lines[k]);
    EXPECT_FALSE(RecordFault(kind, std::string_view(lines[k]).substr(2))) << lines[k];
    if (kinds.find(kind) == std::string::npos) kinds += kind;
  }
  EXPECT_EQ(kinds, "ETtIiPU");
}

}  // namespace
}  // namespace moltaro::engine
