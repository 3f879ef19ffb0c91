// User types as systypes keeps them: rows numbered from 257, each naming
// the system type it stands for.
#include <sqlite3.h>

#include "db/embedded/catalog/catalog.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

std::optional<UserType> Catalog::FindUserType(const std::string& name) {
  auto stmt = db_.PrepareCached(
      "SELECT name, xusertype, xtype, length, xprec, xscale, allownulls, domain, tdefault FROM "
      "systypes WHERE name "
      "= ? AND xusertype > 256");
  sqlite3_bind_text(stmt.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(stmt.get()) != SQLITE_ROW) return std::nullopt;
  const auto type =
      TypeFromCodes(sqlite3_column_int(stmt.get(), 2), sqlite3_column_int(stmt.get(), 3),
                    sqlite3_column_int(stmt.get(), 4), sqlite3_column_int(stmt.get(), 5));
  if (!type) throw ServerErrorByNumber(824, {db_.File().string()});
  UserType user;
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
  user.name = text ? text : "";
  user.xusertype = sqlite3_column_int(stmt.get(), 1);
  user.type = *type;
  user.allowsNulls = sqlite3_column_int(stmt.get(), 6) != 0;
  user.ruleId = sqlite3_column_int(stmt.get(), 7);
  user.defaultId = sqlite3_column_int(stmt.get(), 8);
  return user;
}

SqlType Catalog::ResolveDeclaredType(const TypeSpec& spec, int position,
                                     std::optional<UserType>* user) {
  if (spec.name == "hierarchyid" || spec.name == "geography" || spec.name == "geometry") {
    throw DatabaseError(NotSupported("the " + spec.name + " type"));
  }
  if (!IsSystemTypeName(spec.name)) {
    if (auto found = FindUserType(spec.name)) {
      // A user type has its size already.
      if (spec.length != -1) throw ServerErrorByNumber(2716, {spec.name});
      const SqlType type = found->type;
      if (user) *user = std::move(found);
      return type;
    }
  }
  return ResolveType(spec, position);
}

}  // namespace moltaro::db::embedded
