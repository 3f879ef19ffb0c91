// Extended properties, as sp_addextendedproperty records them: a name and a
// value on the database, a schema, an object, a column or an index.
// Property names compare exactly, as SQL Server compares them.
#include <sqlite3.h>

#include "db/embedded/catalog/catalog.h"

namespace moltaro::db::embedded {

namespace {

void BindKey(sqlite3_stmt* s, int propertyClass, int majorId, int minorId,
             const std::string& name) {
  sqlite3_bind_int(s, 1, propertyClass);
  sqlite3_bind_int(s, 2, majorId);
  sqlite3_bind_int(s, 3, minorId);
  sqlite3_bind_text(s, 4, name.c_str(), -1, SQLITE_TRANSIENT);
}

}  // namespace

std::optional<std::string> Catalog::ExtendedProperty(int propertyClass, int majorId, int minorId,
                                                     const std::string& name) {
  auto stmt = db_.PrepareCached(
      "SELECT coalesce(value, '') FROM moltaro_extended_properties WHERE class = ? AND major_id "
      "= ? AND minor_id = ? AND name = ?");
  BindKey(stmt.get(), propertyClass, majorId, minorId, name);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0)));
}

void Catalog::SetExtendedProperty(int propertyClass, int majorId, int minorId,
                                  const std::string& name,
                                  const std::optional<std::string>& value) {
  auto stmt = db_.PrepareCached(
      "INSERT OR REPLACE INTO moltaro_extended_properties (class, major_id, minor_id, name, "
      "value) VALUES (?, ?, ?, ?, ?)");
  BindKey(stmt.get(), propertyClass, majorId, minorId, name);
  if (value) {
    sqlite3_bind_text(stmt.get(), 5, value->c_str(), -1, SQLITE_TRANSIENT);
  } else {
    sqlite3_bind_null(stmt.get(), 5);
  }
  Step(stmt.get());
}

void Catalog::DeleteExtendedProperty(int propertyClass, int majorId, int minorId,
                                     const std::string& name) {
  auto stmt = db_.PrepareCached(
      "DELETE FROM moltaro_extended_properties WHERE class = ? AND major_id = ? AND minor_id = ? "
      "AND name = ?");
  BindKey(stmt.get(), propertyClass, majorId, minorId, name);
  Step(stmt.get());
}

}  // namespace moltaro::db::embedded
