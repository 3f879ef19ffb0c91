// The catalogue's typed edits: the only code that writes the system tables
// and the server's own tables of identities and foreign keys. DDL decides
// what changes; these functions keep the rows of one change consistent
// with each other (an index with its keys, a clustered index with the
// table's heap row, an object with its columns and text).
#include <sqlite3.h>

#include "common/text.h"
#include "db/embedded/catalog/catalog.h"
#include "db/errors.h"

namespace moltaro::db::embedded {

namespace {

int OldType(const SqlType& t, bool nullable) {
  switch (t.base) {
    case BaseType::TinyInt:
    case BaseType::SmallInt:
    case BaseType::Int:
    case BaseType::BigInt:
      return nullable ? 38
                      : (t.base == BaseType::TinyInt    ? 48
                         : t.base == BaseType::SmallInt ? 52
                         : t.base == BaseType::Int      ? 56
                                                        : 63);
    case BaseType::Bit:
      return 50;
    case BaseType::Float:
    case BaseType::Real:
      return nullable ? 109 : (t.base == BaseType::Float ? 62 : 59);
    case BaseType::Money:
    case BaseType::SmallMoney:
      return nullable ? 110 : (t.base == BaseType::Money ? 60 : 122);
    case BaseType::DateTime:
    case BaseType::SmallDateTime:
      return nullable ? 111 : (t.base == BaseType::DateTime ? 61 : 58);
    case BaseType::Decimal:
      return 106;
    case BaseType::Numeric:
      return 108;
    case BaseType::Char:
    case BaseType::NChar:
      return 47;
    case BaseType::VarChar:
    case BaseType::NVarChar:
    case BaseType::SqlVariant:
      return 39;
    case BaseType::Text:
    case BaseType::NText:
      return 35;
    case BaseType::Xml:
    case BaseType::Date:
    case BaseType::Time:
    case BaseType::DateTime2:
    case BaseType::DateTimeOffset:
      return 0;  // types newer than the old codes
    case BaseType::UniqueIdentifier:
      return 37;
    case BaseType::Binary:
    case BaseType::Timestamp:
      return 45;
    case BaseType::VarBinary:
      return 37;
    case BaseType::Image:
      return 34;
  }
  return 0;
}

}  // namespace

int Catalog::NextObjectId() {
  auto stmt = db_.PrepareCached("SELECT max(coalesce(max(id), 0) + 1, 1000) FROM sysobjects");
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) db_.Throw();
  return sqlite3_column_int(stmt.get(), 0);
}

