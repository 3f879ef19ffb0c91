#include "engine/column_dependents.h"

#include "common/text.h"
#include "engine/db_values.h"

namespace moltaro::engine {

namespace {

constexpr const char* kDefaultQuery =
    "select c.name, d.text from sysobjects a, syscolumns b, sysobjects c, syscomments d\r\n"
    " where a.id = b.id and b.cdefault = c.id and d.id = c.id\r\n"
    "   and a.name = :xanev and b.name = :xbnev";
constexpr const char* kIndexKeysQuery =
    "select a.name iname, a.indid, a.status, b.keyno, c.name cname\r\n"
    "  from sysobjects o, sysindexes a, sysindexkeys b, syscolumns c\r\n"
    " where o.name = :xanev and a.id = o.id and a.indid > 0 and a.indid < 255\r\n"
    "   and b.id = a.id and b.indid = a.indid and c.id = b.id and c.colid = b.colid\r\n"
    " order by a.indid, b.keyno";

// sysindexes.status bits.
constexpr std::int64_t kUnique = 2;
constexpr std::int64_t kClustered = 16;
constexpr std::int64_t kStatistics = 64;
constexpr std::int64_t kPrimaryKey = 0x800;
constexpr std::int64_t kUniqueConstraint = 0x1000;

}  // namespace

std::string IndexDefinition::CreateStatement(const std::string& table) const {
  std::string statement = "create ";
  if (unique) statement += "unique ";
  if (clustered) statement += "clustered ";
  statement += "index " + name + " on " + table + " (";
  for (std::size_t k = 0; k < keys.size(); ++k) statement += (k > 0 ? "," : "") + keys[k];
  return statement + ")";
}

ColumnDependents DependentsOf(RunContext& run, const std::string& table,
                              const std::string& column) {
  ColumnDependents dependents;
  const db::ResultSet found = run.dbCel->Query(kDefaultQuery, {table, column});
  if (!found.Eof() && !found.IsNull("name")) {
    dependents.defaultConstraint = DefaultDefinition{found.Text("name"), found.Text("text")};
  }

  db::ResultSet keys = run.dbCel->Query(kIndexKeysQuery, {table});
  std::int64_t indid = -1;
  bool holdsColumn = false;
  IndexDefinition current;
  const auto finish = [&] {
    if (indid >= 0 && holdsColumn) dependents.indexes.push_back(current);
  };
  for (; !keys.Eof(); keys.Next()) {
    if (keys.IsNull("iname")) continue;
    const std::int64_t row = WholeNumber(keys, "indid");
    if (row != indid) {
      finish();
      indid = row;
      holdsColumn = false;
      const std::int64_t status = WholeNumber(keys, "status");
      current = IndexDefinition{
          keys.Text("iname"), (status & kUnique) != 0, (status & kClustered) != 0, {}};
      if ((status & (kStatistics | kPrimaryKey | kUniqueConstraint)) != 0) {
        indid = -1;  // not a plain index
        continue;
      }
    }
    if (indid < 0) continue;
    const std::string key = keys.Text("cname");
    current.keys.push_back(key);
    if (EqualsIgnoreCaseAscii(key, column)) holdsColumn = true;
  }
  finish();
  return dependents;
}

bool DropDependents(RunContext& run, const std::string& table, const ColumnDependents& dependents,
                    bool withDefault) {
  for (const IndexDefinition& index : dependents.indexes) {
    if (!run.ExecuteStatement("drop index " + table + "." + index.name, kFatal)) return false;
  }
  if (withDefault && dependents.defaultConstraint) {
    return run.ExecuteStatement(
        "alter table " + table + " drop constraint " + dependents.defaultConstraint->name, kFatal);
  }
  return true;
}

bool RestoreDependents(RunContext& run, const std::string& table, const std::string& column,
                       const ColumnDependents& dependents, bool withDefault) {
  if (withDefault && dependents.defaultConstraint) {
    const DefaultDefinition& constraint = *dependents.defaultConstraint;
    if (!run.ExecuteStatement("alter table " + table + " add constraint " + constraint.name +
                                  " default " + constraint.text + " for " + column,
                              kFatal)) {
      return false;
    }
  }
  for (const IndexDefinition& index : dependents.indexes) {
    if (!run.ExecuteStatement(index.CreateStatement(table), kFatal)) return false;
  }
  return true;
}

}  // namespace moltaro::engine
