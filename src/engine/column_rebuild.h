// Rebuilding a column through a temporary "<column>_qxq" column, so that it
// gets the catalogue's type, nullability and default while keeping its values.
//
// The steps run as one transaction: a rebuild either completes or leaves the
// column exactly as it was, whether a step fails, the disk fills, or the
// process is killed half-way. Temporary columns that earlier program versions
// left behind (they sent the steps one by one) are finished or undone before
// a table is reconciled, and a run never ends successfully while one remains.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/column_definition.h"
#include "engine/run_context.h"

namespace moltaro::engine {

// Suffix of the column that holds the values while a column is rebuilt.
inline constexpr const char* kTemporaryColumnSuffix = "_qxq";

// The seven steps in one transaction; indexes on the column are dropped
// before it is and created again on the rebuilt column. False (with the run failed, the
// failing statement logged and the transaction rolled back) when a step fails.
bool RebuildColumn(RunContext& run, const std::string& table, const std::string& column,
                   const CatalogueColumn& definition);

// The catalogue's definition of a column of the table, by name; none when
// the catalogue does not list it.
using CatalogueLookup = std::function<std::optional<CatalogueColumn>(const std::string& column)>;

// Sends the "alter column" statement. When a default constraint or indexes
// stand on the column (the server refuses to alter it under them), they are
// dropped and put back as they were around it, all in one transaction.
bool AlterColumn(RunContext& run, const std::string& table, const std::string& column,
                 const std::string& statement);

// Finishes or undoes the rebuilds an interrupted run left in `table`,
// logging each. A dropped column is re-added as the catalogue defines it.
// Fails the run for a temporary column it cannot resolve.
void RecoverInterruptedRebuilds(RunContext& run, const std::string& table,
                                const CatalogueLookup& catalogue);

// Every "table.column" among `tables` whose column is a temporary column of
// a rebuild.
std::vector<std::string> LeftoverTemporaryColumns(RunContext& run,
                                                  const std::vector<std::string>& tables);

// Drops the column's default constraint, then the column. False when a
// statement failed (the rest is then not sent).
bool DropColumn(RunContext& run, const std::string& table, const std::string& column);

}  // namespace moltaro::engine