void Catalog::InsertObject(int id, const std::string& name, const std::string& xtype, int parent) {
  auto stmt = db_.PrepareCached(
      "INSERT INTO sysobjects (name, id, xtype, type, parent_obj, crdate, refdate) VALUES (?, ?, "
      "?, ?, ?, tsql_getdate(), tsql_getdate())");
  const std::string x = PadXtype(xtype);
  // `type` matches xtype except for constraints of the old kinds.
  std::string type = x;
  if (x == "PK" || x == "UQ") type = "K ";
  sqlite3_bind_text(stmt.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(stmt.get(), 2, id);
  sqlite3_bind_text(stmt.get(), 3, x.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt.get(), 4, type.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(stmt.get(), 5, parent);
  Step(stmt.get());
}

void Catalog::DeleteObject(int id) {
  for (const char* sql :
       {"DELETE FROM sysobjects WHERE id = ?", "DELETE FROM syscolumns WHERE id = ?",
        "DELETE FROM syscomments WHERE id = ?", "DELETE FROM sysindexes WHERE id = ?",
        "DELETE FROM sysindexkeys WHERE id = ?", "DELETE FROM moltaro_identity WHERE id = ?",
        "DELETE FROM moltaro_extended_properties WHERE class IN (1, 7) AND major_id = ?"}) {
    auto stmt = db_.PrepareCached(sql);
    sqlite3_bind_int(stmt.get(), 1, id);
    Step(stmt.get());
  }
}

void Catalog::InsertColumn(int tableId, const ColumnInfo& c) {
  auto stmt = db_.PrepareCached(
      "INSERT INTO syscolumns (name, id, xtype, typestat, xusertype, length, xprec, xscale, "
      "colid, colorder, cdefault, collationid, status, type, usertype, prec, scale, isnullable, "
      "collation, autoval, iscomputed, domain) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
      "?, ?, ?, ?, ?, ?, ?, ?)");
  sqlite3_stmt* s = stmt.get();
  const int xtype = TypeXtype(c.type.base);
  const bool character =
      IsCharacter(c.type.base) || c.type.base == BaseType::Text || c.type.base == BaseType::NText;
  sqlite3_bind_text(s, 1, c.name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(s, 2, tableId);
  sqlite3_bind_int(s, 3, xtype);
  sqlite3_bind_int(s, 4, c.nullable ? 0 : 1);
  sqlite3_bind_int(s, 5, c.userType ? c.userType : xtype);
  sqlite3_bind_int(s, 6, TypeStorageLength(c.type));
  sqlite3_bind_int(s, 7, TypeXprec(c.type));
  sqlite3_bind_int(s, 8, TypeXscale(c.type));
  sqlite3_bind_int(s, 9, c.colid);
  sqlite3_bind_int(s, 10, c.colid);
  sqlite3_bind_int(s, 11, c.defaultId);
  if (character) {
    sqlite3_bind_int(s, 12, 53318);
  } else {
    sqlite3_bind_null(s, 12);
  }
  sqlite3_bind_int(s, 13, (c.nullable ? 0x08 : 0) | (c.identity ? 0x80 : 0));
  sqlite3_bind_int(s, 14, OldType(c.type, c.nullable));
  sqlite3_bind_int(s, 15, 0);
  sqlite3_bind_int(s, 16, TypePrec(c.type));
  if (c.type.base == BaseType::Decimal || c.type.base == BaseType::Numeric ||
      c.type.base == BaseType::Money || c.type.base == BaseType::SmallMoney) {
    sqlite3_bind_int(s, 17, TypeXscale(c.type));
  } else {
    sqlite3_bind_null(s, 17);
  }
  sqlite3_bind_int(s, 18, c.nullable ? 1 : 0);
  if (character) {
    sqlite3_bind_text(s, 19, collationName_.c_str(), -1, SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_null(s, 19);
  }
  sqlite3_bind_null(s, 20);
  sqlite3_bind_int(s, 21, c.Computed() ? 1 : 0);
  sqlite3_bind_int(s, 22, c.ruleId);
  if (sqlite3_step(s) != SQLITE_DONE) db_.Throw();
  if (c.Computed()) {
    auto text = db_.PrepareCached(
        "INSERT INTO syscomments (id, number, colid, text, ctext) VALUES (?, ?, 1, ?, ?)");
    sqlite3_bind_int(text.get(), 1, tableId);
    sqlite3_bind_int(text.get(), 2, c.colid);
    sqlite3_bind_text(text.get(), 3, c.computedText.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(text.get(), 4, c.computedText.c_str(), -1, SQLITE_TRANSIENT);
    Step(text.get());
  }
}

void Catalog::InsertComment(int id, const std::string& text) {
  auto stmt =
      db_.PrepareCached("INSERT INTO syscomments (id, colid, text, ctext) VALUES (?, ?, ?, ?)");
  // Kept in chunks of 4000 characters, as SQL Server keeps them.
  std::size_t offset = 0;
  int colid = 1;
  do {
    std::string chunk = Utf8Left(std::string_view(text).substr(offset), 4000);
    sqlite3_bind_int(stmt.get(), 1, id);
    sqlite3_bind_int(stmt.get(), 2, colid++);
    sqlite3_bind_text(stmt.get(), 3, chunk.c_str(), static_cast<int>(chunk.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_text(stmt.get(), 4, chunk.c_str(), static_cast<int>(chunk.size()),
                      SQLITE_TRANSIENT);
    Step(stmt.get());
    sqlite3_reset(stmt.get());
    offset += chunk.size();
  } while (offset < text.size());
}

void Catalog::StampSchema() {
  db_.Exec("DROP TABLE IF EXISTS moltaro_schema_stamp; CREATE TABLE moltaro_schema_stamp (n)");
  Invalidate();
}

void Catalog::SetObjectColumn(int id, int colid) {
  auto stmt = db_.PrepareCached("UPDATE sysobjects SET info = ? WHERE id = ?");
  sqlite3_bind_int(stmt.get(), 1, colid);
  sqlite3_bind_int(stmt.get(), 2, id);
  Step(stmt.get());
}

void Catalog::RenameObject(int id, const std::string& name) {
  auto stmt = db_.PrepareCached("UPDATE sysobjects SET name = ? WHERE id = ?");
  sqlite3_bind_text(stmt.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(stmt.get(), 2, id);
  Step(stmt.get());
}

void Catalog::RenameIndex(int tableId, int indid, const std::string& name) {
  auto stmt = db_.PrepareCached("UPDATE sysindexes SET name = ? WHERE id = ? AND indid = ?");
  sqlite3_bind_text(stmt.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(stmt.get(), 2, tableId);
  sqlite3_bind_int(stmt.get(), 3, indid);
  Step(stmt.get());
}

void Catalog::SetConstraintDisabled(int id, bool disabled) {
  auto stmt = db_.PrepareCached(
      "UPDATE sysobjects SET status = CASE WHEN ? THEN status | ? ELSE status & ~? END WHERE id = "
      "?");
  sqlite3_bind_int(stmt.get(), 1, disabled ? 1 : 0);
  sqlite3_bind_int(stmt.get(), 2, kConstraintDisabled);
  sqlite3_bind_int(stmt.get(), 3, kConstraintDisabled);
  sqlite3_bind_int(stmt.get(), 4, id);
  Step(stmt.get());
}

void Catalog::ReplaceColumn(int tableId, const ColumnInfo& column) {
  DeleteColumn(tableId, column.colid);
  InsertColumn(tableId, column);
}

void Catalog::DeleteColumn(int tableId, int colid) {
  for (const char* sql : {"DELETE FROM syscolumns WHERE id = ? AND colid = ?",
                          "DELETE FROM syscomments WHERE id = ? AND number = ?"}) {
    auto stmt = db_.PrepareCached(sql);
    sqlite3_bind_int(stmt.get(), 1, tableId);
    sqlite3_bind_int(stmt.get(), 2, colid);
    Step(stmt.get());
  }
}

void Catalog::SetColumnDefault(int tableId, int colid, int defaultId) {
  auto stmt = db_.PrepareCached("UPDATE syscolumns SET cdefault = ? WHERE id = ? AND colid = ?");
  sqlite3_bind_int(stmt.get(), 1, defaultId);
  sqlite3_bind_int(stmt.get(), 2, tableId);
  sqlite3_bind_int(stmt.get(), 3, colid);
  Step(stmt.get());
}

void Catalog::SetColumnRule(int tableId, int colid, int ruleId) {
  auto stmt = db_.PrepareCached("UPDATE syscolumns SET domain = ? WHERE id = ? AND colid = ?");
  sqlite3_bind_int(stmt.get(), 1, ruleId);
  sqlite3_bind_int(stmt.get(), 2, tableId);
  sqlite3_bind_int(stmt.get(), 3, colid);
  Step(stmt.get());
}

void Catalog::SetTypeRule(int xusertype, int ruleId) {
  auto stmt = db_.PrepareCached("UPDATE systypes SET domain = ? WHERE xusertype = ?");
  sqlite3_bind_int(stmt.get(), 1, ruleId);
  sqlite3_bind_int(stmt.get(), 2, xusertype);
  Step(stmt.get());
}

void Catalog::SetTypeDefault(int xusertype, int defaultId) {
  auto stmt = db_.PrepareCached("UPDATE systypes SET tdefault = ? WHERE xusertype = ?");
  sqlite3_bind_int(stmt.get(), 1, defaultId);
  sqlite3_bind_int(stmt.get(), 2, xusertype);
  Step(stmt.get());
}

bool Catalog::IsBound(int objectId) {
  auto stmt = db_.PrepareCached(
      "SELECT EXISTS (SELECT 1 FROM syscolumns WHERE domain = ?1 OR cdefault = ?1) OR EXISTS "
      "(SELECT 1 FROM systypes WHERE domain = ?1 OR tdefault = ?1)");
  sqlite3_bind_int(stmt.get(), 1, objectId);
  return sqlite3_step(stmt.get()) == SQLITE_ROW && sqlite3_column_int(stmt.get(), 0) != 0;
}

void Catalog::ClearColumnDefault(int tableId, int defaultId) {
  auto stmt = db_.PrepareCached("UPDATE syscolumns SET cdefault = 0 WHERE id = ? AND cdefault = ?");
  sqlite3_bind_int(stmt.get(), 1, tableId);
  sqlite3_bind_int(stmt.get(), 2, defaultId);
  Step(stmt.get());
}

void Catalog::MarkOutputParameter(int routineId, int colid) {
  auto stmt = db_.PrepareCached("UPDATE syscolumns SET isoutparam = 1 WHERE id = ? AND colid = ?");
  sqlite3_bind_int(stmt.get(), 1, routineId);
  sqlite3_bind_int(stmt.get(), 2, colid);
  Step(stmt.get());
}

std::vector<IndexEntry> Catalog::Indexes(int tableId) {
  std::vector<IndexEntry> out;
  auto stmt = db_.PrepareCached(
      "SELECT indid, name, sqlite_name, status FROM sysindexes WHERE id = ? AND indid > 0 ORDER "
      "BY indid");
  sqlite3_bind_int(stmt.get(), 1, tableId);
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    IndexEntry k;
    k.indid = sqlite3_column_int(stmt.get(), 0);
    k.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    const auto* sn = sqlite3_column_text(stmt.get(), 2);
    k.sqliteName = sn ? reinterpret_cast<const char*>(sn) : "";
    k.status = sqlite3_column_int(stmt.get(), 3);
    out.push_back(k);
  }
  auto keys =
      db_.PrepareCached("SELECT colid FROM sysindexkeys WHERE id = ? AND indid = ? ORDER BY keyno");
  for (IndexEntry& k : out) {
    sqlite3_bind_int(keys.get(), 1, tableId);
    sqlite3_bind_int(keys.get(), 2, k.indid);
    while (sqlite3_step(keys.get()) == SQLITE_ROW)
      k.colids.push_back(sqlite3_column_int(keys.get(), 0));
    sqlite3_reset(keys.get());
  }
  return out;
}

void Catalog::InsertHeap(int tableId, const std::string& tableName) {
  auto heap = db_.PrepareCached(
      "INSERT INTO sysindexes (id, status, indid, keycnt, name) VALUES (?, 0, 0, 0, ?)");
  sqlite3_bind_int(heap.get(), 1, tableId);
  sqlite3_bind_text(heap.get(), 2, tableName.c_str(), -1, SQLITE_TRANSIENT);
  Step(heap.get());
}

void Catalog::InsertIndex(int tableId, const IndexEntry& index) {
  auto ins = db_.PrepareCached(
      "INSERT INTO sysindexes (id, status, indid, keycnt, name, sqlite_name) VALUES (?, ?, ?, ?, "
      "?, ?)");
  sqlite3_bind_int(ins.get(), 1, tableId);
  sqlite3_bind_int(ins.get(), 2, index.status);
  sqlite3_bind_int(ins.get(), 3, index.indid);
  sqlite3_bind_int(ins.get(), 4, static_cast<int>(index.colids.size()));
  sqlite3_bind_text(ins.get(), 5, index.name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(ins.get(), 6, index.sqliteName.c_str(), -1, SQLITE_TRANSIENT);
  Step(ins.get());
  auto key =
      db_.PrepareCached("INSERT INTO sysindexkeys (id, indid, colid, keyno) VALUES (?, ?, ?, ?)");
  for (std::size_t i = 0; i < index.colids.size(); ++i) {
    sqlite3_bind_int(key.get(), 1, tableId);
    sqlite3_bind_int(key.get(), 2, index.indid);
    sqlite3_bind_int(key.get(), 3, index.colids[i]);
    sqlite3_bind_int(key.get(), 4, static_cast<int>(i + 1));
    Step(key.get());
    sqlite3_reset(key.get());
  }
  if (index.indid == 1) {
    auto heap = db_.PrepareCached("DELETE FROM sysindexes WHERE id = ? AND indid = 0");
    sqlite3_bind_int(heap.get(), 1, tableId);
    Step(heap.get());
  }
}

void Catalog::DeleteIndex(int tableId, const std::string& tableName, int indid) {
  for (const char* sql : {"DELETE FROM sysindexes WHERE id = ? AND indid = ?",
                          "DELETE FROM sysindexkeys WHERE id = ? AND indid = ?"}) {
    auto stmt = db_.PrepareCached(sql);
    sqlite3_bind_int(stmt.get(), 1, tableId);
    sqlite3_bind_int(stmt.get(), 2, indid);
    Step(stmt.get());
  }
  if (indid == 1) InsertHeap(tableId, tableName);
}

std::optional<IdentityState> Catalog::Identity(int tableId) {
  auto stmt = db_.PrepareCached(
      "SELECT colid, seed, increment, last, used FROM moltaro_identity WHERE id = ?");
  sqlite3_bind_int(stmt.get(), 1, tableId);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  IdentityState state;
  state.tableId = tableId;
  state.colid = sqlite3_column_int(stmt.get(), 0);
  state.seed = sqlite3_column_int64(stmt.get(), 1);
  state.increment = sqlite3_column_int64(stmt.get(), 2);
  state.last = sqlite3_column_int64(stmt.get(), 3);
  state.used = sqlite3_column_int(stmt.get(), 4) != 0;
  return state;
}

void Catalog::SetIdentity(const IdentityState& identity) {
  auto stmt = db_.PrepareCached(
      "INSERT OR REPLACE INTO moltaro_identity (id, colid, seed, increment, last, used) VALUES "
      "(?, ?, ?, ?, ?, ?)");
  sqlite3_bind_int(stmt.get(), 1, identity.tableId);
  sqlite3_bind_int(stmt.get(), 2, identity.colid);
  sqlite3_bind_int64(stmt.get(), 3, identity.seed);
  sqlite3_bind_int64(stmt.get(), 4, identity.increment);
  sqlite3_bind_int64(stmt.get(), 5, identity.last);
  sqlite3_bind_int(stmt.get(), 6, identity.used ? 1 : 0);
  Step(stmt.get());
}

void Catalog::ResetIdentity(int tableId) {
  auto stmt = db_.PrepareCached("UPDATE moltaro_identity SET last = seed, used = 0 WHERE id = ?");
  sqlite3_bind_int(stmt.get(), 1, tableId);
  Step(stmt.get());
}

void Catalog::DeleteIdentity(int tableId) {
  auto stmt = db_.PrepareCached("DELETE FROM moltaro_identity WHERE id = ?");
  sqlite3_bind_int(stmt.get(), 1, tableId);
  Step(stmt.get());
}

namespace {
std::string JoinLines(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& i : items) out += (out.empty() ? "" : "\n") + i;
  return out;
}
}  // namespace

void Catalog::InsertForeignKey(const ForeignKeyEntry& key) {
  auto ins = db_.PrepareCached(
      "INSERT INTO moltaro_foreign_keys (id, child_id, parent_id, child_columns, parent_columns, "
      "delete_action, update_action) VALUES (?, ?, ?, ?, ?, ?, ?)");
  const std::string cc = JoinLines(key.childColumns), pc = JoinLines(key.parentColumns);
  sqlite3_bind_int(ins.get(), 1, key.id);
  sqlite3_bind_int(ins.get(), 2, key.childId);
  sqlite3_bind_int(ins.get(), 3, key.parentId);
  sqlite3_bind_text(ins.get(), 4, cc.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(ins.get(), 5, pc.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(ins.get(), 6, key.deleteAction);
  sqlite3_bind_int(ins.get(), 7, key.updateAction);
  Step(ins.get());
}

void Catalog::DeleteForeignKey(int id) {
  auto stmt = db_.PrepareCached("DELETE FROM moltaro_foreign_keys WHERE id = ?");
  sqlite3_bind_int(stmt.get(), 1, id);
  Step(stmt.get());
}

void Catalog::Step(sqlite3_stmt* stmt) {
  if (sqlite3_step(stmt) != SQLITE_DONE) db_.Throw();
}

void Catalog::InsertUserType(const std::string& name, const SqlType& type, bool allowsNulls) {
  // User types number from 257, after the system types.
  auto next = db_.PrepareCached("SELECT max(coalesce(max(xusertype), 0) + 1, 257) FROM systypes");
  if (sqlite3_step(next.get()) != SQLITE_ROW) db_.Throw();
  const int xusertype = sqlite3_column_int(next.get(), 0);
  auto stmt = db_.PrepareCached(
      "INSERT INTO systypes (name, xtype, status, xusertype, length, xprec, xscale, usertype, "
      "variable, allownulls, type, prec, scale, collationid, collation) VALUES (?, ?, 0, ?, ?, ?, "
      "?, ?, ?, ?, ?, ?, ?, ?, ?)");
  sqlite3_stmt* s = stmt.get();
  const bool character =
      IsCharacter(type.base) || type.base == BaseType::Text || type.base == BaseType::NText;
  sqlite3_bind_text(s, 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(s, 2, TypeXtype(type.base));
  sqlite3_bind_int(s, 3, xusertype);
  sqlite3_bind_int(s, 4, TypeStorageLength(type));
  sqlite3_bind_int(s, 5, TypeXprec(type));
  sqlite3_bind_int(s, 6, TypeXscale(type));
  sqlite3_bind_int(s, 7, xusertype);
  sqlite3_bind_int(s, 8,
                   type.base == BaseType::VarChar || type.base == BaseType::NVarChar ||
                           type.base == BaseType::VarBinary
                       ? 1
                       : 0);
  sqlite3_bind_int(s, 9, allowsNulls ? 1 : 0);
  sqlite3_bind_int(s, 10, OldType(type, allowsNulls));
  sqlite3_bind_int(s, 11, TypePrec(type));
  sqlite3_bind_int(s, 12, TypeXscale(type));
  if (character) {
    sqlite3_bind_int(s, 13, 53318);
    sqlite3_bind_text(s, 14, collationName_.c_str(), -1, SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_null(s, 13);
    sqlite3_bind_null(s, 14);
  }
  Step(s);
}

void Catalog::DeleteUserType(int xusertype) {
  auto stmt = db_.PrepareCached("DELETE FROM systypes WHERE xusertype = ? AND xusertype > 256");
  sqlite3_bind_int(stmt.get(), 1, xusertype);
  Step(stmt.get());
}

}  // namespace moltaro::db::embedded
