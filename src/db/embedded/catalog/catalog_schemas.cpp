// Schemas as SQL Server numbers them: the fixed ones of every database, then
// those CREATE SCHEMA made (kept in moltaro_schemas). Objects are still found
// by name alone, so a schema is a name the catalogue answers for, not a
// namespace of its own.
#include <sqlite3.h>

#include <algorithm>
#include <array>

#include "db/embedded/catalog/catalog.h"

namespace moltaro::db::embedded {

namespace {

struct FixedSchema {
  int id;
  const char* name;
  int principalId;
};

// The schema of each fixed principal carries the principal's own id.
constexpr std::array kFixedSchemas = {
    FixedSchema{1, "dbo", 1},
    FixedSchema{2, "guest", 2},
    FixedSchema{3, "INFORMATION_SCHEMA", 3},
    FixedSchema{4, "sys", 4},
    FixedSchema{16384, "db_owner", 16384},
    FixedSchema{16385, "db_accessadmin", 16385},
    FixedSchema{16386, "db_securityadmin", 16386},
    FixedSchema{16387, "db_ddladmin", 16387},
    FixedSchema{16389, "db_backupoperator", 16389},
    FixedSchema{16390, "db_datareader", 16390},
    FixedSchema{16391, "db_datawriter", 16391},
    FixedSchema{16392, "db_denydatareader", 16392},
    FixedSchema{16393, "db_denydatawriter", 16393},
};

}  // namespace

std::vector<SchemaEntry> Catalog::FixedSchemas() {
  std::vector<SchemaEntry> fixed;
  for (const FixedSchema& f : kFixedSchemas) fixed.push_back({f.id, f.name, f.principalId});
  return fixed;
}

std::vector<SchemaEntry> Catalog::Schemas() {
  std::vector<SchemaEntry> all = FixedSchemas();
  auto stmt = db_.PrepareCached("SELECT schema_id, name, principal_id FROM moltaro_schemas");
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    SchemaEntry e;
    e.id = sqlite3_column_int(stmt.get(), 0);
    e.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    e.principalId = sqlite3_column_int(stmt.get(), 2);
    all.push_back(std::move(e));
  }
  std::sort(all.begin(), all.end(),
            [](const SchemaEntry& a, const SchemaEntry& b) { return a.id < b.id; });
  return all;
}

std::optional<SchemaEntry> Catalog::FindSchema(const std::string& name) {
  for (SchemaEntry& e : Schemas()) {
    if (collation_->Equal(e.name, name)) return std::move(e);
  }
  return std::nullopt;
}

int Catalog::InsertSchema(const std::string& name, int principalId) {
  auto next = db_.PrepareCached("SELECT max(schema_id) FROM moltaro_schemas");
  int id = kFirstUserSchemaId;
  if (sqlite3_step(next.get()) == SQLITE_ROW && sqlite3_column_type(next.get(), 0) != SQLITE_NULL) {
    id = std::max(id, sqlite3_column_int(next.get(), 0) + 1);
  }
  next.reset();
  auto insert = db_.PrepareCached(
      "INSERT INTO moltaro_schemas (schema_id, name, principal_id) VALUES (?, ?, ?)");
  sqlite3_bind_int(insert.get(), 1, id);
  sqlite3_bind_text(insert.get(), 2, name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(insert.get(), 3, principalId);
  Step(insert.get());
  return id;
}

void Catalog::SetSchemaOwner(int schemaId, int owner) {
  auto update =
      db_.PrepareCached("UPDATE moltaro_schemas SET principal_id = ? WHERE schema_id = ?");
  sqlite3_bind_int(update.get(), 1, owner);
  sqlite3_bind_int(update.get(), 2, schemaId);
  Step(update.get());
}

bool Catalog::OwnsSchema(int principal) {
  auto owned = db_.PrepareCached("SELECT 1 FROM moltaro_schemas WHERE principal_id = ?");
  sqlite3_bind_int(owned.get(), 1, principal);
  return sqlite3_step(owned.get()) == SQLITE_ROW;
}

void Catalog::DeleteSchema(int id) {
  auto erase = db_.PrepareCached("DELETE FROM moltaro_schemas WHERE schema_id = ?");
  sqlite3_bind_int(erase.get(), 1, id);
  Step(erase.get());
}

}  // namespace moltaro::db::embedded
