// CREATE TYPE … FROM and DROP TYPE: user types are other names for system
// types, kept in systypes.
#include <sqlite3.h>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/storage/sqlite_db.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

void Ddl::CreateType(const CreateTypeStatement& s) {
  const std::string& name = s.name.name;
  Transaction tx(catalog_.Db());
  if (IsSystemTypeName(ToLowerAscii(name)) || catalog_.FindUserType(name)) {
    throw ServerErrorByNumber(219, {name});
  }
  // Only a system type can stand behind a user type.
  const SqlType type = ResolveType(s.base, 1);
  catalog_.InsertUserType(name, type, s.nullable.value_or(true));
  catalog_.StampSchema();
  tx.Commit();
}

void Ddl::DropType(const DropTypeStatement& s) {
  const std::string& name = s.name.name;
  Transaction tx(catalog_.Db());
  const auto user = catalog_.FindUserType(name);
  if (!user) {
    if (s.ifExists) return;
    throw ServerErrorByNumber(218, {name});
  }
  // Columns and parameters declared with it keep it alive.
  auto users = catalog_.Db().PrepareCached(
      "SELECT o.name FROM syscolumns c JOIN sysobjects o ON o.id = c.id WHERE c.xusertype = ? "
      "ORDER BY o.id LIMIT 1");
  sqlite3_bind_int(users.get(), 1, user->xusertype);
  if (sqlite3_step(users.get()) == SQLITE_ROW) {
    const auto* object = reinterpret_cast<const char*>(sqlite3_column_text(users.get(), 0));
    throw ServerErrorByNumber(3732, {user->name, object ? object : ""});
  }
  catalog_.DeleteUserType(user->xusertype);
  catalog_.StampSchema();
  tx.Commit();
}

}  // namespace moltaro::db::embedded
