// Data definition inside one database: each statement changes the SQLite
// storage and the system tables in one transaction.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/catalog/catalog.h"
#include "db/embedded/catalog/column_change.h"
#include "db/embedded/parser/tsql_ast.h"
#include "db/embedded/translator/stored_code.h"

namespace moltaro::db::embedded {

class Ddl {
 public:
  // `batchText` is the text the statements were parsed from (for the text
  // kept in syscomments); defaults and CHECKs are read through `code`, the
  // session's compiled stored T-SQL, when given.
  Ddl(Catalog& catalog, std::string_view batchText, StoredCode* code = nullptr)
      : catalog_(catalog), text_(batchText), code_(code) {}

  void CreateTable(const CreateTableStatement& s);
  void DropTable(const DropTableStatement& s);
  void AlterTable(const AlterTableStatement& s);
  void CreateIndex(const CreateIndexStatement& s);
  void DropIndex(const DropIndexStatement& s);
  void CreateRoutine(const CreateRoutineStatement& s);
  void DropRoutine(const DropRoutineStatement& s);
  void Truncate(const TruncateStatement& s);
  // DECLARE @t TABLE (…): a SQLite TEMP table `sqlName` of this connection
  // with the columns, defaults, identity and keys declared. Returns its
  // shape; `createSql` makes it again (table and identity trigger).
  std::unique_ptr<TableInfo> CreateTableVariable(const CreateTableStatement& s,
                                                 const std::string& sqlName,
                                                 std::string& createSql);
  void CreateSchema(const SchemaStatement& s);
  void DropSchema(const SchemaStatement& s);
  // Database principals. `owner` empty: dbo.
  void CreateRole(const std::string& name, const std::string& owner);
  // `type` 'R' for DROP ROLE, 'S' for DROP USER.
  void DropPrincipal(const std::string& name, char type, bool ifExists);
  void ChangeRoleMember(const std::string& role, const std::string& member, bool add);
  void ChangeRoleMember(const PrincipalEntry& role, const PrincipalEntry& member, bool add);
  // The role ALTER ROLE names: 15151 when there is none, 15081 for public.
  PrincipalEntry RoleToChange(const std::string& role);
  // `login` has been found among the server's logins (empty: WITHOUT LOGIN).
  void CreateUser(const std::string& name, const std::string& login,
                  const std::string& defaultSchema);
  // ALTER AUTHORIZATION on a role, a schema or an object.
  void AlterAuthorization(const PrincipalStatement& s);
  // sp_rename: `objectType` is empty or OBJECT, COLUMN ('table.column') or
  // INDEX ('table.index').
  void Rename(const std::string& objectName, const std::string& newName,
              const std::string& objectType);
  // The trigger that moves a table's identity past the explicit values
  // inserted while IDENTITY_INSERT is on (kept if it exists).
  void AllowExplicitIdentity(const TableInfo& table);
  // User types (ddl_types.cpp).
  void CreateType(const CreateTypeStatement& s);
  void DropType(const DropTypeStatement& s);
  // Rules and defaults of the old kind (ddl_bound_objects.cpp).
  void CreateBoundObject(const CreateBoundObjectStatement& s);
  void DropBoundObject(const DropBoundObjectStatement& s);
  // sp_bindrule / sp_bindefault: `target` is 'table.column' or a user type;
  // returns the messages SQL Server prints.
  std::vector<std::string> Bind(bool rule, const std::string& objectName, const std::string& target,
                                bool futureOnly);
  // sp_unbindrule / sp_unbindefault.
  std::vector<std::string> Unbind(bool rule, const std::string& target, bool futureOnly);

 private:
  // Each ALTER TABLE action, inside the statement's transaction.
  void AddColumns(const TableInfo& table, const std::vector<ColumnDef>& defs);
  void AlterColumn(const TableInfo& table, const ColumnDef& def);
  void DropColumns(const TableInfo& table, const std::vector<std::string>& names);
  void DropConstraints(const TableInfo& table, const std::vector<std::string>& names);
  void AddConstraints(const TableInfo& table, const std::vector<TableConstraint>& constraints,
                      bool validateRows);
  // Refuses (5074, then 4922) when a default, CHECK, foreign key or index
  // uses the column and does not allow the change; names every such object.
  void RequireNoDependents(const TableInfo& table, const ColumnInfo& column,
                           std::string_view action, ColumnChange change);

