// The tokenizer's view of T-SQL text.
#include <gtest/gtest.h>

#include "db/embedded/parser/tsql_tokenizer.h"
#include "db/errors.h"

namespace moltaro::db::embedded {
namespace {

std::vector<std::string> Texts(const std::string& sql) {
  std::vector<std::string> out;
  for (const Token& t : Tokenize(sql)) {
    if (t.kind != TokenKind::End) out.push_back(t.text);
  }
  return out;
}

TEST(TokenizerTest, LiteralsAndQuotedNames) {
  auto tokens = Tokenize("N'ár''víz' 'x' [a]]b] \"c d\" 1.5e3 .5 12");
  ASSERT_EQ(tokens.size(), 8u);
  EXPECT_EQ(tokens[0].kind, TokenKind::String);
  EXPECT_TRUE(tokens[0].national);
  EXPECT_EQ(tokens[0].text, "ár'víz");
  EXPECT_FALSE(tokens[1].national);
  EXPECT_EQ(tokens[2].kind, TokenKind::Quoted);
  EXPECT_EQ(tokens[2].text, "a]b");
  EXPECT_EQ(tokens[3].text, "c d");
  EXPECT_EQ(tokens[4].kind, TokenKind::Number);
  EXPECT_EQ(tokens[4].text, "1.5e3");
  EXPECT_EQ(tokens[5].text, ".5");
  EXPECT_EQ(tokens[6].text, "12");
}

TEST(TokenizerTest, CommentsNestAndVanish) {
  EXPECT_EQ(Texts("a /* x /* y */ z */ b -- c\n d"), (std::vector<std::string>{"a", "b", "d"}));
  EXPECT_THROW(Tokenize("a /* open"), DatabaseError);
}

TEST(TokenizerTest, ParametersVariablesAndOperators) {
  auto tokens = Tokenize("x=:xa and @v<>@@ROWCOUNT::y >= 1");
  std::vector<TokenKind> kinds;
  for (const Token& t : tokens) kinds.push_back(t.kind);
  EXPECT_EQ(tokens[2].kind, TokenKind::Parameter);
  EXPECT_EQ(tokens[2].text, "xa");
  EXPECT_EQ(tokens[4].kind, TokenKind::Variable);
  EXPECT_EQ(tokens[4].text, "@v");
  EXPECT_EQ(tokens[5].text, "<>");
  EXPECT_EQ(tokens[6].text, "@@ROWCOUNT");
  EXPECT_EQ(tokens[7].text, "::");
  EXPECT_EQ(tokens[9].text, ">=");
  // Offsets point into the source, for the texts kept in syscomments.
  EXPECT_EQ(tokens[2].offset, 2u);
  EXPECT_EQ(tokens[2].end, 5u);
}

TEST(TokenizerTest, KeywordsCompareWithoutCase) {
  auto tokens = Tokenize("SeLeCt [select]");
  EXPECT_TRUE(IsWord(tokens[0], "SELECT"));
  EXPECT_FALSE(IsWord(tokens[1], "SELECT"));  // a quoted name is never a keyword
}

}  // namespace
}  // namespace moltaro::db::embedded
