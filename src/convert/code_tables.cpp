#include "convert/code_tables.h"

#include <string>

#include "common/text.h"
#include "convert/fixed_codes.h"
#include "convert/statement.h"

namespace moltaro::convert {
namespace {

std::string Literal(const char* text) {
  return "N'" + ReplaceAll(text, "'", "''") + "'";
}

}  // namespace

void SeedFixedCodes(ConvertContext& context) {
  for (const FixedCodeList& list : FixedCodeLists()) {
    RunFixedStatement(context, "insert into zmp_kodtar (tipus,nev,id,lathato) values ( " +
                                   Literal(list.tipus) + ", " + Literal(list.nev) + ", " +
                                   std::to_string(list.id) + ", " + Literal(list.lathato) + " )");
  }
  for (const FixedCodeEntries& group : FixedCodeEntryGroups()) {
    for (const FixedCode& code : group.entries) {
      RunFixedStatement(context, "insert into zmp_kod (tipus,kod,nev,id ) values ( " +
                                     Literal(group.tipus) + ", " + std::to_string(code.kod) + ", " +
                                     Literal(code.nev) + ", " +
                                     std::to_string(group.idIsCode ? code.kod : 0) + " )");
    }
  }
}

void ImportCompanyCode(ConvertContext& context, const LegacyRecord& record) {
  const std::int64_t id = context.DrawRecordId();
  ExecuteStatement(
      context,
      {"insert into  zmp_kod (TIPUS, KOD,  NEV,  ID ) values ( ",
       "                  :x00,  :x01, :x02, :x03 )"},
      {record.Field(1, 1), record.Field(3, 8), record.Field(11, 80), std::to_string(id)});
}

}  // namespace moltaro::convert
