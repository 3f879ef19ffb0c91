// Foreign keys of the embedded server: objects of xtype F, their columns and
// actions in moltaro_foreign_keys, enforced by triggers on the referencing
// and the referenced table, with SQL Server's messages. NO ACTION refuses
// the change of a referenced row; CASCADE, SET NULL and SET DEFAULT change
// the referencing rows after it, so their own keys and actions apply in turn.
#include <algorithm>
#include <map>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/translator/translator.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> out;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    const std::size_t end = std::min(text.find('\n', pos), text.size());
    out.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return out;
}

// "a = b AND c = d" over two column lists.
std::string Matches(const std::string& left, const std::vector<std::string>& leftColumns,
                    const std::string& right, const std::vector<std::string>& rightColumns) {
  std::string out;
  for (std::size_t i = 0; i < leftColumns.size(); ++i) {
    if (i) out += " AND ";
    out += left + "." + QuoteId(leftColumns[i]) + " = " + right + "." + QuoteId(rightColumns[i]);
  }
  return out;
}

}  // namespace

std::vector<Ddl::ForeignKey> Ddl::ForeignKeys(const std::string& where, int tableId) {
  auto stmt = catalog_.Db().Prepare(
      "SELECT f.id, o.name, f.child_id, f.parent_id, c.name, p.name, f.child_columns, "
      "f.parent_columns, f.delete_action, f.update_action, o.status FROM moltaro_foreign_keys f "
      "JOIN sysobjects o ON o.id = f.id JOIN "
      "sysobjects c ON c.id = f.child_id JOIN sysobjects p ON p.id = f.parent_id WHERE " +
      where);
  sqlite3_bind_int(stmt.get(), 1, tableId);
  std::vector<ForeignKey> out;
  auto text = [&](int i) {
    const auto* t = sqlite3_column_text(stmt.get(), i);
    return std::string(t ? reinterpret_cast<const char*>(t) : "");
  };
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    ForeignKey fk;
    fk.id = sqlite3_column_int(stmt.get(), 0);
    fk.name = text(1);
    fk.childId = sqlite3_column_int(stmt.get(), 2);
    fk.parentId = sqlite3_column_int(stmt.get(), 3);
    fk.child = text(4);
    fk.parent = text(5);
    fk.childColumns = Split(text(6));
    fk.parentColumns = Split(text(7));
    fk.onDelete = static_cast<ReferentialAction>(sqlite3_column_int(stmt.get(), 8));
    fk.onUpdate = static_cast<ReferentialAction>(sqlite3_column_int(stmt.get(), 9));
    fk.disabled = (sqlite3_column_int(stmt.get(), 10) & kConstraintDisabled) != 0;
    out.push_back(std::move(fk));
  }
  return out;
}

void Ddl::CreateForeignKeyTriggers(const ForeignKey& fk) {
  if (fk.disabled) return;
  const std::string id = std::to_string(fk.id);
  const std::string db = catalog_.DatabaseName();
  std::string notNull;
  for (const std::string& c : fk.childColumns) {
    notNull += (notNull.empty() ? "" : " AND ") + std::string("NEW.") + QuoteId(c) + " IS NOT NULL";
  }
  for (const char* action : {"INSERT", "UPDATE"}) {
    const std::string message =
        ServerMessageText(547, {action, "FOREIGN KEY", fk.name, db, "dbo." + fk.parent,
                                ", column '", fk.parentColumns[0], "'"});
    // An UPDATE is checked only when it sets the key's columns, as SQL
    // Server checks it: rows let in while the key was disabled stay editable.
    std::string event = action;
    if (event == "UPDATE") {
      event += " OF ";
      for (std::size_t i = 0; i < fk.childColumns.size(); ++i) {
        event += (i ? ", " : "") + QuoteId(fk.childColumns[i]);
      }
    }
    catalog_.Db().Exec("CREATE TRIGGER " + QuoteId("moltaro_fk_" + id + "_child_" + action) +
                       " BEFORE " + event + " ON " + QuoteId(fk.child) + " FOR EACH ROW WHEN " +
                       notNull + " AND NOT EXISTS (SELECT 1 FROM " + QuoteId(fk.parent) +
                       " AS p WHERE " + Matches("p", fk.parentColumns, "NEW", fk.childColumns) +
                       ") BEGIN SELECT RAISE(ABORT, " +
                       QuoteText(MessageWithNumber({547, message})) + "); END");
  }
  std::string changed;
  for (const std::string& c : fk.parentColumns) {
    changed += (changed.empty() ? "" : " OR ") + std::string("OLD.") + QuoteId(c) + " IS NOT NEW." +
               QuoteId(c);
  }
  for (const char* action : {"DELETE", "UPDATE"}) {
    const ReferentialAction taken = std::string(action) == "DELETE" ? fk.onDelete : fk.onUpdate;
    if (taken != ReferentialAction::NoAction) {
      CreateReferentialAction(fk, action, taken);
      continue;
    }
    const std::string message =
        ServerMessageText(547, {action, "REFERENCE", fk.name, db, "dbo." + fk.child, ", column '",
                                fk.childColumns[0], "'"});
    const std::string when = std::string(action) == "UPDATE" ? "(" + changed + ") AND " : "";
    catalog_.Db().Exec("CREATE TRIGGER " + QuoteId("moltaro_fk_" + id + "_parent_" + action) +
                       " BEFORE " + action + " ON " + QuoteId(fk.parent) + " FOR EACH ROW WHEN " +
                       when + "EXISTS (SELECT 1 FROM " + QuoteId(fk.child) + " AS c WHERE " +
                       Matches("c", fk.childColumns, "OLD", fk.parentColumns) +
                       ") BEGIN SELECT RAISE(ABORT, " +
                       QuoteText(MessageWithNumber({547, message})) + "); END");
  }
}

