// Payroll item types (ypjt.txt): one zmp_jt row per record, with the legacy
// calculation and tax bases recoded and the list fields turned into flag
// strings.
#pragma once

#include <string>
#include <string_view>

#include "convert/convert_context.h"
#include "convert/legacy_file.h"
#include "db/value.h"

namespace moltaro::convert {

void ImportPayrollItemType(ConvertContext& context, const LegacyRecord& record);

// The calculation base: legacy 0–8 become 1–9, 10 → 11, 12 → 12, 19 → 15
// (integers); any other number stays the two characters as read. A field
// that is not an integer throws ConvertError.
db::Value CalculationBase(std::string_view field);

// The tax base: the digit's value plus one, as text ("0" → "1", "9" → "10").
std::string TaxBase(std::string_view field);

// The 30-character flag field rebuilt from the legacy 21: characters 1–13,
// character 6 again, characters 15–21, "I" and eight blanks; then every
// blank becomes "_".
std::string RebuiltFlags(std::string_view legacy);

}  // namespace moltaro::convert
