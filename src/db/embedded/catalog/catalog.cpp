#include "db/embedded/catalog/catalog.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/parser/tsql_tokenizer.h"

#include <unicode/ucasemap.h>

#include "common/text.h"
#include "db/errors.h"

namespace moltaro::db::embedded {

namespace {

struct SystemTable {
  const char* name;
  const char* columns;  // SQLite column list; "%C" stands for the collation clause
};

const SystemTable kSystemTables[] = {
    {"sysobjects",
     "name TEXT %C, id INTEGER PRIMARY KEY, xtype TEXT %C, uid INTEGER DEFAULT 1, info INTEGER "
     "DEFAULT 0, status INTEGER DEFAULT 0, base_schema_ver INTEGER DEFAULT 0, replinfo INTEGER "
     "DEFAULT 0, parent_obj INTEGER DEFAULT 0, crdate TEXT, ftcatid INTEGER DEFAULT 0, schema_ver "
     "INTEGER DEFAULT 0, stats_schema_ver INTEGER DEFAULT 0, type TEXT %C, userstat INTEGER "
     "DEFAULT 0, sysstat INTEGER DEFAULT 0, indexdel INTEGER DEFAULT 0, refdate TEXT, version "
     "INTEGER DEFAULT 0, deltrig INTEGER DEFAULT 0, instrig INTEGER DEFAULT 0, updtrig INTEGER "
     "DEFAULT 0, seltrig INTEGER DEFAULT 0, category INTEGER DEFAULT 0, cache INTEGER DEFAULT 0"},
    {"syscolumns",
     "name TEXT %C, id INTEGER, xtype INTEGER, typestat INTEGER, xusertype INTEGER, length "
     "INTEGER, xprec INTEGER, xscale INTEGER, colid INTEGER, xoffset INTEGER DEFAULT 0, bitpos "
     "INTEGER DEFAULT 0, reserved INTEGER DEFAULT 0, colstat INTEGER DEFAULT 0, cdefault INTEGER "
     "DEFAULT 0, domain INTEGER DEFAULT 0, number INTEGER DEFAULT 0, colorder INTEGER, autoval "
     "TEXT, offset INTEGER DEFAULT 0, collationid INTEGER, language INTEGER DEFAULT 0, status "
     "INTEGER, type INTEGER, usertype INTEGER, printfmt TEXT, prec INTEGER, scale INTEGER, "
     "iscomputed INTEGER DEFAULT 0, isoutparam INTEGER DEFAULT 0, isnullable INTEGER, collation "
     "TEXT %C, PRIMARY KEY (id, colid)"},
    {"systypes",
     "name TEXT %C, xtype INTEGER, status INTEGER, xusertype INTEGER, length INTEGER, xprec "
     "INTEGER, xscale INTEGER, tdefault INTEGER DEFAULT 0, domain INTEGER DEFAULT 0, uid INTEGER "
     "DEFAULT 4, reserved INTEGER DEFAULT 0, collationid INTEGER, usertype INTEGER, variable "
     "INTEGER, allownulls INTEGER DEFAULT 1, type INTEGER, printfmt TEXT, prec INTEGER, scale "
     "INTEGER, collation TEXT %C"},
    {"sysindexes",
     "id INTEGER, status INTEGER, first INTEGER DEFAULT 0, indid INTEGER, root INTEGER DEFAULT 0, "
     "minlen INTEGER DEFAULT 0, keycnt INTEGER, groupid INTEGER DEFAULT 1, dpages INTEGER "
     "DEFAULT 0, reserved INTEGER DEFAULT 0, used INTEGER DEFAULT 0, rowcnt INTEGER DEFAULT 0, "
     "rowmodctr INTEGER DEFAULT 0, xmaxlen INTEGER DEFAULT 0, maxirow INTEGER DEFAULT 0, "
     "OrigFillFactor INTEGER DEFAULT 0, StatVersion INTEGER DEFAULT 0, impid INTEGER DEFAULT 0, "
     "lockflags INTEGER DEFAULT 0, pgmodctr INTEGER DEFAULT 0, keys TEXT, name TEXT %C, "
     "statblob TEXT, maxlen INTEGER DEFAULT 8000, rows INTEGER DEFAULT 0, sqlite_name TEXT, "
     "PRIMARY KEY (id, indid)"},
    {"sysindexkeys", "id INTEGER, indid INTEGER, colid INTEGER, keyno INTEGER"},
    {"syscomments",
     "id INTEGER, number INTEGER DEFAULT 0, colid INTEGER, status INTEGER DEFAULT 0, ctext TEXT, "
     "texttype INTEGER DEFAULT 2, language INTEGER DEFAULT 0, text TEXT %C, encrypted INTEGER "
     "DEFAULT 0, compressed INTEGER DEFAULT 0"},
};

const SystemTable kMasterTables[] = {
    {"sysdatabases",
     "name TEXT %C, dbid INTEGER PRIMARY KEY, sid TEXT, mode INTEGER DEFAULT 0, status INTEGER "
     "DEFAULT 0, status2 INTEGER DEFAULT 0, crdate TEXT, reserved TEXT, category INTEGER DEFAULT "
     "0, cmptlevel INTEGER DEFAULT 80, filename TEXT, version INTEGER DEFAULT 539, collation TEXT "
     "%C, logfilename TEXT, options TEXT"},
    {"syslogins",
     "name TEXT %C PRIMARY KEY, password TEXT, dbname TEXT %C, createdate TEXT, language TEXT "
     "DEFAULT 'us_english'"},
};

struct TypeRow {
  const char* name;
  int xtype, xusertype, length, xprec, xscale, variable, usertype, type, prec, scale;
};

const TypeRow kTypeRows[] = {
    {"image", 34, 34, 16, 0, 0, 0, 20, 34, 2147483647, 0},
    {"text", 35, 35, 16, 0, 0, 0, 19, 35, 2147483647, 0},
    {"uniqueidentifier", 36, 36, 16, 0, 0, 0, 0, 37, 16, 0},
    {"tinyint", 48, 48, 1, 3, 0, 0, 5, 48, 3, 0},
    {"smallint", 52, 52, 2, 5, 0, 0, 6, 52, 5, 0},
    {"int", 56, 56, 4, 10, 0, 0, 7, 56, 10, 0},
    {"smalldatetime", 58, 58, 4, 16, 0, 0, 22, 58, 16, 0},
    {"real", 59, 59, 4, 24, 0, 0, 23, 59, 24, 0},
    {"money", 60, 60, 8, 19, 4, 0, 11, 60, 19, 4},
    {"datetime", 61, 61, 8, 23, 3, 0, 12, 61, 23, 3},
    {"float", 62, 62, 8, 53, 0, 0, 8, 62, 53, 0},
    {"sql_variant", 98, 98, 8016, 0, 0, 0, 0, 39, 8016, 0},
    {"ntext", 99, 99, 16, 0, 0, 0, 0, 35, 1073741823, 0},
    {"bit", 104, 104, 1, 1, 0, 0, 16, 50, 1, 0},
    {"decimal", 106, 106, 17, 38, 38, 0, 24, 55, 38, 38},
    {"numeric", 108, 108, 17, 38, 38, 0, 10, 63, 38, 38},
    {"smallmoney", 122, 122, 4, 10, 4, 0, 21, 122, 10, 4},
    {"bigint", 127, 127, 8, 19, 0, 0, 0, 63, 19, 0},
    {"varbinary", 165, 165, 8000, 0, 0, 1, 4, 37, 8000, 0},
    {"varchar", 167, 167, 8000, 0, 0, 1, 2, 39, 8000, 0},
    {"binary", 173, 173, 8000, 0, 0, 0, 3, 45, 8000, 0},
    {"char", 175, 175, 8000, 0, 0, 0, 1, 47, 8000, 0},
    {"timestamp", 189, 189, 8, 0, 0, 0, 80, 45, 8, 0},
    {"nvarchar", 231, 231, 8000, 0, 0, 1, 0, 39, 4000, 0},
    {"nchar", 239, 239, 8000, 0, 0, 0, 0, 47, 4000, 0},
    {"sysname", 231, 256, 256, 0, 0, 1, 18, 39, 128, 0},
    {"date", 40, 40, 3, 10, 0, 0, 0, 0, 10, 0},
    {"time", 41, 41, 5, 16, 7, 0, 0, 0, 16, 7},
    {"datetime2", 42, 42, 8, 27, 7, 0, 0, 0, 27, 7},
    {"datetimeoffset", 43, 43, 10, 34, 7, 0, 0, 0, 34, 7},
    {"xml", 241, 241, -1, 0, 0, 0, 0, 0, 0, 0},
};

std::string Columns(const char* pattern, const std::string& collation) {
  return ReplaceAll(pattern, "%C", "COLLATE " + QuoteId(collation));
}

std::string Key(std::string_view name) {
  // Upper-cased with ICU so that accented names fold too; the collation
  // still decides equality on lookup.
  UErrorCode status = U_ZERO_ERROR;
  UCaseMap* map = ucasemap_open("", 0, &status);
  std::string out(name.size() * 3 + 4, '\0');
  const int32_t n = ucasemap_utf8ToUpper(map, out.data(), static_cast<int32_t>(out.size()),
                                         name.data(), static_cast<int32_t>(name.size()), &status);
  ucasemap_close(map);
  if (U_FAILURE(status)) return ToUpperAscii(name);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

}  // namespace

std::string PadXtype(std::string_view xtype) {
  std::string out(xtype);
  if (out.size() < 2) out.append(2 - out.size(), ' ');
  return out;
}

const ColumnInfo* TableInfo::Find(const Collation& coll, std::string_view column) const {
  for (const ColumnInfo& c : columns) {
    if (coll.Equal(c.name, column)) return &c;
  }
  return nullptr;
}

Catalog::Catalog(SqliteDb& db, std::string databaseName, std::string collation)
    : db_(db),
      databaseName_(std::move(databaseName)),
      collationName_(std::move(collation)),
      collation_(std::make_unique<Collation>(collationName_)) {}

void Catalog::CreateSystemTables(SqliteDb& db, const std::string& name,
                                 const std::string& collation, bool master) {
  std::string sql;
  for (const SystemTable& t : kSystemTables) {
    sql += "CREATE TABLE " + std::string(t.name) + " (" + Columns(t.columns, collation) + ");\n";
  }
  if (master) {
    for (const SystemTable& t : kMasterTables) {
      sql += "CREATE TABLE " + std::string(t.name) + " (" + Columns(t.columns, collation) + ");\n";
    }
  }
  sql += "CREATE INDEX sysobjects_name ON sysobjects(name);\n";
  sql += "CREATE INDEX syscomments_id ON syscomments(id, colid);\n";
  sql += "CREATE INDEX sysindexkeys_id ON sysindexkeys(id, indid);\n";
  sql +=
      "CREATE TABLE moltaro_identity (id INTEGER PRIMARY KEY, colid INTEGER, seed INTEGER, "
      "increment INTEGER, last INTEGER, used INTEGER DEFAULT 0);\n";
  sql += "CREATE TABLE moltaro_database (name TEXT, collation TEXT, options TEXT);\n";
  db.Exec(sql);
  UpgradeSystemTables(db, master);
  // The file knows which database it is, so that it can be checked when attached.
  auto recordName =
      db.Prepare("INSERT INTO moltaro_database (name, collation, options) VALUES (?, ?, '')");
  sqlite3_bind_text(recordName.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(recordName.get(), 2, collation.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(recordName.get()) != SQLITE_DONE) db.Throw();
  // The system tables are objects too.
  auto insertObject = db.Prepare(
      "INSERT INTO sysobjects (name, id, xtype, type, crdate, sysstat) VALUES (?, ?, 'S ', 'S ', "
      "tsql_getdate(), 1)");
  int id = 1;
  auto addObject = [&](const char* name) {
    sqlite3_stmt* s = insertObject.get();
    sqlite3_bind_text(s, 1, name, -1, SQLITE_STATIC);
    sqlite3_bind_int(s, 2, id++);
    if (sqlite3_step(s) != SQLITE_DONE) db.Throw();
    sqlite3_reset(s);
  };
  for (const SystemTable& t : kSystemTables) addObject(t.name);
  if (master) {
    for (const SystemTable& t : kMasterTables) addObject(t.name);
  }
  auto insertType = db.Prepare(
      "INSERT INTO systypes (name, xtype, status, xusertype, length, xprec, xscale, usertype, "
      "variable, type, prec, scale, collationid, collation) VALUES (?, ?, 0, ?, ?, ?, ?, ?, ?, ?, "
      "?, ?, ?, ?)");
  for (const TypeRow& r : kTypeRows) {
    sqlite3_stmt* s = insertType.get();
    const bool character = r.xtype == 167 || r.xtype == 175 || r.xtype == 231 || r.xtype == 239 ||
                           r.xtype == 35 || r.xtype == 99;
    sqlite3_bind_text(s, 1, r.name, -1, SQLITE_STATIC);
    sqlite3_bind_int(s, 2, r.xtype);
    sqlite3_bind_int(s, 3, r.xusertype);
    sqlite3_bind_int(s, 4, r.length);
    sqlite3_bind_int(s, 5, r.xprec);
    sqlite3_bind_int(s, 6, r.xscale);
    sqlite3_bind_int(s, 7, r.usertype);
    sqlite3_bind_int(s, 8, r.variable);
    sqlite3_bind_int(s, 9, r.type);
    sqlite3_bind_int(s, 10, r.prec);
    sqlite3_bind_int(s, 11, r.scale);
    if (character) {
      sqlite3_bind_int(s, 12, 53318);
      sqlite3_bind_text(s, 13, collation.c_str(), -1, SQLITE_TRANSIENT);
    } else {
      sqlite3_bind_null(s, 12);
      sqlite3_bind_null(s, 13);
    }
    if (sqlite3_step(s) != SQLITE_DONE) db.Throw();
    sqlite3_reset(s);
  }
}

void Catalog::UpgradeSystemTables(SqliteDb& db, bool master) {
  // Without these every column, index and database looked up by name scans
  // its whole system table, so a schema of N objects costs N squared.
  std::string sql =
      "CREATE TABLE IF NOT EXISTS moltaro_foreign_keys (id INTEGER PRIMARY KEY, child_id "
      "INTEGER, parent_id INTEGER, child_columns TEXT, parent_columns TEXT);\n"
      "CREATE TABLE IF NOT EXISTS moltaro_schemas (schema_id INTEGER PRIMARY KEY, name TEXT NOT "
      "NULL, principal_id INTEGER NOT NULL);\n"
      "CREATE TABLE IF NOT EXISTS moltaro_principals (principal_id INTEGER PRIMARY KEY, name TEXT "
      "NOT NULL, type TEXT NOT NULL, owning_principal_id INTEGER, default_schema_name TEXT, "
      "login_name TEXT, create_date TEXT);\n"
      "CREATE TABLE IF NOT EXISTS moltaro_role_members (role_principal_id INTEGER NOT NULL, "
      "member_principal_id INTEGER NOT NULL, PRIMARY KEY (role_principal_id, "
      "member_principal_id));\n"
      "CREATE TABLE IF NOT EXISTS moltaro_extended_properties (class INTEGER NOT NULL, major_id "
      "INTEGER NOT NULL, minor_id INTEGER NOT NULL, name TEXT NOT NULL, value TEXT, PRIMARY KEY "
      "(class, major_id, minor_id, name));\n"
      "CREATE INDEX IF NOT EXISTS sysindexes_name ON sysindexes(name);\n"
      "CREATE INDEX IF NOT EXISTS syscolumns_name ON syscolumns(id, name);\n";
  if (master) sql += "CREATE INDEX IF NOT EXISTS sysdatabases_name ON sysdatabases(name);\n";
  db.Exec(sql);
  // The database's timestamp counter (@@DBTS); a new database starts at
  // 2000, as SQL Server's do, so that its first row takes 0x…07D1.
  auto counter = db.Prepare(
      "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'moltaro_dbts'");
  if (sqlite3_step(counter.get()) == SQLITE_ROW && sqlite3_column_int(counter.get(), 0) == 0) {
    db.Exec(
        "CREATE TABLE moltaro_dbts (value INTEGER NOT NULL);\n"
        "INSERT INTO moltaro_dbts (value) VALUES (2000);\n");
  }
  counter.reset();
  // Foreign keys of earlier files took no action: NO ACTION (0) both ways.
  auto actions = db.Prepare(
      "SELECT count(*) FROM pragma_table_info('moltaro_foreign_keys') WHERE name = "
      "'delete_action'");
  if (sqlite3_step(actions.get()) == SQLITE_ROW && sqlite3_column_int(actions.get(), 0) == 0) {
    db.Exec(
        "ALTER TABLE moltaro_foreign_keys ADD COLUMN delete_action INTEGER DEFAULT 0;\n"
        "ALTER TABLE moltaro_foreign_keys ADD COLUMN update_action INTEGER DEFAULT 0;\n");
  }
}

std::int64_t Catalog::DatabaseTimestamp() {
  auto stmt = db_.PrepareCached("SELECT value FROM moltaro_dbts");
  return sqlite3_step(stmt.get()) == SQLITE_ROW ? sqlite3_column_int64(stmt.get(), 0) : 2000;
}

void Catalog::CheckSchemaVersion() {
  const int v = db_.SchemaVersion();
  if (v != schemaVersion_) {
    tables_.clear();
    schemaVersion_ = v;
  }
}

void Catalog::Invalidate() {
  tables_.clear();
  schemaVersion_ = -1;
}

std::optional<ObjectInfo> Catalog::FindObject(const std::string& name) {
  auto stmt =
      db_.PrepareCached("SELECT id, name, xtype, parent_obj FROM sysobjects WHERE name = ?");
  sqlite3_bind_text(stmt.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  std::optional<ObjectInfo> found;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    ObjectInfo o;
    o.id = sqlite3_column_int(stmt.get(), 0);
    o.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    o.xtype = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2));
    o.parent = sqlite3_column_int(stmt.get(), 3);
    // Constraints and indexes live in their table's namespace only when
    // nothing else has the name; prefer a top-level object.
    if (!found || (found->parent != 0 && o.parent == 0)) found = o;
  }
  return found;
}

std::optional<ObjectInfo> Catalog::FindObjectById(int id) {
  auto stmt = db_.PrepareCached("SELECT id, name, xtype, parent_obj FROM sysobjects WHERE id = ?");
  sqlite3_bind_int(stmt.get(), 1, id);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  ObjectInfo o;
  o.id = sqlite3_column_int(stmt.get(), 0);
  o.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
  o.xtype = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2));
  o.parent = sqlite3_column_int(stmt.get(), 3);
  return o;
}

