#include "convert/payroll_results.h"

#include <cstdint>
#include <optional>
#include <string>

#include "common/text.h"
#include "convert/insert_row.h"
#include "convert/person_record.h"
#include "convert/value_rules.h"

namespace moltaro::convert {
namespace {

// Amounts go to the server as their fixed-width text; the column converts.
class Fields {
 public:
  explicit Fields(const LegacyRecord& record) : record_(record) {}
  db::Value Text(std::size_t pos, std::size_t len) const { return record_.Field(pos, len); }
  db::Value Date(std::size_t pos) const { return BlankDateRule(record_.Field(pos, 8)); }
  db::Value Decimal(std::size_t pos, std::size_t len) const {
    return DecimalRule(record_.Field(pos, len), len);
  }

 private:
  const LegacyRecord& record_;
};

RowValues PreviousYearRow(const Fields& f, const std::string& person) {
  // The averages the 2009 row keeps as ATLOSZR/ATLIDOR are 2008's "used"
  // averages: the same ranges, stored under the other names.
  return {
      {"SZEM_ID", person},         {"EV", TextValue("2008")},   {"HONAP", f.Text(12, 2)},
      {"ATLOSZU", f.Text(972, 7)}, {"ATLIDOU", f.Text(979, 5)},
  };
}

RowValues MonthRow(const Fields& f, const std::string& person, std::int64_t id) {
  return {
      {"SZEM_ID", person},
      {"EV", TextValue(kConvertedYear)},
      {"HONAP", f.Text(12, 2)},
      {"ATLKERO", f.Decimal(50, 10)},
      {"ATLKERI", f.Text(60, 1)},
      {"REND", f.Text(71, 12)},
      {"NREND", f.Text(83, 12)},
      {"BER", f.Text(95, 12)},
      {"BERNR", f.Text(107, 12)},
      {"NBER", TextValue("0")},
      {"ADOJOVIR", f.Text(121, 12)},
      {"ADOJOVIR2", f.Text(133, 12)},
      {"NYUGDIJ", f.Text(157, 12)},
      {"MNYUGDIJ", f.Text(169, 12)},
      {"EUH", f.Text(193, 12)},
      {"ADOELO", f.Text(241, 12)},
      {"ADOELR", f.Text(253, 12)},
      {"ADOELNR", f.Text(265, 12)},
      {"EKEDVO", f.Text(277, 12)},
      {"EKEDVR", f.Text(289, 12)},
      {"EKEDVNR", f.Text(301, 12)},
      {"AKEDVO", f.Text(313, 12)},
      {"AKEDVR", f.Text(325, 12)},
      {"AKEDVNR", f.Text(337, 12)},
      {"AK100R", f.Text(349, 12)},
      {"AK100NR", f.Text(361, 12)},
      {"NYJALAPE", f.Text(385, 12)},
      {"NYJALAPN", f.Text(397, 12)},
      {"NYJALAPT", f.Text(409, 12)},
      {"NYJALHE", f.Text(421, 12)},
      {"NYJALHN", f.Text(433, 12)},
      {"NYJALHT", f.Text(445, 12)},
      {"NYJAL1", f.Text(457, 12)},
      {"NYJAL2", f.Text(469, 12)},
      {"NYJAL3", f.Text(481, 12)},
      {"NYJAL4", f.Text(493, 12)},
      {"NYJLEVE", f.Text(505, 12)},
      {"NYJLEVN", f.Text(517, 12)},
      {"NYJLEVT", f.Text(529, 12)},
      {"NYJLEVK", f.Text(541, 12)},
      {"NYJLEVR", f.Text(553, 12)},
      {"NYJLEVNR", f.Text(565, 12)},
      {"NYJLEVHE", f.Text(577, 12)},
      {"NYJLEVHN", f.Text(589, 12)},
      {"NYJLEVHT", f.Text(601, 12)},
      {"NYJLEVHK", f.Text(613, 12)},
      {"NYJALH", f.Text(637, 12)},
      // Four absence blocks of seventeen characters: start, end, flag.
      {"KIEST1", f.Date(649)},
      {"KIESI1", f.Date(657)},
      {"KIESJ1", f.Text(665, 1)},
      {"KIEST2", f.Date(666)},
      {"KIESI2", f.Date(674)},
      {"KIESJ2", f.Text(682, 1)},
      {"KIEST3", f.Date(683)},
      {"KIESI3", f.Date(691)},
      {"KIESJ3", f.Text(699, 1)},
      {"KIEST4", f.Date(700)},
      {"KIESI4", f.Date(708)},
      {"KIESJ4", f.Text(716, 1)},
      {"JEGYZ1", f.Text(717, 20)},
      {"JEGYZ2", f.Text(737, 20)},
      {"JEGYZ3", f.Text(757, 20)},
      {"JEGYZ4", f.Text(777, 20)},
      {"KIESOO", f.Text(797, 3)},
      {"JKOTNAP", f.Text(800, 3)},
      {"MVJALAP", f.Text(803, 12)},
      {"MVJLEV", f.Text(815, 12)},
      {"TBJALAPE", f.Text(827, 12)},
      {"TBJALAPN", f.Text(839, 12)},
      {"TBJLEVE", f.Text(851, 12)},
      {"TBJLEVN", f.Text(863, 12)},
      {"MAJALAP", f.Text(875, 12)},
      {"MAJLEV", f.Text(887, 12)},
      {"EUH11", f.Text(900, 12)},
      {"EUH11ALAP", f.Text(912, 12)},
      {"SZAKALAP", f.Text(948, 12)},
      {"SZAKLEV", f.Text(960, 12)},
      {"ATLOSZR", f.Text(972, 7)},
      {"ATLIDOR", f.Text(979, 5)},
      {"ATLOSZU", f.Text(987, 7)},
      {"ATLIDOU", f.Text(994, 5)},
      {"TB_JOV", f.Text(1002, 12)},
      {"TB_ADOE", f.Text(1014, 12)},
      {"NYJALAP7", f.Text(1091, 12)},
      {"NYJALAP1", f.Text(1103, 12)},
      {"NYJLEVN7", f.Text(1115, 12)},
      {"NYJLEVN1", f.Text(1127, 12)},
      {"CSP1", f.Text(1140, 12)},
      {"CSP2", f.Text(1152, 12)},
      {"KIFIZET", f.Text(1164, 12)},
      {"KEZELO", f.Text(1178, 2)},
      {"ID", id},
      {"VER", 1.01},
      // The two 25% amounts fill the 24 unread characters between EUH11ALAP
      // (912-923) and SZAKALAP (948-959), in the order the yearly file keeps
      // them right after EUH11ALAP.
      {"EUH25", f.Text(924, 12)},
      {"EUH25ALAP", f.Text(936, 12)},
      {"ADOJOVIR5", f.Text(145, 12)},
      {"STARTALAP", f.Text(1226, 12)},
      {"STARTLEV15", f.Text(1202, 12)},
      {"STARTLEV25", f.Text(1214, 12)},
      {"KULONADO", f.Text(1300, 12)},
  };
}

RowValues TaxSettingsRow(const Fields& f, const LegacyRecord& record, const std::string& person,
                         const ConvertContext& context) {
  const std::string minimumWage = record.Field(1201, 1);
  return {
      {"SZEM_ID", person},
      {"EV", TextValue(kConvertedYear)},
      {"HONAP", f.Text(12, 2)},
      {"BESBERJ", f.Text(24, 1)},
      {"BESBERO", f.Text(14, 10)},
      {"AKADO", f.Text(181, 12)},
      {"EUH", f.Text(193, 12)},
      {"K_GYEREK", f.Text(205, 12)},
      {"TESTI", f.Text(217, 12)},
      {"ALTAL", f.Text(229, 12)},
      {"AK100IG", f.Text(373, 12)},
      {"EGUHOZ", f.Text(899, 1)},
      {"DEJ_S", f.Decimal(1026, 5)},
      {"DNJ_S", f.Decimal(1031, 5)},
      {"DTD_S", f.Decimal(1036, 5)},
      {"DTK_S", f.Decimal(1041, 5)},
      {"MTK_S", f.Decimal(1046, 5)},
      {"MVJ_S", f.Decimal(1051, 5)},
      {"MEJ_S", f.Decimal(1061, 5)},
      {"MNJ_S", f.Decimal(1066, 5)},
      {"MMJ_S", f.Decimal(1071, 5)},
      {"MBJ_S", f.Decimal(1076, 5)},
      {"MAJ_S", f.Decimal(1081, 5)},
      {"MSH_S", f.Decimal(1086, 5)},
      {"EGYEDUL", f.Text(1139, 1)},
      {"KEZELO", f.Text(1176, 2)},
      {"SZEMELY", std::int64_t{1}},
      {"ADOMOD", TextValue("N")},
      {"UTSOR", f.Text(61, 10)},
      {"DEP_S", f.Decimal(1191, 5)},
      {"MEP_S", f.Decimal(1196, 5)},
      {"CRD", context.NowText()},
      {"CRU", context.UserIdText()},
      {"adojo", f.Text(119, 1)},
      {"JFIZMIN", minimumWage == " " ? TextValue("N") : TextValue(minimumWage)},
      {"EJOV_CSP", f.Text(1324, 12)},
      {"EJOV_2", f.Text(1336, 12)},
  };
}

}  // namespace

void ImportHavih(ConvertContext& context, const LegacyRecord& record) {
  const std::optional<std::string> person = DrawIdAndFindPerson(context, record);
  if (!person) return;
  const Fields f(record);
  // EUH25 and EUH25ALAP follow EUH11ALAP directly in the yearly file.
  InsertRow(context, "insert into  zmp_HAVIH( ",
            {
                {"SZEM_ID", *person},          {"EV", TextValue(kConvertedYear)},
                {"REND", f.Text(12, 12)},      {"NREND", f.Text(24, 12)},
                {"BER", f.Text(36, 12)},       {"BERNR", f.Text(48, 12)},
                {"ADOJOVIR", f.Text(60, 12)},  {"NYUGDIJ", f.Text(84, 12)},
                {"MNYUGDIJ", f.Text(96, 12)},  {"EUH", f.Text(108, 12)},
                {"K_GYEREK", f.Text(120, 12)}, {"TESTI", f.Text(132, 12)},
                {"ALTAL", f.Text(144, 12)},    {"ADOELO", f.Text(156, 12)},
                {"ADOELR", f.Text(168, 12)},   {"ADOELNR", f.Text(180, 12)},
                {"EKEDVO", f.Text(192, 12)},   {"EKEDVR", f.Text(204, 12)},
                {"EKEDVNR", f.Text(216, 12)},  {"AKEDVO", f.Text(228, 12)},
                {"AKEDVR", f.Text(240, 12)},   {"AKEDVNR", f.Text(252, 12)},
                {"AK100R", f.Text(264, 12)},   {"AK100NR", f.Text(276, 12)},
                {"AK100IG", f.Text(288, 12)},  {"NYJALAPE", f.Text(300, 12)},
                {"NYJALAPN", f.Text(312, 12)}, {"NYJALAP7", f.Text(324, 12)},
                {"NYJALAP1", f.Text(336, 12)}, {"NYJALAPT", f.Text(348, 12)},
                {"NYJLEVE", f.Text(360, 12)},  {"NYJLEVN", f.Text(372, 12)},
                {"NYJLEV7", f.Text(384, 12)},  {"NYJLEV1", f.Text(396, 12)},
                {"NYJLEVT", f.Text(408, 12)},  {"NYJLEVK", f.Text(420, 12)},
                {"NYJLEVR", f.Text(432, 12)},  {"NYJLEVNR", f.Text(444, 12)},
                {"NYJALHE", f.Text(456, 12)},  {"NYJALHT", f.Text(480, 12)},
                {"NYJLEVHE", f.Text(492, 12)}, {"NYJLEVHN", f.Text(504, 12)},
                {"NYJLEVHT", f.Text(516, 12)}, {"NYJALAPH", f.Text(528, 12)},
                {"NYJLEVHK", f.Text(540, 12)}, {"NYJALH", f.Text(564, 12)},
                {"KIESOO", f.Text(576, 3)},    {"JKOTNAP", f.Text(579, 3)},
                {"MVJALAP", f.Text(582, 12)},  {"MVJLEV", f.Text(594, 12)},
                {"TBJALAPE", f.Text(606, 12)}, {"TBJALAPN", f.Text(618, 12)},
                {"TBJLEVE", f.Text(630, 12)},  {"TBJLEVN", f.Text(642, 12)},
                {"MAJALAP", f.Text(654, 12)},  {"MAJLEV", f.Text(666, 12)},
                {"EUH11", f.Text(678, 12)},    {"EUH11ALAP", f.Text(690, 12)},
                {"EUH25", f.Text(702, 12)},    {"EUH25ALAP", f.Text(714, 12)},
                {"SZAKALAP", f.Text(728, 12)}, {"SZAKLEV", f.Text(740, 12)},
                {"TB_JOV", f.Text(752, 12)},   {"TB_ADOE", f.Text(764, 12)},
                {"KEZELO", f.Text(786, 2)},    {"ID", context.CurrentRecordId()},
                {"VER", db::Null()},
            });
}

void ImportHavi(ConvertContext& context, const LegacyRecord& record) {
  const std::optional<std::string> person = DrawIdAndFindPerson(context, record);
  if (!person) return;
  const Fields f(record);
  // Each row's values are worked out just before it is written, so a value
  // that fails leaves the rows already written in place and sends no more.
  InsertRow(context, "insert into  zmp_HAVI( ", PreviousYearRow(f, *person));
  InsertRow(context, "insert into  zmp_HAVI( ", MonthRow(f, *person, context.CurrentRecordId()));
  InsertRow(context, "insert into  zmp_kszt2( ", TaxSettingsRow(f, record, *person, context));
}

void UpdateKszt2Tax(ConvertContext& context, const LegacyRecord& record) {
  const std::optional<std::string> person = DrawIdAndFindPerson(context, record);
  if (!person) return;
  // No processing month: nothing to update. Sent anyway, the empty month
  // would compare equal to month 0 of an integer column.
  if (Trim(context.ProcessingMonth()).empty()) return;
  context.Execute(
      "update zmp_kszt2 set adojo = :xadojo,  adomod = :xadomod, ak100ig = :xak100ig where "
      "szem_id = :xszem_id and ev = :xev and honap = :xhonap  ",
      {record.Field(424, 1), record.Field(423, 1), record.Field(431, 6), *person,
       TextValue(kConvertedYear), context.ProcessingMonth()});
}

}  // namespace moltaro::convert
