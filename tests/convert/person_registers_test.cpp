// The smaller per-person registers on an instance.
#include "convert/person_registers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/convert_error.h"
#include "instance_fixture.h"
#include "record_builder.h"

namespace moltaro::convert {
namespace {

using testing::InstanceTest;
using testing::RecordBuilder;

class PersonRegisters : public InstanceTest {
 protected:
  static constexpr const char* kCode = "00000000042";
  static constexpr const char* kStranger = "00000000007";

  void SetUp() override {
    InstanceTest::SetUp();
    work.Execute("insert into zmp_kszt (SZEMELY, SZEM_ID) values (:x00, 42)", {kCode});
  }

  // A fund membership of `code` joined on `joined`.
  static RecordBuilder Membership(const std::string& code, const std::string& type,
                                  const std::string& joined) {
    return RecordBuilder(77)
        .Put(1, code)
        .Put(12, type)
        .Put(13, "05")
        .Put(15, "P001")
        .Put(19, "TAG-123")
        .Put(34, joined)
        .Put(68, "    1500.5");
  }
};

TEST_F(PersonRegisters, ARelatedPersonWithoutBirthDateIsBornOnNewYear2000) {
  ImportCsp(context, RecordBuilder(85)
                         .Put(1, kCode)
                         .Put(12, "Kovács Ödön")
                         .Put(62, "123456789")
                         .Put(79, "G")
                         .Build());
  ImportCsp(context, RecordBuilder().Put(1, kCode).Put(71, "19990412").Put(80, "  1.01").Build());
  db::ResultSet rows = Rows("select * from zmp_csp order by id");
  ASSERT_EQ(rows.RowCount(), 2u);
  EXPECT_EQ(rows.Text("SZEM_ID"), "42");
  EXPECT_EQ(rows.Text("NEV"), "Kovács Ödön" + std::string(39, ' '));
  EXPECT_EQ(rows.Text("TAJSZAM"), "123456789");
  EXPECT_EQ(rows.Text("SZULDAT"), "2000-01-01 00:00:00.000");
  EXPECT_EQ(rows.Text("KOD"), "G");
  EXPECT_TRUE(rows.IsNull("VER"));
  rows.Next();
  EXPECT_EQ(rows.Text("SZULDAT"), "1999-04-12 00:00:00.000");
  EXPECT_EQ(rows.Text("VER"), "1.0100");
  EXPECT_EQ(rows.Text("ID"), std::to_string(context.CurrentRecordId()));
}

TEST_F(PersonRegisters, LedgerAccountsNameNoPerson) {
  // Letters at 1-11 would stop any person lookup.
  ImportPszlatuk(context, RecordBuilder().Put(1, "T46110ABC").Put(10, "Bérköltség").Build());
  const db::ResultSet row = Rows("select * from zmp_pszlatuk");
  ASSERT_EQ(row.RowCount(), 1u);
  EXPECT_EQ(row.Text("SZLASZAM"), "T46110ABC");
  EXPECT_EQ(row.Text("SZOVEG"), "Bérköltség");
  EXPECT_EQ(row.Text("ID"), std::to_string(context.CurrentRecordId()));
}

TEST_F(PersonRegisters, AStandingItemCarriesTwelveMonthlyFlags) {
  ImportKjt(context, RecordBuilder()
                         .Put(1, kCode)
                         .Put(12, "123")
                         .Put(15, "ignored field 15-43")
                         .Put(44, "FIX")
                         .Put(47, "  5000")
                         .Put(53, "      ")
                         .Put(59, "IIINNNNNNNNN")
                         .Build());
  const db::ResultSet row = Rows("select * from zmp_kjt");
  ASSERT_EQ(row.RowCount(), 1u);
  EXPECT_EQ(row.Text("SZEM_ID"), "42");
  EXPECT_EQ(row.Text("JOGCIM"), "123");
  EXPECT_EQ(row.Text("KEZELES"), "FIX");
  EXPECT_EQ(row.Text("OSSZEG"), "  5000");
  EXPECT_TRUE(row.IsNull("SZAZ"));
  std::string flags;
  for (int month = 1; month <= 12; ++month) flags += row.Text("A" + std::to_string(month));
  EXPECT_EQ(flags, "IIINNNNNNNNN");
  EXPECT_EQ(row.Text("KERET"), "0");
  EXPECT_EQ(row.Text("HATRALEK"), "0");
  EXPECT_EQ(row.Text("VER"), "1.0100");
  EXPECT_EQ(row.Text("KEZELO"), "0");
  EXPECT_EQ(row.Text("ID"), std::to_string(context.CurrentRecordId()));
}

TEST_F(PersonRegisters, AMembershipTypeIsKeptBelowLetterAAndIsOneFromIt) {
  ImportPtag(context, Membership(kCode, "5", "20080101").Build());
  ImportPtag(context, Membership(kCode, "B", "        ").Build());
  db::ResultSet rows = Rows("select * from zmp_ptag order by id");
  ASSERT_EQ(rows.RowCount(), 2u);
  EXPECT_EQ(rows.Text("TIP"), "5");
  EXPECT_EQ(rows.Text("SZEMELY"), kCode);
  EXPECT_EQ(rows.Text("JVK"), "05");
  EXPECT_EQ(rows.Text("PENZTAR"), "P001");
  EXPECT_EQ(rows.Text("KOD"), "TAG-123        ");
  EXPECT_EQ(rows.Text("BELEP"), "2008-01-01 00:00:00.000");
  EXPECT_EQ(rows.Text("KILEP"), "9999-12-31 00:00:00.000");
  EXPECT_EQ(rows.Text("OSSZEG"), "    1500.5");
  EXPECT_EQ(rows.Text("VER"), "1.0100");
  EXPECT_EQ(rows.Text("RSORSZ") + rows.Text("ELSO"), "00");
  EXPECT_EQ(rows.Text("SZEM_ID"), "42");
  EXPECT_EQ(rows.Text("CRD"), "2026-12-08 09:05:06.000");
  rows.Next();
  EXPECT_EQ(rows.Text("TIP"), "1");
  EXPECT_EQ(rows.Text("BELEP"), "9999-12-31 00:00:00.000");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PersonRegisters, ARefusedMembershipIsShownInElevenMessagesAndTheRunGoesOn) {
  const LegacyRecord refused = Membership(kCode, "A", "20091340").Build(4);
  ImportPtag(context, refused);
  const std::string id = std::to_string(context.CurrentRecordId());
  ASSERT_EQ(messages.shown.size(), 11u);
  EXPECT_EQ(messages.shown[0], "42");
  EXPECT_EQ(messages.shown[1].rfind("insert into  zmp_ptag( SZEMELY, TIP, JVK,", 0), 0u)
      << messages.shown[1];
  EXPECT_NE(messages.shown[1].find("\r\n values ( \r\n:x00, :x01,"), std::string::npos);
  EXPECT_EQ(messages.shown[2], refused.Text());
  EXPECT_EQ(std::vector<std::string>(messages.shown.begin() + 3, messages.shown.end()),
            (std::vector<std::string>{"1", "05", "P001", "TAG-123        ", "2009.13.40",
                                      "9999.12.31", id, "    1500.5"}));

  ImportPtag(context, Membership(kCode, "1", "20090101").Build(5));
  EXPECT_EQ(messages.shown.size(), 11u);
  EXPECT_EQ(Scalar("select count(*) from zmp_ptag"), "1");
  EXPECT_EQ(Scalar("select TIP from zmp_ptag"), "1");
  // The lookup is not protected: a code that is no number still stops.
  EXPECT_THROW(ImportPtag(context, Membership("ABC", "1", "20090101").Build()), ConvertError);
}

TEST_F(PersonRegisters, PaySheetLinesOfUnknownPersonsCostNoIdentifier) {
  const std::int64_t before = context.NextId();
  ImportBelap(context, RecordBuilder().Put(1, kStranger).Put(12, "A001").Build());
  EXPECT_EQ(context.NextId(), before + 1);
  EXPECT_EQ(Scalar("select count(*) from zmp_belap"), "0");

  ImportBelap(context, RecordBuilder()
                           .Put(1, kCode)
                           .Put(12, "A012")
                           .Put(18, "  100000")
                           .Put(26, "   20000")
                           .Put(34, "    3000")
                           .Put(42, "     400")
                           .Build());
  EXPECT_EQ(context.NextId(), before + 2);
  const db::ResultSet row = Rows("select * from zmp_belap");
  ASSERT_EQ(row.RowCount(), 1u);
  EXPECT_EQ(row.Text("szem_id"), "42");
  EXPECT_EQ(row.Text("ev"), "2009");
  EXPECT_EQ(row.Text("rtip"), "A");
  EXPECT_EQ(row.Text("sor"), "12");
  EXPECT_EQ(row.Text("ho"), "0");
  EXPECT_EQ(
      row.Text("osszeg_a") + row.Text("osszeg_b") + row.Text("osszeg_c") + row.Text("osszeg_d"),
      "  100000   20000    3000     400");
  EXPECT_EQ(row.Text("ver"), "1.0100");
  EXPECT_EQ(row.Text("cru"), "0");
}

TEST_F(PersonRegisters, ATransferNamesItsPersonAndTheFirstBank) {
  ImportUtalas(context, RecordBuilder()
                            .Put(1, kCode)
                            .Put(12, "xxxxxx")
                            .Put(18, "Nagy Éva")
                            .Put(48, "1111")
                            .Put(52, "Budapest")
                            .Put(72, "Fő utca 1.")
                            .Put(102, "11773016-11111111-00000000")
                            .Put(126, "Bér")
                            .Build());
  const db::ResultSet row = Rows("select * from zmp_utalas");
  ASSERT_EQ(row.RowCount(), 1u);
  EXPECT_EQ(row.Text("SZEM_ID"), "42");
  EXPECT_EQ(row.Text("KOD"), kCode);
  EXPECT_EQ(row.Text("NEV"), "Nagy Éva" + std::string(22, ' '));
  EXPECT_EQ(row.Text("ACIMI"), "1111");
  EXPECT_EQ(row.Text("ACIMV"), "Budapest" + std::string(12, ' '));
  EXPECT_EQ(row.Text("ACIMU"), "Fő utca 1." + std::string(20, ' '));
  EXPECT_EQ(row.Text("BSZAM"), "11773016-11111111-000000");
  EXPECT_EQ(row.Text("SZOVEG"), "Bér");  // the record ends there
  EXPECT_EQ(row.Text("BANK"), "1");
  EXPECT_EQ(row.Text("ID"), std::to_string(context.CurrentRecordId()));
}

TEST_F(PersonRegisters, UnknownPersonsAreSkippedWithTheirIdentifiersSpent) {
  const std::int64_t before = context.NextId();
  ImportCsp(context, RecordBuilder(85).Put(1, kStranger).Build());
  ImportKjt(context, RecordBuilder(70).Put(1, kStranger).Build());
  ImportPtag(context, Membership(kStranger, "1", "20090101").Build());
  ImportUtalas(context, RecordBuilder(145).Put(1, kStranger).Build());
  EXPECT_EQ(context.NextId(), before + 5);
  EXPECT_EQ(Scalar("select (select count(*) from zmp_csp) + (select count(*) from zmp_kjt) + "
                   "(select count(*) from zmp_ptag) + (select count(*) from zmp_utalas)"),
            "0");
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace moltaro::convert
