// Payroll items (ypjogc.txt, read without character conversion): one zmp_jogc
// row per record, tied to its person by code and identifier.
#pragma once

#include "convert/convert_context.h"
#include "convert/legacy_file.h"

namespace moltaro::convert {

// An unknown person is reported with "Baj van!!:" and the code, before the
// row is written; the row is written all the same, without a person
// identifier.
void ImportPayrollItem(ConvertContext& context, const LegacyRecord& record);

}  // namespace moltaro::convert