void Catalog::AddTempTable(std::unique_ptr<TableInfo> table) {
  const std::string key = Key(table->name);
  temp_[key] = std::move(table);
}

bool Catalog::DropTempTable(const std::string& name) {
  auto it = temp_.find(Key(name));
  if (it == temp_.end()) return false;
  db_.Exec("DROP TABLE IF EXISTS temp." + QuoteId(it->second->name));
  temp_.erase(it);
  return true;
}

std::vector<std::string> Catalog::TempTableNames() const {
  std::vector<std::string> names;
  for (const auto& [key, table] : temp_) names.push_back(table->name);
  return names;
}

bool Catalog::HasTriggers(int tableId) {
  auto stmt =
      db_.PrepareCached("SELECT 1 FROM sysobjects WHERE parent_obj = ? AND xtype = 'TR' LIMIT 1");
  sqlite3_bind_int(stmt.get(), 1, tableId);
  return sqlite3_step(stmt.get()) == SQLITE_ROW;
}

void Catalog::PushScopedTables(ScopedTables tables) {
  scoped_.push_back(std::move(tables));
}

void Catalog::PopScopedTables() {
  if (!scoped_.empty()) scoped_.pop_back();
}

void Catalog::AddScopedTable(const std::string& name, std::unique_ptr<TableInfo> table) {
  if (scoped_.empty()) scoped_.emplace_back();
  scoped_.back()[Key(name)] = std::move(table);
}

