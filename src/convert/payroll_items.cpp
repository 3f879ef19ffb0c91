#include "convert/payroll_items.h"

#include <string>

#include "convert/person_lookup.h"
#include "convert/statement.h"
#include "convert/value_rules.h"

namespace moltaro::convert {

void ImportPayrollItem(ConvertContext& context, const LegacyRecord& r) {
  const std::int64_t id = context.DrawRecordId();
  const std::string code = r.Field(2, 11);
  if (PersonCount(context, code) == 0) context.ShowMessage("Baj van!!:" + code);
  // The identifier column holds numbers: an unknown person leaves it empty (NULL).
  const std::optional<std::string> szemId = PersonId(context, code);
  ExecuteStatement(
      context,
      {"insert into  zmp_jogc( ",
       "AB,        ID,    SZEMELY,    JOGCIM,       OSSZEG,        HONAP,        KIFSZ,   "
       "FOKIFSZ,   KEZELES,  KERET,",
       "HATRALEK,  ALAP,  ALSO,       FELSO,        SZAZALEK,      KORREKCIO,    LEVALAP, "
       "PARTNER,   ELOJEL,   D3,   ",
       "D3E,       D4,    D4E,        MUNKASZAM,    KEZELO,        EV,           DNAP,    VER,  "
       "     SZEM_ID, CRD, CRU) values (",
       " :x00, :x01, :x02, :x03, :x04, :x05, :x06, :x07, :x08, :x09,",
       " :x10, :x11, :x12, :x13, :x14, :x15, :x16, :x17, :x18, :x19,",
       " :x20, :x21, :x22, :x23, :x24, :x25, :x26, :x27, :x28, :x29, :x30)"},
      {r.Field(1, 1), std::to_string(id), code, r.Field(30, 3), r.Field(33, 8), r.Field(19, 2),
       r.Field(21, 3), r.Field(13, 3), r.Field(16, 3), r.Field(41, 8), r.Field(49, 8),
       r.Field(57, 8), r.Field(65, 8), r.Field(73, 8), DecimalRule(r.Field(81, 6), 6),
       r.Field(87, 8), r.Field(95, 8), r.Field(104, 6), r.Field(103, 1), r.Field(110, 8),
       r.Field(118, 8), r.Field(126, 8), r.Field(134, 8), r.Field(142, 6), r.Field(148, 2),
       std::int64_t{2009}, r.Field(154, 6),
       // The version stands where the item's last amounts end; a blank one is NULL.
       DecimalRule(r.Field(138, 7), 7), szemId ? db::Value(*szemId) : db::Null(), context.NowText(),
       context.UserIdText()});
}

}  // namespace moltaro::convert
