#include "convert/legacy_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/convert_error.h"
#include "engine/temp_dir.h"

namespace moltaro::convert {
namespace {

using Strings = std::vector<std::string>;

Strings RecordBytes(const LegacyFile& file) {
  Strings bytes;
  for (const LegacyRecord& record : file.records) bytes.push_back(record.Bytes());
  return bytes;
}

TEST(SplitLegacyText, EveryLineEndCountsAndTheLastLineIsNeverARecord) {
  EXPECT_EQ(RecordBytes(SplitLegacyText("a\r\nb\rc\nd\r\ne", false)),
            (Strings{"a", "b", "c", "d"}));
  // CR CR LF ends a line and adds an empty one.
  EXPECT_EQ(RecordBytes(SplitLegacyText("a\r\r\nb\r\nvege\r\n", false)), (Strings{"a", "", "b"}));
  // A line end at the very end opens no further line: the real last record is lost.
  const LegacyFile three = SplitLegacyText("1\r\n2\r\n3\r\n", false);
  EXPECT_EQ(three.lineCount, 3u);
  EXPECT_EQ(RecordBytes(three), (Strings{"1", "2"}));
  EXPECT_EQ(three.records[1].LineNumber(), 2u);

  const LegacyFile one = SplitLegacyText("egyetlen sor\r\n", false);
  EXPECT_EQ(one.lineCount, 1u);
  EXPECT_TRUE(one.records.empty());
  const LegacyFile empty = SplitLegacyText("", false);
  EXPECT_EQ(empty.lineCount, 0u);
  EXPECT_TRUE(empty.records.empty());
  // An empty line inside the file is a record like any other.
  EXPECT_EQ(RecordBytes(SplitLegacyText("a\r\n\r\nb\r\nz", false)), (Strings{"a", "", "b"}));
}

TEST(SplitLegacyText, ANulEndsTheText) {
  EXPECT_EQ(RecordBytes(SplitLegacyText(std::string("a\r\nb\0c\r\nd\r\ne", 11), false)),
            (Strings{"a"}));
  EXPECT_TRUE(SplitLegacyText(std::string("\0a\r\nb\r\n", 7), false).records.empty());
}

TEST(SplitLegacyText, ConvertedFilesGetTheAccentedLettersOfWindows1250) {
  const std::string dos = "\x8A\x99\xFB\xA0\xB5\xE9\x82\xD6\x94\x8E\r\nz";
  EXPECT_EQ(SplitLegacyText(dos, true).records.at(0).Bytes(),
            "\xD5\xD6\xFB\xE1\xC1\xDA\xE9\xCD\xF6\x8E");
  EXPECT_EQ(SplitLegacyText(dos, false).records.at(0).Bytes(), dos.substr(0, 10));
  EXPECT_EQ(SplitLegacyText(dos, true).records.at(0).Text(), "ŐÖűáÁÚéÍöŽ");
}

TEST(LegacyRecord, FieldsCutWhatExistsAndCountOneBytePerCharacter) {
  const LegacyRecord record(
      "ab\xF5\xE9"
      "cd",
      7);  // abőécd
  EXPECT_EQ(record.Field(1, 2), "ab");
  EXPECT_EQ(record.Field(3, 2), "őé");
  EXPECT_EQ(record.Field(5, 10), "cd");
  EXPECT_EQ(record.Field(6, 1), "d");
  EXPECT_EQ(record.Field(7, 1), "");
  EXPECT_EQ(record.Field(100, 8), "");
  EXPECT_EQ(record.Text(), "abőécd");
  EXPECT_EQ(record.Length(), 6u);
  EXPECT_EQ(record.LineNumber(), 7u);
}

TEST(ReadLegacyFile, ReadsTheWholeFileAndNamesOneItCannotOpen) {
  engine::testing::TempDir dir;
  dir.Write("ypkod.txt", std::string("K 1\x8A\r\nK 2\r\nvege", 14));
  const LegacyFile file = ReadLegacyFile(dir.Path() / "ypkod.txt", true);
  EXPECT_EQ(file.lineCount, 3u);
  EXPECT_EQ(RecordBytes(file), (Strings{"K 1\xD5", "K 2"}));
  try {
    ReadLegacyFile(dir.Path() / "ypjt.txt", true);
    FAIL() << "a missing file was read";
  } catch (const ConvertError& error) {
    EXPECT_NE(std::string(error.what()).find((dir.Path() / "ypjt.txt").string()), std::string::npos)
        << error.what();
  }
}

}  // namespace
}  // namespace moltaro::convert
