#include "convert/person_master.h"

#include <string>

#include "convert/statement.h"
#include "convert/value_rules.h"

namespace moltaro::convert {
namespace {

// Values the product's first converted period carries on every person.
constexpr const char* kYear = "2009";
constexpr const char* kPeriod = "200911";
constexpr const char* kVersion = "1,01";

void InsertPerson(ConvertContext& context, const LegacyRecord& r, const std::string& szemId) {
  const std::string empty;
  const db::Params values = {
      r.Field(1, 11), r.Field(12, 3), r.Field(15, 27), TFlagRule(r.Field(42, 1)),
      TFlagRule(r.Field(43, 1)), r.Field(44, 3), r.Field(111, 1), r.Field(99, 6), r.Field(105, 6),
      r.Field(112, 2),                                    // ALLOM
      std::int64_t{8}, std::int64_t{8}, std::int64_t{1},  // MRENDN, MRENDR, TAVTELJ
      r.Field(114, 2), r.Field(116, 2), r.Field(118, 4), r.Field(122, 2), r.Field(147, 2),
      r.Field(149, 2), BlankDateRule(r.Field(167, 8)),  // PASSZIVTOL
      BlankDateRule(r.Field(175, 8)),                   // PASSZIVIG
      BlankDateRule(r.Field(151, 8)),                   // BELEP
      BlankDateRule(r.Field(159, 8)),                   // KILEP
      r.Field(146, 1), r.Field(232, 12), r.Field(244, 12), r.Field(256, 12), r.Field(268, 12),
      r.Field(424, 1), r.Field(425, 1), r.Field(426, 1), szemId, kYear, kPeriod, kVersion,
      "10",  // KEZELO
      // ACIMI … SZIG: filled by the address and identity update
      empty, empty, empty, empty, empty, empty, empty, empty, empty, empty, empty, empty, empty,
      empty,
      db::Null(),           // SZIGIG
      empty,                // UTLEV
      db::Null(),           // UTLEVIG
      empty,                // NYTSZAM
      empty,                // SZULH
      db::Null(),           // SZULDAT
      empty,                // NEME
      empty,                // SZULHIRSZ
      r.Field(49, 8),       // FEOR
      empty, empty, empty,  // VASUT50, REHABKIEG, TARTOZIK
      "0",                  // VEGKIEGHO
      r.Field(57, 9),       // KOLTS
      context.NowText(), context.UserIdText()};
  ExecuteStatement(
      context,
      {"insert into  zmp_kszt (",
       "SZEMELY, ENEV, NEV, SZAMFA, SZAMFB, AKTKIF, JOGVI, KIFH, SZERV, ALLOM, MRENDN, MRENDR, "
       "TAVTELJ, PASZJEL, ALKMIN1, ALKMIN2, ALKMIN3, KJOVIRHO, JOVIRHO, PASSZIVTOL, PASSZIVIG, "
       "BELEP, KILEP, ATLAGBABER, MAXREND, MAXBER, MAXADOE, MAXNYJR, A1, A2, A3, SZEM_ID, EV, "
       "DNAP, "
       "VER, KEZELO, ACIMI, ACIMV, ACIMU, ICIMI, ICIMV, ICIMU, LCIMI, LCIMV, LCIMU, ANEV, LNEV, "
       "ADOSZ, TAJSZ, SZIG, SZIGIG, UTLEV, UTLEVIG, NYTSZAM, SZULH, SZULDAT, NEME, SZULHIRSZ, "
       "FEOR, "
       "VASUT50, REHABKIEG, TARTOZIK, VEGKIEGHO, KOLTS, CRD, CRU)",
       " values ( ", XParameters(0, 66) + ")"},
      values);
}

void InsertHistory(ConvertContext& context, const LegacyRecord& r, const std::string& szemId,
                   const char* tipus, const std::string& kod) {
  // The occupation row's column list was always written without the blank.
  const std::string_view columns = std::string_view(tipus) == "F"
                                       ? "insert into  zmp_kszt3 (SZEM_ID,  ID,     TIPUS,       "
                                         "KOD,    KODCH,  TOL,   IG, CRD, "
                                         "CRU)"
                                       : "insert into  zmp_kszt3 (SZEM_ID,  ID,     TIPUS,       "
                                         "KOD,    KODCH,  TOL,   IG, CRD, "
                                         "CRU )";
  const std::int64_t id = context.NextId();
  ExecuteStatement(
      context, {columns, " values ( ", " :x00, :x01, :x02, :x03, :x04, :x05, :x06, :x07, :x08)"},
      {szemId, std::to_string(id), std::string(tipus), kod, std::string(),
       BlankDateRule(r.Field(151, 8)), DateRule("99991231"), context.NowText(),
       context.UserIdText()});
}

void InsertLeaveLimits(ConvertContext& context, const LegacyRecord& r, const std::string& szemId) {
  db::Params values;
  for (std::size_t pos : {183, 186, 189, 192, 195, 198, 201, 204, 207, 210}) {
    values.emplace_back(r.Field(pos, 3));  // MAXFISZ … MAX16
  }
  for (int k = 0; k < 4; ++k) values.emplace_back(std::int64_t{0});  // MAX17 … MAX20
  for (std::size_t pos : {213, 216, 219, 222, 225}) values.emplace_back(r.Field(pos, 3));
  for (int k = 0; k < 5; ++k) values.emplace_back(std::int64_t{0});  // EDK16 … EDK20
  values.insert(values.end(), {szemId, kYear, kPeriod, kVersion, std::int64_t{0}});
  ExecuteStatement(
      context,
      {"insert into  zmp_pszab (MAXFISZ,   EDKFISZ,   MAXBETN,   EDKBETN,   MAX11,   MAX12,   "
       "MAX13,   MAX14,   MAX15,   MAX16,  ",
       "                          MAX17,     MAX18,     MAX19,     MAX20,   EDK11,   EDK12,   "
       "EDK13,   EDK14,   EDK15,   EDK16,  ",
       "                          EDK17,     EDK18,     EDK19,     EDK20, SZEM_ID,      EV,    "
       "DNAP,     VER,   KEZELO        )  ",
       " values ( ", " " + XParameters(0, 10) + ",", " " + XParameters(10, 10) + ",",
       " :x20, :x21, :x22, :x23, :x24, :x25, :x26, :x27, :x28      )"},
      values);
}

}  // namespace

void ImportPerson(ConvertContext& context, const LegacyRecord& record) {
  const std::string szemId = std::to_string(context.DrawRecordId());
  InsertPerson(context, record, szemId);
  InsertHistory(context, record, szemId, "K", record.Field(99, 6));
  InsertHistory(context, record, szemId, "S", record.Field(105, 6));
  InsertHistory(context, record, szemId, "F", record.Field(49, 8));
  InsertLeaveLimits(context, record, szemId);
}

}  // namespace moltaro::convert
