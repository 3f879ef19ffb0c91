// Rules and defaults of the old kind: CREATE RULE / CREATE DEFAULT make
// objects of their own (sysobjects R and D without a parent, the statement in
// syscomments); sp_bindrule / sp_bindefault bind them to a column or to a
// user type, whose columns take them. A bound default is the column's
// default; a bound rule is checked as a CHECK is, by triggers on the table.
#include <sqlite3.h>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/parser/tsql_tokenizer.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/translator/translator.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

const char* Noun(bool rule) {
  return rule ? "rule" : "default";
}

std::string RuleTrigger(int tableId, int colid, const char* action) {
  return "moltaro_rule_" + std::to_string(tableId) + "_" + std::to_string(colid) + "_" + action;
}

// The parts of 'table.column' or '[dbo].[table].[column]', brackets taken off.
std::vector<std::string> NameParts(const std::string& name) {
  std::vector<std::string> parts(1);
  bool bracket = false;
  for (const char ch : name) {
    if (bracket) {
      if (ch == ']') {
        bracket = false;
      } else {
        parts.back() += ch;
      }
    } else if (ch == '[') {
      bracket = true;
    } else if (ch == '.') {
      parts.emplace_back();
    } else if (ch != '"') {
      parts.back() += ch;
    }
  }
  for (std::string& part : parts) part = Trim(part);
  return parts;
}

// A rule's condition with its value (the one variable it names) read as the
// column: "@v > 0" on column q is "[q] > 0".
std::string RuleConditionOn(const std::string& condition, const std::string& column) {
  std::string out;
  std::size_t at = 0;
  for (const Token& t : Tokenize(condition)) {
    if (t.kind != TokenKind::Variable || t.text.rfind("@@", 0) == 0) continue;
    out += condition.substr(at, t.offset - at) + "[" + ReplaceAll(column, "]", "]]") + "]";
    at = t.end;
  }
  return out + condition.substr(at);
}

}  // namespace

std::optional<ObjectInfo> Ddl::FindBoundObject(const std::string& name, bool rule) {
  const std::vector<std::string> parts = NameParts(name);
  std::optional<ObjectInfo> object = catalog_.FindObject(parts.back());
  if (!object || object->xtype != (rule ? "R " : "D ") || object->parent != 0) return std::nullopt;
  return object;
}

void Ddl::CreateBoundObject(const CreateBoundObjectStatement& s) {
  Transaction tx(catalog_.Db());
  CheckNameFree(s.name.name);
  // A rule's condition is read when it is bound, with its value as the column.
  if (!s.rule) ValidateDefault(s.text);
  const int id = catalog_.NextObjectId();
  catalog_.InsertObject(id, s.name.name, s.rule ? "R" : "D", 0);
  catalog_.InsertComment(id, SourceText(s));
  catalog_.StampSchema();
  tx.Commit();
}

void Ddl::DropBoundObject(const DropBoundObjectStatement& s) {
  Transaction tx(catalog_.Db());
  for (const ObjectName& name : s.names) {
    const std::optional<ObjectInfo> object = catalog_.FindObject(name.name);
    if (!s.rule && object && object->xtype == "D " && object->parent != 0) {
      throw ServerErrorByNumber(3717);
    }
    if (!object || object->xtype != (s.rule ? "R " : "D ")) {
      if (s.ifExists) continue;
      throw ServerErrorByNumber(3701, {Noun(s.rule), name.name});
    }
    if (catalog_.IsBound(object->id)) {
      throw ServerErrorByNumber(3716, {Noun(s.rule), object->name, "column"});
    }
    catalog_.DeleteObject(object->id);
  }
  catalog_.StampSchema();
  tx.Commit();
}

