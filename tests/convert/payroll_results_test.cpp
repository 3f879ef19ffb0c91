// The monthly payroll results on an instance: every column from its place in
// the record, the three rows of a monthly record, and the later correction of
// the processing month's tax settings.
#include "convert/payroll_results.h"

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
using testing::RightAligned;

// A text column and the range of the record it comes from.
struct Spot {
  const char* column;
  std::size_t pos;
  std::size_t len = 12;
};

// A text no other range of the record holds: its position, or a letter.
std::string Marker(const Spot& spot) {
  if (spot.len == 1) return std::string(1, static_cast<char>('A' + spot.pos % 26));
  return RightAligned(std::to_string(spot.pos), spot.len);
}

const std::vector<Spot> kHavihTexts = {
    {"REND", 12},       {"NREND", 24},     {"BER", 36},       {"BERNR", 48},      {"ADOJOVIR", 60},
    {"NYUGDIJ", 84},    {"MNYUGDIJ", 96},  {"EUH", 108},      {"K_GYEREK", 120},  {"TESTI", 132},
    {"ALTAL", 144},     {"ADOELO", 156},   {"ADOELR", 168},   {"ADOELNR", 180},   {"EKEDVO", 192},
    {"EKEDVR", 204},    {"EKEDVNR", 216},  {"AKEDVO", 228},   {"AKEDVR", 240},    {"AKEDVNR", 252},
    {"AK100R", 264},    {"AK100NR", 276},  {"AK100IG", 288},  {"NYJALAPE", 300},  {"NYJALAPN", 312},
    {"NYJALAP7", 324},  {"NYJALAP1", 336}, {"NYJALAPT", 348}, {"NYJLEVE", 360},   {"NYJLEVN", 372},
    {"NYJLEV7", 384},   {"NYJLEV1", 396},  {"NYJLEVT", 408},  {"NYJLEVK", 420},   {"NYJLEVR", 432},
    {"NYJLEVNR", 444},  {"NYJALHE", 456},  {"NYJALHT", 480},  {"NYJLEVHE", 492},  {"NYJLEVHN", 504},
    {"NYJLEVHT", 516},  {"NYJALAPH", 528}, {"NYJLEVHK", 540}, {"NYJALH", 564},    {"MVJALAP", 582},
    {"MVJLEV", 594},    {"TBJALAPE", 606}, {"TBJALAPN", 618}, {"TBJLEVE", 630},   {"TBJLEVN", 642},
    {"MAJALAP", 654},   {"MAJLEV", 666},   {"EUH11", 678},    {"EUH11ALAP", 690}, {"EUH25", 702},
    {"EUH25ALAP", 714}, {"SZAKALAP", 728}, {"SZAKLEV", 740},  {"TB_JOV", 752},    {"TB_ADOE", 764},
};