void Ddl::CreateReferentialAction(const ForeignKey& fk, const char* event,
                                  ReferentialAction action) {
  const bool update = std::string(event) == "UPDATE";
  std::string when;
  if (update) {
    for (const std::string& c : fk.parentColumns) {
      when += (when.empty() ? " WHEN " : " OR ") + std::string("OLD.") + QuoteId(c) +
              " IS NOT NEW." + QuoteId(c);
    }
  }
  std::string body;
  const std::string match = Matches(QuoteId(fk.child), fk.childColumns, "OLD", fk.parentColumns);
  if (action == ReferentialAction::Cascade && !update) {
    body = "DELETE FROM " + QuoteId(fk.child) + " WHERE " + match;
  } else {
    const TableInfo* child = catalog_.FindTable(fk.child);
    std::string sets;
    for (std::size_t i = 0; i < fk.childColumns.size(); ++i) {
      std::string value = "NULL";
      if (action == ReferentialAction::Cascade) {
        value = "NEW." + QuoteId(fk.parentColumns[i]);
      } else if (action == ReferentialAction::SetDefault && child) {
        const ColumnInfo* c = child->Find(catalog_.Coll(), fk.childColumns[i]);
        if (c && !c->defaultText.empty()) {
          Translator t(catalog_, nullptr, nullptr);
          const Translation v = t.Value(*Expression(c->defaultText)->expr);
          value = "(" + v.sql + ")";
        }
      }
      sets += (i ? ", " : "") + QuoteId(fk.childColumns[i]) + " = " + value;
    }
    body = "UPDATE " + QuoteId(fk.child) + " SET " + sets + " WHERE " + match;
  }
  // After the referenced row changed, so that the referencing rows' own
  // checks see the new key.
  catalog_.Db().Exec("CREATE TRIGGER " +
                     QuoteId("moltaro_fk_" + std::to_string(fk.id) + "_parent_" + event) +
                     " AFTER " + event + " ON " + QuoteId(fk.parent) + " FOR EACH ROW" + when +
                     " BEGIN " + body + "; END");
}

void Ddl::RequireSingleCascadePath(const ForeignKey& added) {
  // Edges from a referenced table to its referencing table, for the keys
  // that act on delete or on update.
  std::vector<ForeignKey> keys = ForeignKeys("1 = 1 OR ?1 = 0", 0);
  keys.push_back(added);
  for (const bool onDelete : {true, false}) {
    std::multimap<int, int> edges;
    for (const ForeignKey& k : keys) {
      if ((onDelete ? k.onDelete : k.onUpdate) != ReferentialAction::NoAction) {
        edges.emplace(k.parentId, k.childId);
      }
    }
    // Counting the paths from each table: a second path to a table, or a
    // path back to the start, is what SQL Server refuses.
    for (const auto& start : edges) {
      std::map<int, int> reached;
      std::vector<int> stack{start.first};
      bool fails = false;
      while (!stack.empty() && !fails) {
        const int from = stack.back();
        stack.pop_back();
        const auto [first, last] = edges.equal_range(from);
        for (auto e = first; e != last; ++e) {
          if (e->second == start.first || ++reached[e->second] > 1) {
            fails = true;
            break;
          }
          stack.push_back(e->second);
        }
      }
      if (fails) throw ServerErrorByNumber(1785, {added.name, added.child});
    }
  }
}

void Ddl::DropForeignKeyTriggers(int id) {
  for (const char* name : {"_child_INSERT", "_child_UPDATE", "_parent_DELETE", "_parent_UPDATE"}) {
    catalog_.Db().Exec("DROP TRIGGER IF EXISTS " +
                       QuoteId("moltaro_fk_" + std::to_string(id) + name));
  }
}

void Ddl::RecreateForeignKeyTriggers(int tableId) {
  for (const ForeignKey& fk : ForeignKeys("f.child_id = ?1 OR f.parent_id = ?1", tableId)) {
    DropForeignKeyTriggers(fk.id);
    CreateForeignKeyTriggers(fk);
  }
}

