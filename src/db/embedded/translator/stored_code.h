// Stored T-SQL compiled once per schema version: procedures, scalar
// functions, defaults and CHECK constraints are kept in syscomments as text;
// their parse trees (and the translations of routine bodies) live here, for
// as long as the schema version they were read under.
//
// Sharing: the compiled code of a database is one `DatabaseCode` per process
// (by file), shared by every session that has the database open, whatever
// its thread. A `StoredCode` is the code of one schema version; its entries
// are immutable once made (shared_ptr<const …>), and its maps are guarded by
// its own mutex, so sessions read the same trees concurrently. A session in
// a transaction sees schema versions other sessions may never see (its own
// uncommitted DDL, undone by a rollback that reuses the version number), so
// it compiles into a private `StoredCode` instead.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "db/embedded/catalog/catalog.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/translator/translator.h"
#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

// A default or a CHECK constraint: the expression of its text.
struct CompiledExpression {
  Batch batch;  // "SELECT <text>": owns the tree
  const Expr* expr = nullptr;
  // The columns the expression names (last part of each name, as written).
  std::vector<std::string> columns;
};

// A procedure, scalar function or table-valued function (xtype P, FN, IF
// or TF).
struct CompiledRoutine {
  ObjectInfo object;
  std::string text;  // the CREATE statement as stored
  Batch batch;       // owns the tree
  const CreateRoutineStatement* definition = nullptr;
  std::vector<SqlType> parameterTypes;
  SqlType returns;  // scalar functions
  // A multi-statement table-valued function: its return table's columns.
  std::vector<std::pair<std::string, SqlType>> tableColumns;
  // A scalar function whose body is only RETURN <expression>, reading
  // nothing but its parameters and no table: its expression, which a
  // statement calling the function may take in place of the call.
  const Expr* inlineBody = nullptr;
};

class StoredCode {
 public:
  explicit StoredCode(int schemaVersion) : schemaVersion_(schemaVersion) {}
  StoredCode(const StoredCode&) = delete;
  StoredCode& operator=(const StoredCode&) = delete;

  int SchemaVersion() const { return schemaVersion_; }

  // The procedure or user function `name` (bare: no schema, no brackets);
  // null when there is no such object or it is of another kind. Throws when
  // the stored text does not parse.
  std::shared_ptr<const CompiledRoutine> Routine(Catalog& catalog, const std::string& name);
  // The triggers on a table or view (xtype TR, parent_obj the table), in the
  // order they were created.
  std::vector<std::shared_ptr<const CompiledRoutine>> Triggers(Catalog& catalog, int tableId);
  // A default's or CHECK's text, e.g. "(0)" or "([qty] > 0)". Its tree
  // depends on the text alone, so any version's code may give it.
  std::shared_ptr<const CompiledExpression> Expression(const std::string& text);

  // Translations of the expressions in routine bodies, by tree node (nodes
  // of this version's routines, which live as long as this object), as a
  // value or as a condition.
  std::shared_ptr<const Translation> BodyTranslation(const Expr* node, bool condition) const;
  void KeepBodyTranslation(const Expr* node, bool condition, Translation translation);

 private:
  const int schemaVersion_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const CompiledRoutine>> routines_;  // null: none
  std::map<std::string, std::shared_ptr<const CompiledExpression>> expressions_;
  std::map<int, std::vector<std::shared_ptr<const CompiledRoutine>>> triggers_;
  std::map<std::pair<const Expr*, bool>, std::shared_ptr<const Translation>> bodies_;
};

// The compiled code of one database file in this process.
class DatabaseCode {
 public:
  // The code of that schema version; a new version starts empty.
  std::shared_ptr<StoredCode> At(int schemaVersion);

 private:
  std::mutex mutex_;
  // Sessions that read at an older version (a long read) keep theirs; two
  // versions cover a change made while others read.
  std::shared_ptr<StoredCode> current_;
  std::shared_ptr<StoredCode> previous_;
};

// The process's compiled code of the database in `file`, shared by the
// sessions that hold it; it ends with the last of them, and while any holds
// it the database cannot be dropped (its in-use lock), so a database made
// again under the same file and reaching the same schema version never
// meets the code of its predecessor.
std::shared_ptr<DatabaseCode> SharedDatabaseCode(const std::filesystem::path& file);

// A default's or CHECK's text compiled, uncached.
std::shared_ptr<const CompiledExpression> CompileExpression(const std::string& text);

// Whether an expression contains a subquery anywhere.
bool HasSubquery(const Expr& expr);

}  // namespace moltaro::db::embedded
