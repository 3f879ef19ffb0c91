// The payroll calendar and working time on an instance.
#include "convert/time_calendar.h"

#include <gtest/gtest.h>

#include <string>

#include "convert/convert_error.h"
#include "instance_fixture.h"
#include "record_builder.h"

namespace moltaro::convert {
namespace {

using testing::InstanceTest;
using testing::RecordBuilder;

class TimeCalendar : public InstanceTest {
 protected:
  static constexpr const char* kCode = "00000000042";

  void SetUp() override {
    InstanceTest::SetUp();
    work.Execute("insert into zmp_kszt (SZEMELY, SZEM_ID) values (:x00, 42)", {kCode});
  }

  // A working-time record: person, month, main and sub payment numbers.
  static RecordBuilder Time(const std::string& month, std::size_t length = 79) {
    return RecordBuilder(length).Put(1, kCode).Put(16, month).Put(18, "  1").Put(21, "  2");
  }

  // An absence item of the known person in March.
  static RecordBuilder Item(const std::string& code) {
    return RecordBuilder(54)
        .Put(1, kCode)
        .Put(16, " 3")
        .Put(18, "  1")
        .Put(21, "  2")
        .Put(24, code)
        .Put(27, " 2 9  8 11")
        .Put(37, "      ")
        .Put(43, "  1")
        .Put(46, "  7.50")
        .Put(53, "12");
  }

