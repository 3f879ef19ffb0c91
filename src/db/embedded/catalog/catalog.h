// The SQL Server–shaped system tables of one database (sysobjects,
// syscolumns, systypes, sysindexes, sysindexkeys, syscomments) and the
// lookups the statement layer makes in them.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/embedded/storage/sqlite_db.h"
#include "db/embedded/types/collation.h"
#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

struct ColumnInfo {
  std::string name;
  int colid = 0;
  SqlType type;
  bool nullable = true;
  bool identity = false;
  int defaultId = 0;        // sysobjects id of its default constraint, 0 when none
  std::string defaultText;  // "(0)" as kept in syscomments
  // A computed column's expression as written ("([a]+[b])"), kept in
  // syscomments under the table's id and the column's colid; empty for a
  // stored column.
  std::string computedText;
  bool Computed() const { return !computedText.empty(); }
  bool persisted = false;  // computed and stored (read from SQLite's schema when needed)
  int userType = 0;        // xusertype of the user type it was declared with, 0 when none
  int ruleId = 0;          // sysobjects id of the rule bound to it (sp_bindrule), 0 when none
};

// A user type (sp_addtype, CREATE TYPE … FROM): another name for a system
// type, with the nullability its columns take unless they say.
struct UserType {
  std::string name;
  int xusertype = 0;
  SqlType type;
  bool allowsNulls = true;
  int ruleId = 0;     // the rule bound to it, which its new columns take
  int defaultId = 0;  // the default bound to it, likewise
};

struct TableInfo {
  int id = 0;
  std::string name;   // as stored (the SQLite table name too)
  std::string xtype;  // "U ", "S ", "V "
  std::vector<ColumnInfo> columns;
  const ColumnInfo* Find(const Collation& coll, std::string_view column) const;
};

struct IndexEntry {
  int indid = 0;
  std::string name;
  std::string sqliteName;   // empty for the heap row
  int status = 0;           // 2 unique, 16 clustered, 0x800 primary key, 0x1000 unique key
  std::vector<int> colids;  // in key order
  bool Unique() const { return (status & 2) != 0; }
};

struct IdentityState {
  int tableId = 0;
  int colid = 0;
  long long seed = 1;
  long long increment = 1;
  long long last = 1;
  bool used = false;  // whether `last` was handed out
};

// The bit of sysobjects.status that marks a CHECK or FOREIGN KEY constraint
// disabled by ALTER TABLE … NOCHECK CONSTRAINT.
constexpr int kConstraintDisabled = 0x800;

struct ForeignKeyEntry {
  int id = 0;
  int childId = 0, parentId = 0;
  std::vector<std::string> childColumns, parentColumns;
  int deleteAction = 0, updateAction = 0;  // ReferentialAction's numbers
};

// Schemas made by CREATE SCHEMA are numbered from here on; the fixed ones
// (dbo 1 … sys 4, the roles' from 16384) keep SQL Server's numbers.
inline constexpr int kFirstUserSchemaId = 5;

struct SchemaEntry {
  int id = 0;
  std::string name;
  int principalId = 0;  // the owner: 1 dbo
};

// A database principal: a user ('S') or a role ('R'), fixed or recorded.
struct PrincipalEntry {
  int id = 0;
  std::string name;
  char type = 'S';
  std::optional<int> owner;   // roles: the owning principal
  std::string defaultSchema;  // users
  std::string login;          // users mapped to a login; empty without one
  std::string created;        // empty for the fixed principals
};

inline constexpr int kFirstUserPrincipalId = 5;
inline constexpr int kFirstFixedRoleId = 16384;

struct ObjectInfo {
  int id = 0;
  std::string name;
  std::string xtype;  // two characters, SQL Server's char(2)
  int parent = 0;
};

class Catalog {
 public:
  Catalog(SqliteDb& db, std::string databaseName, std::string collation);

  // Creates the system tables of a new database named `name` (in the
  // caller's transaction).
  static void CreateSystemTables(SqliteDb& db, const std::string& name,
                                 const std::string& collation, bool master);
  // Brings a file up to the current system tables: the indexes behind the
  // lookups by name that DDL and the catalogue views make for every object,
  // and the server's own tables added since the file was made.
  static void UpgradeSystemTables(SqliteDb& db, bool master);

  const std::string& DatabaseName() const { return databaseName_; }
  const std::string& CollationName() const { return collationName_; }
  const Collation& Coll() const { return *collation_; }
  SqliteDb& Db() { return db_; }

