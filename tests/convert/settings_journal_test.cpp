#include "convert/settings_journal.h"

#include <gtest/gtest.h>

#include "instance_fixture.h"

namespace moltaro::convert {
namespace {

class SettingsJournal : public testing::InstanceTest {
 protected:
  static LegacyRecord Setting(const std::string& code, const std::string& type,
                              const std::string& value, const std::string& length) {
    return Fixed(116,
                 {{1, code}, {13, type}, {14, value}, {94, "nem olvasott mező"}, {114, length}});
  }
};

TEST_F(SettingsJournal, SettingsAreInsertedOnceThenOnlyTheirValueChanges) {
  ImportPuy(context, Setting("CEGNEV", "C", "  Példa Kft.", "080"));
  const std::int64_t firstId = context.CurrentRecordId();
  ImportPuy(context, Setting("NAPHO", "N", std::string(78, ' ') + "11", "011"));
  ImportPuy(context, Setting("CEGNEV", "N", "  Másik Kft.  ", "999"));

  const db::ResultSet cegnev = Rows("select * from zmp_puy where nev = 'PWCEGNEV'");
  ASSERT_EQ(cegnev.RowCount(), 1u);
  EXPECT_EQ(cegnev.Text("nev"), "PWCEGNEV      ");  // trailing blanks of the code kept
  EXPECT_EQ(cegnev.Text("kod"), "Másik Kft.");      // type N: trimmed
  EXPECT_EQ(cegnev.Text("tipus") + "|" + cegnev.Text("hossz"), "C|080");
  EXPECT_EQ(cegnev.Integer("id"), firstId);

  const db::ResultSet napho = Rows("select * from zmp_puy where nev = 'PWNAPHO'");
  EXPECT_EQ(napho.Text("kod"), "11");
  EXPECT_EQ(napho.Integer("id"), firstId + 1);
  EXPECT_EQ(context.ProcessingMonth(), "011");
  EXPECT_EQ(context.CurrentRecordId(), firstId + 2);  // drawn even for an update

  ImportPuy(context, Setting("LEIRAS", "C", "  szöveg", "080"));
  EXPECT_EQ(Scalar("select kod + '|' from zmp_puy where nev = 'PWLEIRAS'"),
            "  szöveg" + std::string(72, ' ') + "|");
}

TEST_F(SettingsJournal, TheLastNaphoRecordGivesTheProcessingMonth) {
  EXPECT_EQ(context.ProcessingMonth(), "");
  ImportPuy(context, Setting("NAPHO", "N", "10", "010"));
  ImportPuy(context, Setting("NAPHOX", "N", "10", "099"));
  EXPECT_EQ(context.ProcessingMonth(), "010");
  ImportPuy(context, Setting("NAPHO", "N", "12", "12"));
  EXPECT_EQ(context.ProcessingMonth(), "12 ");
}

TEST_F(SettingsJournal, AJournalRecordGivesOneRow) {
  ImportNaplo(context, Fixed(160, {{1, "20091130"},
                                   {23, "0000023"},
                                   {30, "0000030"},
                                   {39, "0000039"},
                                   {46, "0000046"},
                                   {53, "0000053"},
                                   {60, "0000060"},
                                   {67, "0000067"},
                                   {74, "0000074"},
                                   {81, "0000081"},
                                   {95, "0000095"},
                                   {116, "A11"},
                                   {122, "Zárás előtt"}}));
  ImportNaplo(context, Fixed(10, {{1, "        "}}));
  const db::ResultSet r = Rows("select * from zmp_naplo where EV = 2009 order by DATUM");
  ASSERT_EQ(r.RowCount(), 2u);
  EXPECT_EQ(r.Text("EV"), "2009");
  EXPECT_EQ(r.Text("DATUM"), "2009-11-30 00:00:00.000");
  EXPECT_EQ(r.Text("UTS") + r.Text("FTET") + r.Text("KSZT") + r.Text("KSZT2") + r.Text("HAVI"),
            "00000230000030000003900000530000046");
  EXPECT_EQ(r.Text("IDO") + r.Text("TIDO") + r.Text("JOGC") + r.Text("JT") + r.Text("KOD"),
            "00000740000081000009500000600000067");
  EXPECT_EQ(r.Text("FOKIFSZ") + "|" + r.Text("HO"), "A11|11");
  EXPECT_EQ(r.Text("MEGJEGYZES"), "Zárás előtt" + std::string(19, ' '));
  std::string constants;
  for (const char* column : {"HAVIH", "KJT", "KODTAR", "PSZAK", "PTAG", "PTAR", "PUY", "UTALAS",
                             "SZ_SZEMTOL", "SZ_SZEMIG", "SZ_SZERVTOL", "SZ_SZERVIG", "SZ_KIFHTOL",
                             "SZ_KIFHIG", "SZ_NEGYEDIKTOL", "SZ_NEGYEDIKIG"}) {
    constants += r.Text(column);
  }
  EXPECT_EQ(constants, std::string(16, '0'));
  EXPECT_TRUE(r.IsNull("ID"));
  const auto& blank = r.Rows()[1];
  EXPECT_EQ(db::ToText(blank[r.ColumnIndex("DATUM")]), "9999-12-31 00:00:00.000");
  EXPECT_EQ(db::ToText(blank[r.ColumnIndex("MEGJEGYZES")]), "");
}

}  // namespace
}  // namespace moltaro::convert
