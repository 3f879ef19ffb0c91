// Seeding the code tables: the fixed lists and entries, then the company's
// own codes from ypkod.txt.
#pragma once

#include "convert/convert_context.h"
#include "convert/legacy_file.h"

namespace moltaro::convert {

// Writes the 21 fixed lists and their 139 entries, once per run, after
// ypkod.txt has been read and before its first record.
void SeedFixedCodes(ConvertContext& context);

// One record of ypkod.txt: a zmp_kod entry under a fresh identifier, which
// becomes the current record identifier.
void ImportCompanyCode(ConvertContext& context, const LegacyRecord& record);

}  // namespace moltaro::convert