const std::vector<Spot> kHaviTexts = {
    {"ATLKERI", 60, 1},  {"REND", 71},        {"NREND", 83},        {"BER", 95},
    {"BERNR", 107},      {"ADOJOVIR", 121},   {"ADOJOVIR2", 133},   {"ADOJOVIR5", 145},
    {"NYUGDIJ", 157},    {"MNYUGDIJ", 169},   {"EUH", 193},         {"ADOELO", 241},
    {"ADOELR", 253},     {"ADOELNR", 265},    {"EKEDVO", 277},      {"EKEDVR", 289},
    {"EKEDVNR", 301},    {"AKEDVO", 313},     {"AKEDVR", 325},      {"AKEDVNR", 337},
    {"AK100R", 349},     {"AK100NR", 361},    {"NYJALAPE", 385},    {"NYJALAPN", 397},
    {"NYJALAPT", 409},   {"NYJALHE", 421},    {"NYJALHN", 433},     {"NYJALHT", 445},
    {"NYJAL1", 457},     {"NYJAL2", 469},     {"NYJAL3", 481},      {"NYJAL4", 493},
    {"NYJLEVE", 505},    {"NYJLEVN", 517},    {"NYJLEVT", 529},     {"NYJLEVK", 541},
    {"NYJLEVR", 553},    {"NYJLEVNR", 565},   {"NYJLEVHE", 577},    {"NYJLEVHN", 589},
    {"NYJLEVHT", 601},   {"NYJLEVHK", 613},   {"NYJALH", 637},      {"KIESJ1", 665, 1},
    {"KIESJ2", 682, 1},  {"KIESJ3", 699, 1},  {"KIESJ4", 716, 1},   {"JEGYZ1", 717, 20},
    {"JEGYZ2", 737, 20}, {"JEGYZ3", 757, 20}, {"JEGYZ4", 777, 20},  {"MVJALAP", 803},
    {"MVJLEV", 815},     {"TBJALAPE", 827},   {"TBJALAPN", 839},    {"TBJLEVE", 851},
    {"TBJLEVN", 863},    {"MAJALAP", 875},    {"MAJLEV", 887},      {"EUH11", 900},
    {"EUH11ALAP", 912},  {"EUH25", 924},      {"EUH25ALAP", 936},   {"SZAKALAP", 948},
    {"SZAKLEV", 960},    {"ATLOSZR", 972, 7}, {"ATLIDOR", 979, 5},  {"ATLOSZU", 987, 7},
    {"ATLIDOU", 994, 5}, {"TB_JOV", 1002},    {"TB_ADOE", 1014},    {"NYJALAP7", 1091},
    {"NYJALAP1", 1103},  {"NYJLEVN7", 1115},  {"NYJLEVN1", 1127},   {"CSP1", 1140},
    {"CSP2", 1152},      {"KIFIZET", 1164},   {"STARTLEV15", 1202}, {"STARTLEV25", 1214},
    {"STARTALAP", 1226}, {"KULONADO", 1300},
};

const std::vector<Spot> kKszt2Texts = {
    {"BESBERO", 14, 10}, {"BESBERJ", 24, 1}, {"UTSOR", 61, 10},  {"adojo", 119, 1},
    {"AKADO", 181},      {"EUH", 193},       {"K_GYEREK", 205},  {"TESTI", 217},
    {"ALTAL", 229},      {"AK100IG", 373},   {"EGUHOZ", 899, 1}, {"EGYEDUL", 1139, 1},
    {"EJOV_CSP", 1324},  {"EJOV_2", 1336},
};

// The month's rates, each five characters; 1056-1060 between MVJ_S and MEJ_S
// is not read.
const std::vector<Spot> kKszt2Rates = {
    {"DEJ_S", 1026}, {"DNJ_S", 1031}, {"DTD_S", 1036}, {"DTK_S", 1041}, {"MTK_S", 1046},
    {"MVJ_S", 1051}, {"MEJ_S", 1061}, {"MNJ_S", 1066}, {"MMJ_S", 1071}, {"MBJ_S", 1076},
    {"MAJ_S", 1081}, {"MSH_S", 1086}, {"DEP_S", 1191}, {"MEP_S", 1196},
};

// A rate no other rate has: " 1.25" for the first, " 2.25" for the second …
std::string Rate(std::size_t index) {
  return RightAligned(std::to_string(index + 1) + ".25", 5);
}

class PayrollResults : public InstanceTest {
 protected:
  static constexpr const char* kCode = "00000000042";

  void SetUp() override {
    InstanceTest::SetUp();
    work.Execute("insert into zmp_kszt (SZEMELY, SZEM_ID) values (:x00, 42)", {kCode});
  }

  static RecordBuilder WithTexts(RecordBuilder record, const std::vector<Spot>& spots) {
    for (const Spot& spot : spots) record.Put(spot.pos, Marker(spot));
    return record;
  }

  // A monthly record of the known person with nothing but its month.
  static RecordBuilder Month(const std::string& month) {
    return RecordBuilder(1347).Put(1, kCode).Put(12, month);
  }

  static void ExpectTexts(const db::ResultSet& row, const std::vector<Spot>& spots) {
    for (const Spot& spot : spots) EXPECT_EQ(row.Text(spot.column), Marker(spot)) << spot.column;
  }
};

