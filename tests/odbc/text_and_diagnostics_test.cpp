// Text conversion at the ODBC boundary and the shaping of driver messages.
#include <gtest/gtest.h>

#include "db/odbc/diagnostics.h"
#include "db/odbc/utf16.h"

namespace moltaro::db::odbc {
namespace {

TEST(Utf16, HungarianLettersAndAstralCharactersRoundTrip) {
  const std::string text = "Árvíztűrő tükörfúrógép ŐŰőű € 😀";
  const std::u16string wide = ToUtf16(text);
  EXPECT_EQ(wide.substr(0, 3), u"Árv");
  EXPECT_EQ(wide.substr(wide.size() - 2), u"😀");  // one surrogate pair
  EXPECT_EQ(ToUtf8(wide), text);
}

TEST(Utf16, BrokenInputBecomesReplacementCharacters) {
  EXPECT_EQ(ToUtf16("a\xC3"), u"a\uFFFD");          // cut sequence
  EXPECT_EQ(ToUtf16("\xC0\xAF"), u"\uFFFD");        // overlong "/"
  EXPECT_EQ(ToUtf16("\xED\xA0\x80x"), u"\uFFFDx");  // encoded surrogate
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800') + u"b"),
            "\xEF\xBF\xBD"
            "b");
}

TEST(DriverPrefix, IsStrippedForEachDriver) {
  EXPECT_EQ(StripDriverPrefix("[FreeTDS][SQL Server]Invalid object name 'ZMP_X'."),
            "Invalid object name 'ZMP_X'.");
  EXPECT_EQ(StripDriverPrefix("[unixODBC][FreeTDS][SQL Server]Login failed for user 'sa'."),
            "Login failed for user 'sa'.");
  EXPECT_EQ(StripDriverPrefix(
                "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Cannot open database "
                "\"X\" requested by the login. The login failed."),
            "Cannot open database \"X\" requested by the login. The login failed.");
  EXPECT_EQ(StripDriverPrefix("[unixODBC][Driver Manager]Data source name not found"),
            "Data source name not found");
  EXPECT_EQ(StripDriverPrefix("no such table: t (1)"), "no such table: t (1)");
}

TEST(DriverPrefix, KeepsAServerMessageThatItselfBeginsWithABracket) {
  EXPECT_EQ(StripDriverPrefix("[FreeTDS][SQL Server][ZMP] A verzió hibás"), "[ZMP] A verzió hibás");
}

TEST(ServerError, JoinsDistinctErrorsAndLeavesOutMessages) {
  const std::vector<DiagnosticRecord> records = {
      {"01000", 0, "[FreeTDS][SQL Server]Changed database context to 'ZMP_Vorel'."},
      {"42S22", 207, "[FreeTDS][SQL Server]Invalid column name 'xy'."},
      {"42S22", 207, "[FreeTDS][SQL Server]Invalid column name 'xy'."},
      {"42000", 8180, "[FreeTDS][SQL Server]Statement(s) could not be prepared."}};
  const DatabaseError error = ServerError(records);
  EXPECT_STREQ(error.what(), "Invalid column name 'xy'.\nStatement(s) could not be prepared.");
  EXPECT_EQ(error.Number(), 207);
}

TEST(ServerError, AFailureExplainedOnlyByMessagesUsesThem) {
  const DatabaseError error = ServerError(
      {{"01000", 0, "[unixODBC][Driver Manager]Can't open lib 'x.so' : file not found"}});
  EXPECT_STREQ(error.what(), "Can't open lib 'x.so' : file not found");
}

TEST(ServerError, ADriverWithoutWordsStillGivesItsState) {
  EXPECT_STREQ(ServerError({{"HYT00", 0, "[FreeTDS][SQL Server]"}}).what(), "ODBC error HYT00");
}

}  // namespace
}  // namespace moltaro::db::odbc
