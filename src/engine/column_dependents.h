// What stands on a column and must step aside while the column is altered or
// rebuilt: its default constraint and the plain indexes that hold it. Each is
// read from the server's system tables as it is, dropped, and put back as it
// was (same name, text, UNIQUE, CLUSTERED and key order), inside the caller's
// transaction.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/run_context.h"

namespace moltaro::engine {

struct IndexDefinition {
  std::string name;
  bool unique = false;
  bool clustered = false;
  std::vector<std::string> keys;  // in key order

  std::string CreateStatement(const std::string& table) const;
};

struct DefaultDefinition {
  std::string name;
  std::string text;  // as the server keeps it, e.g. "(0)"
};

struct ColumnDependents {
  std::optional<DefaultDefinition> defaultConstraint;
  std::vector<IndexDefinition> indexes;

  bool Empty() const { return !defaultConstraint && indexes.empty(); }
};

// Indexes that belong to a PRIMARY KEY or UNIQUE constraint are not listed:
// they cannot be dropped as indexes, and the server's refusal then ends the
// caller's transaction with nothing changed.
ColumnDependents DependentsOf(RunContext& run, const std::string& table, const std::string& column);

// Drops the indexes (and, with `withDefault`, the default constraint); false
// when a statement failed.
bool DropDependents(RunContext& run, const std::string& table, const ColumnDependents& dependents,
                    bool withDefault);

// Puts back what DropDependents dropped; false when a statement failed.
bool RestoreDependents(RunContext& run, const std::string& table, const std::string& column,
                       const ColumnDependents& dependents, bool withDefault);

}  // namespace moltaro::engine
