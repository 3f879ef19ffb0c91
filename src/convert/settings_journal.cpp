#include "convert/settings_journal.h"

#include <string>

#include "common/text.h"
#include "convert/statement.h"
#include "convert/value_rules.h"

namespace moltaro::convert {

void ImportNaplo(ConvertContext& context, const LegacyRecord& r) {
  const std::string zero = "0";
  ExecuteStatement(
      context,
      {"insert into  zmp_naplo( ",
       "EV, DATUM, UTS, FTET, KSZT, KSZT2, HAVI, HAVIH, IDO, TIDO, JOGC, JT, KJT, KOD, KODTAR, "
       "PSZAK, PTAG, PTAR, PUY, UTALAS, FOKIFSZ, SZ_SZEMTOL, SZ_SZEMIG, SZ_SZERVTOL, SZ_SZERVIG, "
       "SZ_KIFHTOL, SZ_KIFHIG, SZ_NEGYEDIKTOL, SZ_NEGYEDIKIG, MEGJEGYZES, HO) values ( ",
       " " + XParameters(0, 31) + ")"},
      {std::string("2009"), BlankDateRule(r.Field(1, 8)),
       // The two counters without a place in the record layout sit in the
       // unused stretches beside their neighbours: UTS before FTET, KSZT2
       // after HAVI.
       r.Field(23, 7), r.Field(30, 7), r.Field(39, 7), r.Field(53, 7), r.Field(46, 7),
       zero,  // HAVIH
       r.Field(74, 7), r.Field(81, 7), r.Field(95, 7), r.Field(60, 7),
       zero,  // KJT
       r.Field(67, 7), zero, zero, zero, zero, zero,
       zero,  // KODTAR, PSZAK, PTAG, PTAR, PUY, UTALAS
       r.Field(116, 3), zero, zero, zero, zero, zero, zero, zero,
       zero,  // SZ_SZEMTOL … SZ_NEGYEDIKIG
       r.Field(122, 30), r.Field(117, 2)});
}

void ImportPuy(ConvertContext& context, const LegacyRecord& r) {
  const std::int64_t id = context.DrawRecordId();
  const std::string name = "PW" + r.Field(1, 12);
  if (Trim(name) == "PWNAPHO") context.SetProcessingMonth(r.Field(114, 3));
  const std::int64_t darab =
      context.Query("select count(*) darab from zmp_PUY where nev = :x01", {name}).Integer("darab");
  const std::string value = r.Field(13, 1) == "N" ? Trim(r.Field(14, 80)) : r.Field(14, 80);
  if (darab == 0) {
    ExecuteStatement(context,
                     {"insert into  zmp_PUY( ", "NEV, TIPUS, KOD, HOSSZ, ID) values ( ",
                      " :x00, :x01, :x02, :x03, :x04)"},
                     {name, r.Field(13, 1), value, r.Field(114, 3), id});
  } else {
    ExecuteStatement(context, {"update zmp_PUY set KOD = :x00 where NEV = :x01 "}, {value, name});
  }
}

}  // namespace moltaro::convert
