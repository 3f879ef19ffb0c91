#include "db/connection_string.h"

#include <gtest/gtest.h>

#include "db/errors.h"

namespace moltaro::db {
namespace {

TEST(ConnectionString, ReadsTheSystemLayoutWithKeysIgnoringCase) {
  const auto cs = ConnectionString::Parse(
      "Provider=SQLOLEDB.1;Server=S;Password=P;Persist Security Info=True;User ID=U;"
      "Initial Catalog= ceg1 ;Use Procedure for Prepare=1;Auto Translate=True;"
      "Packet Size=4096;Use Encryption for Data=False;");
  EXPECT_EQ(cs.GetOr("server", ""), "S");
  EXPECT_EQ(cs.GetOr("PASSWORD", ""), "P");
  EXPECT_EQ(cs.GetOr("User ID", ""), "U");
  EXPECT_EQ(cs.GetOr("Initial Catalog", "x"), "ceg1");  // blanks around a value do not count
  EXPECT_EQ(cs.GetOr("Packet Size", ""), "4096");
  EXPECT_FALSE(cs.Has("Data Source"));
}

TEST(ConnectionString, EmptyValuesStayEmpty) {
  const auto cs =
      ConnectionString::Parse("Provider=SQLOLEDB.1;Password=;User ID=sa;Initial Catalog=;");
  EXPECT_TRUE(cs.Has("Initial Catalog"));
  EXPECT_EQ(cs.GetOr("Initial Catalog", "x"), "");
  EXPECT_EQ(cs.GetOr("Password", "x"), "");
}

TEST(ConnectionString, QuotedValuesCarrySemicolonsAndQuotes) {
  for (const std::string pw : {"a;b", "\"quoted", "'single", "x\"y;z", "plain"}) {
    const std::string text = "Password=" + QuoteConnectionValue(pw) + ";User ID=u;";
    const auto cs = ConnectionString::Parse(text);
    EXPECT_EQ(cs.GetOr("Password", ""), pw) << text;
    EXPECT_EQ(cs.GetOr("User ID", ""), "u") << text;
  }
  EXPECT_EQ(QuoteConnectionValue("plain"), "plain");
  EXPECT_EQ(QuoteConnectionValue("a\"b"), "a\"b");  // a quote inside needs no quoting
  EXPECT_THROW(ConnectionString::Parse("Password=\"open;"), Error);
}

}  // namespace
}  // namespace moltaro::db
