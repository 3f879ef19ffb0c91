// Functions of names: PARSENAME splits a qualified object name into its
// parts; SOUNDEX and DIFFERENCE compare how names sound.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace moltaro::db::embedded {

// The part of a name of up to four parts (1 object, 2 schema, 3 database,
// 4 server) without its brackets or quotes; nullopt where the name has no
// such part, the part is empty, or the name is not one.
std::optional<std::string> ParseNamePart(std::string_view name, long long piece);

// The four-character code: the first letter, then the digits of the
// consonants that follow (vowels, H, W and Y skipped, a repeated digit
// written once), padded with zeros; a character that is no letter ends it.
std::string SoundexCode(std::string_view text);

// 0 to 4: how many positions of the two texts' SOUNDEX codes agree.
int SoundexDifference(std::string_view a, std::string_view b);

// tsql_parsename, tsql_soundex, tsql_difference.
void RegisterNameFunctions(sqlite3* db);

}  // namespace moltaro::db::embedded
