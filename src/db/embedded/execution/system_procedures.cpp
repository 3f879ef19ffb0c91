// The server's own procedures that product scripts call by name: the
// application locks and the user types here, those of the catalogue in
// catalog_procedures.cpp. Anything else named sp_… is looked up as a user
// procedure.
#include <chrono>
#include <set>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/execution/app_locks.h"
#include "db/embedded/execution/interpreter.h"
#include "db/embedded/execution/procedure_arguments.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// sp_getapplock's parameters in their positional order.
constexpr const char* kGetAppLockParameters[] = {"@RESOURCE", "@LOCKMODE", "@LOCKOWNER",
                                                 "@LOCKTIMEOUT", "@DBPRINCIPAL"};
constexpr const char* kReleaseAppLockParameters[] = {"@RESOURCE", "@LOCKOWNER", "@DBPRINCIPAL"};

[[noreturn]] void InvalidParameter(const std::string& procedure) {
  throw ServerErrorByNumber(15600, {procedure});
}

std::optional<std::string> TextArgument(const std::map<std::string, Value>& given,
                                        const char* parameter) {
  auto it = given.find(parameter);
  if (it == given.end() || IsNull(it->second)) return std::nullopt;
  return ToText(it->second);
}

}  // namespace

bool IsUnsupportedSystemProcedure(std::string_view name) {
  static const std::set<std::string> names = {"sp_grantlogin",
                                              "sp_revokelogin",
                                              "sp_denylogin",
                                              "sp_defaultdb",
                                              "sp_defaultlanguage",
                                              "sp_password",
                                              "sp_change_users_login",
                                              "sp_addsrvrolemember",
                                              "sp_dropsrvrolemember",
                                              "sp_fulltext_catalog",
                                              "sp_fulltext_table",
                                              "sp_fulltext_column",
                                              "sp_db_vardecimal_storage_format",
                                              "sp_addlinkedserver",
                                              "sp_addlinkedsrvlogin",
                                              "sp_serveroption",
                                              "sp_attach_db",
                                              "sp_detach_db",
                                              "sp_addmessage",
                                              "sp_dropmessage",
                                              "sp_addumpdevice",
                                              "sp_add_job",
                                              "sp_add_jobstep",
                                              "sp_add_jobschedule",
                                              "sp_add_jobserver",
                                              "sp_changeobjectowner",
                                              "sp_settriggerorder",
                                              "sp_depends",
                                              "sp_spaceused",
                                              "sp_who",
                                              "sp_who2",
                                              "sp_lock",
                                              "sp_refreshview",
                                              "xp_cmdshell",
                                              "xp_regread",
                                              "xp_fileexist"};
  return names.count(ToLowerAscii(std::string(name))) > 0;
}

// sp_addtype name, 'base type' [, 'NULL' | 'NOT NULL' | 'NONULL'] and
// sp_droptype name: CREATE TYPE … FROM and DROP TYPE by another way.
std::optional<Value> Interpreter::TypeProcedure(const std::string& key, const std::string& name,
                                                std::vector<CallArgument>& args, Context& c) {
  Catalog& catalog = host_.CurrentCatalog();
  if (key == "sp_droptype") {
    const auto given = ArgumentsByName(name, args, {"@TYPENAME"});
    DropTypeStatement drop;
    drop.name.name = TextArgument(given, "@TYPENAME").value_or("");
    if (drop.name.name.empty()) InvalidParameter(name);
    Ddl(catalog, c.text, host_.Code().get()).DropType(drop);
    return Value{std::int64_t{0}};
  }
  const auto given = ArgumentsByName(name, args, {"@TYPENAME", "@PHYSTYPE", "@NULLTYPE", "@OWNER"});
  const auto typeName = TextArgument(given, "@TYPENAME");
  const auto physical = TextArgument(given, "@PHYSTYPE");
  if (!typeName || typeName->empty() || !physical) InvalidParameter(name);
  // The base type is read as the parser reads a declared type; anything
  // more than one type is refused rather than run.
  Batch parsed =
      ParseBatch("CREATE TYPE [" + ReplaceAll(*typeName, "]", "]]") + "] FROM " + *physical);
  if (parsed.statements.size() != 1 ||
      parsed.statements.front()->kind != StatementKind::CreateType) {
    throw ServerErrorByNumber(2715, {"1", *physical});
  }
  auto& create = static_cast<CreateTypeStatement&>(*parsed.statements.front());
  if (create.nullable) throw ServerErrorByNumber(2715, {"1", *physical});
  const std::string nulls = ToUpperAscii(Trim(TextArgument(given, "@NULLTYPE").value_or("NULL")));
  if (nulls == "NOT NULL" || nulls == "NONULL") {
    create.nullable = false;
  } else if (nulls == "NULL") {
    create.nullable = true;
  } else {
    InvalidParameter(name);
  }
  Ddl(catalog, c.text, host_.Code().get()).CreateType(create);
  return Value{std::int64_t{0}};
}