void Ddl::RequireRowsMeetForeignKey(const ForeignKey& fk) {
  std::string notNull;
  for (const std::string& c : fk.childColumns) {
    notNull += (notNull.empty() ? "" : " AND ") + std::string("c.") + QuoteId(c) + " IS NOT NULL";
  }
  auto rows = catalog_.Db().Prepare("SELECT count(*) FROM " + QuoteId(fk.child) + " AS c WHERE " +
                                    notNull + " AND NOT EXISTS (SELECT 1 FROM " +
                                    QuoteId(fk.parent) + " AS p WHERE " +
                                    Matches("p", fk.parentColumns, "c", fk.childColumns) + ")");
  if (sqlite3_step(rows.get()) == SQLITE_ROW && sqlite3_column_int64(rows.get(), 0) > 0) {
    throw ServerErrorByNumber(547, {"ALTER TABLE", "FOREIGN KEY", fk.name, catalog_.DatabaseName(),
                                    "dbo." + fk.parent, ", column '", fk.parentColumns[0], "'"});
  }
}

void Ddl::AddForeignKey(const TableInfo& child, const TableConstraint& k, bool validateRows) {
  const Collation& coll = catalog_.Coll();
  const TableInfo* parent = catalog_.FindTable(k.references.name);
  const std::string fkName = k.name.empty() ? std::string("FK") : k.name;
  if (!parent || parent->xtype != "U ") {
    throw ServerErrorByNumber(1767, {fkName, k.references.name});
  }
  ForeignKey fk;
  fk.child = child.name;
  fk.childId = child.id;
  fk.parent = parent->name;
  fk.parentId = parent->id;
  for (const std::string& name : k.columns) {
    const ColumnInfo* c = child.Find(coll, name);
    if (!c) {
      throw ServerErrorByNumber(1769, {fkName, name, child.name});
    }
    fk.childColumns.push_back(c->name);
  }
  // The referenced columns: as written, else the referenced table's primary key.
  std::vector<int> parentColids;
  auto keys = catalog_.Db().PrepareCached(
      "SELECT i.indid, i.status, k.colid FROM sysindexes i JOIN sysindexkeys k ON k.id = i.id AND "
      "k.indid = i.indid WHERE i.id = ? AND (i.status & 2) = 2 ORDER BY i.indid, k.keyno");
  sqlite3_bind_int(keys.get(), 1, parent->id);
  std::map<int, std::vector<int>> unique;
  int primary = -1;
  while (sqlite3_step(keys.get()) == SQLITE_ROW) {
    const int indid = sqlite3_column_int(keys.get(), 0);
    if (sqlite3_column_int(keys.get(), 1) & 0x800) primary = indid;
    unique[indid].push_back(sqlite3_column_int(keys.get(), 2));
  }
  if (k.referencedColumns.empty()) {
    if (primary >= 0) parentColids = unique[primary];
  } else {
    for (const std::string& name : k.referencedColumns) {
      const ColumnInfo* c = parent->Find(coll, name);
      if (!c) {
        throw ServerErrorByNumber(1770, {fkName, name, parent->name});
      }
      parentColids.push_back(c->colid);
    }
  }
  bool candidate = false;
  for (const auto& [indid, colids] : unique) {
    std::vector<int> a = colids, b = parentColids;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    candidate = candidate || (!b.empty() && a == b);
  }
  if (!candidate || parentColids.size() != fk.childColumns.size()) {
    throw ServerErrorByNumber(1776, {parent->name, fkName});
  }
  for (int colid : parentColids) {
    for (const ColumnInfo& c : parent->columns) {
      if (c.colid == colid) fk.parentColumns.push_back(c.name);
    }
  }
  fk.id = catalog_.NextObjectId();
  fk.name = k.name.empty() ? "FK__" + Utf8Left(child.name, 9) + "__" +
                                 Utf8Left(fk.childColumns[0], 5) + "__" + std::to_string(fk.id)
                           : k.name;
  if (catalog_.FindObject(fk.name)) {
    throw ServerErrorByNumber(2714, {fk.name});
  }
  fk.onDelete = k.onDelete;
  fk.onUpdate = k.onUpdate;
  for (std::size_t i = 0; i < fk.childColumns.size(); ++i) {
    const ColumnInfo* c = child.Find(coll, fk.childColumns[i]);
    const bool setNull =
        k.onDelete == ReferentialAction::SetNull || k.onUpdate == ReferentialAction::SetNull;
    if (setNull && c && !c->nullable) {
      throw ServerErrorByNumber(1761, {fkName});
    }
  }
  if (k.onDelete != ReferentialAction::NoAction || k.onUpdate != ReferentialAction::NoAction) {
    RequireSingleCascadePath(fk);
  }
  if (validateRows) RequireRowsMeetForeignKey(fk);
  catalog_.InsertObject(fk.id, fk.name, "F", child.id);
  ForeignKeyEntry entry;
  entry.id = fk.id;
  entry.childId = fk.childId;
  entry.parentId = fk.parentId;
  entry.childColumns = fk.childColumns;
  entry.parentColumns = fk.parentColumns;
  entry.deleteAction = static_cast<int>(fk.onDelete);
  entry.updateAction = static_cast<int>(fk.onUpdate);
  catalog_.InsertForeignKey(entry);
  CreateForeignKeyTriggers(fk);
}

}  // namespace moltaro::db::embedded
