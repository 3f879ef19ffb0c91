// CREATE/DROP ROLE, ALTER ROLE … ADD|DROP MEMBER, CREATE/DROP USER and
// ALTER AUTHORIZATION: decided here as SQL Server decides them, recorded by
// the catalogue. The server checks no permission against them.
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/storage/sqlite_db.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

bool IsFixed(const PrincipalEntry& p) {
  return p.id < kFirstUserPrincipalId || p.id >= kFirstFixedRoleId;
}

// Principals no role can take as a member: public, dbo, INFORMATION_SCHEMA,
// sys and the fixed roles.
bool IsSpecialMember(const PrincipalEntry& p) {
  return p.id != 2 && IsFixed(p);
}

}  // namespace

void Ddl::CreateRole(const std::string& name, const std::string& owner) {
  if (catalog_.FindPrincipal(name)) throw ServerErrorByNumber(15023, {name});
  PrincipalEntry role;
  role.name = name;
  role.type = 'R';
  role.owner = 1;
  if (!owner.empty()) {
    role.owner = catalog_.FindPrincipal(owner);
    if (!role.owner) throw ServerErrorByNumber(15151, {"find", "user", owner});
  }
  Transaction tx(catalog_.Db());
  catalog_.InsertPrincipal(role);
  catalog_.StampSchema();
  tx.Commit();
}

void Ddl::DropPrincipal(const std::string& name, char type, bool ifExists) {
  const char* kind = type == 'R' ? "role" : "user";
  const std::optional<PrincipalEntry> p = catalog_.FindPrincipalEntry(name);
  if (!p || p->type != type) {
    if (ifExists) return;
    throw ServerErrorByNumber(15151, {"drop", kind, name});
  }
  if (IsFixed(*p)) throw ServerErrorByNumber(15150, {"drop", kind, p->name});
  if (type == 'R' && !catalog_.RoleMembers(p->id).empty()) throw ServerErrorByNumber(15144);
  if (catalog_.OwnsSchema(p->id)) throw ServerErrorByNumber(15138, {"schema"});
  if (catalog_.OwnsRole(p->id)) throw ServerErrorByNumber(15421);
  Transaction tx(catalog_.Db());
  catalog_.DeletePrincipal(p->id);
  catalog_.StampSchema();
  tx.Commit();
}

PrincipalEntry Ddl::RoleToChange(const std::string& role) {
  const std::optional<PrincipalEntry> r = catalog_.FindPrincipalEntry(role);
  if (!r || r->type != 'R') throw ServerErrorByNumber(15151, {"alter", "role", role});
  if (r->id == 0) throw ServerErrorByNumber(15081);
  return *r;
}

void Ddl::ChangeRoleMember(const std::string& role, const std::string& member, bool add) {
  const PrincipalEntry r = RoleToChange(role);
  const std::optional<PrincipalEntry> m = catalog_.FindPrincipalEntry(member);
  if (!m) throw ServerErrorByNumber(15151, {add ? "add" : "drop", "principal", member});
  ChangeRoleMember(r, *m, add);
}

void Ddl::ChangeRoleMember(const PrincipalEntry& role, const PrincipalEntry& member, bool add) {
  if (IsSpecialMember(member)) throw ServerErrorByNumber(15405, {member.name});
  // A role may not reach itself through its members.
  if (add && catalog_.ReachesRole(role.id, member.id)) throw ServerErrorByNumber(15413);
  Transaction tx(catalog_.Db());
  if (add) {
    catalog_.InsertRoleMember(role.id, member.id);
  } else {
    catalog_.DeleteRoleMember(role.id, member.id);
  }
  catalog_.StampSchema();
  tx.Commit();
}

void Ddl::CreateUser(const std::string& name, const std::string& login,
                     const std::string& defaultSchema) {
  if (catalog_.FindPrincipal(name)) throw ServerErrorByNumber(15023, {name});
  if (!login.empty()) {
    // A login maps to one user of a database; sa is the database owner, dbo.
    for (const PrincipalEntry& p : catalog_.Principals()) {
      if (!p.login.empty() && catalog_.Coll().Equal(p.login, login)) {
        throw ServerErrorByNumber(15063);
      }
    }
  }
  PrincipalEntry user;
  user.name = name;
  user.type = 'S';
  user.login = login;
  user.defaultSchema = defaultSchema.empty() ? std::string("dbo") : defaultSchema;
  Transaction tx(catalog_.Db());
  catalog_.InsertPrincipal(user);
  catalog_.StampSchema();
  tx.Commit();
}

void Ddl::AlterAuthorization(const PrincipalStatement& s) {
  const std::string& name = s.name;
  std::optional<PrincipalEntry> owner;
  if (!s.toSchemaOwner) {
    owner = catalog_.FindPrincipalEntry(s.owner);
    if (!owner) throw ServerErrorByNumber(15151, {"find", "user", s.owner});
  }
  if (s.securableClass == "ROLE") {
    const std::optional<PrincipalEntry> role = catalog_.FindPrincipalEntry(name);
    if (!role || role->type != 'R') throw ServerErrorByNumber(15151, {"find", "role", name});
    if (IsFixed(*role)) throw ServerErrorByNumber(15150, {"alter", "role", role->name});
    if (!owner) throw ServerErrorByNumber(15151, {"find", "user", "SCHEMA OWNER"});
    Transaction tx(catalog_.Db());
    catalog_.SetPrincipalOwner(role->id, owner->id);
    catalog_.StampSchema();
    tx.Commit();
    return;
  }
  if (s.securableClass == "SCHEMA") {
    const std::optional<SchemaEntry> schema = catalog_.FindSchema(name);
    if (!schema) throw ServerErrorByNumber(15151, {"find", "schema", name});
    if (!owner) throw ServerErrorByNumber(15151, {"find", "user", "SCHEMA OWNER"});
    if (schema->principalId == owner->id) return;
    if (schema->id < kFirstUserSchemaId) {
      throw ServerErrorByNumber(15150, {"alter", "schema", schema->name});
    }
    Transaction tx(catalog_.Db());
    catalog_.SetSchemaOwner(schema->id, owner->id);
    catalog_.StampSchema();
    tx.Commit();
    return;
  }
  if (s.securableClass.empty() || s.securableClass == "OBJECT") {
    if (!catalog_.FindObject(name)) throw ServerErrorByNumber(15151, {"find", "object", name});
    // Objects here all belong to dbo through the schema dbo.
    if (!owner || owner->id == 1) return;
    throw DatabaseError(
        NotSupported("ALTER AUTHORIZATION of an object to an owner other than dbo"));
  }
  throw DatabaseError(NotSupported("ALTER AUTHORIZATION ON " + s.securableClass + "::"));
}

}  // namespace moltaro::db::embedded
