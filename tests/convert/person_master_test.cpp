#include "convert/person_master.h"

#include <gtest/gtest.h>

#include "convert/convert_error.h"
#include "convert/import_record.h"
#include "instance_fixture.h"

namespace moltaro::convert {
namespace {

class PersonMaster : public testing::InstanceTest {
 protected:
  // A full person record: every field the import reads, at its place.
  static LegacyRecord Person(std::size_t length = 430) {
    return Fixed(length, {{1, "   12345678"}, {12, "DR."},           {15, "Kovács Ödön"},
                          {42, "T"},          {44, "A01"},           {49, "FEOR1234"},
                          {57, "KOLTS0001"},  {99, "KIF001"},        {105, "SZV002"},
                          {111, "1"},         {112, "02"},           {114, "P1"},
                          {116, "a1"},        {118, "a234"},         {122, "a3"},
                          {146, "X"},         {147, "k2"},           {149, "j2"},
                          {151, "20090301"},  {167, "20090401"},     {183, " 20"},
                          {186, "  5"},       {189, " 15"},          {192, "  1"},
                          {195, " 11"},       {210, " 16"},          {213, " 21"},
                          {225, " 25"},       {232, "000000123456"}, {268, "000000000099"},
                          {424, "abc"}});
  }
};

TEST_F(PersonMaster, ARecordGivesThePersonItsHistoryAndItsLeaveLimits) {
  ImportPerson(context, Person());
  const std::int64_t szemId = context.CurrentRecordId();

  const db::ResultSet p = Rows("select * from zmp_kszt");
  ASSERT_EQ(p.RowCount(), 1u);
  EXPECT_EQ(p.Text("SZEMELY"), "   12345678");  // untrimmed
  EXPECT_EQ(p.Text("ENEV"), "DR.");
  EXPECT_EQ(p.Text("NEV"), "Kovács Ödön" + std::string(16, ' '));
  EXPECT_EQ(p.Text("SZAMFA"), "I");
  EXPECT_EQ(p.Text("SZAMFB"), "N");
  EXPECT_EQ(p.Text("AKTKIF"), "A01");
  EXPECT_EQ(p.Text("JOGVI"), "1");
  EXPECT_EQ(p.Text("KIFH"), "KIF001");
  EXPECT_EQ(p.Text("SZERV"), "SZV002");
  EXPECT_EQ(p.Text("ALLOM"), "02");
  EXPECT_EQ(p.Text("MRENDN") + p.Text("MRENDR") + p.Text("TAVTELJ"), "881");
  EXPECT_EQ(p.Text("PASZJEL") + p.Text("ALKMIN1") + p.Text("ALKMIN2") + p.Text("ALKMIN3"),
            "P1a1a234a3");
  EXPECT_EQ(p.Text("KJOVIRHO") + p.Text("JOVIRHO"), "k2j2");
  EXPECT_EQ(p.Text("PASSZIVTOL"), "2009-04-01 00:00:00.000");
  EXPECT_EQ(p.Text("PASSZIVIG"), "9999-12-31 00:00:00.000");
  EXPECT_EQ(p.Text("BELEP"), "2009-03-01 00:00:00.000");
  EXPECT_EQ(p.Text("KILEP"), "9999-12-31 00:00:00.000");
  EXPECT_EQ(p.Text("ATLAGBABER"), "X");
  EXPECT_EQ(p.Text("MAXREND"), "000000123456");
  EXPECT_EQ(p.Text("MAXBER"), std::string(12, ' '));
  EXPECT_EQ(p.Text("MAXNYJR"), "000000000099");
  EXPECT_EQ(p.Text("A1") + p.Text("A2") + p.Text("A3"), "abc");
  EXPECT_EQ(p.Integer("SZEM_ID"), szemId);
  EXPECT_EQ(p.Text("EV") + "|" + p.Text("DNAP") + "|" + p.Text("VER") + "|" + p.Text("KEZELO"),
            "2009|200911|1.0100|10");
  for (const char* empty :
       {"ACIMI", "ACIMV", "ACIMU",     "ICIMI",   "ICIMV",     "ICIMU",   "LCIMI", "LCIMV",
        "LCIMU", "ANEV",  "LNEV",      "ADOSZ",   "TAJSZ",     "SZIG",    "UTLEV", "NYTSZAM",
        "SZULH", "NEME",  "SZULHIRSZ", "VASUT50", "REHABKIEG", "TARTOZIK"}) {
    EXPECT_FALSE(p.IsNull(empty)) << empty;
    EXPECT_EQ(p.Text(empty), "") << empty;
  }
  EXPECT_TRUE(p.IsNull("SZIGIG"));
  EXPECT_TRUE(p.IsNull("UTLEVIG"));
  EXPECT_TRUE(p.IsNull("SZULDAT"));
  EXPECT_EQ(p.Text("FEOR"), "FEOR1234");
  EXPECT_EQ(p.Text("VEGKIEGHO"), "0");
  EXPECT_EQ(p.Text("KOLTS"), "KOLTS0001");
  EXPECT_EQ(p.Text("CRD"), "2026-12-08 09:05:06.000");
  EXPECT_EQ(p.Text("CRU"), "0");
  EXPECT_TRUE(p.IsNull("LMD"));

  const db::ResultSet h = Rows("select * from zmp_kszt3 order by ID");
  ASSERT_EQ(h.RowCount(), 3u);
  std::string history;
  for (db::ResultSet r = h; !r.Eof(); r.Next()) {
    EXPECT_EQ(r.Integer("SZEM_ID"), szemId);
    EXPECT_EQ(r.Text("KODCH"), "");
    EXPECT_EQ(r.Text("TOL"), "2009-03-01 00:00:00.000");
    EXPECT_EQ(r.Text("IG"), "9999-12-31 00:00:00.000");
    EXPECT_EQ(r.Text("CRD"), "2026-12-08 09:05:06.000");
    EXPECT_EQ(r.Text("CRU"), "0");
    history +=
        std::to_string(r.Integer("ID") - szemId) + r.Text("TIPUS") + "=" + r.Text("KOD") + " ";
  }
  EXPECT_EQ(history, "1K=KIF001 2S=SZV002 3F=FEOR1234 ");

  const db::ResultSet l = Rows("select * from zmp_pszab");
  ASSERT_EQ(l.RowCount(), 1u);
  std::string limits;
  for (const char* column : {"MAXFISZ", "EDKFISZ", "MAXBETN", "EDKBETN", "MAX11", "MAX12", "MAX16",
                             "MAX17", "MAX20", "EDK11", "EDK12", "EDK15", "EDK16", "EDK20"}) {
    limits += l.Text(column) + " ";
  }
  EXPECT_EQ(limits, "20 5 15 1 11 0 16 0 0 21 0 25 0 0 ");
  EXPECT_EQ(l.Integer("SZEM_ID"), szemId);
  EXPECT_EQ(l.Text("EV") + "|" + l.Text("DNAP") + "|" + l.Text("VER") + "|" + l.Text("KEZELO"),
            "2009|200911|1.0100|0");
}

TEST_F(PersonMaster, EachRecordConsumesFourIdentifiers) {
  ImportPerson(context, Person());
  const std::int64_t first = context.CurrentRecordId();
  ImportPerson(context, Person());
  EXPECT_EQ(context.CurrentRecordId(), first + 4);
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt"), "2");  // no check for a repeated code
  EXPECT_EQ(Scalar("select max(ID) from zmp_kszt3"), std::to_string(first + 7));
}

TEST_F(PersonMaster, ShortRecordsGiveEmptyFieldsButNeverAHalfDate) {
  // 182 characters: the last date ends the line; A1–A3, the maxima and the
  // leave limits are cut away.
  ImportPerson(context, Fixed(182, {{1, "00000000001"}, {42, "t"}, {151, "        "}}));
  EXPECT_EQ(Scalar("select A1 + A2 + A3 + MAXREND + '|' from zmp_kszt"), "|");
  EXPECT_EQ(Scalar("select SZAMFA from zmp_kszt"), "N");
  EXPECT_EQ(Scalar("select BELEP from zmp_kszt"), "9999-12-31 00:00:00.000");
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt3 where TOL = '9999.12.31'"), "3");
  EXPECT_EQ(Scalar("select MAXFISZ from zmp_pszab"), "0");
  // Shorter still, the leaving date is cut in half: the server refuses it and
  // the record stops before anything of it is written.
  EXPECT_THROW(ImportRecord(context, ImportPerson, "ypszt.txt", Fixed(163, {{1, "2"}})),
               ConvertError);
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt"), "1");
}

}  // namespace
}  // namespace moltaro::convert
