#include "db/embedded/catalog/ddl.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "common/text.h"
#include "db/embedded/execution/sql_functions.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/storage/sqlite_errors.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/translator/translator.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// Up to this many rows, a table is made again to add a column rather than
// altered: a few milliseconds, about what SQLite's reading of a schema of a
// few hundred tables costs after an ALTER TABLE ADD COLUMN.
constexpr long long kRebuildToAddUpToRows = 1000;

std::string Hex8(int id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(id) * 2654435761u);
  return buf;
}

// SQL Server's names for unnamed constraints, e.g. DF__ZMP_OBJ_V__exeve__1A2B3C4D.
std::string AutoName(const std::string& prefix, const std::string& table, const std::string& column,
                     int id) {
  std::string name = prefix + "__" + Utf8Left(table, column.empty() ? 13 : 9) + "__";
  if (!column.empty()) name += Utf8Left(column, 5) + "__";
  return name + Hex8(id);
}

std::string IndexSqliteName(int tableId, int indid) {
  return "moltaro_ix_" + std::to_string(tableId) + "_" + std::to_string(indid);
}

}  // namespace

std::string Ddl::SourceText(const Statement& s) const {
  return std::string(text_.substr(s.offset, s.endOffset - s.offset));
}

const TableInfo& Ddl::RequireUserTable(const ObjectName& name) {
  const TableInfo* table = catalog_.FindTable(name.name);
  if (!table || table->xtype != "U ") {
    throw ServerErrorByNumber(4902, {name.name});
  }
  return *table;
}

void Ddl::CheckNameFree(const std::string& name) {
  auto existing = catalog_.FindObject(name);
  if (existing) {
    throw ServerErrorByNumber(2714, {name});
  }
  if (name.empty() || name[0] == '#') {
    throw DatabaseError(NotSupported("temporary tables (" + name + ")"));
  }
  if (Utf8Length(name) > 128) {
    throw ServerErrorByNumber(103, {Utf8Left(name, 128), "128"});
  }
}

std::string Ddl::ComputedColumnSql(ColumnInfo& c, const std::vector<ColumnInfo>& columns,
                                   const std::string& table) {
  // SQL Server refuses a computed column naming another one (1759); the
  // row it reads holds the stored columns only.
  TableInfo shape;
  shape.name = table;
  shape.xtype = "U ";
  for (const ColumnInfo& other : columns) {
    if (!other.Computed()) shape.columns.push_back(other);
  }
  Translator t(catalog_, nullptr, nullptr);
  std::optional<SqlType> type;
  const std::string sql = t.RowExpression(*Expression(c.computedText)->expr, shape, type);
  c.type = type.value_or(SqlType{BaseType::NVarChar, 4000, 0, 0});
  return QuoteId(c.name) + " AS (" + sql + ")" + (c.persisted ? " STORED" : " VIRTUAL");
}

std::string Ddl::ColumnSql(const ColumnInfo& c) const {
  std::string sql = QuoteId(c.name) + " " + std::string(SqliteAffinity(c.type));
  if (const std::string_view own = TypeCollation(c.type); !own.empty()) {
    sql += " COLLATE " + std::string(own);
  } else if (!StoresAsInteger(c.type) && !IsApproximateOrExact(c.type.base) &&
             !IsDateOrTime(c.type.base)) {
    sql += " COLLATE " + QuoteId(catalog_.CollationName());
  }
  return sql;
}

bool Ddl::InPrimaryKey(const std::vector<TableConstraint>& constraints,
                       const std::string& column) const {
  for (const TableConstraint& key : constraints) {
    if (key.kind != ConstraintKind::PrimaryKey) continue;
    for (const std::string& name : key.columns) {
      if (catalog_.Coll().Equal(name, column)) return true;
    }
  }
  return false;
}

ColumnInfo Ddl::MakeColumn(const ColumnDef& def, const std::string& table, int colid, int position,
                           bool keyColumn) {
  ColumnInfo c;
  c.name = def.name;
  c.colid = colid;
  if (def.computed) {
    if (def.identity || def.defaultExpr) {
      throw ServerErrorByNumber(156, {def.identity ? "IDENTITY" : "DEFAULT"});
    }
    c.computedText = def.computedText;
    c.persisted = def.persisted;
    c.nullable = def.nullable.value_or(true);
    return c;  // typed by its expression when the table's columns are known
  }
  std::optional<UserType> user;
  c.type = catalog_.ResolveDeclaredType(def.type, position, &user);
  if (user) {
    // A user type's bound rule and default come with it.
    c.userType = user->xusertype;
    c.ruleId = user->ruleId;
  }
  c.identity = def.identity;
  if (def.identity && !StoresAsInteger(c.type)) {
    throw ServerErrorByNumber(2749, {def.name});
  }
  if (!def.collation.empty() && !IsKnownCollation(def.collation)) {
    throw ServerErrorByNumber(448, {def.collation});
  }
  // ADO connections run with ANSI_NULL_DFLT_ON: columns are nullable unless
  // the DDL says otherwise; keys and identities never are.
  // A user type's own nullability comes next.
  // A timestamp column always has a value, so it is NOT NULL unless it says.
  c.nullable =
      def.nullable.value_or(!(def.primaryKey || keyColumn || def.identity) &&
                            c.type.base != BaseType::Timestamp && (!user || user->allowsNulls));
  if (def.primaryKey && c.nullable) {
    throw ServerErrorByNumber(8111, {table});
  }
  return c;
}

std::shared_ptr<const CompiledExpression> Ddl::Expression(const std::string& text) {
  return code_ ? code_->Expression(text) : CompileExpression(text);
}

void Ddl::ValidateDefault(const std::string& text) {
  const auto compiled = Expression(text);
  // NEWSEQUENTIALID() is a default's whole value or nothing; the column's
  // type is checked where rows take it.
  if (compiled->expr->kind == ExprKind::Function &&
      ToUpperAscii(compiled->expr->text) == "NEWSEQUENTIALID" && compiled->expr->args.empty()) {
    return;
  }
  Translator t(catalog_, nullptr, nullptr);
  try {
    t.Value(*compiled->expr);
  } catch (const DatabaseError& e) {
    // A column (207) or a qualified name (4104) where only constants may stand.
    if (e.Number() == 207 || e.Number() == 4104) throw ServerErrorByNumber(128);
    throw;
  }
}

int Ddl::AddDefault(int tableId, const std::string& table, ColumnInfo& column,
                    const std::string& constraintName, const std::string& text) {
  if (column.type.base == BaseType::Timestamp) {
    throw ServerErrorByNumber(1755, {table, column.name});
  }
  ValidateDefault(text);
  const int id = catalog_.NextObjectId();
  const std::string name =
      constraintName.empty() ? AutoName("DF", table, column.name, id) : constraintName;
  if (!constraintName.empty()) CheckNameFree(name);
  catalog_.InsertObject(id, name, "D", tableId);
  catalog_.InsertComment(id, text);
  column.defaultId = id;
  column.defaultText = text;
  catalog_.SetObjectColumn(id, column.colid);
  return id;
}

