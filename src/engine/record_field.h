// Fields of a version file record line.
#pragma once

#include <string>
#include <string_view>

namespace moltaro::engine {

// Field n (from 1) of a text in which every field is ended by "$$": field 1
// is the text before the first "$$", field 2 the text between the first and
// the second, and so on. Empty when fewer than n separators exist. Exact: no
// trimming, no case folding.
std::string RecordField(std::string_view text, int n);

// How many "$$"-ended fields the text holds.
int RecordFieldCount(std::string_view text);

}  // namespace moltaro::engine
