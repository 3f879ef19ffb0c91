// Table variables: SQLite TEMP tables of the connection, known to the
// catalogue only by the variable's name in the scope that declared it (not
// in the system tables, as SQL Server keeps them in tempdb).
#include <string>

#include "db/embedded/catalog/ddl.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

std::unique_ptr<TableInfo> Ddl::CreateTableVariable(const CreateTableStatement& s,
                                                    const std::string& sqlName,
                                                    std::string& createSql) {
  const std::string& variable = s.table.name;
  if (s.columns.empty()) throw ServerErrorByNumber(102, {")"});
  auto table = std::make_unique<TableInfo>();
  table->id = -1;
  table->name = sqlName;
  table->xtype = "U ";
  std::vector<std::vector<std::string>> keys;
  for (const TableConstraint& k : s.constraints) {
    if (k.kind == ConstraintKind::PrimaryKey || k.kind == ConstraintKind::Unique) {
      keys.push_back(k.columns);
    } else {
      throw DatabaseError(
          NotSupported("CHECK, DEFAULT and FOREIGN KEY constraints of a table "
                       "variable (" +
                       variable + ")"));
    }
  }
  std::string columns;
  const ColumnInfo* identity = nullptr;
  const ColumnDef* identityDef = nullptr;
  for (std::size_t i = 0; i < s.columns.size(); ++i) {
    const ColumnDef& def = s.columns[i];
    if (!def.checks.empty() || def.computed) {
      throw DatabaseError(NotSupported(
          "CHECK constraints and computed columns of a table variable (" + variable + ")"));
    }
    ColumnInfo c = MakeColumn(def, variable, static_cast<int>(i + 1), static_cast<int>(i + 1),
                              InPrimaryKey(s.constraints, def.name));
    if (c.type.base == BaseType::Timestamp) {
      throw DatabaseError(NotSupported("timestamp columns of a table variable (" + variable + ")"));
    }
    for (const ColumnInfo& other : table->columns) {
      if (catalog_.Coll().Equal(other.name, c.name)) {
        throw ServerErrorByNumber(2705, {c.name, variable});
      }
    }
    if (c.identity && identityDef) throw ServerErrorByNumber(2744, {variable});
    if (def.defaultExpr) {
      ValidateDefault(def.defaultText);
      c.defaultText = def.defaultText;
    }
    if (def.primaryKey || def.unique) keys.push_back({def.name});
    if (c.identity) identityDef = &def;
    columns += (i ? ", " : "") + ColumnSql(c);
    table->columns.push_back(std::move(c));
  }
  for (const auto& key : keys) {
    std::string list;
    for (const std::string& name : key) {
      const ColumnInfo* c = table->Find(catalog_.Coll(), name);
      if (!c) throw ServerErrorByNumber(1911, {name});
      list += (list.empty() ? "" : ", ") + QuoteId(c->name);
    }
    columns += ", UNIQUE (" + list + ")";
  }
  // One the batch left behind in another database's connection may remain.
  createSql = "DROP TABLE IF EXISTS temp." + QuoteId(sqlName) + ";CREATE TEMP TABLE " +
              QuoteId(sqlName) + " (" + columns + ");";
  for (const ColumnInfo& c : table->columns) {
    if (c.identity) identity = &c;
  }
  if (identity) {
    // The next value after the highest (or lowest, counting down) there is.
    const std::string col = QuoteId(identity->name);
    const std::string seed = std::to_string(identityDef->identitySeed);
    const std::string step = std::to_string(identityDef->identityIncrement);
    const std::string last = identityDef->identityIncrement < 0 ? "min" : "max";
    createSql += "CREATE TEMP TRIGGER " + QuoteId(sqlName + "_identity") + " AFTER INSERT ON " +
                 QuoteId(sqlName) + " FOR EACH ROW WHEN NEW." + col + " IS NULL BEGIN UPDATE " +
                 QuoteId(sqlName) + " SET " + col + " = (SELECT CASE WHEN count(" + col +
                 ") = 0 THEN " + seed + " ELSE " + last + "(" + col + ") + " + step + " END FROM " +
                 QuoteId(sqlName) + ") WHERE rowid = NEW.rowid; END;";
  }
  auto& undropped = catalog_.UndroppedTables();
  if (auto left = undropped.find(sqlName); left != undropped.end() && left->second == createSql) {
    // The same table, left by an earlier call that a statement still reads
    // the rows of: emptied, it is this one.
    catalog_.Db().Exec("DELETE FROM temp." + QuoteId(sqlName));
    undropped.erase(left);
    return table;
  }
  catalog_.Db().Exec(createSql);
  return table;
}

}  // namespace moltaro::db::embedded
