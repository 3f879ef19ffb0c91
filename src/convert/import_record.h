// Handing one record to an importer, as the run does for every record.
#pragma once

#include <functional>
#include <string_view>

#include "convert/convert_context.h"
#include "convert/legacy_file.h"

namespace moltaro::convert {

// An importer writes every row of one record before the next is read.
using Importer = std::function<void(ConvertContext&, const LegacyRecord&)>;

// Runs `importer` on `record` of the file `fileName`. Whatever stops it (a
// server error, a value that cannot be converted) comes back as ConvertError
// naming the file and the line: "<file> <line>. sora: <reason>".
void ImportRecord(ConvertContext& context, const Importer& importer, std::string_view fileName,
                  const LegacyRecord& record);

}  // namespace moltaro::convert
