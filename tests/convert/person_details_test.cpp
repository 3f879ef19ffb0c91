#include "convert/person_details.h"

#include <gtest/gtest.h>

#include "convert/convert_error.h"
#include "instance_fixture.h"

namespace moltaro::convert {
namespace {

class PersonDetails : public testing::InstanceTest {
 protected:
  void AddPerson(const std::string& code, int id) {
    work.Execute("insert into zmp_kszt (SZEMELY, SZEM_ID) values (:x00, :x01)",
                 {code, std::int64_t{id}});
  }

  static LegacyRecord Details(const std::string& code) {
    return Fixed(
        841, {{1, code},         {72, "19800229"},      {80, "2"},           {91, "1234"},
              {95, "Győr"},      {115, "9021"},         {119, "Győr"},       {139, "Árpád út 1."},
              {181, "1011"},     {185, "Budapest"},     {205, "Fő utca 2."}, {247, "4025"},
              {251, "Debrecen"}, {271, "Piac u. 3."},   {324, "8123456789"}, {334, "123456789"},
              {343, "AB123456"}, {363, "PASS12345678"}, {375, "20150630"},   {383, "NY1234567"},
              {648, "HU "},      {691, "  Kiss"},       {721, "Éva  "},      {781, "Nagy"},
              {811, "Erzsébet"}});
  }
};

TEST_F(PersonDetails, FillsTheUpdateAndAddsThePermanentAddress) {
  AddPerson("00000000042", 700);
  const std::int64_t before = context.NextId();
  UpdatePersonDetails(context, Details("00000000042"));

  const db::ResultSet p = Rows("select * from zmp_kszt");
  EXPECT_EQ(p.Text("ACIMI") + "|" + p.Text("ACIMV") + "|" + p.Text("ACIMU"),
            "9021|Győr                |Árpád út 1.                   ");
  EXPECT_EQ(p.Text("ICIMI") + "|" + p.Text("ICIMV").substr(0, 8), "1011|Budapest");
  EXPECT_EQ(p.Text("LCIMI") + "|" + p.Text("LCIMU").substr(0, 10), "4025|Piac u. 3.");
  EXPECT_EQ(p.Text("ANEV"), "Kiss Éva");
  EXPECT_EQ(p.Text("LNEV"), "Nagy Erzsébet");
  EXPECT_EQ(p.Text("ADOSZ") + "|" + p.Text("TAJSZ") + "|" + p.Text("SZIG"),
            "8123456789|123456789|AB123456");
  EXPECT_EQ(p.Text("SZIGIG"), "9999-12-31 00:00:00.000");
  EXPECT_EQ(p.Text("UTLEV"), "PASS12345678");
  EXPECT_EQ(p.Text("UTLEVIG"), "2015-06-30 00:00:00.000");
  EXPECT_EQ(p.Text("NYTSZAM"), "NY1234567");
  EXPECT_EQ(p.Text("SZULH").substr(0, 5), "Győr");
  EXPECT_EQ(p.Text("SZULDAT"), "1980-02-29 00:00:00.000");
  EXPECT_EQ(p.Text("NEME") + "|" + p.Text("SZULHIRSZ"), "2|1234");
  EXPECT_EQ(p.Text("VASUT50") + p.Text("REHABKIEG") + p.Text("TARTOZIK") + "|", "|");
  EXPECT_EQ(p.Text("LMD"), "2026-12-08 09:05:06.000");
  EXPECT_EQ(p.Text("LMU"), "0");
  EXPECT_EQ(p.Text("ALLAMP"), "HU ");

  const db::ResultSet a = Rows("select * from zmp_cim");
  ASSERT_EQ(a.RowCount(), 1u);
  EXPECT_EQ(a.Text("SZEM_ID"), "700");
  EXPECT_EQ(a.Integer("ID"), before + 1);
  EXPECT_EQ(a.Text("TIPUS") + "|" + a.Text("JELLEG") + "|" + a.Text("IRSZ"), "AL|utca|9021");
  EXPECT_EQ(a.Text("VAROS"), p.Text("ACIMV"));
  EXPECT_EQ(a.Text("UTCA"), p.Text("ACIMU"));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(PersonDetails, AnUnknownPersonIsSkippedSilently) {
  AddPerson("00000000042", 700);
  const std::int64_t before = context.NextId();
  UpdatePersonDetails(context, Details("00000000043"));
  EXPECT_EQ(Scalar("select count(*) from zmp_cim"), "0");
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt where LMD is not null"), "0");
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(context.NextId(), before + 1);  // no identifier drawn
  EXPECT_THROW(UpdatePersonDetails(context, Details("0000000004'")), ConvertError);
}

TEST_F(PersonDetails, AFailedUpdateIsReportedAndTheAddressStillAdded) {
  AddPerson("   42", 700);
  UpdatePersonDetails(context, Fixed(841, {{1, "   42      "}, {72, "1980AB01"}, {119, "Pécs"}}));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].substr(0, 12), "   42      \n");
  EXPECT_NE(messages.shown[0].find("Conversion failed"), std::string::npos) << messages.shown[0];
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt where LMD is not null"), "0");
  EXPECT_EQ(Scalar("select VAROS from zmp_cim"), "Pécs" + std::string(16, ' '));
}

TEST_F(PersonDetails, ShortRecordsAndRepeatedPersons) {
  AddPerson("7", 700);
  UpdatePersonDetails(context, LegacyRecord(Details("00000000007").Bytes().substr(0, 600), 1));
  EXPECT_EQ(Scalar("select ALLAMP + '|' + ANEV + '|' + LNEV + '|' from zmp_kszt"), "| | |");
  UpdatePersonDetails(context, Fixed(841, {{1, "00000000007"}, {119, "Eger"}, {648, "D"}}));
  EXPECT_EQ(Scalar("select ALLAMP from zmp_kszt"), "D  ");
  EXPECT_EQ(Scalar("select count(*) from zmp_cim where SZEM_ID = 700"), "2");
}

TEST(JoinedName, TrimmedPartsOneBlankAtMostThirtyCharacters) {
  EXPECT_EQ(JoinedName("  Kiss  ", " Éva "), "Kiss Éva");
  EXPECT_EQ(JoinedName("", ""), " ");
  EXPECT_EQ(JoinedName("Árvíztűrő Tükörfúrógépész", "Kelemenné Szőke"),
            "Árvíztűrő Tükörfúrógépész Kele");
}

}  // namespace
}  // namespace moltaro::convert