  // Converts the failure to its text ("" when nothing failed).
  template <typename Run>
  static std::string Failure(Run run) {
    try {
      run();
    } catch (const ConvertError& error) {
      return error.what();
    }
    return {};
  }
};

TEST_F(TimeCalendar, APeriodIsTheMonthOfItsLineWithTheDayCountsInTheirColumns) {
  const LegacyRecord record = RecordBuilder()
                                  .Put(1, "Március")
                                  .Put(11, " 31")
                                  .Put(14, "200903")
                                  .Put(20, "TX")
                                  .Put(22, std::string(31, 'M'))
                                  .Put(53, "21222324")
                                  .Put(61, "12345")
                                  .Put(66, "71500")
                                  .Build(3);
  ImportPszak(context, record);
  const db::ResultSet row = Rows("select * from zmp_pszak");
  ASSERT_EQ(row.RowCount(), 1u);
  EXPECT_EQ(row.Text("EV"), "2009");
  EXPECT_EQ(row.Text("HO"), "3");
  EXPECT_EQ(row.Text("HONEV"), "Március   ");
  EXPECT_EQ(row.Text("HOHATAR"), " 31");
  EXPECT_EQ(row.Text("ROV"), "200903");
  EXPECT_EQ(row.Text("FELADVA"), "I");
  EXPECT_EQ(row.Text("LEZARVA"), "N");
  EXPECT_EQ(row.Text("MUNKAREND"), std::string(31, 'M'));
  // The file keeps NAPNM, NAPRM, NAPP, NAPU in this order.
  EXPECT_EQ(row.Text("NAPNM"), "21");
  EXPECT_EQ(row.Text("NAPRM"), "22");
  EXPECT_EQ(row.Text("NAPP"), "23");
  EXPECT_EQ(row.Text("NAPU"), "24");
  EXPECT_EQ(row.Text("NYUGJH"), "12345");
  EXPECT_EQ(row.Text("MINBER"), "71500");
  EXPECT_EQ(row.Text("JAR"), "0");
  EXPECT_EQ(row.Text("ID"), std::to_string(context.CurrentRecordId()));
  EXPECT_TRUE(row.IsNull("VER"));
  EXPECT_EQ(row.Text("AZONOSITO"), "0");
  EXPECT_EQ(row.Text("AZONOSITO_NEV"), "Naptár szerinti munkarend");
}

TEST_F(TimeCalendar, WorkingTimeReadsItsNumbersAndDates) {
  ImportIdo(context, Time(" 3")
                         .Put(24, "        ")
                         .Put(32, "20090331")
                         .Put(40, std::string(31, '8'))
                         .Put(71, "20 1 3 8")
                         .Build());
  const db::ResultSet row = Rows("select * from zmp_ido");
  ASSERT_EQ(row.RowCount(), 1u);
  EXPECT_EQ(row.Text("SZEMELY"), kCode);
  EXPECT_EQ(row.Text("SZEM_ID"), "42");
  EXPECT_EQ(row.Text("EV"), "2009");
  EXPECT_EQ(row.Text("HONAP"), "3");
  EXPECT_EQ(row.Text("FOKIFSZ"), "1");
  EXPECT_EQ(row.Text("KIFSZ"), "2");
  EXPECT_EQ(row.Text("DATT"), "9999-12-31 00:00:00.000");
  EXPECT_EQ(row.Text("DATI"), "2009-03-31 00:00:00.000");
  EXPECT_EQ(row.Text("MUNKAREND"), std::string(31, '8'));
  EXPECT_EQ(row.Text("NAPNM"), "20");
  EXPECT_EQ(row.Text("NAPRM"), "1");
  EXPECT_EQ(row.Text("NAPP"), "3");
  EXPECT_EQ(row.Text("NAPU"), "8");
  EXPECT_EQ(row.Text("ID"), std::to_string(context.CurrentRecordId()));
  EXPECT_TRUE(row.IsNull("VER"));
}

TEST_F(TimeCalendar, NumbersThatAreNoNumbersStopTheRecord) {
  EXPECT_NE(
      Failure([&] { ImportIdo(context, Time("3 ").Put(71, "20 1 3 8").Build()); }).find("'3 '"),
      std::string::npos);
  EXPECT_NE(
      Failure([&] { ImportIdo(context, Time(" 3").Put(71, "20 1 3  ").Build()); }).find("'  '"),
      std::string::npos);
  // A record too short for its last day count.
  EXPECT_NE(
      Failure([&] { ImportIdo(context, Time(" 3", 0).Put(71, "20 1 3").Build()); }).find("''"),
      std::string::npos);
  EXPECT_EQ(Scalar("select count(*) from zmp_ido"), "0");
  // Hours cut short by the end of the record are not blank.
  const LegacyRecord shortItem =
      RecordBuilder().Put(1, kCode).Put(16, " 3  1  2 12 2 9  8 11").Put(37, "    ").Build();
  EXPECT_NE(Failure([&] { ImportTido(context, shortItem); }).find("'    '"), std::string::npos);
  EXPECT_EQ(Scalar("select count(*) from zmp_tido"), "0");
}

TEST_F(TimeCalendar, TheLegacyWorkedCodeBecomesTenAndOtherCodesStayAsWritten) {
  ImportTido(context, Item("  1").Build());
  ImportTido(context, Item(" 12").Build());
  db::ResultSet rows = Rows("select * from zmp_tido order by id");
  ASSERT_EQ(rows.RowCount(), 2u);
  EXPECT_EQ(rows.Text("KOD"), "10");
  EXPECT_EQ(rows.Text("SZEMELY"), kCode);
  EXPECT_EQ(rows.Text("SZEM_ID"), "42");
  EXPECT_EQ(rows.Text("EV"), "2009");
  EXPECT_EQ(rows.Text("HONAP"), "3");
  EXPECT_EQ(rows.Text("FOKIFSZ"), "1");
  EXPECT_EQ(rows.Text("KIFSZ"), "2");
  EXPECT_EQ(rows.Text("TOL"), "2");
  EXPECT_EQ(rows.Text("IG"), "9");
  EXPECT_EQ(rows.Text("NAP1"), "8");
  EXPECT_EQ(rows.Text("NAP2"), "11");
  EXPECT_TRUE(rows.IsNull("ORA"));
  EXPECT_EQ(rows.Text("SNAP"), "1");
  EXPECT_EQ(rows.Text("SORA"), "7.5000");
  EXPECT_EQ(rows.Text("KEZELO"), "12");
  EXPECT_TRUE(rows.IsNull("DNAP"));
  EXPECT_EQ(rows.Text("AB"), "A");
  EXPECT_EQ(rows.Text("CRD"), "2026-12-08 09:05:06.000");
  EXPECT_EQ(rows.Text("CRU"), "0");
  rows.Next();
  EXPECT_EQ(rows.Text("KOD"), "12");
  EXPECT_EQ(rows.Text("ID"), std::to_string(context.CurrentRecordId()));
}

TEST_F(TimeCalendar, UnknownPersonsAreSkippedWithTheirIdentifiersSpent) {
  const std::int64_t before = context.NextId();
  ImportIdo(context, Time(" 3").Put(1, "00000000007").Put(71, "20 1 3 8").Build());
  ImportTido(context, Item("  1").Put(1, "00000000007").Build());
  EXPECT_EQ(context.NextId(), before + 3);
  EXPECT_EQ(Scalar("select count(*) from zmp_ido"), "0");
  EXPECT_EQ(Scalar("select count(*) from zmp_tido"), "0");
  // A period names no person.
  ImportPszak(context, RecordBuilder(70).Put(1, "XXXXXXXXXXX").Build(1));
  EXPECT_EQ(Scalar("select ho from zmp_pszak"), "1");
}

}  // namespace
}  // namespace moltaro::convert
