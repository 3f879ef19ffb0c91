#include "db/server_messages.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace moltaro::db {
namespace {

TEST(ServerMessages, AnErrorByNumberTakesItsTextAndSeverityFromTheTable) {
  const DatabaseError e = ServerErrorByNumber(208, {"dbo.nincs"});
  EXPECT_EQ(e.Number(), 208);
  EXPECT_EQ(e.Severity(), 16);
  EXPECT_STREQ(e.what(), "Invalid object name 'dbo.nincs'.");

  const DatabaseError syntax = ServerErrorByNumber(102, {"GO"});
  EXPECT_STREQ(syntax.what(), "Incorrect syntax near 'GO'.");
  EXPECT_EQ(syntax.Severity(), 15);
  EXPECT_EQ(ServerErrorByNumber(2627, {"PRIMARY KEY", "pk", "dbo.t"}).Severity(), 14);
  EXPECT_EQ(ServerErrorByNumber(823, {"5(Input/output error)", "read", "/x.mdf"}).Severity(), 24);
}

TEST(ServerMessages, EveryKindOfPlaceholderTakesTheNextArgument) {
  EXPECT_EQ(FormatServerMessage("%S_MSG '%.*ls' on %ls (%d, %I64d, %hs, %s) 100%%",
                                {"index", "ix", "t", "1", "2", "int", "p"}),
            "index 'ix' on t (1, 2, int, p) 100%");
  // Too few arguments leave the rest empty; a lone percent stays.
  EXPECT_EQ(FormatServerMessage("'%ls' and '%ls' at 5%", {"a"}), "'a' and '' at 5%");
  EXPECT_EQ(FormatServerMessage("ends with %", {}), "ends with %");
}

TEST(ServerMessages, TheConstraintConflictReadsAsSqlServerWritesIt) {
  EXPECT_STREQ(
      ServerErrorByNumber(547, {"INSERT", "CHECK", "CK_a", "evo", "dbo.ck", ", column '", "a", "'"})
          .what(),
      "The INSERT statement conflicted with the CHECK constraint \"CK_a\". The conflict "
      "occurred in database \"evo\", table \"dbo.ck\", column 'a'.");
  EXPECT_STREQ(ServerErrorByNumber(547, {"UPDATE", "CHECK", "CK_b", "evo", "dbo.ck"}).what(),
               "The UPDATE statement conflicted with the CHECK constraint \"CK_b\". The conflict "
               "occurred in database \"evo\", table \"dbo.ck\".");
}

TEST(ServerMessages, UnlistedNumbersAreRefusedAndReadAsUserErrors) {
  EXPECT_EQ(FindServerMessage(99999), nullptr);
  EXPECT_THROW(ServerErrorByNumber(99999), std::logic_error);
  EXPECT_EQ(DatabaseError("driver text", 99999).Severity(), kUserErrorSeverity);
  EXPECT_EQ(DatabaseError("raised", 50000, 11).Severity(), 11);
  EXPECT_EQ(DatabaseError("Lock request time out period exceeded.", 1222).Severity(), 16);
}

TEST(ServerMessages, AMessageSqlServerClosesWithAnotherCarriesBoth) {
  const DatabaseError created = ServerErrorByNumber(5170, {"/d/x.mdf"});
  EXPECT_EQ(created.Number(), 5170);
  EXPECT_STREQ(created.what(),
               "Cannot create file '/d/x.mdf' because it already exists. Change the file path or "
               "the file name, and retry the operation.\nCREATE DATABASE failed. Some file names "
               "listed could not be created. Check related errors.");
  // The closing message takes arguments of its own; the earlier ones of the
  // same number come first, the first one's number stays.
  const DatabaseError last =
      ServerErrorByNumber(5074, {"index", "ix", "column", "a"}, {"DROP COLUMN", "a"});
  const DatabaseError both =
      PrecededBy(ServerMessageText(5074, {"object", "df", "column", "a"}), last);
  EXPECT_EQ(both.Number(), 5074);
  EXPECT_EQ(both.Severity(), 16);
  EXPECT_STREQ(both.what(),
               "The object 'df' is dependent on column 'a'.\nThe index 'ix' is dependent on "
               "column 'a'.\nALTER TABLE DROP COLUMN a failed because one or more objects access "
               "this column.");
  // A message alone has no closing line.
  EXPECT_EQ(ServerMessageText(5170, {"f"}).find('\n'), std::string::npos);
}

TEST(ServerMessages, OperatingSystemErrorsAndDetailsReadAsTheServerWritesThem) {
  EXPECT_EQ(OperatingSystemError(0), "0(no operating system error)");
  EXPECT_EQ(OperatingSystemError(2).substr(0, 2), "2(");
  const DatabaseError detailed = WithDetail(ServerErrorByNumber(8989, {"0", "1", "db"}), "row 5");
  EXPECT_EQ(detailed.Number(), 8989);
  EXPECT_STREQ(detailed.what(),
               "CHECKDB found 0 allocation errors and 1 consistency errors in database 'db'.\n"
               "row 5");
}

}  // namespace
}  // namespace moltaro::db