TEST_F(PayrollResults, YearlyTotalsTakeEveryAmountFromItsPlace) {
  RecordBuilder record = WithTexts(RecordBuilder(787).Put(1, kCode), kHavihTexts);
  record.Put(576, "  7").Put(579, " 21").Put(786, "12");
  ImportHavih(context, record.Build());
  const db::ResultSet row = Rows("select * from zmp_havih");
  ASSERT_EQ(row.RowCount(), 1u);
  ExpectTexts(row, kHavihTexts);
  EXPECT_EQ(row.Text("SZEM_ID"), "42");
  EXPECT_EQ(row.Text("EV"), "2009");
  EXPECT_EQ(row.Text("KIESOO"), "7");
  EXPECT_EQ(row.Text("JKOTNAP"), "21");
  EXPECT_EQ(row.Text("KEZELO"), "12");
  EXPECT_EQ(row.Text("ID"), std::to_string(context.CurrentRecordId()));
  EXPECT_TRUE(row.IsNull("VER"));
}

TEST_F(PayrollResults, AMonthlyRecordWritesThe2008RowThe2009RowAndTheTaxSettings) {
  RecordBuilder record = WithTexts(WithTexts(Month("03"), kHaviTexts), kKszt2Texts);
  record.Put(50, "      12.5").Put(657, "20090315").Put(666, "20090401");
  record.Put(797, "  2").Put(800, " 20").Put(1176, "76").Put(1178, "78");
  for (std::size_t i = 0; i < kKszt2Rates.size(); ++i) record.Put(kKszt2Rates[i].pos, Rate(i));
  record.Put(1056, "99999").Put(1201, "I");
  ImportHavi(context, record.Build());
  const std::string id = std::to_string(context.CurrentRecordId());

  const db::ResultSet previous = Rows("select * from zmp_havi where ev = 2008");
  ASSERT_EQ(previous.RowCount(), 1u);
  EXPECT_EQ(previous.Text("SZEM_ID"), "42");
  EXPECT_EQ(previous.Text("HONAP"), "3");
  // The 2009 row's own averages are 2008's "used" averages.
  EXPECT_EQ(previous.Text("ATLOSZU"), Marker({"ATLOSZR", 972, 7}));
  EXPECT_EQ(previous.Text("ATLIDOU"), Marker({"ATLIDOR", 979, 5}));
  for (const char* unset : {"ID", "VER", "REND", "ATLOSZR", "KIEST1", "NBER"}) {
    EXPECT_TRUE(previous.IsNull(unset)) << unset;
  }

  const db::ResultSet month = Rows("select * from zmp_havi where ev = 2009");
  ASSERT_EQ(month.RowCount(), 1u);
  ExpectTexts(month, kHaviTexts);
  EXPECT_EQ(month.Text("SZEM_ID"), "42");
  EXPECT_EQ(month.Text("HONAP"), "3");
  EXPECT_EQ(month.Text("ATLKERO"), "12.5000");
  EXPECT_EQ(month.Text("NBER"), "0");
  EXPECT_EQ(month.Text("KIEST1"), "9999-12-31 00:00:00.000");
  EXPECT_EQ(month.Text("KIESI1"), "2009-03-15 00:00:00.000");
  EXPECT_EQ(month.Text("KIEST2"), "2009-04-01 00:00:00.000");
  EXPECT_EQ(month.Text("KIESI4"), "9999-12-31 00:00:00.000");
  EXPECT_EQ(month.Text("KIESOO"), "2");
  EXPECT_EQ(month.Text("JKOTNAP"), "20");
  EXPECT_EQ(month.Text("KEZELO"), "78");
  EXPECT_EQ(month.Text("ID"), id);
  EXPECT_EQ(month.Text("VER"), "1.0100");

  const db::ResultSet tax = Rows("select * from zmp_kszt2");
  ASSERT_EQ(tax.RowCount(), 1u);
  ExpectTexts(tax, kKszt2Texts);
  EXPECT_EQ(tax.Text("SZEM_ID"), "42");
  EXPECT_EQ(tax.Text("EV"), "2009");
  EXPECT_EQ(tax.Text("HONAP"), "3");
  EXPECT_EQ(tax.Text("KEZELO"), "76");
  EXPECT_EQ(tax.Text("SZEMELY"), "1");
  EXPECT_EQ(tax.Text("ADOMOD"), "N");
  for (std::size_t i = 0; i < kKszt2Rates.size(); ++i) {
    EXPECT_EQ(tax.Text(kKszt2Rates[i].column), std::to_string(i + 1) + ".2500")
        << kKszt2Rates[i].column;
  }
  EXPECT_EQ(tax.Text("JFIZMIN"), "I");
  EXPECT_EQ(tax.Text("CRD"), "2026-12-08 09:05:06.000");
  EXPECT_EQ(tax.Text("CRU"), "0");
}

