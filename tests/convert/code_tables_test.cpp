#include "convert/code_tables.h"

#include <gtest/gtest.h>

#include "db/errors.h"
#include "instance_fixture.h"

namespace moltaro::convert {
namespace {

class CodeTables : public testing::InstanceTest {};

TEST_F(CodeTables, TheFixedListsAndEntriesAreWrittenExactly) {
  SeedFixedCodes(context);
  EXPECT_EQ(Scalar("select count(*) from zmp_kodtar"), "21");
  EXPECT_EQ(Scalar("select count(*) from zmp_kod"), "139");
  EXPECT_EQ(Scalar("select nev + '|' from zmp_kodtar where tipus = 'BA'"),
            "Bank kódok           |");
  EXPECT_EQ(Scalar("select id from zmp_kodtar where tipus = 'BA' and lathato = 'I'"), "30020089");
  EXPECT_EQ(Scalar("select nev from zmp_kodtar where tipus = 'S5'"), "Adóelőleg számfejtés");
  EXPECT_EQ(Scalar("select nev from zmp_kod where tipus = 'I' and kod = 12"),
            "Előző évrőláthozott szabadság");
  EXPECT_EQ(Scalar("select nev + '|' from zmp_kod where tipus = 'M1' and kod = 16"),
            "Hivatásos nevelőszülő |");
  // Time-data entries are filed under their code, every other fixed entry under 0.
  EXPECT_EQ(Scalar("select count(*) from zmp_kod where tipus = 'I' and id = kod"), "44");
  EXPECT_EQ(Scalar("select count(*) from zmp_kod where tipus <> 'I' and id = 0"), "95");
  const db::ResultSet perList =
      Rows("select tipus, count(*) n, sum(kod) s from zmp_kod group by tipus order by tipus");
  std::string summary;
  for (const auto& row : perList.Rows()) {
    summary += db::ToText(row[0]) + ":" + db::ToText(row[1]) + "/" + db::ToText(row[2]) + " ";
  }
  EXPECT_EQ(summary,
            "I:44/2046 J1:13/78 J2:6/21 J3:10/55 J4:14/91 J5:4/6 J6:3/3 M1:24/815 S1:2/3 S2:9/45 "
            "S3:2/3 S4:2/3 S5:2/3 S6:2/3 S7:2/3 ");
  EXPECT_EQ(Scalar("select count(*) from zmp_kodtar where lathato = 'I'"), "6");
}

TEST_F(CodeTables, CompanyCodesGetFreshIdentifiersAndUntrimmedNames) {
  // Read as the run reads ypkod.txt: converted from code page 852.
  const LegacyFile file = SplitLegacyText(
      "K 12      P\x82nzt\xA0r \x8A"
      "r  \r\nS\r\nvege",
      true);
  ASSERT_EQ(file.records.size(), 2u);
  ImportCompanyCode(context, file.records[0]);
  const std::int64_t first = context.CurrentRecordId();
  ImportCompanyCode(context, file.records[1]);
  EXPECT_EQ(context.CurrentRecordId(), first + 1);

  const db::ResultSet rows = Rows("select tipus, kod, nev + '|' nev, id from zmp_kod order by id");
  ASSERT_EQ(rows.RowCount(), 2u);
  EXPECT_EQ(rows.Text("tipus"), "K");
  EXPECT_EQ(rows.Text("kod"), "12");
  EXPECT_EQ(rows.Text("nev"), "Pénztár Őr  |");
  EXPECT_EQ(rows.Integer("id"), first);
  // A record shorter than three characters has no code and no name.
  const auto& shortRow = rows.Rows()[1];
  EXPECT_EQ(db::ToText(shortRow[0]), "S");
  EXPECT_EQ(db::ToText(shortRow[1]), "0");
  EXPECT_EQ(db::ToText(shortRow[2]), "|");
}

TEST_F(CodeTables, AnEmptyLineIsARecordWithEmptyFields) {
  const LegacyFile file = SplitLegacyText(std::string("\r\nK 1\0\r\nvege", 12), true);
  ASSERT_EQ(file.records.size(), 1u);  // the NUL ends the text; "K 1" is the last line
  ImportCompanyCode(context, file.records[0]);
  EXPECT_EQ(Scalar("select tipus + '|' + nev + '|' + convert(nvarchar(10), kod) from zmp_kod"),
            "||0");
}

TEST_F(CodeTables, ACodeTheTableCannotHoldStopsTheRecord) {
  EXPECT_THROW(ImportCompanyCode(context, Record("K ABC     x")), db::DatabaseError);
  EXPECT_EQ(Scalar("select count(*) from zmp_kod"), "0");
}

}  // namespace
}  // namespace moltaro::convert