  void CreateTempTable(const CreateTableStatement& s);
  void AddCheck(const TableInfo& table, const TableConstraint& check, const std::string& column,
                bool validateRows);
  void CreateCheckTriggers(const TableInfo& table, int id, const std::string& name,
                           const std::string& text, const std::string& column);
  void RecreateCheckTriggers(const TableInfo& table);
  // The triggers that check the rules bound to the table's columns (513),
  // made again from the rules' text.
  void CreateRuleTriggers(const TableInfo& table);
  std::optional<ObjectInfo> FindBoundObject(const std::string& name, bool rule);
  void BindColumn(bool rule, int objectId, const TableInfo& table, const ColumnInfo& column);
  void UnbindColumn(bool rule, const TableInfo& table, const ColumnInfo& column);
  // Binds (or, for 0, unbinds) the columns of a user type that carry
  // `previous` or nothing; whether there were any.
  bool RebindTypeColumns(bool rule, int xusertype, int previous, int objectId);
  // 547 when an existing row fails the CHECK.
  void RequireRowsMeetCheck(const TableInfo& table, const std::string& name,
                            const std::string& text, const std::string& column);
  // CHECK / NOCHECK CONSTRAINT: the table's CHECK and FOREIGN KEY
  // constraints (all, or those named) enforced again or no longer;
  // `validateRows` (WITH CHECK) checks the existing rows first.
  void SetConstraintsChecked(const TableInfo& table, bool all,
                             const std::vector<std::string>& names, bool enabled,
                             bool validateRows);

  // Foreign keys, enforced and their actions taken by triggers on both tables.
  struct ForeignKey {
    int id = 0;
    std::string name;
    int childId = 0, parentId = 0;
    std::string child, parent;
    std::vector<std::string> childColumns, parentColumns;
    ReferentialAction onDelete = ReferentialAction::NoAction;
    ReferentialAction onUpdate = ReferentialAction::NoAction;
    bool disabled = false;  // NOCHECK CONSTRAINT: no triggers
  };
  void AddForeignKey(const TableInfo& child, const TableConstraint& fk, bool validateRows);
  std::vector<ForeignKey> ForeignKeys(const std::string& where, int tableId);
  void CreateForeignKeyTriggers(const ForeignKey& fk);
  // 547 when an existing referencing row has no referenced row.
  void RequireRowsMeetForeignKey(const ForeignKey& fk);
  // The trigger that does `action` to the referencing rows of OLD.
  void CreateReferentialAction(const ForeignKey& fk, const char* event, ReferentialAction action);
  // Refuses (1785) a key whose actions would reach a table twice or in a cycle.
  void RequireSingleCascadePath(const ForeignKey& fk);
  void DropForeignKeyTriggers(int id);
  void RecreateForeignKeyTriggers(int tableId);
  const TableInfo& RequireUserTable(const ObjectName& name);
  void CheckNameFree(const std::string& name);
  // `keyColumn`: the table's PRIMARY KEY constraint names the column, which
  // makes it NOT NULL unless it says NULL.
  ColumnInfo MakeColumn(const ColumnDef& def, const std::string& table, int colid, int position,
                        bool keyColumn = false);
  // Whether a PRIMARY KEY among `constraints` names the column.
  bool InPrimaryKey(const std::vector<TableConstraint>& constraints,
                    const std::string& column) const;
  int AddDefault(int tableId, const std::string& table, ColumnInfo& column,
                 const std::string& constraintName, const std::string& text);
  void AddKey(int tableId, const std::string& table, const TableConstraint& key,
              const std::vector<ColumnInfo>& columns);
  void CreateSqliteIndex(const std::string& table, const std::string& sqliteName, bool unique,
                         const std::vector<std::string>& columns, const std::string& where = {});
  // CREATE INDEX's WITH options: refuses what it cannot honour; true when
  // DROP_EXISTING = ON.
  bool IndexOptions(const CreateIndexStatement& s);
  // A filtered index's predicate as SQLite's partial index condition.
  std::string IndexFilter(const CreateIndexStatement& s, const TableInfo& table);
  std::string ColumnSql(const ColumnInfo& c) const;
  // A computed column as a generated column of SQLite; types `c` from its
  // expression over the stored ones of `columns`.
  std::string ComputedColumnSql(ColumnInfo& c, const std::vector<ColumnInfo>& columns,
                                const std::string& table);
  void CreateIdentity(int tableId, const std::string& table, const ColumnInfo& column,
                      long long seed, long long increment);
  // 2738 when `columns` already hold a timestamp column.
  void RequireNoTimestamp(const std::string& table, const std::vector<ColumnInfo>& columns,
                          const std::string& column);
  // The triggers that set a timestamp column on every insert and update,
  // made again for the table's current columns (none without one).
  void CreateTimestampTriggers(int tableId, const std::string& table,
                               const std::vector<ColumnInfo>& columns);
  // A timestamp column added to a table with rows: each row takes a value.
  void StampExistingRows(const std::string& table, const ColumnInfo& column);
  void RebuildTable(const TableInfo& table, const std::vector<ColumnInfo>& columns,
                    const std::vector<std::string>& values);
  void ValidateDefault(const std::string& text);
  std::string SourceText(const Statement& s) const;

  // A default's or CHECK's text as an expression.
  std::shared_ptr<const CompiledExpression> Expression(const std::string& text);

  Catalog& catalog_;
  std::string_view text_;
  StoredCode* code_;
};

}  // namespace moltaro::db::embedded