TEST_F(PayrollResults, BlankRangesGiveNullNumbersNoDatesAndTheDefaultFlag) {
  ImportHavi(context, Month(" 5").Build());
  const db::ResultSet month = Rows("select * from zmp_havi where ev = 2009");
  EXPECT_TRUE(month.IsNull("ATLKERO"));
  EXPECT_EQ(month.Text("HONAP"), "5");
  EXPECT_EQ(month.Text("KIESI3"), "9999-12-31 00:00:00.000");
  EXPECT_EQ(Scalar("select JFIZMIN from zmp_kszt2"), "N");
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt2 where DEJ_S is null and MSH_S is null"), "1");
}

TEST_F(PayrollResults, ATaxRateThatIsNoNumberStopsTheRecordAfterItsTwoMonthlyRows) {
  // Stray characters, and a rate cut short by the end of the record.
  const std::vector<std::pair<LegacyRecord, std::string>> cases = {
      {Month("04").Put(1031, "1x.0 ").Build(), "'1x,0 '"},
      {RecordBuilder().Put(1, kCode).Put(12, "05").Put(1026, "   ").Build(), "'   '"},
  };
  for (const auto& [record, offending] : cases) {
    try {
      ImportHavi(context, record);
      ADD_FAILURE() << "imported";
    } catch (const ConvertError& error) {
      EXPECT_NE(std::string(error.what()).find(offending), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(Scalar("select count(*) from zmp_havi"), "4");
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt2"), "0");
}

TEST_F(PayrollResults, UnknownPersonsWriteNothingButSpendTheirIdentifiers) {
  const std::int64_t before = context.NextId();
  ImportHavih(context, RecordBuilder(787).Put(1, "00000000007").Build());
  ImportHavi(context, Month("01").Put(1, "00000000008").Build());
  UpdateKszt2Tax(context, RecordBuilder(436).Put(1, "00000000009").Build());
  EXPECT_EQ(context.NextId(), before + 4);
  EXPECT_EQ(Scalar("select count(*) from zmp_havih"), "0");
  EXPECT_EQ(Scalar("select count(*) from zmp_havi"), "0");
  EXPECT_THROW(ImportHavi(context, Month("01").Put(1, "           ").Build()), ConvertError);
}

TEST_F(PayrollResults, TheTaxCorrectionReachesOnlyTheProcessingMonth) {
  ImportHavi(context, Month("00").Build());
  ImportHavi(context, Month(" 3").Put(119, "I").Put(373, RightAligned("50000", 12)).Build());
  ImportHavi(context, Month(" 4").Put(119, "I").Put(373, RightAligned("50000", 12)).Build());
  const LegacyRecord settings =
      RecordBuilder(436).Put(1, kCode).Put(423, "IN").Put(431, "123456").Build();
  const auto taxes = [this] {
    std::vector<std::string> rows;
    db::ResultSet result = Rows("select * from zmp_kszt2 order by honap");
    for (; !result.Eof(); result.Next()) {
      rows.push_back(result.Text("honap") + ":" + result.Text("adojo") + result.Text("adomod") +
                     result.Text("ak100ig"));
    }
    return rows;
  };
  const std::vector<std::string> untouched = taxes();
  EXPECT_EQ(untouched,
            (std::vector<std::string>{"0: N            ", "3:IN       50000", "4:IN       50000"}));

  // Before the settings named a processing month nothing changes, month 0
  // included; the identifier is spent all the same.
  const std::int64_t before = context.NextId();
  UpdateKszt2Tax(context, settings);
  EXPECT_EQ(context.NextId(), before + 2);
  context.SetProcessingMonth("   ");
  UpdateKszt2Tax(context, settings);
  EXPECT_EQ(taxes(), untouched);

  context.SetProcessingMonth("  4");
  UpdateKszt2Tax(context, settings);
  EXPECT_EQ(taxes(),
            (std::vector<std::string>{"0: N            ", "3:IN       50000", "4:NI123456"}));
}

}  // namespace
}  // namespace moltaro::convert