void Ddl::CreateSqliteIndex(const std::string& table, const std::string& sqliteName, bool unique,
                            const std::vector<std::string>& columns, const std::string& where) {
  std::string sql = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
                    QuoteId(sqliteName) + " ON " + QuoteId(table) + " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) sql += ", ";
    sql += QuoteId(columns[i]);
  }
  try {
    catalog_.Db().Exec(sql + ")" + (where.empty() ? "" : " WHERE " + where));
  } catch (const DatabaseError&) {
    // SQLite's code of the failure is still the connection's.
    if (IsDuplicateKey(sqlite3_extended_errcode(catalog_.Db().Handle()))) {
      throw ServerErrorByNumber(1505, {"dbo." + table});
    }
    throw;
  }
}

void Ddl::AddKey(int tableId, const std::string& table, const TableConstraint& key,
                 const std::vector<ColumnInfo>& columns) {
  const bool primary = key.kind == ConstraintKind::PrimaryKey;
  std::vector<const ColumnInfo*> keyColumns;
  const Collation& coll = catalog_.Coll();
  for (const std::string& name : key.columns) {
    const ColumnInfo* found = nullptr;
    for (const ColumnInfo& c : columns) {
      if (coll.Equal(c.name, name)) found = &c;
    }
    if (!found) {
      throw ServerErrorByNumber(1911, {name});
    }
    if (primary && found->nullable) {
      throw ServerErrorByNumber(8111, {table});
    }
    keyColumns.push_back(found);
  }
  auto existing = catalog_.Indexes(tableId);
  if (primary) {
    auto pk = catalog_.Db().PrepareCached(
        "SELECT 1 FROM sysobjects WHERE parent_obj = ? AND xtype = 'PK'");
    sqlite3_bind_int(pk.get(), 1, tableId);
    if (sqlite3_step(pk.get()) == SQLITE_ROW) {
      throw ServerErrorByNumber(1779, {table});
    }
  }
  const bool clustered = primary ? key.clustered : key.clustered;
  int indid = 2;
  bool hasClustered = false;
  for (const IndexEntry& k : existing) {
    if (k.indid == 1) hasClustered = true;
    if (k.indid >= indid) indid = k.indid + 1;
  }
  if (clustered && !hasClustered) indid = 1;
  const int id = catalog_.NextObjectId();
  const std::string name =
      key.name.empty() ? AutoName(primary ? "PK" : "UQ", table, "", id) : key.name;
  if (!key.name.empty()) CheckNameFree(name);
  catalog_.InsertObject(id, name, primary ? "PK" : "UQ", tableId);
  IndexEntry index;
  index.indid = indid;
  index.name = name;
  index.sqliteName = IndexSqliteName(tableId, indid);
  index.status = 2 | (primary ? 0x800 : 0x1000) | (indid == 1 ? 16 : 0);
  std::vector<std::string> names;
  for (const ColumnInfo* c : keyColumns) {
    index.colids.push_back(c->colid);
    names.push_back(c->name);
  }
  catalog_.InsertIndex(tableId, index);
  CreateSqliteIndex(table, index.sqliteName, true, names);
}

void Ddl::CreateIdentity(int tableId, const std::string& table, const ColumnInfo& column,
                         long long seed, long long increment) {
  IdentityState identity;
  identity.tableId = tableId;
  identity.colid = column.colid;
  identity.seed = seed;
  identity.increment = increment;
  identity.last = seed;
  catalog_.SetIdentity(identity);
  const std::string id = std::to_string(tableId);
  const std::string col = QuoteId(column.name);
  catalog_.Db().Exec(
      "CREATE TRIGGER " + QuoteId("moltaro_identity_" + id) + " AFTER INSERT ON " + QuoteId(table) +
      " FOR EACH ROW WHEN NEW." + col +
      " IS NULL BEGIN UPDATE moltaro_identity SET last = CASE WHEN used THEN last + increment "
      "ELSE seed END, used = 1 WHERE id = " +
      id + "; UPDATE " + QuoteId(table) + " SET " + col +
      " = (SELECT last FROM moltaro_identity WHERE id = " + id + ") WHERE rowid = NEW.rowid; END");
  TableInfo shape;
  shape.id = tableId;
  shape.name = table;
  shape.columns.push_back(column);
  AllowExplicitIdentity(shape);
}

void Ddl::AllowExplicitIdentity(const TableInfo& table) {
  const std::optional<IdentityState> identity = catalog_.Identity(table.id);
  const ColumnInfo* column = nullptr;
  for (const ColumnInfo& c : table.columns) {
    if (identity && c.colid == identity->colid) column = &c;
  }
  if (!column) return;
  const std::string id = std::to_string(table.id);
  const std::string value = "NEW." + QuoteId(column->name);
  // A value beyond the current one (in the increment's direction) becomes
  // the current one; before the first row, one before the seed does not.
  catalog_.Db().Exec(
      "CREATE TRIGGER IF NOT EXISTS " + QuoteId("moltaro_identity_" + id + "_explicit") +
      " AFTER INSERT ON " + QuoteId(table.name) + " FOR EACH ROW WHEN " + value +
      " IS NOT NULL BEGIN UPDATE moltaro_identity SET last = CASE WHEN used = 0 THEN " + value +
      " WHEN increment > 0 THEN max(last, " + value + ") ELSE min(last, " + value +
      ") END, used = 1 WHERE id = " + id + " AND (used = 1 OR (increment > 0 AND " + value +
      " >= seed) OR (increment < 0 AND " + value + " <= seed)); END");
}

void Ddl::CreateCheckTriggers(const TableInfo& table, int id, const std::string& name,
                              const std::string& text, const std::string& column) {
  Translator t(catalog_, nullptr, nullptr);
  const Expr& expr = *Expression(text)->expr;
  const std::string condition = t.RowCondition(expr, table);
  // An UPDATE is checked only when it sets a column the CHECK reads, as SQL
  // Server checks it: rows let in while the CHECK was disabled stay
  // editable elsewhere.
  std::string updated;
  for (const std::string& name : ColumnNames(expr)) {
    const ColumnInfo* c = table.Find(catalog_.Coll(), name);
    const std::string quoted = c ? QuoteId(c->name) : std::string();
    if (c && (", " + updated + ", ").find(", " + quoted + ", ") == std::string::npos) {
      updated += (updated.empty() ? "" : ", ") + quoted;
    }
  }
  for (const char* action : {"INSERT", "UPDATE"}) {
    std::string event = action;
    if (event == "UPDATE" && !updated.empty()) event += " OF " + updated;
    const bool named = !column.empty();
    const std::string message =
        ServerMessageText(547, {action, "CHECK", name, catalog_.DatabaseName(), "dbo." + table.name,
                                named ? ", column '" : "", column, named ? "'" : ""});
    // A CHECK fails only on FALSE; NULL passes.
    catalog_.Db().Exec("CREATE TRIGGER " +
                       QuoteId("moltaro_check_" + std::to_string(id) + "_" + action) + " BEFORE " +
                       event + " ON " + QuoteId(table.name) + " FOR EACH ROW WHEN NOT coalesce((" +
                       condition + "), 1) BEGIN SELECT RAISE(ABORT, " +
                       QuoteText(MessageWithNumber({547, message})) + "); END");
  }
}

