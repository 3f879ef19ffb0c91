// The person master (ypszt.txt): per record one zmp_kszt row, three rows of
// code history in zmp_kszt3 and one row of leave limits in zmp_pszab.
#pragma once

#include "convert/convert_context.h"
#include "convert/legacy_file.h"

namespace moltaro::convert {

// Draws four identifiers: the person's SZEM_ID (kept as the current record
// identifier) and one per history row.
void ImportPerson(ConvertContext& context, const LegacyRecord& record);

}  // namespace moltaro::convert
