// The system procedures of the catalogue that install scripts call:
// sp_rename, sp_helptext, sp_help and the extended properties.
#include <sqlite3.h>

#include <algorithm>
#include <map>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/execution/interpreter.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/decimal.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// The arguments of a call by parameter name (upper case, with "@"), given
// by position or by name; NULL and absent arguments are left out.
std::map<std::string, std::string> BindArguments(const std::string& procedure,
                                                 const std::vector<std::string>& parameters,
                                                 const std::vector<StoredValue>& values,
                                                 const std::vector<std::string>& names) {
  std::map<std::string, std::string> bound;
  std::size_t position = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::string parameter;
    if (!names[i].empty()) {
      parameter = ToUpperAscii(names[i]);
      if (std::find(parameters.begin(), parameters.end(), parameter) == parameters.end()) {
        throw ServerErrorByNumber(8145, {names[i], procedure});
      }
    } else if (position < parameters.size()) {
      parameter = parameters[position++];
    } else {
      throw ServerErrorByNumber(8144, {procedure});
    }
    if (IsNull(ToApiValue(values[i]))) continue;
    const auto* exact = std::get_if<Decimal>(&values[i]);
    bound[parameter] = exact ? DecimalCastText(*exact) : ToText(ToApiValue(values[i]));
  }
  return bound;
}

std::string Argument(const std::map<std::string, std::string>& bound, const char* parameter) {
  const auto it = bound.find(parameter);
  return it == bound.end() ? std::string() : it->second;
}

// 'dbo.name', '[name]': the object's own name.
std::string BareName(std::string name) {
  if (const std::size_t dot = name.rfind('.'); dot != std::string::npos)
    name = name.substr(dot + 1);
  if (name.size() > 1 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  return name;
}

// The lines of a stored text, each with its line end, as sp_helptext gives them.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

}  // namespace

std::optional<Value> Interpreter::CatalogProcedure(const std::string& name,
                                                   std::vector<CallArgument>& args, Context& c) {
  const std::string key = ToLowerAscii(name);
  static const std::map<std::string, std::vector<std::string>> parameters = {
      {"sp_rename", {"@OBJNAME", "@NEWNAME", "@OBJTYPE"}},
      {"sp_helptext", {"@OBJNAME", "@COLUMNNAME"}},
      {"sp_help", {"@OBJNAME"}},
      {"sp_helpindex", {"@OBJNAME"}},
      {"sp_recompile", {"@OBJNAME"}},
      {"sp_updatestats", {"@RESAMPLE"}},
      {"sp_addextendedproperty",
       {"@NAME", "@VALUE", "@LEVEL0TYPE", "@LEVEL0NAME", "@LEVEL1TYPE", "@LEVEL1NAME",
        "@LEVEL2TYPE", "@LEVEL2NAME"}},
      {"sp_updateextendedproperty",
       {"@NAME", "@VALUE", "@LEVEL0TYPE", "@LEVEL0NAME", "@LEVEL1TYPE", "@LEVEL1NAME",
        "@LEVEL2TYPE", "@LEVEL2NAME"}},
      {"sp_dropextendedproperty",
       {"@NAME", "@LEVEL0TYPE", "@LEVEL0NAME", "@LEVEL1TYPE", "@LEVEL1NAME", "@LEVEL2TYPE",
        "@LEVEL2NAME"}},
  };
  const auto found = parameters.find(key);
  if (found == parameters.end()) return std::nullopt;
  std::vector<StoredValue> values;
  std::vector<std::string> names;
  for (const CallArgument& a : args) {
    values.push_back(a.value.value_or(StoredValue{}));
    names.push_back(a.name);
  }
  const auto bound = BindArguments(key, found->second, values, names);
  Catalog& catalog = host_.CurrentCatalog();
  if (key == "sp_rename") {
    Ddl(catalog, c.text, host_.Code().get())
        .Rename(Argument(bound, "@OBJNAME"), Argument(bound, "@NEWNAME"),
                Argument(bound, "@OBJTYPE"));
    c.out->messages.push_back(FormatServerMessage(FindServerMessage(15477)->text, {}));
    return Value{std::int64_t{0}};
  }
  if (key == "sp_helptext") {
    HelpText(Argument(bound, "@OBJNAME"), c);
    return Value{std::int64_t{0}};
  }
  if (key == "sp_help") {
    Help(Argument(bound, "@OBJNAME"), c);
    return Value{std::int64_t{0}};
  }
  if (key == "sp_helpindex") {
    const std::string objectName = Argument(bound, "@OBJNAME");
    const auto object = catalog.FindObject(BareName(objectName));
    if (!object || object->xtype != "U ") {
      throw ServerErrorByNumber(15009, {objectName, catalog.DatabaseName()});
    }
    IndexList(*object, c);
    return Value{std::int64_t{0}};
  }
  if (key == "sp_recompile") {
    // Stored code is compiled again whenever the schema moves; marking it is
    // moving the schema.
    const std::string objectName = Argument(bound, "@OBJNAME");
    if (!catalog.FindObject(BareName(objectName))) {
      throw ServerErrorByNumber(15009, {objectName, catalog.DatabaseName()});
    }
    catalog.StampSchema();
    c.out->messages.push_back("Object '" + objectName +
                              "' was successfully marked for recompilation.");
    return Value{std::int64_t{0}};
  }
  if (key == "sp_updatestats") {
    catalog.Db().Exec("ANALYZE");
    c.out->messages.emplace_back("Statistics for all tables have been updated.");
    return Value{std::int64_t{0}};
  }
  SetExtendedPropertyFromCall(key, bound);
  return Value{std::int64_t{0}};
}

