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
};

struct TableInfo {
  int id = 0;
  std::string name;   // as stored (the SQLite table name too)
  std::string xtype;  // "U ", "S ", "V "
  std::vector<ColumnInfo> columns;
  const ColumnInfo* Find(const Collation& coll, std::string_view column) const;
};

struct ObjectInfo {
  int id = 0;
  std::string name;
  std::string xtype;  // two characters, SQL Server's char(2)
  int parent = 0;
};

class Catalog {
 public:
  Catalog(SqliteDb& db, std::string databaseName, std::string collation);

  // Creates the system tables of a new database (in the caller's transaction).
  static void CreateSystemTables(SqliteDb& db, const std::string& collation, bool master);
  // The indexes behind the lookups by name that DDL and the catalogue views
  // make for every object; added to files made before they existed.
  static void EnsureLookupIndexes(SqliteDb& db, bool master);

  const std::string& DatabaseName() const { return databaseName_; }
  const std::string& CollationName() const { return collationName_; }
  const Collation& Coll() const { return *collation_; }
  SqliteDb& Db() { return db_; }

  std::optional<ObjectInfo> FindObject(const std::string& name);
  std::optional<ObjectInfo> FindObjectById(int id);
  // Tables and views; system tables included. Cached per schema version.
  const TableInfo* FindTable(const std::string& name);
  // Drops cached table shapes (after DDL, or when the schema version moved).
  void Invalidate();
  void CheckSchemaVersion();

  int NextObjectId();
  void InsertObject(int id, const std::string& name, const std::string& xtype, int parent);
  void DeleteObject(int id);  // with its columns, comments, indexes
  void InsertColumn(int tableId, const ColumnInfo& column);
  void InsertComment(int id, const std::string& text);
  std::string CommentText(int id);
  // Marks the schema changed for every connection (even when only catalogue
  // rows changed, e.g. a procedure or a default).
  void StampSchema();

  // Temporary tables (#name): SQLite TEMP tables of this connection, known
  // only to it and not in the system tables, as SQL Server keeps them in
  // tempdb.
  void AddTempTable(std::unique_ptr<TableInfo> table);
  bool DropTempTable(const std::string& name);
  std::vector<std::string> TempTableNames() const;

  // The "table 'db.dbo.t'" form of error messages.
  std::string QualifiedName(const std::string& table) const {
    return databaseName_ + ".dbo." + table;
  }

 private:
  std::unique_ptr<TableInfo> LoadTable(const ObjectInfo& object);

  SqliteDb& db_;
  std::string databaseName_;
  std::string collationName_;
  std::unique_ptr<Collation> collation_;
  std::map<std::string, std::unique_ptr<TableInfo>> tables_;  // key: upper-cased name
  std::map<std::string, std::unique_ptr<TableInfo>> temp_;    // key: upper-cased name
  int schemaVersion_ = -1;
};

// xtype of system objects as SQL Server writes them (char(2)).
std::string PadXtype(std::string_view xtype);

}  // namespace moltaro::db::embedded
