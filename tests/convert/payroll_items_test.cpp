#include "convert/payroll_items.h"

#include <gtest/gtest.h>

#include "convert/convert_error.h"
#include "instance_fixture.h"

namespace moltaro::convert {
namespace {

class PayrollItems : public testing::InstanceTest {
 protected:
  static LegacyRecord Item(const std::string& code, const std::string& percent = "12.5  ") {
    return Fixed(170, {{1, "A"},          {2, code},         {13, "F01"},      {16, "K02"},
                       {19, "11"},        {21, "KI3"},       {24, "skip!!"},   {30, "101"},
                       {33, "00012345"},  {41, "KERET001"},  {49, "HATR0001"}, {57, "ALAP0001"},
                       {65, "ALSO0001"},  {73, "FELSO001"},  {81, percent},    {87, "KORR0001"},
                       {95, "LEVA0001"},  {103, "-"},        {104, "PART01"},  {110, "D3000001"},
                       {118, "D3E00001"}, {126, "D4000001"}, {134, "D4E0"},    {138, "   2.5 "},
                       {148, "07"},       {150, "xxxx"},     {154, "200911"}});
  }
};

TEST_F(PayrollItems, AKnownPersonsItemIsWrittenWholeWithoutAMessage) {
  work.Execute("insert into zmp_kszt (SZEMELY, SZEM_ID) values ('00000000042', 700)");
  ImportPayrollItem(context, Item("42         "));
  EXPECT_TRUE(messages.shown.empty());
  const db::ResultSet r = Rows("select * from zmp_jogc");
  ASSERT_EQ(r.RowCount(), 1u);
  EXPECT_EQ(r.Text("AB"), "A");
  EXPECT_EQ(r.Integer("ID"), context.CurrentRecordId());
  EXPECT_EQ(r.Text("SZEMELY"), "42         ");
  EXPECT_EQ(r.Text("JOGCIM") + "|" + r.Text("OSSZEG") + "|" + r.Text("HONAP") + "|" +
                r.Text("KIFSZ") + "|" + r.Text("FOKIFSZ") + "|" + r.Text("KEZELES"),
            "101|00012345|11|KI3|F01|K02");
  EXPECT_EQ(
      r.Text("KERET") + r.Text("HATRALEK") + r.Text("ALAP") + r.Text("ALSO") + r.Text("FELSO"),
      "KERET001HATR0001ALAP0001ALSO0001FELSO001");
  EXPECT_EQ(r.Text("SZAZALEK"), "12.5000");
  EXPECT_EQ(r.Text("KORREKCIO") + r.Text("LEVALAP") + r.Text("PARTNER") + r.Text("ELOJEL"),
            "KORR0001LEVA0001PART01-");
  EXPECT_EQ(r.Text("D3") + "|" + r.Text("D3E") + "|" + r.Text("D4") + "|" + r.Text("D4E"),
            "D3000001|D3E00001|D4000001|D4E0   2");
  EXPECT_EQ(r.Text("MUNKASZAM") + "|" + r.Text("KEZELO"), ".5    |07");
  EXPECT_EQ(r.Text("EV") + "|" + r.Text("DNAP"), "2009|200911");
  EXPECT_EQ(r.Text("VER"), "2.5000");  // characters 138–144
  EXPECT_EQ(r.Text("SZEM_ID"), "700");
  EXPECT_EQ(r.Text("CRD") + "|" + r.Text("CRU"), "2026-12-08 09:05:06.000|0");
}

TEST_F(PayrollItems, AnUnknownPersonIsReportedBeforeItsItemIsWritten) {
  struct CountingMessages : MessageSink {
    explicit CountingMessages(db::Connection& c) : work(c) {}
    void ShowMessage(const std::string& text) override {
      shown.push_back(text + " @" +
                      db::ToText(work.Query("select count(*) n from zmp_jogc").Field("n")));
    }
    db::Connection& work;
    std::vector<std::string> shown;
  } counting(work);
  ConvertContext c(work, counting);
  ImportPayrollItem(c, Item("00000000099", "      "));
  EXPECT_EQ(counting.shown, std::vector<std::string>{"Baj van!!:00000000099 @0"});
  EXPECT_EQ(Scalar("select count(*) from zmp_jogc where SZEM_ID is null and SZAZALEK is null"),
            "1");
}

TEST_F(PayrollItems, ARepeatedPersonCodeIsKnownAndAnEmptyLineIsRefused) {
  work.Execute("insert into zmp_kszt (SZEMELY, SZEM_ID) values ('00000000042', 700)");
  work.Execute("insert into zmp_kszt (SZEMELY, SZEM_ID) values ('         42', 701)");
  ImportPayrollItem(context, Item("42         "));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(Scalar("select count(*) from zmp_jogc where SZEM_ID in (700, 701)"), "1");
  // An empty line is a record too; its empty person code cannot be looked up.
  const LegacyFile file = SplitLegacyText("\r\nvege", false);
  ASSERT_EQ(file.records.size(), 1u);
  EXPECT_THROW(ImportPayrollItem(context, file.records[0]), ConvertError);
}

TEST_F(PayrollItems, FileBytesArriveUnconvertedAndABadPercentStopsTheRecord) {
  work.Execute("insert into zmp_kszt (SZEMELY, SZEM_ID) values ('00000000042', 700)");
  // ypjogc.txt is read without the code page conversion: 0x8A stays 0x8A
  // (Š in Windows-1250) instead of becoming Ő.
  std::string bytes = Item("00000000042").Bytes();
  bytes[103] = '\x8A';
  const LegacyFile file = SplitLegacyText(bytes + "\r\nvege", false);
  ImportPayrollItem(context, file.records.at(0));
  EXPECT_EQ(Scalar("select PARTNER from zmp_jogc"), "ŠART01");

  EXPECT_THROW(ImportPayrollItem(context, Item("00000000042", "12,a  ")), ConvertError);
  EXPECT_THROW(ImportPayrollItem(context, Item("0000000004;")), ConvertError);
  EXPECT_EQ(Scalar("select count(*) from zmp_jogc"), "1");
}

}  // namespace
}  // namespace moltaro::convert
