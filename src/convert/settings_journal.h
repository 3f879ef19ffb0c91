// The journal (ynaplo.txt) and the parameter settings (ypuy.txt).
#pragma once

#include "convert/convert_context.h"
#include "convert/legacy_file.h"

namespace moltaro::convert {

// One zmp_naplo row per record; draws no identifier.
void ImportNaplo(ConvertContext& context, const LegacyRecord& record);

// Inserts the setting "PW" + code, or updates its value when it exists; the
// NAPHO setting also gives the run its processing month.
void ImportPuy(ConvertContext& context, const LegacyRecord& record);

}  // namespace moltaro::convert
