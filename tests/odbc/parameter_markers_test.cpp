#include "db/odbc/parameter_markers.h"

#include <gtest/gtest.h>

namespace moltaro::db::odbc {
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
  EXPECT_EQ(MarkParameters("'never closed :x").text, "'never closed :x");
  EXPECT_EQ(MarkParameters("a = :").text, "a = :");
}

// The cases where a lexer of its own used to read the text otherwise than
// the T-SQL tokenizer.
TEST(MarkParameters, ReadsTheTextAsTheTsqlTokenizerDoes) {
  // A nested comment ends at its outer "*/": the inner one closing first
  // would have made ":hidden" a marker.
  const auto nested = MarkParameters("select /* a /* b */ :hidden */ :shown");
  EXPECT_EQ(nested.names, (std::vector<std::string>{"shown"}));
  EXPECT_EQ(nested.text, "select /* a /* b */ :hidden */ ?");

  // A name with accented letters is one marker, not ":n" followed by "év".
  const auto accented = MarkParameters("select * from t where nev = :név and kor = :kor");
  EXPECT_EQ(accented.names, (std::vector<std::string>{"név", "kor"}));
  EXPECT_EQ(accented.text, "select * from t where nev = ? and kor = ?");

  // N'…' literals, brackets with doubled "]]" and quoted names hold no markers.
  const auto quoted = MarkParameters("select N':a', [x]]:b], \"y\"\":c\", :d");
  EXPECT_EQ(quoted.names, (std::vector<std::string>{"d"}));
  EXPECT_EQ(quoted.text, "select N':a', [x]]:b], \"y\"\":c\", ?");

  // A temporary table's name after a colon is no marker.
  EXPECT_TRUE(MarkParameters("select * from :#t").names.empty());
}

}  // namespace
}  // namespace moltaro::db::odbc