void Catalog::RemoveScopedTable(const std::string& name) {
  if (!scoped_.empty()) scoped_.back().erase(Key(name));
}

bool Catalog::HasScopedTable(const std::string& name) const {
  return !scoped_.empty() && scoped_.back().count(Key(name)) > 0;
}

const TableInfo* Catalog::FindTable(const std::string& name) {
  if (!scoped_.empty()) {
    auto it = scoped_.back().find(Key(name));
    if (it != scoped_.back().end()) return it->second.get();
  }
  if (!name.empty() && name[0] == '@') return nullptr;  // a table variable not declared
  if (!name.empty() && name[0] == '#') {
    auto it = temp_.find(Key(name));
    return it == temp_.end() ? nullptr : it->second.get();
  }
  // The schema version is checked once per statement (CheckSchemaVersion),
  // never in the middle of a translation holding table pointers.
  const std::string key = Key(name);
  auto it = tables_.find(key);
  if (it != tables_.end()) return it->second.get();
  auto object = FindObject(name);
  if (!object || (object->xtype != "U " && object->xtype != "S " && object->xtype != "V ")) {
    return nullptr;
  }
  auto table = LoadTable(*object);
  const TableInfo* result = table.get();
  tables_[key] = std::move(table);
  return result;
}

std::unique_ptr<TableInfo> Catalog::LoadTable(const ObjectInfo& object) {
  auto table = std::make_unique<TableInfo>();
  table->id = object.id;
  table->name = object.name;
  table->xtype = object.xtype;
  if (object.xtype == "S " || object.xtype == "V ") {
    // Shapes straight from SQLite.
    auto stmt = db_.PrepareCached("SELECT name, type FROM pragma_table_info(?)");
    sqlite3_bind_text(stmt.get(), 1, object.name.c_str(), -1, SQLITE_TRANSIENT);
    int colid = 0;
    while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
      ColumnInfo c;
      c.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
      const char* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
      const std::string t = type ? ToUpperAscii(type) : std::string();
      c.colid = ++colid;
      if (t == "INTEGER") {
        c.type = SqlType{BaseType::Int, 0, 0, 0};
      } else if (t == "REAL") {
        c.type = SqlType{BaseType::Float, 0, 0, 0};
      } else if (t.empty()) {
        c.type = SqlType{BaseType::NVarChar, -1, 0, 0};
      } else {
        c.type = SqlType{BaseType::NVarChar, -1, 0, 0};
      }
      table->columns.push_back(std::move(c));
    }
    return table;
  }
  auto stmt = db_.PrepareCached(
      "SELECT c.name, c.colid, c.xtype, c.length, c.xprec, c.xscale, c.isnullable, c.status, "
      "c.cdefault, (SELECT group_concat(m.text, '') FROM (SELECT text FROM syscomments WHERE id = "
      "c.cdefault ORDER BY colid) m), CASE WHEN c.iscomputed = 1 THEN (SELECT group_concat(m.text, "
      "'') FROM (SELECT text FROM syscomments WHERE id = c.id AND number = c.colid ORDER BY colid) "
      "m) END, c.domain FROM syscolumns c WHERE c.id = ? ORDER BY c.colid");
  sqlite3_bind_int(stmt.get(), 1, object.id);
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    ColumnInfo c;
    c.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
    c.colid = sqlite3_column_int(stmt.get(), 1);
    auto type = TypeFromCodes(sqlite3_column_int(stmt.get(), 2), sqlite3_column_int(stmt.get(), 3),
                              sqlite3_column_int(stmt.get(), 4), sqlite3_column_int(stmt.get(), 5));
    c.type = type ? *type : SqlType{BaseType::NVarChar, -1, 0, 0};
    c.nullable = sqlite3_column_int(stmt.get(), 6) != 0;
    c.identity = (sqlite3_column_int(stmt.get(), 7) & 0x80) != 0;
    c.defaultId = sqlite3_column_int(stmt.get(), 8);
    if (const auto* text = sqlite3_column_text(stmt.get(), 9)) {
      c.defaultText = BoundObjectExpression(reinterpret_cast<const char*>(text));
    }
    if (const auto* text = sqlite3_column_text(stmt.get(), 10)) {
      c.computedText = reinterpret_cast<const char*>(text);
    }
    c.ruleId = sqlite3_column_int(stmt.get(), 11);
    table->columns.push_back(std::move(c));
  }
  return table;
}

