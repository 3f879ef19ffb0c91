// The address and identity update (ypsztsz.txt): fills an existing person's
// addresses, names, documents and birth data, and adds the permanent address
// to zmp_cim.
#pragma once

#include <string>
#include <string_view>

#include "convert/convert_context.h"
#include "convert/legacy_file.h"

namespace moltaro::convert {

// A record whose person does not exist is skipped without a word. A failing
// update or address insert shows the 11-character person code, a line end and
// the server's message, and the import goes on.
void UpdatePersonDetails(ConvertContext& context, const LegacyRecord& record);

// Two name parts, each trimmed, joined by one blank, cut to 30 characters.
std::string JoinedName(std::string_view first, std::string_view second);

}  // namespace moltaro::convert