void Ddl::AddCheck(const TableInfo& table, const TableConstraint& check, const std::string& column,
                   bool validateRows) {
  const int id = catalog_.NextObjectId();
  const std::string name = check.name.empty() ? AutoName("CK", table.name, column, id) : check.name;
  CheckNameFree(name);
  if (validateRows) RequireRowsMeetCheck(table, name, check.defaultText, column);
  catalog_.InsertObject(id, name, "C", table.id);
  catalog_.InsertComment(id, check.defaultText);
  if (!column.empty()) {
    const ColumnInfo* c = table.Find(catalog_.Coll(), column);
    catalog_.SetObjectColumn(id, c ? c->colid : 0);
  }
  CreateCheckTriggers(table, id, name, check.defaultText, column);
}

void Ddl::RequireRowsMeetCheck(const TableInfo& table, const std::string& name,
                               const std::string& text, const std::string& column) {
  Translator t(catalog_, nullptr, nullptr);
  const std::string condition = t.RowCondition(*Expression(text)->expr, table);
  auto rows = catalog_.Db().Prepare("SELECT count(*) FROM " + QuoteId(table.name) +
                                    " AS \"NEW\" WHERE NOT coalesce((" + condition + "), 1)");
  if (sqlite3_step(rows.get()) == SQLITE_ROW && sqlite3_column_int64(rows.get(), 0) > 0) {
    throw ServerErrorByNumber(
        547, {"ALTER TABLE", "CHECK", name, catalog_.DatabaseName(), "dbo." + table.name,
              column.empty() ? "" : ", column '", column, column.empty() ? "" : "'"});
  }
}

void Ddl::RecreateCheckTriggers(const TableInfo& table) {
  auto stmt = catalog_.Db().PrepareCached(
      "SELECT id, name, info FROM sysobjects WHERE parent_obj = ? AND xtype = 'C ' AND (status & "
      "?) = 0");
  sqlite3_bind_int(stmt.get(), 1, table.id);
  sqlite3_bind_int(stmt.get(), 2, kConstraintDisabled);
  struct Check {
    int id;
    std::string name;
    int colid;
  };
  std::vector<Check> checks;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    checks.push_back(Check{sqlite3_column_int(stmt.get(), 0),
                           reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1)),
                           sqlite3_column_int(stmt.get(), 2)});
  }
  for (const Check& c : checks) {
    std::string column;
    for (const ColumnInfo& col : table.columns) {
      if (col.colid == c.colid) column = col.name;
    }
    CreateCheckTriggers(table, c.id, c.name, catalog_.CommentText(c.id), column);
  }
  CreateRuleTriggers(table);
}

void Ddl::CreateTempTable(const CreateTableStatement& s) {
  if (s.table.name.rfind("##", 0) == 0) {
    throw DatabaseError(NotSupported("global temporary tables (" + s.table.name + ")"));
  }
  if (catalog_.FindTable(s.table.name)) {
    throw ServerErrorByNumber(2714, {s.table.name});
  }
  if (!s.constraints.empty()) throw DatabaseError(NotSupported("constraints on temporary tables"));
  auto table = std::make_unique<TableInfo>();
  table->id = -1;
  table->name = s.table.name;
  table->xtype = "U ";
  std::string sql = "CREATE TEMP TABLE " + QuoteId(s.table.name) + " (";
  for (std::size_t i = 0; i < s.columns.size(); ++i) {
    const ColumnDef& def = s.columns[i];
    if (def.identity || def.primaryKey || def.unique) {
      throw DatabaseError(NotSupported("identities and keys on temporary tables"));
    }
    if (def.computed) throw DatabaseError(NotSupported("computed columns of temporary tables"));
    ColumnInfo c = MakeColumn(def, s.table.name, static_cast<int>(i + 1), static_cast<int>(i + 1),
                              InPrimaryKey(s.constraints, def.name));
    if (c.type.base == BaseType::Timestamp) {
      throw DatabaseError(NotSupported("timestamp columns of temporary tables"));
    }
    for (const ColumnInfo& other : table->columns) {
      if (catalog_.Coll().Equal(other.name, c.name)) {
        throw ServerErrorByNumber(2705, {c.name, s.table.name});
      }
    }
    if (def.defaultExpr) {
      ValidateDefault(def.defaultText);
      c.defaultText = def.defaultText;
    }
    if (i) sql += ", ";
    sql += ColumnSql(c);
    table->columns.push_back(std::move(c));
  }
  catalog_.Db().Exec(sql + ")");
  catalog_.AddTempTable(std::move(table));
}