  std::optional<ObjectInfo> FindObject(const std::string& name);
  std::optional<ObjectInfo> FindObjectById(int id);
  // Whether triggers (xtype TR) are on the table or view.
  bool HasTriggers(int tableId);
  // Tables and views; system tables included. Cached per schema version.
  const TableInfo* FindTable(const std::string& name);
  // Drops cached table shapes (after DDL, or when the schema version moved).
  void Invalidate();
  void CheckSchemaVersion();

  // User types of this database; system types are not among them.
  std::optional<UserType> FindUserType(const std::string& name);
  // A declared type: a system type, or a user type (without a size), which
  // `user` receives. Throws 2715 / 2716 as ResolveType does.
  SqlType ResolveDeclaredType(const TypeSpec& spec, int position,
                              std::optional<UserType>* user = nullptr);

  // The typed edits below are the only writers of the system tables
  // (sysobjects, syscolumns, syscomments, sysindexes, sysindexkeys, systypes) and of
  // the server's own tables of identities and foreign keys; DDL decides,
  // the catalogue writes. All run in the caller's transaction.
  int NextObjectId();
  void InsertObject(int id, const std::string& name, const std::string& xtype, int parent);
  // The column a column-level constraint (default, CHECK) belongs to.
  void SetObjectColumn(int id, int colid);
  // A CHECK or FOREIGN KEY constraint no longer (or again) enforced.
  void SetConstraintDisabled(int id, bool disabled);
  void DeleteObject(int id);  // with its columns, comments, indexes
  void RenameObject(int id, const std::string& name);
  void InsertColumn(int tableId, const ColumnInfo& column);
  void ReplaceColumn(int tableId, const ColumnInfo& column);
  void DeleteColumn(int tableId, int colid);
  void SetColumnDefault(int tableId, int colid, int defaultId);
  // Unbinds a default constraint from the column that carries it.
  void ClearColumnDefault(int tableId, int defaultId);
  void MarkOutputParameter(int routineId, int colid);
  // Rules and defaults of the old kind (CREATE RULE / DEFAULT) bound to a
  // column (syscolumns.domain, cdefault) or to a user type (systypes.domain,
  // tdefault).
  void SetColumnRule(int tableId, int colid, int ruleId);
  void SetTypeRule(int xusertype, int ruleId);
  void SetTypeDefault(int xusertype, int defaultId);
  // Whether a column or user type has the rule or default bound.
  bool IsBound(int objectId);
  void InsertComment(int id, const std::string& text);
  std::string CommentText(int id);

  // Indexes as sysindexes keeps them: indid 0 is the heap row of a table
  // without a clustered index, 1 the clustered index, 2 on the others.
  std::vector<IndexEntry> Indexes(int tableId);
  void InsertHeap(int tableId, const std::string& tableName);
  // A clustered index takes the place of the table's heap row.
  void InsertIndex(int tableId, const IndexEntry& index);
  // Dropping the clustered index brings the heap row back.
  void DeleteIndex(int tableId, const std::string& tableName, int indid);
  // The heap row (indid 0) carries its table's name.
  void RenameIndex(int tableId, int indid, const std::string& name);

  // Identity columns: seed, increment and the last value handed out.
  std::optional<IdentityState> Identity(int tableId);
  void SetIdentity(const IdentityState& identity);
  void ResetIdentity(int tableId);  // TRUNCATE TABLE starts again at the seed
  void DeleteIdentity(int tableId);

  // The last timestamp (rowversion) value handed out in the database: @@DBTS.
  std::int64_t DatabaseTimestamp();

  void InsertUserType(const std::string& name, const SqlType& type, bool allowsNulls);
  void DeleteUserType(int xusertype);

  void InsertForeignKey(const ForeignKeyEntry& key);
  void DeleteForeignKey(int id);

  // Schemas: the fixed ones every database has (dbo, guest,
  // INFORMATION_SCHEMA, sys and those of the fixed roles) and those CREATE
  // SCHEMA recorded.
  std::vector<SchemaEntry> Schemas();
  static std::vector<SchemaEntry> FixedSchemas();
  std::optional<SchemaEntry> FindSchema(const std::string& name);
  // A new schema; its id follows the highest recorded one.
  int InsertSchema(const std::string& name, int principalId);
  void DeleteSchema(int id);
  // Extended properties (sp_addextendedproperty): class 0 the database, 1 an
  // object or column (minor: colid), 3 a schema, 7 an index (minor: indid).
  std::optional<std::string> ExtendedProperty(int propertyClass, int majorId, int minorId,
                                              const std::string& name);
  void SetExtendedProperty(int propertyClass, int majorId, int minorId, const std::string& name,
                           const std::optional<std::string>& value);
  void DeleteExtendedProperty(int propertyClass, int majorId, int minorId, const std::string& name);