void Interpreter::HelpText(const std::string& objectName, Context& c) {
  Catalog& catalog = host_.CurrentCatalog();
  const auto object = catalog.FindObject(BareName(objectName));
  if (!object) throw ServerErrorByNumber(15009, {objectName, catalog.DatabaseName()});
  const std::string text = catalog.CommentText(object->id);
  if (text.empty()) throw ServerErrorByNumber(15197, {objectName});
  std::vector<std::vector<Value>> rows;
  for (const std::string& line : Lines(text)) rows.push_back({Value(line)});
  c.out->results.emplace_back(std::vector<std::string>{"Text"}, std::move(rows));
}

namespace {

std::string ObjectTypeText(const std::string& xtype) {
  static const std::map<std::string, std::string> names = {{"U ", "user table"},
                                                           {"S ", "system table"},
                                                           {"V ", "view"},
                                                           {"P ", "stored procedure"},
                                                           {"FN", "scalar function"},
                                                           {"IF", "inline function"},
                                                           {"TF", "table function"},
                                                           {"TR", "trigger"},
                                                           {"D ", "default"},
                                                           {"C ", "check constraint"},
                                                           {"F ", "foreign key cns"},
                                                           {"PK", "primary key cns"},
                                                           {"UQ", "unique key cns"},
                                                           {"R ", "rule"}};
  const auto it = names.find(xtype);
  return it == names.end() ? xtype : it->second;
}

// The rows of a catalogue query, every value as the API reads it.
std::vector<std::vector<Value>> Rows(SqliteDb& db, const std::string& sql, int id) {
  const StmtHandle stmt = db.Prepare(sql);
  if (id != 0) sqlite3_bind_int(stmt.get(), 1, id);
  std::vector<std::vector<Value>> rows;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    std::vector<Value> row;
    for (int i = 0; i < sqlite3_column_count(stmt.get()); ++i) {
      row.push_back(ColumnValue(stmt.get(), i));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// Prec and Scale as sp_help shows them: char(5), blank where they do not apply.
constexpr const char* kNumericTypes = "(48, 52, 56, 127, 106, 108, 60, 122, 62, 59)";

}  // namespace

// sp_help: every object without a name; with one, the object, its columns or
// parameters, its identity and its indexes.
void Interpreter::Help(const std::string& objectName, Context& c) {
  Catalog& catalog = host_.CurrentCatalog();
  SqliteDb& db = catalog.Db();
  if (objectName.empty()) {
    auto rows = Rows(db, "SELECT name, 'dbo', xtype FROM sysobjects ORDER BY xtype, name", 0);
    for (auto& row : rows) row[2] = Value(ObjectTypeText(ToText(row[2])));
    c.out->results.emplace_back(std::vector<std::string>{"Name", "Owner", "Object_type"},
                                std::move(rows));
    return;
  }
  const auto object = catalog.FindObject(BareName(objectName));
  if (!object) throw ServerErrorByNumber(15009, {objectName, catalog.DatabaseName()});
  auto head =
      Rows(db, "SELECT name, 'dbo', xtype, crdate FROM sysobjects WHERE id = ?", object->id);
  for (auto& row : head) row[2] = Value(ObjectTypeText(ToText(row[2])));
  c.out->results.emplace_back(std::vector<std::string>{"Name", "Owner", "Type", "Created_datetime"},
                              std::move(head));
  const std::string typeName = "(SELECT t.name FROM systypes t WHERE t.xusertype = c.xusertype)";
  const std::string prec = std::string("CASE WHEN c.xtype IN ") + kNumericTypes +
                           " THEN substr(c.xprec || '     ', 1, 5) ELSE '     ' END";
  const std::string scale = std::string("CASE WHEN c.xtype IN ") + kNumericTypes +
                            " THEN substr(c.xscale || '     ', 1, 5) ELSE '     ' END";
  const bool routine = object->xtype == "P " || object->xtype == "FN" || object->xtype == "IF" ||
                       object->xtype == "TF";
  if (routine) {
    auto parameters = Rows(db,
                           "SELECT c.name, " + typeName + ", c.length, " + prec + ", " + scale +
                               ", c.colid, c.collation FROM syscolumns c WHERE c.id = ? ORDER "
                               "BY c.colid",
                           object->id);
    if (!parameters.empty()) {
      c.out->results.emplace_back(
          std::vector<std::string>{"Parameter_name", "Type", "Length", "Prec", "Scale",
                                   "Param_order", "Collation"},
          std::move(parameters));
    }
    return;
  }
  if (object->xtype != "U " && object->xtype != "S " && object->xtype != "V ") return;
  const std::string character = "c.xtype IN (175, 167, 239, 231, 35, 99)";
  c.out->results.emplace_back(
      std::vector<std::string>{"Column_name", "Type", "Computed", "Length", "Prec", "Scale",
                               "Nullable", "TrimTrailingBlanks", "FixedLenNullInSource",
                               "Collation"},
      Rows(db,
           "SELECT c.name, " + typeName +
               ", CASE WHEN c.iscomputed THEN 'yes' ELSE 'no' END, c.length, " + prec + ", " +
               scale + ", CASE WHEN c.isnullable THEN 'yes' ELSE 'no' END, CASE WHEN " + character +
               " THEN 'no' ELSE '(n/a)' END, CASE WHEN " + character +
               " THEN CASE WHEN c.isnullable THEN 'yes' ELSE 'no' END ELSE '(n/a)' END, "
               "c.collation FROM syscolumns c WHERE c.id = ? ORDER BY c.colid",
           object->id));
  const std::optional<IdentityState> identity = catalog.Identity(object->id);
  const TableInfo* table = catalog.FindTable(object->name);
  const ColumnInfo* identityColumn = nullptr;
  if (identity && table) {
    for (const ColumnInfo& col : table->columns) {
      if (col.colid == identity->colid) identityColumn = &col;
    }
  }
  if (identityColumn) {
    c.out->results.emplace_back(
        std::vector<std::string>{"Identity", "Seed", "Increment", "Not For Replication"},
        std::vector<std::vector<Value>>{
            {Value(identityColumn->name), Value(std::int64_t{identity->seed}),
             Value(std::int64_t{identity->increment}), Value(std::int64_t{0})}});
  } else {
    c.out->results.emplace_back(
        std::vector<std::string>{"Identity"},
        std::vector<std::vector<Value>>{{Value(std::string("No identity column defined."))}});
  }
  c.out->results.emplace_back(
      std::vector<std::string>{"RowGuidCol"},
      std::vector<std::vector<Value>>{{Value(std::string("No rowguidcol column defined."))}});
  c.out->results.emplace_back(std::vector<std::string>{"Data_located_on_filegroup"},
                              std::vector<std::vector<Value>>{{Value(std::string("PRIMARY"))}});
  if (object->xtype == "U ") IndexList(*object, c);
}

// The indexes of a table as sp_help and sp_helpindex give them.
void Interpreter::IndexList(const ObjectInfo& object, Context& c) {
  Catalog& catalog = host_.CurrentCatalog();
  const TableInfo* table = catalog.FindTable(object.name);
  if (!table) return;
  std::vector<std::vector<Value>> indexes;
  for (const IndexEntry& index : catalog.Indexes(object.id)) {
    std::string description = index.indid == 1 ? "clustered" : "nonclustered";
    if (index.Unique()) description += ", unique";
    if ((index.status & 0x800) != 0) description += ", primary key";
    if ((index.status & 0x1000) != 0) description += ", unique key";
    description += " located on PRIMARY";
    std::string keys;
    for (const int colid : index.colids) {
      for (const ColumnInfo& col : table->columns) {
        if (col.colid == colid) keys += (keys.empty() ? "" : ", ") + col.name;
      }
    }
    indexes.push_back({Value(index.name), Value(description), Value(keys)});
  }
  if (indexes.empty()) {
    c.out->messages.push_back("The object '" + object.name +
                              "' does not have any indexes, or you do not have permissions.");
    return;
  }
  c.out->results.emplace_back(
      std::vector<std::string>{"index_name", "index_description", "index_keys"},
      std::move(indexes));
}

// sp_add/update/dropextendedproperty: the levels name the database (none),
// a schema, an object of it, and a column, index or constraint of that.
void Interpreter::SetExtendedPropertyFromCall(const std::string& procedure,
                                              const std::map<std::string, std::string>& bound) {
  Catalog& catalog = host_.CurrentCatalog();
  const Collation& coll = catalog.Coll();
  const std::string property = Argument(bound, "@NAME");
  if (property.empty()) throw ServerErrorByNumber(15223, {"name"});
  const std::string level0 = ToUpperAscii(Argument(bound, "@LEVEL0TYPE"));
  const std::string level1 = ToUpperAscii(Argument(bound, "@LEVEL1TYPE"));
  const std::string level2 = ToUpperAscii(Argument(bound, "@LEVEL2TYPE"));
  const std::string name0 = Argument(bound, "@LEVEL0NAME");
  const std::string name1 = Argument(bound, "@LEVEL1NAME");
  const std::string name2 = Argument(bound, "@LEVEL2NAME");
  int propertyClass = 0, major = 0, minor = 0;
  std::string target = catalog.DatabaseName();
  const auto invalid = [&](const std::string& what) { return ServerErrorByNumber(15135, {what}); };
  if (!level0.empty()) {
    if (level0 != "SCHEMA" && level0 != "USER") {
      throw DatabaseError(NotSupported("extended properties on a " + ToLowerAscii(level0)));
    }
    const auto schema = catalog.FindSchema(name0);
    if (!schema) throw invalid(name0);
    propertyClass = 3;
    major = schema->id;
    target = schema->name;
  }
  if (!level1.empty()) {
    if (level0.empty()) throw invalid(name1);
    const auto object = catalog.FindObject(name1);
    if (!object || object->xtype == "S ") throw invalid(name1);
    propertyClass = 1;
    major = object->id;
    minor = 0;
    target = object->name;
    if (!level2.empty()) {
      target = object->name + "." + name2;
      if (level2 == "COLUMN") {
        const TableInfo* table = catalog.FindTable(object->name);
        const ColumnInfo* column = table ? table->Find(coll, name2) : nullptr;
        if (!column) throw invalid(name2);
        minor = column->colid;
      } else if (level2 == "INDEX") {
        const std::vector<IndexEntry> indexes = catalog.Indexes(object->id);
        const auto index = std::find_if(indexes.begin(), indexes.end(), [&](const IndexEntry& i) {
          return coll.Equal(i.name, name2);
        });
        if (index == indexes.end()) throw invalid(name2);
        propertyClass = 7;
        minor = index->indid;
      } else if (level2 == "CONSTRAINT") {
        const auto constraint = catalog.FindObject(name2);
        if (!constraint || constraint->parent != object->id) throw invalid(name2);
        major = constraint->id;
      } else {
        throw DatabaseError(NotSupported("extended properties on a " + ToLowerAscii(level2)));
      }
    }
  }
  const bool exists = catalog.ExtendedProperty(propertyClass, major, minor, property).has_value();
  const auto value =
      bound.count("@VALUE") ? std::optional<std::string>(Argument(bound, "@VALUE")) : std::nullopt;
  Transaction tx(catalog.Db());
  if (procedure == "sp_addextendedproperty") {
    if (exists) throw ServerErrorByNumber(15233, {property, target});
    catalog.SetExtendedProperty(propertyClass, major, minor, property, value);
  } else {
    if (!exists) throw ServerErrorByNumber(15217, {property, target});
    if (procedure == "sp_updateextendedproperty") {
      catalog.SetExtendedProperty(propertyClass, major, minor, property, value);
    } else {
      catalog.DeleteExtendedProperty(propertyClass, major, minor, property);
    }
  }
  tx.Commit();
}

}  // namespace moltaro::db::embedded