void Ddl::CreateTable(const CreateTableStatement& s) {
  if (!s.table.name.empty() && s.table.name[0] == '#') {
    CreateTempTable(s);
    return;
  }
  if (!s.table.database.empty() &&
      !catalog_.Coll().Equal(s.table.database, catalog_.DatabaseName())) {
    throw DatabaseError(NotSupported("CREATE TABLE in another database"));
  }
  if (s.columns.empty()) throw ServerErrorByNumber(102, {")"});
  Transaction tx(catalog_.Db());
  CheckNameFree(s.table.name);
  const int tableId = catalog_.NextObjectId();
  catalog_.InsertObject(tableId, s.table.name, "U", 0);
  std::vector<ColumnInfo> columns;
  std::set<std::string> seen;
  int identities = 0;
  for (std::size_t i = 0; i < s.columns.size(); ++i) {
    ColumnInfo c =
        MakeColumn(s.columns[i], s.table.name, static_cast<int>(i + 1), static_cast<int>(i + 1),
                   InPrimaryKey(s.constraints, s.columns[i].name));
    for (const ColumnInfo& other : columns) {
      if (catalog_.Coll().Equal(other.name, c.name)) {
        throw ServerErrorByNumber(2705, {c.name, s.table.name});
      }
    }
    if (c.identity && ++identities > 1) {
      throw ServerErrorByNumber(2744, {s.table.name});
    }
    if (c.type.base == BaseType::Timestamp) RequireNoTimestamp(s.table.name, columns, c.name);
    columns.push_back(c);
  }
  std::string sql = "CREATE TABLE " + QuoteId(s.table.name) + " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) sql += ", ";
    sql += columns[i].Computed() ? ComputedColumnSql(columns[i], columns, s.table.name)
                                 : ColumnSql(columns[i]);
  }
  catalog_.Db().Exec(sql + ")");
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnDef& def = s.columns[i];
    if (def.defaultExpr)
      AddDefault(tableId, s.table.name, columns[i], def.defaultName, def.defaultText);
  }
  for (const TableConstraint& k : s.constraints) {
    if (k.kind != ConstraintKind::Default) continue;
    ColumnInfo* target = nullptr;
    for (ColumnInfo& c : columns) {
      if (catalog_.Coll().Equal(c.name, k.columns.at(0))) target = &c;
    }
    if (!target) throw ServerErrorByNumber(207, {k.columns.at(0)});
    if (target->defaultId) {
      throw ServerErrorByNumber(1781);
    }
    AddDefault(tableId, s.table.name, *target, k.name, k.defaultText);
  }
  bool rules = false;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    ColumnInfo& c = columns[i];
    if (c.userType && !c.defaultId) {
      if (const auto user = catalog_.FindUserType(s.columns[i].type.name))
        c.defaultId = user->defaultId;
    }
    rules = rules || c.ruleId != 0;
    catalog_.InsertColumn(tableId, c);
  }
  if (rules) {
    TableInfo shape;
    shape.id = tableId;
    shape.name = s.table.name;
    shape.xtype = "U ";
    shape.columns = columns;
    CreateRuleTriggers(shape);
  }
  // Keys: column-level first, then table-level, as SQL Server numbers them.
  // A primary key is clustered unless it says otherwise or another key of
  // the table asks for the clustered index.
  bool clusteredAsked = false;
  for (const ColumnDef& def : s.columns) {
    clusteredAsked = clusteredAsked || def.keyClustered.value_or(false);
  }
  for (const TableConstraint& k : s.constraints) {
    clusteredAsked = clusteredAsked || (k.clusteredWritten && k.clustered);
  }
  bool clusteredTaken = false;
  for (std::size_t i = 0; i < s.columns.size(); ++i) {
    const ColumnDef& def = s.columns[i];
    if (!def.primaryKey && !def.unique) continue;
    TableConstraint k;
    k.kind = def.primaryKey ? ConstraintKind::PrimaryKey : ConstraintKind::Unique;
    k.name = def.keyConstraintName;
    k.columns.push_back(def.name);
    const bool wanted = def.keyClustered.value_or(def.primaryKey && !clusteredAsked);
    k.clustered = wanted && !clusteredTaken;
    clusteredTaken = clusteredTaken || k.clustered;
    AddKey(tableId, s.table.name, k, columns);
  }
  for (const TableConstraint& k : s.constraints) {
    if (k.kind == ConstraintKind::Default || k.kind == ConstraintKind::Check ||
        k.kind == ConstraintKind::ForeignKey) {
      continue;
    }
    TableConstraint key;
    key.kind = k.kind;
    key.name = k.name;
    key.columns = k.columns;
    const bool wanted = k.clusteredWritten ? k.clustered : k.clustered && !clusteredAsked;
    key.clustered = wanted && !clusteredTaken;
    clusteredTaken = clusteredTaken || key.clustered;
    AddKey(tableId, s.table.name, key, columns);
  }
  if (!clusteredTaken) catalog_.InsertHeap(tableId, s.table.name);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].identity) {
      CreateIdentity(tableId, s.table.name, columns[i], s.columns[i].identitySeed,
                     s.columns[i].identityIncrement);
    }
  }
  CreateTimestampTriggers(tableId, s.table.name, columns);
  TableInfo shape;
  shape.id = tableId;
  shape.name = s.table.name;
  shape.xtype = "U ";
  shape.columns = columns;
  for (const ColumnDef& def : s.columns) {
    for (const TableConstraint& check : def.checks) {
      if (check.kind == ConstraintKind::Check) AddCheck(shape, check, def.name, false);
    }
  }
  for (const TableConstraint& k : s.constraints) {
    if (k.kind == ConstraintKind::Check) AddCheck(shape, k, "", false);
  }
  catalog_.Invalidate();  // the new table's shape, for keys that reference it
  for (const ColumnDef& def : s.columns) {
    for (const TableConstraint& fk : def.checks) {
      if (fk.kind == ConstraintKind::ForeignKey) AddForeignKey(shape, fk, false);
    }
  }
  for (const TableConstraint& k : s.constraints) {
    if (k.kind == ConstraintKind::ForeignKey) AddForeignKey(shape, k, false);
  }
  tx.Commit();
  catalog_.Invalidate();
}

void Ddl::DropTable(const DropTableStatement& s) {
  Transaction tx(catalog_.Db());
  for (const ObjectName& name : s.tables) {
    if (!name.name.empty() && name.name[0] == '#') {
      if (!catalog_.DropTempTable(name.name) && !s.ifExists) {
        throw ServerErrorByNumber(3701, {"table", name.name});
      }
      continue;
    }
    const TableInfo* table = catalog_.FindTable(name.name);
    if (!table || table->xtype != "U ") {
      if (s.ifExists && !table) continue;
      throw ServerErrorByNumber(3701, {"table", name.name});
    }
    const int id = table->id;
    const std::string tableName = table->name;
    if (!ForeignKeys("f.parent_id = ?1 AND f.child_id <> ?1", id).empty()) {
      throw ServerErrorByNumber(3726, {tableName});
    }
    for (const ForeignKey& fk : ForeignKeys("f.child_id = ?1", id)) {
      DropForeignKeyTriggers(fk.id);
      catalog_.DeleteForeignKey(fk.id);
    }
    auto children = catalog_.Db().PrepareCached("SELECT id FROM sysobjects WHERE parent_obj = ?");
    sqlite3_bind_int(children.get(), 1, id);
    std::vector<int> ids;
    while (sqlite3_step(children.get()) == SQLITE_ROW)
      ids.push_back(sqlite3_column_int(children.get(), 0));
    for (int child : ids) catalog_.DeleteObject(child);
    catalog_.DeleteObject(id);
    catalog_.Db().Exec("DROP TABLE " + QuoteId(tableName));
    catalog_.Invalidate();
  }
  tx.Commit();
}

void Ddl::Truncate(const TruncateStatement& s) {
  const TableInfo& table = RequireUserTable(s.table);
  Transaction tx(catalog_.Db());
  if (!ForeignKeys("f.parent_id = ?1", table.id).empty()) {
    throw ServerErrorByNumber(4712, {table.name});
  }
  catalog_.Db().Exec("DELETE FROM " + QuoteId(table.name));
  catalog_.ResetIdentity(table.id);
  tx.Commit();
}

void Ddl::RebuildTable(const TableInfo& table, const std::vector<ColumnInfo>& columns,
                       const std::vector<std::string>& values) {
  // The new values are set aside in a temporary table and the table is made
  // again under its own name. Renaming a copy into place instead would make
  // SQLite read the whole schema again, for every table rebuilt. Everything
  // is in the caller's transaction; the temporary table is the connection's
  // own and goes with it.
  const std::string saved = "temp." + QuoteId("moltaro_rebuild_" + std::to_string(table.id));
  std::string converted;
  std::string names;
  // Computed columns are made again from their text, not copied.
  std::vector<ColumnInfo> shaped = columns;
  auto stored = catalog_.Db().Prepare("SELECT name FROM pragma_table_xinfo(?) WHERE hidden = 3");
  sqlite3_bind_text(stored.get(), 1, table.name.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(stored.get()) == SQLITE_ROW) {
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(stored.get(), 0));
    for (ColumnInfo& c : shaped) {
      if (c.name == name) c.persisted = true;
    }
  }
  stored.reset();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].Computed()) continue;
    if (!names.empty()) {
      converted += ", ";
      names += ", ";
    }
    converted += values[i] + " AS " + QuoteId("c" + std::to_string(i));
    names += QuoteId(columns[i].name);
  }
  catalog_.Db().Exec("DROP TABLE IF EXISTS " + saved);
  catalog_.Db().Exec("CREATE TABLE " + saved + " AS SELECT " + converted + " FROM main." +
                     QuoteId(table.name));
  // Views naming the table are left to resolve it again by name, as SQL
  // Server's do.
  catalog_.Db().Exec("DROP TABLE main." + QuoteId(table.name));
  std::string create = "CREATE TABLE main." + QuoteId(table.name) + " (";
  for (std::size_t i = 0; i < shaped.size(); ++i) {
    if (i) create += ", ";
    create += shaped[i].Computed() ? ComputedColumnSql(shaped[i], shaped, table.name)
                                   : ColumnSql(shaped[i]);
  }
  catalog_.Db().Exec(create + ")");
  catalog_.Db().Exec("INSERT INTO main." + QuoteId(table.name) + " (" + names + ") SELECT * FROM " +
                     saved + " ORDER BY rowid");
  catalog_.Db().Exec("DROP TABLE " + saved);
  for (const IndexEntry& k : catalog_.Indexes(table.id)) {
    std::vector<std::string> keyNames;
    for (int colid : k.colids) {
      for (const ColumnInfo& c : columns) {
        if (c.colid == colid) keyNames.push_back(c.name);
      }
    }
    if (!k.sqliteName.empty()) CreateSqliteIndex(table.name, k.sqliteName, k.Unique(), keyNames);
  }
  TableInfo shape = table;
  shape.columns = columns;
  RecreateCheckTriggers(shape);
  RecreateForeignKeyTriggers(table.id);
  if (const auto identity = catalog_.Identity(table.id)) {
    for (const ColumnInfo& c : columns) {
      if (c.colid != identity->colid) continue;
      // A new trigger on the new table, counting on from where the old one was.
      CreateIdentity(table.id, table.name, c, identity->seed, identity->increment);
      catalog_.SetIdentity(*identity);
    }
  }
  CreateTimestampTriggers(table.id, table.name, columns);
}

