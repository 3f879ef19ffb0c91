#include "convert/payroll_item_types.h"

#include "common/text.h"
#include "convert/statement.h"
#include "convert/value_rules.h"

namespace moltaro::convert {

db::Value CalculationBase(std::string_view field) {
  const std::int64_t v = LegacyInteger(field);
  if (v >= 0 && v <= 8) return v + 1;
  if (v == 10) return std::int64_t{11};
  if (v == 12) return std::int64_t{12};
  if (v == 19) return std::int64_t{15};
  return std::string(field);
}

std::string TaxBase(std::string_view field) {
  return std::to_string(LegacyInteger(field) + 1);
}

std::string RebuiltFlags(std::string_view legacy) {
  const std::string flags =
      CharSlice(legacy, 0, 13) + CharSlice(legacy, 5, 1) + CharSlice(legacy, 14, 7) + "I        ";
  return ReplaceAll(flags, " ", "_");
}

void ImportPayrollItemType(ConvertContext& context, const LegacyRecord& r) {
  const std::int64_t id = context.DrawRecordId();
  ExecuteStatement(
      context,
      {"insert into  zmp_jt( ",
       "   JOGCIM,   NEV,     KEZELES,  TIPUS,    SZMOD,     SZALAP,   SZSZAZ,   SZOSSZ,  "
       "IDOADAT,   JOGCOK,",
       "   DIO,      FORRAS,  ADMOD,    ADALAP,   ADCSOK,    ADOCSOK,  STAT,     KI1,     KI2,  "
       "     KI3,   ",
       "   KI4,      N11,     N12,      N13,      N14,       SZLA,     ESZLA,    ID,      VER,  "
       "     EV, CRD, CRU, ",
       "   HS16,     HS9,     G081,     G082,   G083,  G084) values ( ",
       " :x00, :x01, :x02, :x03, :x04, :x05, :x06, :x07, :x08, :x09, ",
       " :x10, :x11, :x12, :x13, :x14, :x15, :x16, :x17, :x18, :x19, ",
       " :x20, :x21, :x22, :x23, :x24, :x25, :x26, :x27, :x28, :x29, :x30, :x31,",
       " :x32, :x33, :x34, :x35, :x36, :x37)"},
      {r.Field(1, 3),
       r.Field(4, 30),
       r.Field(34, 3),
       r.Field(37, 2),
       r.Field(39, 2),
       CalculationBase(r.Field(41, 2)),
       r.Field(43, 6) == "      " ? std::string(" 0.00") : CommaTextRule(r.Field(43, 6)),
       r.Field(49, 6),
       TimeCodeFlags(Trim(r.Field(55, 120))),
       NumberFlags(Trim(r.Field(175, 60))),
       RebuiltFlags(r.Field(235, 21)),
       r.Field(265, 2),
       r.Field(267, 1),
       TaxBase(r.Field(268, 1)),
       r.Field(269, 7),
       r.Field(276, 7),
       std::string(10, ' '),
       r.Field(285, 3),
       r.Field(288, 3),
       r.Field(291, 3),
       r.Field(294, 3),
       r.Field(297, 3),
       r.Field(300, 3),
       r.Field(303, 3),
       r.Field(306, 3),
       r.Field(309, 9),
       r.Field(318, 9),
       std::to_string(id),
       DecimalRule(r.Field(337, 6), 6),
       std::string("2009"),
       context.NowText(),
       context.UserIdText(),
       r.Field(283, 1),
       r.Field(284, 1),
       r.Field(583, 4),
       r.Field(587, 4),
       r.Field(591, 4),
       r.Field(595, 4)});
}

}  // namespace moltaro::convert
