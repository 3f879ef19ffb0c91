#include "convert/person_details.h"

#include "common/text.h"
#include "convert/person_lookup.h"
#include "convert/statement.h"
#include "convert/value_rules.h"
#include "db/errors.h"

namespace moltaro::convert {
namespace {

void UpdatePerson(ConvertContext& context, const LegacyRecord& r, const std::string& szemId) {
  ExecuteStatement(
      context,
      {"Update zmp_kszt set    ACIMI = :xbACIMI,     ACIMV = :xbACIMV,      ACIMU = :xbACIMU,    "
       "ICIMI = :xbICIMI,         ICIMV = :xbICIMV,      ",
       "                   ICIMU = :xbICIMU,     LCIMI = :xbLCIMI,      LCIMV = :xbLCIMV,    "
       "LCIMU = :xbLCIMU,         ANEV  = :xbANEV,       ",
       "                   LNEV  = :xbLNEV,      ADOSZ = :xbADOSZ,      TAJSZ = :xbTAJSZ,    "
       "SZIG  = :xbSZIG,          SZIGIG= :xbSZIGIG,     ",
       "                   UTLEV = :xbUTLEV,     UTLEVIG=:xbUTLEVIG,    NYTSZAM=:xbNYTSZAM,  "
       "SZULH = :xbSZULH,         SZULDAT=:xbSZULDAT,    ",
       "                   NEME  = :xbNEME,      SZULHIRSZ=:xbSZULHIRSZ,VASUT50=:xbVASUT50,  "
       "REHABKIEG = :xbREHABKIEG, TARTOZIK = :xbTARTOZIK, ",
       "                   LMD=:xLMD, LMU=:xLMU, ALLAMP=:xallamp  where szem_id = :xbszem_id "},
      {r.Field(115, 4),
       r.Field(119, 20),
       r.Field(139, 30),
       r.Field(181, 4),
       r.Field(185, 20),
       r.Field(205, 30),
       r.Field(247, 4),
       r.Field(251, 20),
       r.Field(271, 30),
       JoinedName(r.Field(691, 30), r.Field(721, 30)),
       JoinedName(r.Field(781, 30), r.Field(811, 30)),
       r.Field(324, 10),
       r.Field(334, 9),
       r.Field(343, 8),
       BlankDateRule(r.Field(355, 8)),
       r.Field(363, 12),
       BlankDateRule(r.Field(375, 8)),
       r.Field(383, 9),
       r.Field(95, 20),
       BlankDateRule(r.Field(72, 8)),
       r.Field(80, 1),
       r.Field(91, 4),
       std::string(),
       std::string(),
       std::string(),
       context.NowText(),
       context.UserIdText(),
       r.Field(648, 3),
       szemId});
}

void InsertAddress(ConvertContext& context, const LegacyRecord& r, const std::string& szemId,
                   std::int64_t id) {
  ExecuteStatement(context,
                   {"insert into  zmp_cim (SZEM_ID,  ID,     TIPUS,       VAROS,  UTCA,  JELLEG,  "
                    "IRSZ  )",
                    " values ( ", " :x00, :x01, :x02, :x03, :x04, :x05, :x06)"},
                   {szemId, std::to_string(id), std::string("AL"), r.Field(119, 20),
                    r.Field(139, 30), std::string("utca"), r.Field(115, 4)});
}

}  // namespace

std::string JoinedName(std::string_view first, std::string_view second) {
  return CharSlice(Trim(first) + " " + Trim(second), 0, 30);
}

void UpdatePersonDetails(ConvertContext& context, const LegacyRecord& record) {
  const std::string code = record.Field(1, 11);
  const std::optional<std::string> szemId = PersonId(context, code);
  if (!szemId) return;
  // The operator learns which person failed and why; the rest of the record
  // and the run go on.
  try {
    UpdatePerson(context, record, *szemId);
  } catch (const db::DatabaseError& error) {
    context.ShowMessage(code + "\n" + error.what());
  }
  const std::int64_t addressId = context.NextId();
  try {
    InsertAddress(context, record, *szemId, addressId);
  } catch (const db::DatabaseError& error) {
    context.ShowMessage(code + "\n" + error.what());
  }
}

}  // namespace moltaro::convert