void Ddl::RequireNoTimestamp(const std::string& table, const std::vector<ColumnInfo>& columns,
                             const std::string& column) {
  for (const ColumnInfo& c : columns) {
    if (c.type.base == BaseType::Timestamp) throw ServerErrorByNumber(2738, {table, column});
  }
}

void Ddl::CreateTimestampTriggers(int tableId, const std::string& table,
                                  const std::vector<ColumnInfo>& columns) {
  const std::string id = std::to_string(tableId);
  const std::string insertName = QuoteId("moltaro_timestamp_" + id);
  const std::string updateName = QuoteId("moltaro_timestamp_" + id + "_update");
  catalog_.Db().Exec("DROP TRIGGER IF EXISTS " + insertName + ";DROP TRIGGER IF EXISTS " +
                     updateName);
  const ColumnInfo* stamp = nullptr;
  std::string written;  // the columns a statement can set
  for (const ColumnInfo& c : columns) {
    if (c.type.base == BaseType::Timestamp) {
      stamp = &c;
    } else if (!c.identity && !c.Computed()) {
      written += (written.empty() ? "" : ", ") + QuoteId(c.name);
    }
  }
  if (!stamp) return;
  // Each row written takes the database's next value. The counter is in the
  // database itself, so it goes on from where it was when the file is opened
  // again; the trigger's own write to the column fires nothing further.
  const std::string next = "UPDATE moltaro_dbts SET value = value + 1; UPDATE " + QuoteId(table) +
                           " SET " + QuoteId(stamp->name) +
                           " = tsql_rowversion((SELECT value FROM moltaro_dbts)) WHERE rowid = "
                           "NEW.rowid; END";
  // A row that comes with its value keeps it: SELECT … INTO copies the
  // source's values, as SQL Server's does (every other INSERT writes NULL).
  catalog_.Db().Exec("CREATE TRIGGER " + insertName + " AFTER INSERT ON " + QuoteId(table) +
                     " FOR EACH ROW WHEN NEW." + QuoteId(stamp->name) + " IS NULL BEGIN " + next);
  // An identity's trigger sets only its own column, which is not among these.
  if (!written.empty()) {
    catalog_.Db().Exec("CREATE TRIGGER " + updateName + " AFTER UPDATE OF " + written + " ON " +
                       QuoteId(table) + " FOR EACH ROW BEGIN " + next);
  }
}

void Ddl::StampExistingRows(const std::string& table, const ColumnInfo& column) {
  // In the order the rows were written, as if each had been written now.
  catalog_.Db().Exec("UPDATE main." + QuoteId(table) + " SET " + QuoteId(column.name) +
                     " = tsql_rowversion(d.value + n.k) FROM (SELECT rowid AS r, row_number() "
                     "OVER (ORDER BY rowid) AS k FROM main." +
                     QuoteId(table) + ") AS n, moltaro_dbts AS d WHERE n.r = main." +
                     QuoteId(table) +
                     ".rowid;UPDATE moltaro_dbts SET value = value + (SELECT "
                     "count(*) FROM main." +
                     QuoteId(table) + ")");
}

void Ddl::RequireNoDependents(const TableInfo& table, const ColumnInfo& c, std::string_view action,
                              ColumnChange change) {
  const Collation& coll = catalog_.Coll();
  std::vector<std::pair<std::string, std::string>> blockers;  // kind, name
  if (c.defaultId && !change.KeepsDefault()) {
    if (auto o = catalog_.FindObjectById(c.defaultId)) blockers.emplace_back("object", o->name);
  }
  auto checks = catalog_.Db().PrepareCached(
      "SELECT id, name, info FROM sysobjects WHERE parent_obj = ? AND xtype = 'C ' ORDER BY id");
  sqlite3_bind_int(checks.get(), 1, table.id);
  while (sqlite3_step(checks.get()) == SQLITE_ROW) {
    const int id = sqlite3_column_int(checks.get(), 0);
    const int colid = sqlite3_column_int(checks.get(), 2);
    bool names = false;
    if (colid == 0) {
      // A table-level CHECK depends on the columns its expression names.
      for (const std::string& used : Expression(catalog_.CommentText(id))->columns) {
        names = names || coll.Equal(used, c.name);
      }
    }
    if ((colid == c.colid || names) && !change.KeepsCheck()) {
      blockers.emplace_back("object",
                            reinterpret_cast<const char*>(sqlite3_column_text(checks.get(), 1)));
    }
  }
  checks.reset();
  // A computed column is made again from the columns it reads.
  for (const ColumnInfo& computed : table.columns) {
    if (!computed.Computed()) continue;
    for (const std::string& used : Expression(computed.computedText)->columns) {
      if (coll.Equal(used, c.name)) {
        blockers.emplace_back("column", computed.name);
        break;
      }
    }
  }
  for (const ForeignKey& fk : ForeignKeys("f.child_id = ?1 OR f.parent_id = ?1", table.id)) {
    const auto& cols = fk.childId == table.id ? fk.childColumns : fk.parentColumns;
    bool uses = false;
    for (const std::string& name : cols) uses = uses || coll.Equal(name, c.name);
    if (uses) blockers.emplace_back("object", fk.name);
  }
  for (const IndexEntry& k : catalog_.Indexes(table.id)) {
    if (std::find(k.colids.begin(), k.colids.end(), c.colid) == k.colids.end()) continue;
    const auto constraint = catalog_.FindObject(k.name);
    const bool primaryKey = constraint && constraint->xtype == "PK";
    if (!primaryKey && change.KeepsIndex()) continue;
    // Key constraints are objects; plain indexes are named as indexes.
    blockers.emplace_back(constraint ? "object" : "index", k.name);
  }
  if (blockers.empty()) return;
  std::string earlier;
  for (std::size_t i = 0; i + 1 < blockers.size(); ++i) {
    if (i) earlier += '\n';
    earlier += ServerMessageText(5074, {blockers[i].first, blockers[i].second, "column", c.name});
  }
  const auto& [kind, name] = blockers.back();
  const DatabaseError last =
      ServerErrorByNumber(5074, {kind, name, "column", c.name}, {action, c.name});
  throw earlier.empty() ? last : PrecededBy(earlier, last);
}