void Ddl::CreateRuleTriggers(const TableInfo& table) {
  for (const ColumnInfo& c : table.columns) {
    for (const char* action : {"INSERT", "UPDATE"}) {
      catalog_.Db().Exec("DROP TRIGGER IF EXISTS " +
                         QuoteId(RuleTrigger(table.id, c.colid, action)));
    }
    if (c.ruleId == 0) continue;
    const std::string condition =
        RuleConditionOn(BoundObjectExpression(catalog_.CommentText(c.ruleId)), c.name);
    Translator t(catalog_, nullptr, nullptr);
    const std::string sql = t.RowCondition(*Expression(condition)->expr, table);
    const std::string message =
        ServerMessageText(513, {catalog_.DatabaseName(), "dbo." + table.name, c.name});
    for (const char* action : {"INSERT", "UPDATE"}) {
      const std::string event =
          std::string(action) + (std::string(action) == "UPDATE" ? " OF " + QuoteId(c.name) : "");
      // As a CHECK, a rule fails only on FALSE.
      catalog_.Db().Exec("CREATE TRIGGER " + QuoteId(RuleTrigger(table.id, c.colid, action)) +
                         " BEFORE " + event + " ON " + QuoteId(table.name) +
                         " FOR EACH ROW WHEN NOT coalesce((" + sql +
                         "), 1) BEGIN SELECT RAISE(ABORT, " +
                         QuoteText(MessageWithNumber({513, message})) + "); END");
    }
  }
}

std::vector<std::string> Ddl::Bind(bool rule, const std::string& objectName,
                                   const std::string& target, bool futureOnly) {
  Transaction tx(catalog_.Db());
  const std::optional<ObjectInfo> object = FindBoundObject(objectName, rule);
  if (!object) {
    const std::optional<ObjectInfo> other = catalog_.FindObject(NameParts(objectName).back());
    if (!rule && other && other->xtype == "D ") throw ServerErrorByNumber(15050, {objectName});
    throw ServerErrorByNumber(rule ? 15017 : 15016, {objectName});
  }
  std::vector<std::string> messages;
  const std::vector<std::string> parts = NameParts(target);
  if (parts.size() >= 2) {
    const TableInfo* table = catalog_.FindTable(parts[parts.size() - 2]);
    const ColumnInfo* column =
        table && table->xtype == "U " ? table->Find(catalog_.Coll(), parts.back()) : nullptr;
    if (column) {
      BindColumn(rule, object->id, *table, *column);
      messages.push_back(ServerMessageText(rule ? 15514 : 15511, {}));
      catalog_.StampSchema();
      tx.Commit();
      return messages;
    }
  }
  const std::optional<UserType> type = catalog_.FindUserType(parts.back());
  if (!type || (parts.size() >= 2 && parts.size() != 2)) {
    throw ServerErrorByNumber(15148, {target});
  }
  if (rule && (type->type.base == BaseType::Text || type->type.base == BaseType::NText ||
               type->type.base == BaseType::Image || type->type.length == -1)) {
    throw ServerErrorByNumber(15107);
  }
  const int previous = rule ? type->ruleId : type->defaultId;
  if (rule) {
    catalog_.SetTypeRule(type->xusertype, object->id);
  } else {
    catalog_.SetTypeDefault(type->xusertype, object->id);
  }
  messages.push_back(ServerMessageText(rule ? 15515 : 15512, {}));
  if (!futureOnly) {
    // Columns of the type take it unless something else is bound to them.
    if (RebindTypeColumns(rule, type->xusertype, previous, object->id)) {
      messages.push_back(ServerMessageText(rule ? 15516 : 15513, {}));
    }
  }
  catalog_.StampSchema();
  tx.Commit();
  return messages;
}

void Ddl::BindColumn(bool rule, int objectId, const TableInfo& table, const ColumnInfo& column) {
  if (rule) {
    if (column.Computed() || column.type.base == BaseType::Text ||
        column.type.base == BaseType::NText || column.type.base == BaseType::Image ||
        column.type.length == -1) {
      throw ServerErrorByNumber(15107);
    }
    TableInfo shape = table;
    for (ColumnInfo& c : shape.columns) {
      if (c.colid == column.colid) c.ruleId = objectId;
    }
    catalog_.SetColumnRule(shape.id, column.colid, objectId);
    catalog_.Invalidate();  // `table` and `column` are the cache's, read no more
    CreateRuleTriggers(shape);
    return;
  }
  if (column.identity) throw ServerErrorByNumber(15102);
  if (column.Computed() || column.type.length == -1) throw ServerErrorByNumber(15101);
  if (column.defaultId != 0) {
    const std::optional<ObjectInfo> current = catalog_.FindObjectById(column.defaultId);
    if (current && current->parent != 0) throw ServerErrorByNumber(15103);
  }
  catalog_.SetColumnDefault(table.id, column.colid, objectId);
  catalog_.Invalidate();
}

