// A MERGE runs as statements the server already has: the match of source
// and target is read into a table of the statement, then one DELETE, one
// UPDATE and one INSERT run over that table, each with the target's
// constraints and triggers as the plain statement has them. The plan holds
// their syntax trees, made from copies of the MERGE's parts (the MERGE's
// own tree may be shared by the compiled stored code).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/embedded/parser/tsql_ast.h"
#include "db/embedded/types/collation.h"

namespace moltaro::db::embedded {

// The name the match table goes by while the statements run; no T-SQL text
// can name it.
inline constexpr char kMergeMatchTable[] = "@merge match";
// Its columns besides the source's: the target row a source row matched
// (NULL: none), and the number of the WHEN clause that acts on the row
// (NULL: none).
inline constexpr char kMergeTargetRow[] = "moltaro_target_row";
inline constexpr char kMergeClause[] = "moltaro_merge_clause";

struct MergePlan {
  // SELECT source.*, target row, clause FROM source JOIN target ON …: every
  // source row and every target row a clause could act on.
  std::unique_ptr<Select> match;
  // Null where no clause takes that action.
  std::unique_ptr<DeleteStatement> del;
  std::unique_ptr<UpdateStatement> update;
  std::unique_ptr<InsertStatement> insert;
  // The WHEN MATCHED clauses by number, and those of them that update: a
  // target row that several source rows match may be deleted once, but
  // never updated by more than one (8672).
  std::vector<int> matchedClauses;
  std::vector<int> matchedUpdates;
};

// Raises SQL Server's errors of the MERGE's names that need no catalogue
// (5318, 5333, 5334).
MergePlan PlanMerge(const MergeStatement& merge, const Collation& collation);

// A bare column name in WHEN NOT MATCHED that only the target has (5333), or
// in BY SOURCE that only the source has (5334): the clause cannot see that
// side, though the match it is decided on can.
void CheckMergeClauseColumns(const MergeStatement& merge,
                             const std::vector<std::string>& targetColumns,
                             const std::vector<std::string>& sourceColumns,
                             const Collation& collation);

}  // namespace moltaro::db::embedded
