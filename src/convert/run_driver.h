// The conversion run over the export files and the "Törlés" of its tables,
// driving the window's label and bars as they go.
#pragma once

#include <string>

#include "convert/convert_context.h"
#include "convert/konvert_view.h"

namespace moltaro::convert {

// The nineteen steps, the clean-up statement and the closing procedure, then
// "Rendben lefutott !". The first failure ends it (a ConvertError naming the
// file, and the line when a record was at fault); what was written stays.
// `sourceDirectory` ends in a separator, or is empty.
void RunConversion(ConvertContext& context, const std::string& sourceDirectory, KonvertView& view);

// Empties the tables the run fills, one statement at a time, then "Kész !".
// A failing statement ends it with "kis türelmet" still on the button.
void DeleteConverted(ConvertContext& context, KonvertView& view);

// Runs the closing procedure on the work connection with @ev.
void RunClosingProcedure(ConvertContext& context);

}  // namespace moltaro::convert
