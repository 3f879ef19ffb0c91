// The start that most person-related importers share.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "convert/convert_context.h"
#include "convert/legacy_file.h"
#include "db/value.h"

namespace moltaro::convert {

// The year every converted record is written for.
inline constexpr std::string_view kConvertedYear = "2009";

// Draws the record's identifier first, then looks up the person whose code
// stands at positions 1–11. No person means the record is skipped, and its
// identifier stays spent: the identifier trail counts every record.
std::optional<std::string> DrawIdAndFindPerson(ConvertContext& context, const LegacyRecord& record);

// A text value bound as it stands.
inline db::Value TextValue(std::string_view text) {
  return std::string(text);
}

}  // namespace moltaro::convert