void Ddl::AlterTable(const AlterTableStatement& s) {
  const TableInfo table = RequireUserTable(s.table);
  Transaction tx(catalog_.Db());
  switch (s.action) {
    case AlterTableAction::AddColumns:
      AddColumns(table, s.columns);
      break;
    case AlterTableAction::AlterColumn:
      AlterColumn(table, s.columns.at(0));
      break;
    case AlterTableAction::DropColumns:
      DropColumns(table, s.names);
      break;
    case AlterTableAction::DropConstraint:
      DropConstraints(table, s.names);
      break;
    case AlterTableAction::AddConstraint:
      AddConstraints(table, s.constraints, !s.noCheck);
      break;
    case AlterTableAction::CheckConstraints:
    case AlterTableAction::NoCheckConstraints:
      SetConstraintsChecked(table, s.allConstraints, s.names,
                            s.action == AlterTableAction::CheckConstraints, s.withCheck);
      break;
  }
  catalog_.StampSchema();
  tx.Commit();
  catalog_.Invalidate();
}

void Ddl::AddColumns(const TableInfo& table, const std::vector<ColumnDef>& defs) {
  const Collation& coll = catalog_.Coll();
  int colid = 0;
  for (const ColumnInfo& c : table.columns) colid = std::max(colid, c.colid);
  auto countRows = catalog_.Db().Prepare("SELECT count(*) FROM " + QuoteId(table.name));
  sqlite3_step(countRows.get());
  const long long rows = sqlite3_column_int64(countRows.get(), 0);
  const bool empty = rows == 0;
  countRows.reset();
  std::vector<ColumnInfo> added;
  for (const ColumnDef& def : defs) {
    ColumnInfo c = MakeColumn(def, table.name, ++colid,
                              static_cast<int>(table.columns.size() + added.size() + 1));
    if (table.Find(coll, c.name)) {
      throw ServerErrorByNumber(2705, {c.name, table.name});
    }
    if (c.identity) throw DatabaseError(NotSupported("adding an identity column"));
    if (c.type.base == BaseType::Timestamp) {
      RequireNoTimestamp(table.name, table.columns, c.name);
      RequireNoTimestamp(table.name, added, c.name);
    }
    if (def.primaryKey || def.unique) throw DatabaseError(NotSupported("a key on an added column"));
    if (!c.nullable && !def.defaultExpr && !empty && !c.Computed() &&
        c.type.base != BaseType::Timestamp) {
      throw ServerErrorByNumber(4901, {c.name, table.name});
    }
    added.push_back(c);
  }
  // A computed column's type comes from its expression over the table.
  bool computed = false;
  for (ColumnInfo& c : added) {
    if (!c.Computed()) continue;
    computed = true;
    std::vector<ColumnInfo> all = table.columns;
    all.insert(all.end(), added.begin(), added.end());
    ComputedColumnSql(c, all, table.name);
  }
  // SQLite reads the whole schema again after ALTER TABLE ADD COLUMN, a cost
  // that grows with the database; making a small table again costs what its
  // rows cost. The new columns start NULL either way.
  const bool rebuild = rows <= kRebuildToAddUpToRows || computed;
  if (rebuild) {
    std::vector<ColumnInfo> columns = table.columns;
    std::vector<std::string> values;
    for (const ColumnInfo& c : table.columns) values.push_back(QuoteId(c.name));
    for (const ColumnInfo& c : added) {
      columns.push_back(c);
      values.emplace_back("NULL");
    }
    RebuildTable(table, columns, values);
  }
  for (std::size_t i = 0; i < added.size(); ++i) {
    const ColumnDef& def = defs[i];
    ColumnInfo& c = added[i];
    if (!rebuild) {
      catalog_.Db().Exec("ALTER TABLE " + QuoteId(table.name) + " ADD COLUMN " + ColumnSql(c));
    }
    if (def.defaultExpr) {
      AddDefault(table.id, table.name, c, def.defaultName, def.defaultText);
      if (!c.nullable && !empty) {
        // Existing rows take the default of a NOT NULL column.
        Translator t(catalog_, nullptr, nullptr);
        Translation v = t.Value(*Expression(c.defaultText)->expr);
        catalog_.Db().Exec("UPDATE " + QuoteId(table.name) + " SET " + QuoteId(c.name) +
                           " = tsql_store((" + v.sql + "), " + TypeArguments(c.type) + ", " +
                           std::to_string(kStoreNotNull | kStoreAlter) + ", " + QuoteText(c.name) +
                           ", " + QuoteText(catalog_.QualifiedName(table.name)) + ")");
      }
    }
    catalog_.InsertColumn(table.id, c);
    if (c.type.base == BaseType::Timestamp) {
      StampExistingRows(table.name, c);
      std::vector<ColumnInfo> columns = table.columns;
      columns.insert(columns.end(), added.begin(), added.end());
      CreateTimestampTriggers(table.id, table.name, columns);
    } else if (!rebuild) {
      // A column a statement can set, which the timestamp's trigger watches.
      std::vector<ColumnInfo> columns = table.columns;
      columns.insert(columns.end(), added.begin(), added.begin() + static_cast<long>(i) + 1);
      CreateTimestampTriggers(table.id, table.name, columns);
    }
  }
}

void Ddl::AlterColumn(const TableInfo& table, const ColumnDef& def) {
  const ColumnInfo* old = table.Find(catalog_.Coll(), def.name);
  if (!old) {
    throw ServerErrorByNumber(207, {def.name});
  }
  if (old->Computed()) {
    throw DatabaseError(NotSupported("ALTER COLUMN of computed column " + old->name));
  }
  ColumnInfo c = MakeColumn(def, table.name, old->colid, old->colid);
  if (c.type.base == BaseType::Timestamp || old->type.base == BaseType::Timestamp) {
    throw DatabaseError(NotSupported("ALTER COLUMN to or from timestamp (" + old->name + ")"));
  }
  c.name = old->name;
  c.identity = old->identity;
  c.defaultId = old->defaultId;
  c.defaultText = old->defaultText;
  if (old->ruleId) c.ruleId = old->ruleId;  // a bound rule stays bound
  // A statement that changes nothing leaves the objects on the column be.
  if (TypeText(c.type) != TypeText(old->type) || c.nullable != old->nullable) {
    RequireNoDependents(table, *old, "ALTER COLUMN", ColumnChange::Of(old->type, c.type));
  }
  std::vector<ColumnInfo> columns = table.columns;
  std::vector<std::string> values;
  for (ColumnInfo& col : columns) {
    if (col.colid == c.colid) {
      col = c;
      values.push_back("tsql_store(" + QuoteId(old->name) + ", " + TypeArguments(c.type) + ", " +
                       std::to_string((c.nullable ? kStoreUpdate : (kStoreUpdate | kStoreNotNull)) |
                                      (IsCharacter(old->type.base) ? kStoreText : 0)) +
                       ", " + QuoteText(c.name) + ", " +
                       QuoteText(catalog_.QualifiedName(table.name)) + ")");
    } else {
      values.push_back(QuoteId(col.name));
    }
  }
  RebuildTable(table, columns, values);
  catalog_.ReplaceColumn(table.id, c);
}

