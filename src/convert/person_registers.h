// The smaller per-person registers of the DOS generation and its ledger
// account list: related persons (ypcsp.txt), ledger accounts (yptuk.txt),
// standing payroll items (ypkj.txt), fund memberships (yptag.txt), the yearly
// pay sheet (ybelap9.txt) and bank transfers (yput.txt).
#pragma once

#include "convert/convert_context.h"
#include "convert/legacy_file.h"

namespace moltaro::convert {

// One zmp_csp row per record whose person exists.
void ImportCsp(ConvertContext& context, const LegacyRecord& record);

// One zmp_pszlatuk row per record; the record names no person.
void ImportPszlatuk(ConvertContext& context, const LegacyRecord& record);

// One zmp_kjt row per record whose person exists.
void ImportKjt(ConvertContext& context, const LegacyRecord& record);

// One zmp_ptag row per record whose person exists. A row the server refuses
// is reported in eleven messages (the person, the statement, the record and
// the values that most often cause it) and left out; the run goes on.
void ImportPtag(ConvertContext& context, const LegacyRecord& record);

// One zmp_belap row per record whose person exists; draws no identifier.
void ImportBelap(ConvertContext& context, const LegacyRecord& record);

// One zmp_utalas row per record whose person exists.
void ImportUtalas(ConvertContext& context, const LegacyRecord& record);

}  // namespace moltaro::convert