std::string BoundObjectExpression(const std::string& text) {
  const std::vector<Token> tokens = Tokenize(text);
  if (tokens.size() < 2 || !IsWord(tokens[0], "CREATE") ||
      !(IsWord(tokens[1], "RULE") || IsWord(tokens[1], "DEFAULT"))) {
    return text;
  }
  const Batch parsed = ParseBatch(text);
  if (parsed.statements.size() != 1 ||
      parsed.statements.front()->kind != StatementKind::CreateBoundObject) {
    return text;
  }
  return static_cast<const CreateBoundObjectStatement&>(*parsed.statements.front()).text;
}

std::string Catalog::CommentText(int id) {
  auto stmt = db_.PrepareCached("SELECT text FROM syscomments WHERE id = ? ORDER BY colid");
  sqlite3_bind_int(stmt.get(), 1, id);
  std::string text;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    if (const auto* t = sqlite3_column_text(stmt.get(), 0)) {
      text += reinterpret_cast<const char*>(t);
    }
  }
  return text;
}

void Catalog::DropUndroppedTables() {
  for (auto it = undropped_.begin(); it != undropped_.end();) {
    try {
      db_.Exec("DROP TABLE IF EXISTS temp." + QuoteId(it->first));
      it = undropped_.erase(it);
    } catch (const DatabaseError&) {
      ++it;  // still read: the next try
    }
  }
}

}  // namespace moltaro::db::embedded
