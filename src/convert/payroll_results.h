// The monthly payroll results of the DOS generation: the yearly totals
// (yphavih.txt), the monthly results with the month's tax settings
// (yphavi.txt), and the later pass over ypsztsz.txt that corrects the tax
// settings of the processing month.
#pragma once

#include "convert/convert_context.h"
#include "convert/legacy_file.h"

namespace moltaro::convert {

// One zmp_HAVIH row of 2009 per record whose person exists.
void ImportHavih(ConvertContext& context, const LegacyRecord& record);

// Per record whose person exists: the short zmp_HAVI row of 2008, the full
// zmp_HAVI row of 2009 and the zmp_kszt2 row of the month, in this order.
void ImportHavi(ConvertContext& context, const LegacyRecord& record);

// Overwrites adojo, adomod and ak100ig of the person's zmp_kszt2 row of 2009
// for the processing month the settings import found.
void UpdateKszt2Tax(ConvertContext& context, const LegacyRecord& record);

}  // namespace moltaro::convert
