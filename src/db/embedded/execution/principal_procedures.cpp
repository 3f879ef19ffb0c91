// Users, roles and logins: the statements (CREATE ROLE, CREATE USER …) and
// the procedures install scripts of SQL Server 2000 call for the same
// (sp_addrole, sp_addrolemember, sp_grantdbaccess …), each with its own
// messages. Users and roles are recorded by the catalogue; logins stay as
// they are, since every login of this server can do all that sa can.
#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/execution/interpreter.h"
#include "db/embedded/execution/procedure_arguments.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

using Action = PrincipalStatement::Action;

bool IsWindowsName(const std::string& name) {
  return name.find('\\') != std::string::npos;
}

std::string Required(const std::map<std::string, std::string>& given, const char* parameter,
                     const std::string& procedure) {
  const auto it = given.find(parameter);
  if (it == given.end() || it->second.empty()) throw ServerErrorByNumber(15600, {procedure});
  return it->second;
}

std::string Optional(const std::map<std::string, std::string>& given, const char* parameter) {
  const auto it = given.find(parameter);
  return it == given.end() ? std::string() : it->second;
}

}  // namespace

std::optional<std::string> Interpreter::FindLogin(const std::string& name) {
  for (const LoginSummary& l : host_.GetServer().Logins()) {
    if (EqualsIgnoreCaseAscii(l.name, name)) return l.name;
  }
  return std::nullopt;
}

void Interpreter::CreateLogin(const std::string& name, bool windows) {
  if (windows || IsWindowsName(name)) {
    throw DatabaseError(
        NotSupported("Windows logins (the embedded server has no Windows accounts)"));
  }
  if (FindLogin(name)) throw ServerErrorByNumber(15025, {name});
  throw DatabaseError(
      NotSupported("CREATE LOGIN (every login of this server holds all of sa's permissions, so a "
                   "new login would be a second administrator)"));
}

void Interpreter::DropLogin(const std::string& name, int unknownNumber) {
  const std::optional<std::string> login = FindLogin(name);
  if (!login) {
    if (unknownNumber == 15151) throw ServerErrorByNumber(15151, {"drop", "login", name});
    throw ServerErrorByNumber(unknownNumber, {name});
  }
  if (EqualsIgnoreCaseAscii(*login, host_.Login())) throw ServerErrorByNumber(15434, {*login});
  throw DatabaseError(NotSupported("dropping the server's login " + *login));
}

void Interpreter::CreateUserForLogin(const std::string& user, const std::string& login,
                                     const std::string& defaultSchema) {
  if (IsWindowsName(login)) {
    throw DatabaseError(
        NotSupported("Windows logins (the embedded server has no Windows accounts)"));
  }
  const std::optional<std::string> found = FindLogin(login);
  if (!found) throw ServerErrorByNumber(15007, {login});
  Ddl(host_.CurrentCatalog(), {}, host_.Code().get()).CreateUser(user, *found, defaultSchema);
}

void Interpreter::RunPrincipalStatement(const PrincipalStatement& s) {
  Catalog& catalog = host_.CurrentCatalog();
  Ddl ddl(catalog, {}, host_.Code().get());
  switch (s.action) {
    case Action::CreateRole:
      ddl.CreateRole(s.name, s.owner);
      return;
    case Action::DropRole:
      ddl.DropPrincipal(s.name, 'R', s.ifExists);
      return;
    case Action::AddRoleMember:
    case Action::DropRoleMember:
      ddl.ChangeRoleMember(s.name, s.member, s.action == Action::AddRoleMember);
      return;
    case Action::CreateUser:
      if (s.withoutLogin) {
        if (catalog.FindPrincipal(s.name)) throw ServerErrorByNumber(15023, {s.name});
        ddl.CreateUser(s.name, {}, s.defaultSchema);
      } else {
        // Without a login clause the user maps to the login of its own name.
        if (catalog.FindPrincipal(s.name)) throw ServerErrorByNumber(15023, {s.name});
        CreateUserForLogin(s.name, s.login.empty() ? s.name : s.login, s.defaultSchema);
      }
      return;
    case Action::DropUser:
      ddl.DropPrincipal(s.name, 'S', s.ifExists);
      return;
    case Action::CreateLogin:
      CreateLogin(s.name, s.fromWindows);
      return;
    case Action::DropLogin:
      DropLogin(s.name, 15151);
      return;
    case Action::AlterAuthorization:
      if (s.securableClass == "DATABASE") {
        if (!catalog.Coll().Equal(s.name, catalog.DatabaseName())) {
          throw ServerErrorByNumber(15151, {"find", "database", s.name});
        }
        // The owner of every database here is sa, the only login.
        const std::optional<std::string> login =
            s.toSchemaOwner ? std::nullopt : FindLogin(s.owner);
        if (!login) throw ServerErrorByNumber(15151, {"find", "principal", s.owner});
        if (!EqualsIgnoreCaseAscii(*login, "sa")) {
          throw DatabaseError(NotSupported("a database owner other than sa"));
        }
        return;
      }
      ddl.AlterAuthorization(s);
      return;
  }
}