void Ddl::DropColumns(const TableInfo& table, const std::vector<std::string>& names) {
  // Rebuilt rather than SQLite's DROP COLUMN, which refuses while a view
  // names the column; SQL Server leaves such a view to fail when used.
  std::vector<ColumnInfo> remaining = table.columns;
  for (const std::string& name : names) {
    auto it = remaining.begin();
    while (it != remaining.end() && !catalog_.Coll().Equal(it->name, name)) ++it;
    if (it == remaining.end()) {
      throw ServerErrorByNumber(4924, {name, table.name});
    }
    RequireNoDependents(table, *it, "DROP COLUMN", ColumnChange{});
    if (remaining.size() <= 1) {
      throw ServerErrorByNumber(4923, {it->name, table.name});
    }
    if (it->identity) catalog_.DeleteIdentity(table.id);
    catalog_.DeleteColumn(table.id, it->colid);
    remaining.erase(it);
  }
  std::vector<std::string> values;
  for (const ColumnInfo& c : remaining) values.push_back(QuoteId(c.name));
  RebuildTable(table, remaining, values);
}

void Ddl::DropConstraints(const TableInfo& table, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    auto stmt = catalog_.Db().PrepareCached(
        "SELECT id, xtype FROM sysobjects WHERE name = ? AND parent_obj = ?");
    sqlite3_bind_text(stmt.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt.get(), 2, table.id);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) {
      throw DatabaseError(ServerErrorByNumber(3728, {name}).what() + std::string("\n") +
                              ServerErrorByNumber(3727).what(),
                          3728);
    }
    const int id = sqlite3_column_int(stmt.get(), 0);
    const std::string xtype = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    stmt.reset();
    if (xtype == "F ") {
      DropForeignKeyTriggers(id);
      catalog_.DeleteForeignKey(id);
    } else if (xtype == "C ") {
      for (const char* action : {"INSERT", "UPDATE"}) {
        catalog_.Db().Exec("DROP TRIGGER IF EXISTS " +
                           QuoteId("moltaro_check_" + std::to_string(id) + "_" + action));
      }
    } else if (xtype == "D ") {
      catalog_.ClearColumnDefault(table.id, id);
    } else {
      for (const IndexEntry& k : catalog_.Indexes(table.id)) {
        if (!catalog_.Coll().Equal(k.name, name)) continue;
        if (!k.sqliteName.empty())
          catalog_.Db().Exec("DROP INDEX IF EXISTS " + QuoteId(k.sqliteName));
        catalog_.DeleteIndex(table.id, table.name, k.indid);
      }
    }
    catalog_.DeleteObject(id);
  }
}

void Ddl::AddConstraints(const TableInfo& table, const std::vector<TableConstraint>& constraints,
                         bool validateRows) {
  std::vector<ColumnInfo> columns = table.columns;
  for (const TableConstraint& k : constraints) {
    if (k.kind == ConstraintKind::Default) {
      ColumnInfo* target = nullptr;
      for (ColumnInfo& c : columns) {
        if (catalog_.Coll().Equal(c.name, k.columns.at(0))) target = &c;
      }
      if (!target) throw ServerErrorByNumber(207, {k.columns.at(0)});
      if (target->defaultId) throw ServerErrorByNumber(1781);
      AddDefault(table.id, table.name, *target, k.name, k.defaultText);
      catalog_.SetColumnDefault(table.id, target->colid, target->defaultId);
    } else if (k.kind == ConstraintKind::Check) {
      AddCheck(table, k, "", validateRows);
    } else if (k.kind == ConstraintKind::ForeignKey) {
      AddForeignKey(table, k, validateRows);
    } else {
      AddKey(table.id, table.name, k, columns);
    }
  }
}

void Ddl::CreateIndex(const CreateIndexStatement& s) {
  const TableInfo& table = RequireUserTable(s.table);
  Transaction tx(catalog_.Db());
  const Collation& coll = catalog_.Coll();
  const bool dropExisting = IndexOptions(s);
  auto existing = catalog_.Indexes(table.id);
  bool found = false;
  for (const IndexEntry& k : existing) {
    if (!coll.Equal(k.name, s.name)) continue;
    if (!dropExisting) throw ServerErrorByNumber(1913, {s.name, "table", table.name});
    found = true;
    DropIndexStatement drop;
    drop.indexes.emplace_back(s.table, k.name);
    DropIndex(drop);
  }
  if (dropExisting && !found) throw ServerErrorByNumber(7999, {s.name, table.name});
  if (found) existing = catalog_.Indexes(table.id);
  int indid = 2;
  const IndexEntry* clustered = nullptr;
  for (const IndexEntry& k : existing) {
    if (k.indid == 1) clustered = &k;
    if (k.indid >= indid) indid = k.indid + 1;
  }
  if (s.clustered) {
    if (clustered) {
      throw ServerErrorByNumber(1902, {"table", table.name, clustered->name});
    }
    indid = 1;
  }
  std::vector<const ColumnInfo*> keys;
  for (const std::string& name : s.columns) {
    const ColumnInfo* c = table.Find(coll, name);
    if (!c) {
      throw ServerErrorByNumber(1911, {name});
    }
    for (const ColumnInfo* k : keys) {
      if (k == c) {
        throw ServerErrorByNumber(1909, {c->name});
      }
    }
    keys.push_back(c);
  }
  // Included columns only cover queries in SQL Server; here they are
  // checked and otherwise left out of the index.
  for (const std::string& name : s.included) {
    const ColumnInfo* c = table.Find(coll, name);
    if (!c) throw ServerErrorByNumber(1911, {name});
    for (const ColumnInfo* k : keys) {
      if (k == c) throw ServerErrorByNumber(1909, {c->name});
    }
  }
  const std::string filter = IndexFilter(s, table);
  IndexEntry index;
  index.indid = indid;
  index.name = s.name;
  index.sqliteName = IndexSqliteName(table.id, indid);
  index.status = (s.unique ? 2 : 0) | (s.clustered ? 16 : 0);
  std::vector<std::string> names;
  for (const ColumnInfo* c : keys) {
    index.colids.push_back(c->colid);
    names.push_back(c->name);
  }
  catalog_.InsertIndex(table.id, index);
  CreateSqliteIndex(table.name, index.sqliteName, s.unique, names, filter);
  tx.Commit();
}

bool Ddl::IndexOptions(const CreateIndexStatement& s) {
  static const char* const kAccepted[] = {"PAD_INDEX",
                                          "FILLFACTOR",
                                          "SORT_IN_TEMPDB",
                                          "IGNORE_DUP_KEY",
                                          "STATISTICS_NORECOMPUTE",
                                          "STATISTICS_INCREMENTAL",
                                          "DROP_EXISTING",
                                          "ONLINE",
                                          "ALLOW_ROW_LOCKS",
                                          "ALLOW_PAGE_LOCKS",
                                          "MAXDOP",
                                          "DATA_COMPRESSION",
                                          "OPTIMIZE_FOR_SEQUENTIAL_KEY",
                                          "RESUMABLE",
                                          "MAX_DURATION"};
  bool dropExisting = false;
  for (const auto& [name, value] : s.options) {
    bool known = false;
    for (const char* a : kAccepted) known = known || name == a;
    if (!known) throw ServerErrorByNumber(155, {name, "CREATE INDEX"});
    // Silently keeping duplicates SQL Server would drop is not an option.
    if (name == "IGNORE_DUP_KEY" && value == "ON") {
      throw DatabaseError(NotSupported("IGNORE_DUP_KEY = ON of an index"));
    }
    if (name == "DROP_EXISTING") dropExisting = value == "ON";
  }
  return dropExisting;
}