  // The database principals: those every database has (public, dbo, guest,
  // the fixed roles …) and those CREATE USER / CREATE ROLE recorded.
  std::vector<PrincipalEntry> Principals();
  std::optional<PrincipalEntry> FindPrincipalEntry(const std::string& name);
  std::optional<int> FindPrincipal(const std::string& name);
  // The principals as a SQLite derived table: principal_id, name, type,
  // owning_principal_id, default_schema_name, create_date, login_name.
  static std::string PrincipalsSql();
  // A new user or role; its id follows the highest recorded one.
  int InsertPrincipal(const PrincipalEntry& principal);
  // Drops the principal and its memberships in roles.
  void DeletePrincipal(int id);
  void SetPrincipalOwner(int id, int owner);
  void SetSchemaOwner(int schemaId, int owner);
  // Role membership, as sys.database_role_members keeps it.
  void InsertRoleMember(int role, int member);
  void DeleteRoleMember(int role, int member);
  std::vector<int> RoleMembers(int role);
  // Whether `member` is `role` or belongs to it, directly or through roles.
  bool ReachesRole(int member, int role);
  // Whether the principal owns a schema or a role.
  bool OwnsSchema(int principal);
  bool OwnsRole(int principal);

  // Marks the schema changed for every connection (even when only catalogue
  // rows changed, e.g. a procedure or a default).
  void StampSchema();

  // Temporary tables (#name): SQLite TEMP tables of this connection, known
  // only to it and not in the system tables, as SQL Server keeps them in
  // tempdb.
  void AddTempTable(std::unique_ptr<TableInfo> table);
  bool DropTempTable(const std::string& name);
  std::vector<std::string> TempTableNames() const;

  // Tables known by a name only inside one body (a trigger's inserted and
  // deleted): SQLite TEMP tables of this connection. Only the innermost
  // scope is visible, and it hides tables of the same name.
  using ScopedTables = std::map<std::string, std::unique_ptr<TableInfo>>;  // key: upper-cased
  void PushScopedTables(ScopedTables tables);
  void PopScopedTables();
  // Forgets every scope: those a batch left here when USE took it elsewhere.
  void ClearScopedTables() { scoped_.clear(); }
  // Adds a table to the innermost scope (a table variable declared there).
  void AddScopedTable(const std::string& name, std::unique_ptr<TableInfo> table);
  // Takes a table out of the innermost scope.
  void RemoveScopedTable(const std::string& name);
  // Whether the innermost scope has a table of that name.
  bool HasScopedTable(const std::string& name) const;
  // The number of scopes open: each open scope has its own.
  std::size_t ScopeDepth() const { return scoped_.size(); }

  // The TEMP tables of table variables whose scope ended while a statement
  // of the connection was still reading (it called the function that
  // declared them), when SQLite cannot drop a table: by SQLite name, the
  // text that made each. A later declaration of the same table empties it
  // and takes it over; DropUndroppedTables drops them once nothing reads.
  std::map<std::string, std::string>& UndroppedTables() { return undropped_; }
  void DropUndroppedTables();

  // The "table 'db.dbo.t'" form of error messages.
  std::string QualifiedName(const std::string& table) const {
    return databaseName_ + ".dbo." + table;
  }

 private:
  std::unique_ptr<TableInfo> LoadTable(const ObjectInfo& object);
  void Step(sqlite3_stmt* stmt);  // runs a write, throwing SQL Server's error on failure

  SqliteDb& db_;
  std::string databaseName_;
  std::string collationName_;
  std::unique_ptr<Collation> collation_;
  std::map<std::string, std::unique_ptr<TableInfo>> tables_;  // key: upper-cased name
  std::map<std::string, std::unique_ptr<TableInfo>> temp_;    // key: upper-cased name
  std::vector<ScopedTables> scoped_;
  std::map<std::string, std::string> undropped_;
  int schemaVersion_ = -1;
};

// The expression of a CREATE RULE or CREATE DEFAULT statement as syscomments
// keeps it ("CREATE DEFAULT d AS 0" → "0"); `text` itself when it is no such
// statement (a default constraint's "(0)").
std::string BoundObjectExpression(const std::string& text);

// xtype of system objects as SQL Server writes them (char(2)).
std::string PadXtype(std::string_view xtype);

}  // namespace moltaro::db::embedded
