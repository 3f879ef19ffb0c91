#include "cli/sql_command.h"

#include <gtest/gtest.h>

#include <sstream>

namespace moltaro::cli {
namespace {

TEST(SplitBatches, GoLinesInAnyCaseSeparateBatchesAndKeepTheirLines) {
  const auto batches =
      SplitBatches("select 1\r\nGO\r\n  go  \n\nselect 2\nselect 3\nGo 3\ngoto x\ngo 0\ngo2\n");
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0].text, "select 1\n");
  EXPECT_EQ(batches[0].firstLine, 1);
  EXPECT_EQ(batches[1].text, "select 2\nselect 3\n");
  EXPECT_EQ(batches[1].firstLine, 5);  // the blank line before it does not count
  EXPECT_EQ(batches[1].repeat, 3);
  EXPECT_EQ(batches[2].text, "go2\n");  // after "GO 0" dropped "goto x"; go2 is no GO line
  EXPECT_EQ(batches[2].firstLine, 10);
  EXPECT_EQ(SplitBatches("goto x\n").size(), 1u);
  EXPECT_TRUE(SplitBatches("\n  \nGO\n").empty());
}

TEST(ScriptTextAsUtf8, ByteOrderMarksAreDroppedAndUtf16Converted) {
  std::string utf8Bom = "\xEF\xBB\xBFselect 1";
  ASSERT_TRUE(ScriptTextAsUtf8(utf8Bom));
  EXPECT_EQ(utf8Bom, "select 1");

  // "Ő𝄞" as UTF-16 LE and BE, the second a surrogate pair.
  std::string little("\xFF\xFE\x50\x01\x34\xD8\x1E\xDD", 8);
  ASSERT_TRUE(ScriptTextAsUtf8(little));
  EXPECT_EQ(little, "\xC5\x90\xF0\x9D\x84\x9E");
  std::string big("\xFE\xFF\x01\x50\xD8\x34\xDD\x1E", 8);
  ASSERT_TRUE(ScriptTextAsUtf8(big));
  EXPECT_EQ(big, "\xC5\x90\xF0\x9D\x84\x9E");

  std::string cut("\xFF\xFE\x41", 3);
  EXPECT_FALSE(ScriptTextAsUtf8(cut));
  std::string plain = "select 'árvíztűrő'";
  ASSERT_TRUE(ScriptTextAsUtf8(plain));
  EXPECT_EQ(plain, "select 'árvíztűrő'");
}

TEST(PrintResultSet, HeaderThenTabSeparatedRowsWithNull) {
  db::ResultSet rs({"nev", "dbname"}, {{std::string("Cég"), db::Null()}, {std::int64_t{5}, 1.5}});
  std::ostringstream out;
  PrintResultSet(rs, out);
  EXPECT_EQ(out.str(), "nev\tdbname\nCég\tNULL\n5\t1.5\n");
}

}  // namespace
}  // namespace moltaro::cli
