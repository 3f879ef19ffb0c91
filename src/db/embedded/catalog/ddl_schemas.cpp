// CREATE SCHEMA and DROP SCHEMA: a name and its owner, recorded by the
// catalogue.
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/storage/sqlite_db.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

void Ddl::CreateSchema(const SchemaStatement& s) {
  const std::string owner = s.owner.empty() ? std::string("dbo") : s.owner;
  const std::optional<int> principal = catalog_.FindPrincipal(owner);
  if (!principal) throw ServerErrorByNumber(15151, {"find", "user", owner});
  if (catalog_.FindSchema(s.name)) throw ServerErrorByNumber(2714, {s.name});
  Transaction tx(catalog_.Db());
  catalog_.InsertSchema(s.name, *principal);
  catalog_.StampSchema();
  tx.Commit();
}

void Ddl::DropSchema(const SchemaStatement& s) {
  const std::optional<SchemaEntry> schema = catalog_.FindSchema(s.name);
  if (!schema) throw ServerErrorByNumber(3701, {"schema", s.name});
  if (schema->id < kFirstUserSchemaId) {
    throw ServerErrorByNumber(3708, {"drop", "schema", schema->name, "schema"});
  }
  Transaction tx(catalog_.Db());
  catalog_.DeleteSchema(schema->id);
  catalog_.StampSchema();
  tx.Commit();
}

}  // namespace moltaro::db::embedded
