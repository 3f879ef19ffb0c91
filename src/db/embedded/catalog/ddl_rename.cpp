// sp_rename: a table, a column, an index or another object takes a new
// name in the storage and the system tables in one transaction; the
// enforcing triggers are made again so that their messages name it.
#include <sqlite3.h>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/storage/sqlite_db.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// 'dbo.T', '[T].[c]', "T"."c": the parts, quotes taken off.
std::vector<std::string> NameParts(const std::string& text) {
  std::vector<std::string> parts(1);
  char close = '\0';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (close != '\0') {
      if (ch == close && i + 1 < text.size() && text[i + 1] == close) {
        parts.back() += ch;
        ++i;
      } else if (ch == close) {
        close = '\0';
      } else {
        parts.back() += ch;
      }
    } else if (ch == '[') {
      close = ']';
    } else if (ch == '"') {
      close = '"';
    } else if (ch == '.') {
      parts.emplace_back();
    } else {
      parts.back() += ch;
    }
  }
  for (std::string& p : parts) p = Trim(p);
  return parts;
}

}  // namespace

void Ddl::Rename(const std::string& objectName, const std::string& newName,
                 const std::string& objectType) {
  const std::string type = ToUpperAscii(Trim(objectType));
  const std::vector<std::string> parts = NameParts(objectName);
  const auto wrong = [&] { return ServerErrorByNumber(15248, {type}); };
  if (newName.empty()) throw ServerErrorByNumber(15223, {"newname"});
  if (type == "DATABASE" || type == "USERDATATYPE" || type == "STATISTICS") {
    throw DatabaseError(NotSupported("sp_rename of a " + ToLowerAscii(type)));
  }
  const Collation& coll = catalog_.Coll();
  Transaction tx(catalog_.Db());
  if (type == "COLUMN" || type == "INDEX") {
    if (parts.size() < 2) throw wrong();
    const TableInfo* found = catalog_.FindTable(parts[parts.size() - 2]);
    if (!found || found->xtype != "U ") throw wrong();
    const TableInfo table = *found;
    const std::string& old = parts.back();
    if (type == "COLUMN") {
      const ColumnInfo* column = table.Find(coll, old);
      if (!column) throw wrong();
      if (const ColumnInfo* taken = table.Find(coll, newName); taken && taken != column) {
        throw ServerErrorByNumber(15335, {newName, "COLUMN"});
      }
      // CHECK texts and foreign keys keep column names; they would go stale.
      for (const ForeignKey& fk : ForeignKeys("f.child_id = ?1 OR f.parent_id = ?1", table.id)) {
        const auto& names = fk.childId == table.id ? fk.childColumns : fk.parentColumns;
        for (const std::string& n : names) {
          if (coll.Equal(n, column->name)) {
            throw DatabaseError(
                NotSupported("sp_rename of a column of the FOREIGN KEY " + fk.name));
          }
        }
      }
      auto checks = catalog_.Db().PrepareCached(
          "SELECT id, name FROM sysobjects WHERE parent_obj = ? AND xtype = 'C '");
      sqlite3_bind_int(checks.get(), 1, table.id);
      while (sqlite3_step(checks.get()) == SQLITE_ROW) {
        const int id = sqlite3_column_int(checks.get(), 0);
        const std::string name =
            reinterpret_cast<const char*>(sqlite3_column_text(checks.get(), 1));
        for (const std::string& n : Expression(catalog_.CommentText(id))->columns) {
          if (coll.Equal(n, column->name)) {
            throw DatabaseError(
                NotSupported("sp_rename of a column of the CHECK constraint " + name));
          }
        }
      }
      checks.reset();
      catalog_.Db().Exec("ALTER TABLE " + QuoteId(table.name) + " RENAME COLUMN " +
                         QuoteId(column->name) + " TO " + QuoteId(newName));
      ColumnInfo renamed = *column;
      renamed.name = newName;
      catalog_.ReplaceColumn(table.id, renamed);
    } else {
      const std::vector<IndexEntry> indexes = catalog_.Indexes(table.id);
      const IndexEntry* index = nullptr;
      for (const IndexEntry& i : indexes) {
        if (coll.Equal(i.name, old)) index = &i;
        if (coll.Equal(i.name, newName) && !coll.Equal(i.name, old)) {
          throw ServerErrorByNumber(15335, {newName, "INDEX"});
        }
      }
      if (!index) throw wrong();
      // The index of a PRIMARY KEY or UNIQUE constraint carries its name.
      if (const auto key = catalog_.FindObject(index->name);
          key && key->parent == table.id && (key->xtype == "PK" || key->xtype == "UQ")) {
        if (catalog_.FindObject(newName)) throw ServerErrorByNumber(15335, {newName, "object"});
        catalog_.RenameObject(key->id, newName);
      }
      catalog_.RenameIndex(table.id, index->indid, newName);
    }
    catalog_.Invalidate();
    catalog_.StampSchema();
    tx.Commit();
    return;
  }
  if (!type.empty() && type != "OBJECT") throw wrong();
  const auto object = catalog_.FindObject(parts.back());
  if (!object || object->xtype == "S ") throw wrong();
  if (const auto taken = catalog_.FindObject(newName); taken && taken->id != object->id) {
    throw ServerErrorByNumber(15335, {newName, "object"});
  }
  if (object->xtype == "V ") throw DatabaseError(NotSupported("sp_rename of a view"));
  if (object->xtype == "TR") throw DatabaseError(NotSupported("sp_rename of a trigger"));
  if (object->xtype == "U ") {
    catalog_.Db().Exec("ALTER TABLE " + QuoteId(object->name) + " RENAME TO " + QuoteId(newName));
    catalog_.RenameIndex(object->id, 0, newName);
  }
  if (object->xtype == "PK" || object->xtype == "UQ") {
    // A key's index carries the key's name.
    for (const IndexEntry& index : catalog_.Indexes(object->parent)) {
      if (coll.Equal(index.name, object->name)) {
        catalog_.RenameIndex(object->parent, index.indid, newName);
      }
    }
  }
  catalog_.RenameObject(object->id, newName);
  catalog_.Invalidate();
  // The triggers that enforce CHECKs and foreign keys name their table and
  // constraint in their messages.
  const int table = object->xtype == "U " ? object->id : object->parent;
  if (const auto owner = catalog_.FindObjectById(table); owner && owner->xtype == "U ") {
    if (const TableInfo* info = catalog_.FindTable(owner->name)) {
      const TableInfo copy = *info;
      auto checks = catalog_.Db().PrepareCached(
          "SELECT id FROM sysobjects WHERE parent_obj = ? AND xtype = 'C '");
      sqlite3_bind_int(checks.get(), 1, copy.id);
      std::vector<int> ids;
      while (sqlite3_step(checks.get()) == SQLITE_ROW) {
        ids.push_back(sqlite3_column_int(checks.get(), 0));
      }
      checks.reset();
      for (const int id : ids) {
        for (const char* action : {"INSERT", "UPDATE"}) {
          catalog_.Db().Exec("DROP TRIGGER IF EXISTS " +
                             QuoteId("moltaro_check_" + std::to_string(id) + "_" + action));
        }
      }
      RecreateCheckTriggers(copy);
    }
    RecreateForeignKeyTriggers(table);
  }
  catalog_.StampSchema();
  tx.Commit();
}

}  // namespace moltaro::db::embedded
