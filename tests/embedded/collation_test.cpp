// SQL Server collations on ICU, without a server.
#include <gtest/gtest.h>

#include "db/embedded/types/collation.h"
#include "db/errors.h"

namespace moltaro::db::embedded {
namespace {

TEST(CollationTest, StrengthFollowsTheName) {
  Collation ciAs("SQL_Hungarian_Cp1250_CI_AS");
  EXPECT_TRUE(ciAs.Equal("Árvíz", "ÁRVÍZ"));
  EXPECT_FALSE(ciAs.Equal("Árvíz", "Arviz"));
  Collation ciAi("HUNGARIAN_TECHNICAL_CI_AI");
  EXPECT_TRUE(ciAi.Equal("Árvíz", "arviz"));
  Collation csAs("Hungarian_CS_AS");
  EXPECT_FALSE(csAs.Equal("a", "A"));
  Collation bin("Hungarian_BIN");
  EXPECT_LT(bin.Compare("B", "a"), 0);
  EXPECT_THROW(Collation("Klingon_CI_AS"), DatabaseError);
  EXPECT_THROW(Collation("Hungarian_CI"), DatabaseError);
}

TEST(CollationTest, TrailingBlanksDoNotCount) {
  Collation c("SQL_Hungarian_Cp1250_CI_AS");
  EXPECT_TRUE(c.Equal("U ", "u"));
  EXPECT_LT(c.Compare("a ", "ab"), 0);
}

TEST(CollationTest, HungarianOrder) {
  Collation c("SQL_Hungarian_Cp1250_CI_AS");
  EXPECT_LT(c.Compare("cukor", "csiga"), 0);  // cs follows c
  EXPECT_LT(c.Compare("zebra", "zsák"), 0);   // zs follows z
  EXPECT_LT(c.Compare("ok", "ök"), 0);
  EXPECT_LT(c.Compare("öv", "pad"), 0);
  Collation latin("SQL_Latin1_General_CP1_CI_AS");
  EXPECT_GT(latin.Compare("cukor", "csiga"), 0);
}

TEST(CollationTest, LikePatterns) {
  Collation c("SQL_Hungarian_Cp1250_CI_AS");
  EXPECT_TRUE(c.Like("ZMP_OBJ_VER", "zmp%", ""));
  EXPECT_TRUE(c.Like("ZMP_OBJ_VER", "%obj%", ""));
  EXPECT_TRUE(c.Like("abc", "a_c", ""));
  EXPECT_FALSE(c.Like("abc", "a_", ""));
  EXPECT_TRUE(c.Like("árvíz", "Á%", ""));
  EXPECT_FALSE(c.Like("arviz", "á%", ""));
  EXPECT_TRUE(c.Like("b1", "[a-c][0-9]", ""));
  EXPECT_FALSE(c.Like("d1", "[a-c]1", ""));
  EXPECT_TRUE(c.Like("d1", "[^a-c]1", ""));
  EXPECT_TRUE(c.Like("50%", "50!%", "!"));
  EXPECT_FALSE(c.Like("500", "50!%", "!"));
  EXPECT_TRUE(c.Like("", "%", ""));
  EXPECT_FALSE(c.Like("", "_", ""));
  EXPECT_TRUE(c.Like("aXbXc", "a%b%c", ""));
  EXPECT_FALSE(c.Like("aXbXd", "a%b%c", ""));
}

}  // namespace
}  // namespace moltaro::db::embedded
