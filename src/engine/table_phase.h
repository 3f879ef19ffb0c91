// The table phase: create missing tables, add missing columns, alter changed
// ones and rebuild columns whose default differs from the catalogue. Nothing
// is ever removed from the target.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/column_definition.h"
#include "engine/column_rebuild.h"
#include "engine/run_context.h"

namespace moltaro::engine {

void ReconcileTables(RunContext& run);

// "create table NAME(col1 ...,\r\ncol2 ...)" for a table missing from the
// target; the name in upper case.
std::string CreateTableStatement(std::string_view tableName,
                                 const std::vector<CatalogueColumn>& columns);

// Rebuilds the column through a temporary column when the catalogue's default
// differs from the target's (see column_rebuild.h).
void ReconcileDefault(RunContext& run, const std::string& table, const std::string& column);

}  // namespace moltaro::engine