std::string Ddl::IndexFilter(const CreateIndexStatement& s, const TableInfo& table) {
  if (!s.where) return {};
  Translator t(catalog_, nullptr, nullptr);
  std::optional<SqlType> type;
  return t.RowExpression(*s.where, table, type);
}

void Ddl::DropIndex(const DropIndexStatement& s) {
  Transaction tx(catalog_.Db());
  const Collation& coll = catalog_.Coll();
  for (const auto& [tableName, indexName] : s.indexes) {
    const TableInfo* table = catalog_.FindTable(tableName.name);
    std::optional<IndexEntry> found;
    if (table && table->xtype == "U ") {
      for (const IndexEntry& k : catalog_.Indexes(table->id)) {
        if (coll.Equal(k.name, indexName)) found = k;
      }
    }
    if (!found) {
      if (s.ifExists) continue;
      throw ServerErrorByNumber(3701, {"index", tableName.name + "." + indexName});
    }
    auto constraint = catalog_.Db().PrepareCached(
        "SELECT xtype FROM sysobjects WHERE parent_obj = ? AND name = ? AND xtype IN ('PK', 'UQ')");
    sqlite3_bind_int(constraint.get(), 1, table->id);
    sqlite3_bind_text(constraint.get(), 2, found->name.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(constraint.get()) == SQLITE_ROW) {
      const std::string kind =
          reinterpret_cast<const char*>(sqlite3_column_text(constraint.get(), 0));
      throw ServerErrorByNumber(
          3723, {table->name + "." + found->name, kind == "PK" ? "PRIMARY KEY" : "UNIQUE KEY"});
    }
    catalog_.Db().Exec("DROP INDEX IF EXISTS " + QuoteId(found->sqliteName));
    catalog_.DeleteIndex(table->id, table->name, found->indid);
  }
  tx.Commit();
}

namespace {
std::string RoutineXtype(RoutineKind kind) {
  switch (kind) {
    case RoutineKind::Procedure:
      return "P ";
    case RoutineKind::ScalarFunction:
      return "FN";
    case RoutineKind::InlineFunction:
      return "IF";
    case RoutineKind::TableFunction:
      return "TF";
    case RoutineKind::View:
      return "V ";
    case RoutineKind::Trigger:
      return "TR";
  }
  return "P ";
}
}  // namespace

void Ddl::CreateRoutine(const CreateRoutineStatement& s) {
  Transaction tx(catalog_.Db());
  const std::string xtype = RoutineXtype(s.routine);
  auto existing = catalog_.FindObject(s.name.name);
  int id = 0;
  const bool alter = s.alter || (s.createOrAlter && existing);
  int parent = 0;
  if (s.routine == RoutineKind::Trigger) {
    // AFTER triggers belong on tables, INSTEAD OF ones on tables or views.
    const std::string& target = s.triggerTable.name;
    const TableInfo* table = target.empty() || target[0] == '#' || target[0] == '@'
                                 ? nullptr
                                 : catalog_.FindTable(target);
    if (!table || table->xtype == "S " || (table->xtype == "V " && !s.insteadOf)) {
      throw ServerErrorByNumber(8197, {target});
    }
    parent = table->id;
  }
  if (alter) {
    if (!existing) throw ServerErrorByNumber(208, {s.name.name});
    const bool compatible =
        existing->xtype == xtype ||
        (s.routine != RoutineKind::Procedure && s.routine != RoutineKind::View &&
         s.routine != RoutineKind::Trigger &&
         (existing->xtype == "FN" || existing->xtype == "IF" || existing->xtype == "TF"));
    if (!compatible) {
      throw ServerErrorByNumber(2010, {existing->name});
    }
    id = existing->id;
    const std::string name = existing->name;
    catalog_.DeleteObject(id);
    if (existing->xtype == "V ") catalog_.Db().Exec("DROP VIEW IF EXISTS " + QuoteId(name));
    catalog_.InsertObject(id, name, xtype, parent);
  } else {
    CheckNameFree(s.name.name);
    id = catalog_.NextObjectId();
    catalog_.InsertObject(id, s.name.name, xtype, parent);
  }
  const std::string objectName = existing && alter ? existing->name : s.name.name;
  if (s.routine == RoutineKind::View) {
    Translator t(catalog_, nullptr, nullptr);
    catalog_.Db().Exec("CREATE VIEW " + QuoteId(objectName) + " AS " + t.ViewSql(*s.query));
  }
  int colid = 0;
  for (const RoutineParameter& p : s.parameters) {
    ColumnInfo c;
    c.name = p.name;
    c.colid = ++colid;
    c.type = catalog_.ResolveDeclaredType(p.type, colid);
    c.nullable = true;
    catalog_.InsertColumn(id, c);
    if (p.output) catalog_.MarkOutputParameter(id, colid);
  }
  catalog_.InsertComment(id, SourceText(s));
  catalog_.StampSchema();
  tx.Commit();
}

void Ddl::DropRoutine(const DropRoutineStatement& s) {
  Transaction tx(catalog_.Db());
  for (const ObjectName& name : s.names) {
    auto existing = catalog_.FindObject(name.name);
    bool matches = false;
    std::string kind;
    if (s.routine == RoutineKind::Procedure) {
      kind = "procedure";
      matches = existing && existing->xtype == "P ";
    } else if (s.routine == RoutineKind::View) {
      kind = "view";
      matches = existing && existing->xtype == "V ";
    } else if (s.routine == RoutineKind::Trigger) {
      kind = "trigger";
      matches = existing && existing->xtype == "TR";
    } else {
      kind = "function";
      matches = existing &&
                (existing->xtype == "FN" || existing->xtype == "IF" || existing->xtype == "TF");
    }
    if (!matches) {
      // IF EXISTS skips a missing object, not one of another kind.
      if (s.ifExists && !existing) continue;
      throw ServerErrorByNumber(3701, {kind, name.name});
    }
    if (existing->xtype == "V ") {
      // A view's INSTEAD OF triggers go with it.
      auto triggers = catalog_.Db().PrepareCached(
          "SELECT id FROM sysobjects WHERE parent_obj = ? AND xtype = 'TR'");
      sqlite3_bind_int(triggers.get(), 1, existing->id);
      std::vector<int> ids;
      while (sqlite3_step(triggers.get()) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int(triggers.get(), 0));
      for (int trigger : ids) catalog_.DeleteObject(trigger);
    }
    catalog_.DeleteObject(existing->id);
    if (existing->xtype == "V ")
      catalog_.Db().Exec("DROP VIEW IF EXISTS " + QuoteId(existing->name));
  }
  catalog_.StampSchema();
  tx.Commit();
}

}  // namespace moltaro::db::embedded
