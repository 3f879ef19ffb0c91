#include "convert/payroll_item_types.h"

#include <gtest/gtest.h>

#include "convert/convert_error.h"
#include "instance_fixture.h"

namespace moltaro::convert {
namespace {

class PayrollItemTypes : public testing::InstanceTest {
 protected:
  static LegacyRecord Type(const std::string& base, const std::string& percent,
                           const std::string& version) {
    return Fixed(600, {{1, "101"},
                       {4, "Alapbér"},
                       {34, "K01"},
                       {37, "T1"},
                       {39, "M2"},
                       {41, base},
                       {43, percent},
                       {49, "OSSZ01"},
                       {55, " 1,2,22 "},
                       {175, "5,250"},
                       {235, "ABCDE6GHIJKLMNOPQRSTU"},
                       {265, "F1"},
                       {267, "A"},
                       {268, "9"},
                       {269, "ADCSOK1"},
                       {276, "ADOCSO1"},
                       {283, "H"},
                       {284, "9"},
                       {285, "K01"},
                       {288, "K02"},
                       {291, "K03"},
                       {294, "K04"},
                       {297, "N01"},
                       {300, "N02"},
                       {303, "N03"},
                       {306, "N04"},
                       {309, "SZLA00001"},
                       {318, "ESZLA0001"},
                       {337, version},
                       {583, "G081"},
                       {587, "G082"},
                       {591, "G083"},
                       {595, "G084"}});
  }
};

TEST_F(PayrollItemTypes, ARecordIsRecodedIntoOneRow) {
  ImportPayrollItemType(context, Type(" 8", "12.50 ", "1.01  "));
  const db::ResultSet r = Rows("select * from zmp_jt");
  ASSERT_EQ(r.RowCount(), 1u);
  EXPECT_EQ(r.Text("JOGCIM") + "|" + r.Text("NEV"), "101|Alapbér" + std::string(23, ' '));
  EXPECT_EQ(r.Text("KEZELES") + r.Text("TIPUS") + r.Text("SZMOD"), "K01T1M2");
  EXPECT_EQ(r.Text("SZALAP"), "9");
  EXPECT_EQ(r.Text("SZSZAZ"), "12,50 ");
  EXPECT_EQ(r.Text("SZOSSZ"), "OSSZ01");
  const std::string idoadat = r.Text("IDOADAT");
  ASSERT_EQ(idoadat.size(), 100u);
  EXPECT_EQ(idoadat,
            std::string(9, 'N') + "II" + std::string(30, 'N') + "I" + std::string(58, 'N'));
  const std::string jogcok = r.Text("JOGCOK");
  ASSERT_EQ(jogcok.size(), 250u);
  EXPECT_EQ(jogcok, std::string(4, '_') + "I" + std::string(244, '_') + "I");
  EXPECT_EQ(r.Text("DIO"), "ABCDE6GHIJKLM6OPQRSTUI________");
  EXPECT_EQ(r.Text("FORRAS") + r.Text("ADMOD") + "|" + r.Text("ADALAP"), "F1A|10");
  EXPECT_EQ(r.Text("ADCSOK") + r.Text("ADOCSOK"), "ADCSOK1ADOCSO1");
  EXPECT_EQ(r.Text("STAT"), std::string(10, ' '));
  EXPECT_EQ(r.Text("KI1") + r.Text("KI2") + r.Text("KI3") + r.Text("KI4"), "K01K02K03K04");
  EXPECT_EQ(r.Text("N11") + r.Text("N12") + r.Text("N13") + r.Text("N14"), "N01N02N03N04");
  EXPECT_EQ(r.Text("SZLA") + r.Text("ESZLA"), "SZLA00001ESZLA0001");
  EXPECT_EQ(r.Integer("ID"), context.CurrentRecordId());
  EXPECT_EQ(r.Text("VER") + "|" + r.Text("EV"), "1.0100|2009");
  EXPECT_EQ(r.Text("CRD") + "|" + r.Text("CRU"), "2026-12-08 09:05:06.000|0");
  EXPECT_EQ(r.Text("HS16") + r.Text("HS9"), "H9");
  EXPECT_EQ(r.Text("G081") + r.Text("G082") + r.Text("G083") + r.Text("G084"), "G081G082G083G084");
}

TEST_F(PayrollItemTypes, BlankPercentAndVersionAndTheUnmappedBases) {
  ImportPayrollItemType(context, Type(" 9", "      ", "      "));
  ImportPayrollItemType(context, Type("19", "      ", "      "));
  const db::ResultSet r = Rows("select SZALAP, SZSZAZ, VER from zmp_jt order by ID");
  ASSERT_EQ(r.RowCount(), 2u);
  EXPECT_EQ(r.Text("SZALAP"), " 9");
  EXPECT_EQ(r.Text("SZSZAZ"), " 0.00");
  EXPECT_TRUE(r.IsNull("VER"));
  EXPECT_EQ(db::ToText(r.Rows()[1][0]), "15");

  EXPECT_THROW(ImportPayrollItemType(context, Type("  ", "      ", "      ")), ConvertError);
  EXPECT_THROW(ImportPayrollItemType(context, Type(" 1", "      ", "1.0.1 ")), ConvertError);
  EXPECT_EQ(Scalar("select count(*) from zmp_jt"), "2");
}

TEST(CalculationBase, RecodesTheKnownBasesAndKeepsTheRest) {
  EXPECT_EQ(CalculationBase(" 0"), db::Value(std::int64_t{1}));
  EXPECT_EQ(CalculationBase("08"), db::Value(std::int64_t{9}));
  EXPECT_EQ(CalculationBase("10"), db::Value(std::int64_t{11}));
  EXPECT_EQ(CalculationBase("12"), db::Value(std::int64_t{12}));
  EXPECT_EQ(CalculationBase("19"), db::Value(std::int64_t{15}));
  for (const std::string kept : {" 9", "11", "13", "18", "20", "-1"}) {
    EXPECT_EQ(CalculationBase(kept), db::Value(kept));
  }
  EXPECT_THROW(CalculationBase("1 "), ConvertError);
  EXPECT_THROW(CalculationBase(""), ConvertError);
}

TEST(TaxBase, TheDigitPlusOne) {
  EXPECT_EQ(TaxBase("0"), "1");
  EXPECT_EQ(TaxBase("9"), "10");
  EXPECT_THROW(TaxBase(" "), ConvertError);
  EXPECT_THROW(TaxBase("x"), ConvertError);
}

TEST(RebuiltFlags, SixthCharacterTwiceFourteenthLost) {
  EXPECT_EQ(RebuiltFlags(std::string(21, ' ')), std::string(21, '_') + "I________");
  EXPECT_EQ(RebuiltFlags("abcdefghijklmnopqrstu"), "abcdefghijklmfopqrstuI________");
  EXPECT_EQ(RebuiltFlags("abcdef h"), "abcdef_hfI________");  // a short field stays short
}

}  // namespace
}  // namespace moltaro::convert