std::optional<Value> Interpreter::SystemProcedure(const std::string& name,
                                                  std::vector<CallArgument>& args, Context& c) {
  if (std::optional<Value> result = CatalogProcedure(name, args, c)) return result;
  const std::string key = ToLowerAscii(name);
  if (key == "sp_addtype" || key == "sp_droptype") return TypeProcedure(key, name, args, c);
  if (key == "sp_helptrigger") return HelpTrigger(args, c);
  if (std::optional<Value> result = AdministrationProcedure(key, args, c)) return result;
  if (std::optional<Value> result = PrincipalProcedure(key, name, args)) return result;
  if (key == "sp_helplanguage") return HelpLanguage(args, c);
  const bool get = key == "sp_getapplock";
  if (!get && key != "sp_releaseapplock") return std::nullopt;

  // Named or positional, as for any procedure.
  std::map<std::string, Value> given;
  std::size_t position = 0;
  for (const CallArgument& a : args) {
    std::string parameter;
    if (!a.name.empty()) {
      parameter = ToUpperAscii(a.name);
    } else if (get && position < std::size(kGetAppLockParameters)) {
      parameter = kGetAppLockParameters[position++];
    } else if (!get && position < std::size(kReleaseAppLockParameters)) {
      parameter = kReleaseAppLockParameters[position++];
    } else {
      throw ServerErrorByNumber(8144, {name});
    }
    if (parameter == "@RETURN_VALUE") continue;
    if (a.value) given[parameter] = ToApiValue(*a.value);
  }
  const auto text = [&given](const char* parameter) -> std::optional<std::string> {
    auto it = given.find(parameter);
    if (it == given.end() || IsNull(it->second)) return std::nullopt;
    return ToText(it->second);
  };

  const std::optional<std::string> resource = text("@RESOURCE");
  if (!resource || resource->empty()) InvalidParameter(name);
  // Names longer than nvarchar(255) are cut, as the server cuts them.
  const std::string lockName = Utf8Left(*resource, 255);

  const std::string mode = ToLowerAscii(text("@LOCKMODE").value_or(""));
  const bool shared = mode == "shared" || mode == "intentshared";
  if (get && !shared && mode != "exclusive" && mode != "update" && mode != "intentexclusive") {
    InvalidParameter(name);
  }
  const std::string ownerText = ToLowerAscii(text("@LOCKOWNER").value_or("Transaction"));
  AppLockOwner owner = AppLockOwner::Transaction;
  if (ownerText == "session") {
    owner = AppLockOwner::Session;
  } else if (ownerText != "transaction") {
    InvalidParameter(name);
  }
  if (owner == AppLockOwner::Transaction && host_.TranCount() == 0) {
    c.out->messages.push_back(
        "You attempted to acquire a transactional application lock without an active "
        "transaction.");
    return Value{std::int64_t{kAppLockCallError}};
  }

  const std::string database = host_.CurrentCatalog().DatabaseName();
  if (!get) {
    if (host_.ApplicationLocks().Release(database, lockName, owner)) {
      return Value{std::int64_t{0}};
    }
    throw ServerErrorByNumber(1223, {"public", lockName});
  }

  std::int64_t timeout = host_.LockTimeout();  // @@LOCK_TIMEOUT unless given
  if (auto it = given.find("@LOCKTIMEOUT"); it != given.end() && !IsNull(it->second)) {
    timeout = ToInteger(it->second);
  }
  return Value{std::int64_t{host_.ApplicationLocks().Acquire(database, lockName, shared, owner,
                                                             std::chrono::milliseconds(timeout),
                                                             [this] { host_.CheckDeadline(); })}};
}

}  // namespace moltaro::db::embedded
