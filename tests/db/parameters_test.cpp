#include "db/parameters.h"

#include <gtest/gtest.h>

namespace moltaro::db {
namespace {

TEST(MarkParameters, ReplacesMarkersInOrderOutsideQuotesAndComments) {
  const auto m = MarkParameters(
      "select b.id from sysobjects a, syscolumns b where a.id=b.id and a.name=:xa and b.name=:xb");
  EXPECT_EQ(
      m.text,
      "select b.id from sysobjects a, syscolumns b where a.id=b.id and a.name=? and b.name=?");
  EXPECT_EQ(m.names, (std::vector<std::string>{"xa", "xb"}));

  const auto q =
      MarkParameters("select ':no', [a:b], \"c:d\" -- :no\n/* :no */ , :yes, x::y, '12:30'");
  EXPECT_EQ(q.names, (std::vector<std::string>{"yes"}));
  EXPECT_EQ(q.text, "select ':no', [a:b], \"c:d\" -- :no\n/* :no */ , ?, x::y, '12:30'");
}

TEST(MarkParameters, DoubledQuotesAndUnterminatedTextAreSafe) {
  EXPECT_EQ(MarkParameters("'it''s :x' :y").names, (std::vector<std::string>{"y"}));
  EXPECT_TRUE(MarkParameters("'never closed :x").names.empty());
  EXPECT_TRUE(MarkParameters("/* never closed :x").names.empty());
  EXPECT_EQ(MarkParameters("a = :").text, "a = :");
}

}  // namespace
}  // namespace moltaro::db
