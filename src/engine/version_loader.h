// Loading verzio.ver into the object catalogue of the instance database.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/run_context.h"

namespace moltaro::engine {

inline constexpr const char* kVersionFileMissing = "Nincs meg a verzió file !";
inline constexpr const char* kVersionFileLoaded = "A verzio.ver betöltve !";

// Characters per ZMP_OBJ_SZOVEG row.
inline constexpr std::size_t kTextChunkLength = 4000;

// Reads verzio.ver from the work directory, checks its version and writes
// every record into the catalogue. A missing or refused file, or a faulty
// line, sets `Failed` with the reason in `LastError` and in the log.
void LoadVersionFile(RunContext& run);

// The same for the file's bytes (Windows-1250) already read.
void LoadVersionText(RunContext& run, std::string_view bytes);

// Writes a text as chunks of 4000 characters into ZMP_OBJ_SZOVEG under the
// head. Every chunk is written, however long the text.
void StoreText(RunContext& run, std::int64_t headId, std::string_view text);

}  // namespace moltaro::engine
