// The five phases of an upgrade in their order, and the recording of the
// version once they all succeeded.
#pragma once

#include <array>
#include <string_view>

#include "engine/run_context.h"

namespace moltaro::engine {

struct Phase {
  std::string_view label;       // shown in lMit
  std::string_view kind;        // catalogue heads it works through
  std::string_view completion;  // log line before its time
};

// In mask order: pre-run scripts, tables, indexes, procedures, post-run scripts.
inline constexpr std::array<Phase, 5> kPhases = {{
    {"Előfutó", "E", "Előfutó kész ! ("},
    {"Tábla", "T", "Tábla kész ! ("},
    {"Index", "I", "Index kész ! ("},
    {"Procedure", "P", "Procedure kész ! ("},
    {"Utánfutó", "U", "Utánfutó kész ! ("},
}};

// True when phase `position` (0 to 4) is switched on in the mask.
bool PhaseEnabled(std::string_view phaseMask, std::size_t position);

// Catalogue heads the enabled phases will walk: the progress bar's maximum.
int CountObjects(RunContext& run);

// Runs the enabled phases until one fails, then writes the closing lines.
void RunPhases(RunContext& run);

// Replaces the installed version with `NewVersion`.
void RecordVersion(RunContext& run);

}  // namespace moltaro::engine
