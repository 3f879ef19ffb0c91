// The payroll calendar and working time of the DOS generation: the periods
// of the year (ypszak.txt), the monthly working-time summaries (ypido.txt)
// and the absence and time items (yptido.txt).
#pragma once

#include "convert/convert_context.h"
#include "convert/legacy_file.h"

namespace moltaro::convert {

// One zmp_PSZAK period of 2009 per record; the record's line number in the
// file is the month.
void ImportPszak(ConvertContext& context, const LegacyRecord& record);

// One zmp_IDO row per record whose person exists.
void ImportIdo(ConvertContext& context, const LegacyRecord& record);

// One zmp_TIDO row per record whose person exists.
void ImportTido(ConvertContext& context, const LegacyRecord& record);

}  // namespace moltaro::convert
