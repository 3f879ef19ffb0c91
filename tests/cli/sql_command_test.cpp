#include "cli/sql_command.h"

#include <gtest/gtest.h>

#include <sstream>

namespace moltaro::cli {
namespace {

TEST(SplitBatches, GoLinesInAnyCaseSeparateBatches) {
  const auto batches = SplitBatches("select 1\r\nGO\r\n  go  \nselect 2\nselect 3\nGo\ngoto x\n");
  ASSERT_EQ(batches.size(), 3u);
  EXPECT_EQ(batches[0], "select 1\n");
  EXPECT_EQ(batches[1], "select 2\nselect 3\n");
  EXPECT_EQ(batches[2], "goto x\n");
  EXPECT_EQ(SplitBatches("goto x\n").size(), 1u);  // not a GO line
  EXPECT_TRUE(SplitBatches("\n  \nGO\n").empty());
}

TEST(PrintResultSet, HeaderThenTabSeparatedRowsWithNull) {
  db::ResultSet rs({"nev", "dbname"}, {{std::string("Cég"), db::Null()}, {std::int64_t{5}, 1.5}});
  std::ostringstream out;
  PrintResultSet(rs, out);
  EXPECT_EQ(out.str(), "nev\tdbname\nCég\tNULL\n5\t1.5\n");
}

}  // namespace
}  // namespace moltaro::cli