bool Ddl::RebindTypeColumns(bool rule, int xusertype, int previous, int objectId) {
  auto stmt = catalog_.Db().PrepareCached(
      std::string("SELECT o.name, c.name FROM syscolumns c JOIN sysobjects o ON o.id = c.id AND "
                  "o.xtype = 'U ' WHERE c.xusertype = ?1 AND c.") +
      (rule ? "domain" : "cdefault") + " IN (0, ?2) ORDER BY o.id, c.colid");
  sqlite3_bind_int(stmt.get(), 1, xusertype);
  sqlite3_bind_int(stmt.get(), 2, previous);
  std::vector<std::pair<std::string, std::string>> columns;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)),
                         reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1)));
  }
  stmt.reset();
  for (const auto& [tableName, columnName] : columns) {
    const TableInfo* table = catalog_.FindTable(tableName);
    const ColumnInfo* column = table ? table->Find(catalog_.Coll(), columnName) : nullptr;
    if (!column) continue;
    if (objectId != 0) {
      BindColumn(rule, objectId, *table, *column);
    } else {
      UnbindColumn(rule, *table, *column);
    }
  }
  return !columns.empty();
}

std::vector<std::string> Ddl::Unbind(bool rule, const std::string& target, bool futureOnly) {
  Transaction tx(catalog_.Db());
  std::vector<std::string> messages;
  const std::vector<std::string> parts = NameParts(target);
  if (parts.size() >= 2) {
    const TableInfo* table = catalog_.FindTable(parts[parts.size() - 2]);
    const ColumnInfo* column =
        table && table->xtype == "U " ? table->Find(catalog_.Coll(), parts.back()) : nullptr;
    if (column) {
      const int bound = rule ? column->ruleId : column->defaultId;
      if (bound == 0) throw ServerErrorByNumber(rule ? 15238 : 15236, {target});
      if (!rule) {
        const std::optional<ObjectInfo> current = catalog_.FindObjectById(bound);
        if (current && current->parent != 0) throw ServerErrorByNumber(15049, {target});
      }
      UnbindColumn(rule, *table, *column);
      messages.push_back(ServerMessageText(rule ? 15522 : 15519, {}));
      catalog_.StampSchema();
      tx.Commit();
      return messages;
    }
  }
  const std::optional<UserType> type =
      parts.size() <= 2 ? catalog_.FindUserType(parts.back()) : std::nullopt;
  if (!type) throw ServerErrorByNumber(15148, {target});
  const int bound = rule ? type->ruleId : type->defaultId;
  if (bound == 0) throw ServerErrorByNumber(rule ? 15239 : 15237, {target});
  if (rule) {
    catalog_.SetTypeRule(type->xusertype, 0);
  } else {
    catalog_.SetTypeDefault(type->xusertype, 0);
  }
  messages.push_back(ServerMessageText(rule ? 15523 : 15520, {}));
  if (!futureOnly) {
    auto stmt = catalog_.Db().PrepareCached(
        std::string("SELECT count(*) FROM syscolumns WHERE xusertype = ? AND ") +
        (rule ? "domain" : "cdefault") + " = ?");
    sqlite3_bind_int(stmt.get(), 1, type->xusertype);
    sqlite3_bind_int(stmt.get(), 2, bound);
    const bool any = sqlite3_step(stmt.get()) == SQLITE_ROW && sqlite3_column_int(stmt.get(), 0);
    stmt.reset();
    if (any) {
      RebindTypeColumns(rule, type->xusertype, bound, 0);
      messages.push_back(ServerMessageText(rule ? 15524 : 15521, {}));
    }
  }
  catalog_.StampSchema();
  tx.Commit();
  return messages;
}

void Ddl::UnbindColumn(bool rule, const TableInfo& table, const ColumnInfo& column) {
  const int tableId = table.id;
  const int colid = column.colid;
  if (!rule) {
    catalog_.SetColumnDefault(tableId, colid, 0);
  } else {
    catalog_.SetColumnRule(tableId, colid, 0);
    for (const char* action : {"INSERT", "UPDATE"}) {
      catalog_.Db().Exec("DROP TRIGGER IF EXISTS " + QuoteId(RuleTrigger(tableId, colid, action)));
    }
  }
  catalog_.Invalidate();
}

}  // namespace moltaro::db::embedded
