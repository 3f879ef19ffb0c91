// The index phase: every catalogue index exists with exactly its key columns
// in order. Index statements never fail the run.
#pragma once

#include <string>
#include <vector>

#include "engine/run_context.h"

namespace moltaro::engine {

void ReconcileIndexes(RunContext& run);

// "(a,b)": the key columns between parentheses, separated by commas. With no
// keys the text is just ")", which the server refuses, as it should.
std::string KeyListText(const std::vector<std::string>& keys);

}  // namespace moltaro::engine