std::optional<Value> Interpreter::PrincipalProcedure(const std::string& key,
                                                     const std::string& name,
                                                     std::vector<CallArgument>& args) {
  Catalog& catalog = host_.CurrentCatalog();
  Ddl ddl(catalog, {}, host_.Code().get());
  const Value done{std::int64_t{0}};
  // As SQL Server's, these two refuse to run inside a transaction.
  if ((key == "sp_addrole" || key == "sp_addrolemember") && host_.TranCount() > 0) {
    throw ServerErrorByNumber(15002, {name});
  }
  if (key == "sp_addrole") {
    const auto given = TextArgumentsByName(name, args, {"@ROLENAME", "@OWNERNAME"});
    const std::string role = Required(given, "@ROLENAME", name);
    const std::string owner = Optional(given, "@OWNERNAME");
    if (catalog.FindPrincipal(role)) throw ServerErrorByNumber(15023, {role});
    if (!owner.empty() && !catalog.FindPrincipal(owner)) throw ServerErrorByNumber(15410, {owner});
    ddl.CreateRole(role, owner);
    return done;
  }
  if (key == "sp_droprole") {
    const auto given = TextArgumentsByName(name, args, {"@ROLENAME"});
    const std::string role = Required(given, "@ROLENAME", name);
    const std::optional<PrincipalEntry> found = catalog.FindPrincipalEntry(role);
    if (!found || found->type != 'R') throw ServerErrorByNumber(15014, {role});
    ddl.DropPrincipal(role, 'R', false);
    return done;
  }
  if (key == "sp_addrolemember" || key == "sp_droprolemember") {
    const auto given = TextArgumentsByName(name, args, {"@ROLENAME", "@MEMBERNAME"});
    const std::string role = Required(given, "@ROLENAME", name);
    const std::string member = Required(given, "@MEMBERNAME", name);
    const std::optional<PrincipalEntry> r = catalog.FindPrincipalEntry(role);
    if (!r || r->type != 'R') throw ServerErrorByNumber(15014, {role});
    if (r->id == 0) throw ServerErrorByNumber(15081);
    const std::optional<PrincipalEntry> m = catalog.FindPrincipalEntry(member);
    if (!m) throw ServerErrorByNumber(15410, {member});
    ddl.ChangeRoleMember(*r, *m, key == "sp_addrolemember");
    return done;
  }
  if (key == "sp_grantdbaccess" || key == "sp_adduser") {
    const bool adduser = key == "sp_adduser";
    const auto given =
        adduser ? TextArgumentsByName(name, args, {"@LOGINAME", "@NAME_IN_DB", "@GRPNAME"})
                : TextArgumentsByName(name, args, {"@LOGINAME", "@NAME_IN_DB"});
    const std::string login = Required(given, "@LOGINAME", name);
    std::string user = Optional(given, "@NAME_IN_DB");
    if (user.empty()) user = login;
    const std::string group = Optional(given, "@GRPNAME");
    std::optional<PrincipalEntry> role;
    if (!group.empty()) {
      role = catalog.FindPrincipalEntry(group);
      if (!role || role->type != 'R') throw ServerErrorByNumber(15014, {group});
    }
    if (catalog.FindPrincipal(user)) throw ServerErrorByNumber(15023, {user});
    CreateUserForLogin(user, login, {});
    if (role && role->id != 0) {
      ddl.ChangeRoleMember(*role, *catalog.FindPrincipalEntry(user), true);
    }
    return done;
  }
  if (key == "sp_revokedbaccess" || key == "sp_dropuser") {
    const char* parameter = "@NAME_IN_DB";
    const auto given = TextArgumentsByName(name, args, {parameter});
    const std::string user = Required(given, parameter, name);
    const std::optional<PrincipalEntry> found = catalog.FindPrincipalEntry(user);
    if (!found || found->type != 'S') throw ServerErrorByNumber(15008, {user});
    ddl.DropPrincipal(user, 'S', false);
    return done;
  }
  if (key == "sp_addlogin") {
    const auto given = TextArgumentsByName(name, args, {"@LOGINAME", "@PASSWD", "@DEFDB"});
    CreateLogin(Required(given, "@LOGINAME", name), false);
    return done;
  }
  if (key == "sp_droplogin") {
    const auto given = TextArgumentsByName(name, args, {"@LOGINAME"});
    DropLogin(Required(given, "@LOGINAME", name), 15007);
    return done;
  }
  if (key == "sp_changedbowner") {
    const auto given = TextArgumentsByName(name, args, {"@LOGINAME", "@MAP"});
    const std::string login = Required(given, "@LOGINAME", name);
    const std::optional<std::string> found = FindLogin(login);
    if (!found) throw ServerErrorByNumber(15007, {login});
    // sa owns every database here already.
    if (!EqualsIgnoreCaseAscii(*found, "sa")) {
      throw DatabaseError(NotSupported("a database owner other than sa"));
    }
    return done;
  }
  return std::nullopt;
}

}  // namespace moltaro::db::embedded
