#include "db/embedded/catalog/metadata_functions.h"

#include <sqlite3.h>

#include <optional>
#include <utility>

#include "common/text.h"
#include "db/embedded/catalog/catalog.h"
#include "db/embedded/types/collation.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

struct Property {
  const char* name;  // upper case
  const char* sql;   // over the row `o` of sysobjects (or `c` of syscolumns)
};

constexpr const char* kTables = "o.xtype IN ('U ', 'S ')";

// "1 when …" for a table, NULL for any other object, as SQL Server answers a
// property that does not apply.
std::string OfTable(const std::string& condition) {
  return std::string("CASE WHEN ") + kTables + " THEN (" + condition + ") END";
}

std::string HasChild(const char* xtype) {
  return OfTable(std::string("EXISTS (SELECT 1 FROM sysobjects k WHERE k.parent_obj = o.id AND "
                             "k.xtype = '") +
                 xtype + "')");
}

const std::vector<std::pair<std::string, std::string>>& ObjectProperties() {
  static const std::vector<std::pair<std::string, std::string>> properties = {
      {"ISUSERTABLE", "o.xtype = 'U '"},
      {"ISSYSTEMTABLE", "o.xtype = 'S '"},
      {"ISTABLE", kTables},
      {"ISVIEW", "o.xtype = 'V '"},
      {"ISPROCEDURE", "o.xtype = 'P '"},
      {"ISSCALARFUNCTION", "o.xtype = 'FN'"},
      {"ISINLINEFUNCTION", "o.xtype = 'IF'"},
      {"ISTABLEFUNCTION", "o.xtype IN ('TF', 'IF')"},
      {"ISTRIGGER", "o.xtype = 'TR'"},
      {"ISPRIMARYKEY", "o.xtype = 'PK'"},
      {"ISFOREIGNKEY", "o.xtype = 'F '"},
      {"ISCHECKCNST", "o.xtype = 'C '"},
      {"ISUNIQUECNST", "o.xtype = 'UQ'"},
      {"ISDEFAULTCNST", "o.xtype = 'D ' AND o.parent_obj <> 0"},
      {"ISDEFAULT", "o.xtype = 'D ' AND o.parent_obj = 0"},
      {"ISRULE", "o.xtype = 'R '"},
      {"ISCONSTRAINT",
       "o.xtype IN ('C ', 'F ', 'PK', 'UQ') OR (o.xtype = 'D ' AND o.parent_obj <> 0)"},
      {"ISMSSHIPPED", "o.xtype = 'S '"},
      {"OWNERID", "o.uid"},
      {"SCHEMAID", "o.uid"},
      {"ISINDEXABLE", "o.xtype IN ('U ', 'S ', 'V ')"},
      {"ISINDEXED",
       "CASE WHEN o.xtype IN ('U ', 'S ', 'V ') THEN EXISTS (SELECT 1 FROM sysindexes i WHERE "
       "i.id = o.id AND i.indid > 0) END"},
      {"TABLEHASINDEX", OfTable("EXISTS (SELECT 1 FROM sysindexes i WHERE i.id = o.id AND "
                                "i.indid > 0)")},
      {"TABLEHASCLUSTINDEX", OfTable("EXISTS (SELECT 1 FROM sysindexes i WHERE i.id = o.id AND "
                                     "i.indid = 1)")},
      {"TABLEHASNONCLUSTINDEX", OfTable("EXISTS (SELECT 1 FROM sysindexes i WHERE i.id = o.id "
                                        "AND i.indid > 1)")},
      {"TABLEHASIDENTITY", OfTable("EXISTS (SELECT 1 FROM syscolumns c WHERE c.id = o.id AND "
                                   "(c.status & 128) <> 0)")},
      {"TABLEHASTEXTIMAGE", OfTable("EXISTS (SELECT 1 FROM syscolumns c WHERE c.id = o.id AND "
                                    "c.xtype IN (34, 35, 99))")},
      {"TABLEHASPRIMARYKEY", HasChild("PK")},
      {"TABLEHASUNIQUECNST", HasChild("UQ")},
      {"TABLEHASCHECKCNST", HasChild("C ")},
      {"TABLEHASDEFAULTCNST", HasChild("D ")},
      {"TABLEHASFOREIGNKEY", HasChild("F ")},
      {"TABLEHASFOREIGNREF", OfTable("EXISTS (SELECT 1 FROM moltaro_foreign_keys f WHERE "
                                     "f.parent_id = o.id)")},
      {"TABLEHASROWGUIDCOL", OfTable("0")},
      {"TABLEHASACTIVEFULLTEXTINDEX", OfTable("0")},
      // Every routine and view runs with these ON here, whatever it was created under.
      {"EXECISQUOTEDIDENTON",
       "CASE WHEN o.xtype IN ('P ', 'FN', 'IF', 'TF', 'V ', 'TR') THEN 1 END"},
      {"EXECISANSINULLSON", "CASE WHEN o.xtype IN ('P ', 'FN', 'IF', 'TF', 'V ', 'TR') THEN 1 END"},
      {"ISSCHEMABOUND", "CASE WHEN o.xtype IN ('FN', 'IF', 'TF', 'V ') THEN 0 END"},
      {"CNSTISDISABLED", "CASE WHEN o.xtype IN ('C ', 'F ') THEN 0 END"},
      {"CNSTISNOTTRUSTED", "CASE WHEN o.xtype IN ('C ', 'F ') THEN 0 END"},
  };
  return properties;
}

constexpr const char* kCharacterTypes = "(167, 175, 231, 239, 35, 99)";

const std::vector<std::pair<std::string, std::string>>& ColumnProperties() {
  static const std::vector<std::pair<std::string, std::string>> properties = {
      {"ALLOWSNULL", "c.isnullable"},
      {"ISIDENTITY", "(c.status & 128) <> 0"},
      {"PRECISION", "c.prec"},
      {"SCALE",
       std::string("CASE WHEN c.xtype IN ") + kCharacterTypes + " THEN NULL ELSE c.xscale END"},
      {"CHARMAXLEN", std::string("CASE WHEN c.xtype IN ") + kCharacterTypes + " THEN c.prec END"},
      {"COLUMNID", "c.colid"},
      {"ISCOMPUTED", "c.iscomputed"},
      {"ISOUTPARAM", "c.isoutparam"},
      {"ISROWGUIDCOL", "0"},
      {"ISIDNOTFORREPL", "0"},
      {"ISFULLTEXTINDEXED", "0"},
  };
  return properties;
}

// CASE upper(<property>) WHEN 'NAME' THEN (<sql>) … END
std::string ByProperty(const std::string& property,
                       const std::vector<std::pair<std::string, std::string>>& properties) {
  std::string sql = "CASE upper(" + property + ")";
  for (const auto& [name, value] : properties) {
    sql += " WHEN '" + name + "' THEN (" + value + ")";
  }
  return sql + " END";
}

std::string Quote(std::string_view text) {
  std::string out = "'";
  for (const char ch : text) out += ch == '\'' ? std::string("''") : std::string(1, ch);
  return out + "'";
}

std::string ServerProperty(const std::string& property) {
  const std::vector<std::pair<std::string, std::string>> values = {
      {"PRODUCTVERSION", Quote(kProductVersion)},
      {"PRODUCTLEVEL", Quote(kProductLevel)},
      {"EDITION", Quote(kEdition)},
      {"ENGINEEDITION", std::to_string(kEngineEdition)},
      {"COLLATION", Quote(kServerCollation)},
      {"SERVERNAME", Quote(kServerName)},
      {"MACHINENAME", Quote(kServerName)},
      {"INSTANCENAME", "NULL"},
      {"ISCLUSTERED", "0"},
      {"ISFULLTEXTINSTALLED", "0"},
      {"ISINTEGRATEDSECURITYONLY", "0"},
      {"ISSINGLEUSER", "0"},
      {"LICENSETYPE", "'DISABLED'"},
  };
  return ByProperty(property, values);
}

// DATABASEPROPERTYEX(database, property): from master's record of the
// database, as sys.databases reads it.
std::string DatabaseProperty(const std::string& database, const std::string& property) {
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"COLLATION", "collation_name"},
      {"RECOVERY", "recovery_model_desc"},
      {"STATUS", "state_desc"},
      {"USERACCESS", "user_access_desc"},
      {"ISAUTOCLOSE", "is_auto_close_on"},
      {"ISAUTOSHRINK", "is_auto_shrink_on"},
      {"ISAUTOCREATESTATISTICS", "is_auto_create_stats_on"},
      {"ISAUTOUPDATESTATISTICS", "is_auto_update_stats_on"},
      {"ISANSINULLSENABLED", "is_ansi_nulls_on"},
      {"ISANSIPADDINGENABLED", "is_ansi_padding_on"},
      {"ISANSIWARNINGSENABLED", "is_ansi_warnings_on"},
      {"ISARITHMETICABORTENABLED", "is_arithabort_on"},
      {"ISNULLCONCAT", "is_concat_null_yields_null_on"},
      {"ISQUOTEDIDENTIFIERSENABLED", "is_quoted_identifier_on"},
      {"ISRECURSIVETRIGGERSENABLED", "is_recursive_triggers_on"},
  };
  std::vector<std::pair<std::string, std::string>> values;
  for (const auto& [name, field] : fields) {
    values.emplace_back(name, "json_extract(d.value, '$." + field + "')");
  }
  values.emplace_back("UPDATEABILITY", "'READ_WRITE'");
  return "(SELECT " + ByProperty(property, values) +
         " FROM json_each(tsql_databases()) d WHERE upper(json_extract(d.value, '$.name')) = "
         "upper(" +
         database + "))";
}

void RequireArguments(std::string_view name, const std::vector<std::string>& args,
                      std::size_t count) {
  if (args.size() != count) {
    throw ServerErrorByNumber(174, {name, std::to_string(count)});
  }
}

// The schemas by id: those CREATE SCHEMA recorded and the fixed ones.
std::string SchemaRows() {
  std::string rows = "SELECT schema_id AS id, name FROM moltaro_schemas";
  for (const auto& [id, name] : std::vector<std::pair<int, const char*>>{
           {1, "dbo"}, {2, "guest"}, {3, "INFORMATION_SCHEMA"}, {4, "sys"}}) {
    rows += " UNION ALL SELECT " + std::to_string(id) + ", '" + name + "'";
  }
  return "(" + rows + ")";
}

// An object named in another database than the statement's is refused
// rather than looked up here.
std::string InThisDatabase(std::string_view function, const std::vector<std::string>& args,
                           const std::string& sql) {
  if (args.size() < 2) return sql;
  return "CASE WHEN " + args[1] + " IS NULL THEN NULL WHEN " + args[1] + " = tsql_db_id() THEN " +
         sql + " ELSE tsql_raise(0, " +
         Quote("This statement is not supported by the embedded server: " + std::string(function) +
               " of another database.") +
         ") END";
}

std::string IdentityField(const std::string& table, const char* field) {
  return "(SELECT i." + std::string(field) +
         " FROM moltaro_identity i WHERE i.id = (SELECT min(o.id) FROM sysobjects o WHERE o.name = "
         "tsql_objname(" +
         table + ") AND o.xtype IN ('U ', 'S ')))";
}

// INDEXPROPERTY(object, index, property) over the index's sysindexes row `i`.
std::string IndexProperty(const std::vector<std::string>& args) {
  const std::vector<std::pair<std::string, std::string>> properties = {
      {"ISCLUSTERED", "i.indid = 1"},
      {"ISUNIQUE", "(i.status & 2) <> 0"},
      {"INDEXID", "i.indid"},
      {"ISSTATISTICS", "0"},
      {"ISAUTOSTATISTICS", "0"},
      {"ISHYPOTHETICAL", "0"},
      {"ISFULLTEXTKEY", "0"},
      {"ISPADINDEX", "0"},
      {"ISDISABLED", "0"},
      {"ISROWLOCKDISALLOWED", "0"},
      {"ISPAGELOCKDISALLOWED", "0"},
      {"INDEXFILLFACTOR", "0"},
      {"ISCOLUMNSTORE", "0"},
      {"ISOPTIMIZEDFORSEQUENTIALKEY", "0"},
  };
  return "(SELECT " + ByProperty(args[2], properties) +
         " FROM sysindexes i WHERE i.id = " + args[0] + " AND i.indid > 0 AND i.name = " + args[1] +
         ")";
}

// The SET options of the session as this server runs every statement:
// each is fixed, whatever SET said.
std::string SessionProperty(const std::string& option) {
  const std::vector<std::pair<std::string, std::string>> values = {
      {"ANSI_NULLS", "1"},
      {"ANSI_PADDING", "1"},
      {"ANSI_WARNINGS", "1"},
      {"ARITHABORT", "1"},
      {"CONCAT_NULL_YIELDS_NULL", "1"},
      {"NUMERIC_ROUNDABORT", "0"},
      {"QUOTED_IDENTIFIER", "1"},
  };
  return ByProperty(option, values);
}

// FILEPROPERTY(file, property): the database is one file whose logical
// name is the database's; there is no log file of its own.
std::string FileProperty(const std::string& file, const std::string& property) {
  const std::vector<std::pair<std::string, std::string>> values = {
      {"ISREADONLY", "0"},
      {"ISPRIMARYFILE", "1"},
      {"ISLOGFILE", "0"},
      {"SPACEUSED",
       "(SELECT page_count - freelist_count FROM pragma_page_count(), "
       "pragma_freelist_count())"},
  };
  return "CASE WHEN upper(" + file + ") = upper(tsql_db_name(tsql_db_id())) THEN " +
         ByProperty(property, values) + " END";
}

// The functions that name objects, schemas, types and columns by id and
// back, and the identity and index properties of a table.
std::optional<MetadataCall> ObjectNameFunctionSql(std::string_view upperName,
                                                  const std::vector<std::string>& args) {
  using R = MetadataResult;
  const auto between = [&](std::size_t low, std::size_t high) {
    if (args.size() < low || args.size() > high) {
      throw ServerErrorByNumber(
          189, {ToLowerAscii(std::string(upperName)), std::to_string(low), std::to_string(high)});
    }
  };
  if (upperName == "OBJECT_NAME") {
    between(1, 2);
    return MetadataCall{
        InThisDatabase(upperName, args,
                       "(SELECT o.name FROM sysobjects o WHERE o.id = " + args[0] + ")"),
        R::Text};
  }
  if (upperName == "OBJECT_SCHEMA_NAME") {
    between(1, 2);
    return MetadataCall{InThisDatabase(upperName, args,
                                       "(SELECT s.name FROM sysobjects o JOIN " + SchemaRows() +
                                           " s ON s.id = o.uid WHERE o.id = " + args[0] + ")"),
                        R::Text};
  }
  if (upperName == "SCHEMA_NAME") {
    between(0, 1);
    if (args.empty()) return MetadataCall{"'dbo'", R::Text};
    return MetadataCall{"(SELECT s.name FROM " + SchemaRows() + " s WHERE s.id = " + args[0] + ")",
                        R::Text};
  }
  if (upperName == "SCHEMA_ID") {
    between(0, 1);
    if (args.empty()) return MetadataCall{"1", R::Number};
    return MetadataCall{"(SELECT s.id FROM " + SchemaRows() + " s WHERE s.name = " + args[0] + ")",
                        R::Number};
  }
  if (upperName == "TYPE_NAME") {
    RequireArguments(upperName, args, 1);
    return MetadataCall{"(SELECT t.name FROM systypes t WHERE t.xusertype = " + args[0] + ")",
                        R::Text};
  }
  if (upperName == "TYPE_ID") {
    RequireArguments(upperName, args, 1);
    return MetadataCall{
        "(SELECT t.xusertype FROM systypes t WHERE t.name = tsql_objname(" + args[0] + "))",
        R::Number};
  }
  if (upperName == "COL_NAME") {
    RequireArguments(upperName, args, 2);
    return MetadataCall{
        "(SELECT c.name FROM syscolumns c JOIN sysobjects o ON o.id = c.id AND "
        "o.xtype IN ('U ', 'S ', 'V ', 'IF', 'TF') WHERE c.id = " +
            args[0] + " AND c.colid = " + args[1] + ")",
        R::Text};
  }
  if (upperName == "INDEX_COL") {
    RequireArguments(upperName, args, 3);
    return MetadataCall{
        "(SELECT c.name FROM sysindexkeys k JOIN syscolumns c ON c.id = k.id AND c.colid = "
        "k.colid WHERE k.id = (SELECT min(o.id) FROM sysobjects o WHERE o.name = tsql_objname(" +
            args[0] + ") AND o.xtype IN ('U ', 'S ', 'V ')) AND k.indid = " + args[1] +
            " AND k.keyno = " + args[2] + ")",
        R::Text};
  }
  if (upperName == "INDEXPROPERTY") {
    RequireArguments(upperName, args, 3);
    return MetadataCall{IndexProperty(args), R::Number};
  }
  if (upperName == "IDENT_CURRENT") {
    RequireArguments(upperName, args, 1);
    // The seed until the table takes its first row, as SQL Server answers.
    return MetadataCall{
        "(SELECT CASE WHEN i.used THEN i.last ELSE i.seed END FROM "
        "moltaro_identity i WHERE i.id = (SELECT min(o.id) FROM sysobjects o "
        "WHERE o.name = tsql_objname(" +
            args[0] + ") AND o.xtype IN ('U ', 'S ')))",
        R::Number};
  }
  if (upperName == "IDENT_SEED" || upperName == "IDENT_INCR") {
    RequireArguments(upperName, args, 1);
    return MetadataCall{IdentityField(args[0], upperName == "IDENT_SEED" ? "seed" : "increment"),
                        R::Number};
  }
  if (upperName == "SESSIONPROPERTY") {
    RequireArguments(upperName, args, 1);
    return MetadataCall{SessionProperty(args[0]), R::Number};
  }
  if (upperName == "FILEPROPERTY") {
    RequireArguments(upperName, args, 2);
    return MetadataCall{FileProperty(args[0], args[1]), R::Number};
  }
  return std::nullopt;
}

// The logins of the server, from master through the connection's
// tsql_logins(); tsql_login() is the session's own.
constexpr const char* kLogins =
    "(SELECT json_extract(l.value, '$.name') AS name, json_extract(l.value, '$.principal_id') AS "
    "principal_id FROM json_each(tsql_logins()) l)";

constexpr const char* kFixedServerRoles =
    "('PUBLIC', 'SYSADMIN', 'SECURITYADMIN', 'SERVERADMIN', 'SETUPADMIN', 'PROCESSADMIN', "
    "'DISKADMIN', 'DBCREATOR', 'BULKADMIN')";

// The current user: the one its login maps to (sa: dbo).
std::string CurrentUserId() {
  return "(SELECT u.principal_id FROM " + Catalog::PrincipalsSql() +
         " u WHERE u.login_name = tsql_login())";
}

std::string PrincipalIdByName(const std::string& name) {
  return "(SELECT u.principal_id FROM " + Catalog::PrincipalsSql() +
         " u WHERE upper(u.name) = upper(" + name + "))";
}

// USER_ID, DATABASE_PRINCIPAL_ID, IS_MEMBER, IS_SRVROLEMEMBER, SUSER_ID,
// SUSER_SNAME; none for another name.
std::optional<MetadataCall> PrincipalFunctionSql(std::string_view upperName,
                                                 const std::vector<std::string>& args) {
  using R = MetadataResult;
  if (upperName == "USER_ID" || upperName == "DATABASE_PRINCIPAL_ID") {
    if (args.size() > 1) RequireArguments(upperName, args, 1);
    return MetadataCall{args.empty() ? CurrentUserId() : PrincipalIdByName(args[0]), R::Number};
  }
  if (upperName == "USER_NAME") {
    return MetadataCall{"(SELECT u.name FROM " + Catalog::PrincipalsSql() +
                            " u WHERE u.principal_id = " + args[0] + ")",
                        R::Text};
  }
  if (upperName == "IS_MEMBER") {
    // The current user's roles: public, those recorded, and the roles those
    // belong to in turn; dbo is a member of db_owner.
    RequireArguments(upperName, args, 1);
    return MetadataCall{
        "(SELECT CASE WHEN r.type <> 'R' THEN NULL WHEN r.principal_id IN (WITH RECURSIVE "
        "member(id) AS (SELECT " +
            CurrentUserId() +
            " UNION SELECT 0 UNION SELECT m.role_principal_id FROM (SELECT role_principal_id, "
            "member_principal_id FROM moltaro_role_members UNION ALL SELECT 16384, 1) m JOIN "
            "member ON m.member_principal_id = member.id) SELECT id FROM member) THEN 1 ELSE 0 "
            "END FROM " +
            Catalog::PrincipalsSql() + " r WHERE upper(r.name) = upper(" + args[0] + "))",
        R::Number};
  }
  if (upperName == "IS_SRVROLEMEMBER") {
    // Every login of this server holds all of sa's permissions: each is
    // in sysadmin (and public), in no other fixed server role.
    if (args.empty() || args.size() > 2) RequireArguments(upperName, args, 2);
    const std::string login = args.size() == 2 ? args[1] : std::string("tsql_login()");
    return MetadataCall{"(CASE WHEN NOT EXISTS (SELECT 1 FROM " + std::string(kLogins) +
                            " l WHERE upper(l.name) = upper(" + login + ")) OR upper(" + args[0] +
                            ") NOT IN " + kFixedServerRoles + " THEN NULL WHEN upper(" + args[0] +
                            ") IN ('SYSADMIN', 'PUBLIC') THEN 1 ELSE 0 END)",
                        R::Number};
  }
  if (upperName == "SUSER_ID") {
    if (args.size() > 1) RequireArguments(upperName, args, 1);
    const std::string login = args.empty() ? std::string("tsql_login()") : args[0];
    return MetadataCall{"(SELECT l.principal_id FROM " + std::string(kLogins) +
                            " l WHERE upper(l.name) = upper(" + login + "))",
                        R::Number};
  }
  if (upperName == "SUSER_SNAME" || upperName == "SUSER_NAME") {
    return MetadataCall{"tsql_login()", R::Text};
  }
  return std::nullopt;
}

}  // namespace

std::string VersionText() {
  return "Microsoft SQL Server  2000 - " + std::string(kProductVersion) + " (" +
         std::string(kEdition) + ": Moltaro embedded server on SQLite " + sqlite3_libversion() +
         ")";
}

bool IsMetadataFunction(std::string_view upperName, std::size_t argumentCount) {
  for (const char* name : {"OBJECTPROPERTY", "OBJECTPROPERTYEX", "COLUMNPROPERTY", "COL_LENGTH", "SERVERPROPERTY", "DATABASEPROPERTYEX", "DB_ID", "FULLTEXTSERVICEPROPERTY", "HAS_DBACCESS", "OBJECT_NAME", "OBJECT_SCHEMA_NAME", "SCHEMA_NAME", "SCHEMA_ID", "TYPE_NAME", "TYPE_ID", "COL_NAME", "INDEX_COL", "INDEXPROPERTY", "IDENT_CURRENT", "IDENT_SEED", "IDENT_INCR", "SESSIONPROPERTY", "FILEPROPERTY", "USER_ID", "DATABASE_PRINCIPAL_ID", "IS_MEMBER", "IS_SRVROLEMEMBER", "SUSER_ID", "SUSER_SNAME", "SUSER_NAME"}) {
    if (upperName == name) return true;
  }
  // DB_NAME() of the current database is known when the statement is translated;
  // USER_NAME() is the current user's.
  return (upperName == "DB_NAME" || upperName == "USER_NAME") && argumentCount == 1;
}

MetadataCall MetadataFunctionSql(std::string_view upperName, const std::vector<std::string>& args) {
  using R = MetadataResult;
  if (std::optional<MetadataCall> call = ObjectNameFunctionSql(upperName, args)) return *call;
  if (upperName == "OBJECTPROPERTY" || upperName == "OBJECTPROPERTYEX") {
    RequireArguments(upperName, args, 2);
    return {"(SELECT " + ByProperty(args[1], ObjectProperties()) +
                " FROM sysobjects o WHERE o.id = " + args[0] + ")",
            R::Number};
  }
  if (upperName == "COLUMNPROPERTY") {
    RequireArguments(upperName, args, 3);
    return {"(SELECT " + ByProperty(args[2], ColumnProperties()) +
                " FROM syscolumns c WHERE c.id = " + args[0] + " AND c.name = " + args[1] + ")",
            R::Number};
  }
  if (upperName == "COL_LENGTH") {
    RequireArguments(upperName, args, 2);
    return {
        "(SELECT c.length FROM syscolumns c WHERE c.id = (SELECT min(o.id) FROM sysobjects o "
        "WHERE o.name = tsql_objname(" +
            args[0] + ") AND o.xtype IN ('U ', 'S ', 'V ')) AND c.name = " + args[1] + ")",
        R::Number};
  }
  if (upperName == "SERVERPROPERTY") {
    RequireArguments(upperName, args, 1);
    return {ServerProperty(args[0]), R::Either};
  }
  if (upperName == "DATABASEPROPERTYEX") {
    RequireArguments(upperName, args, 2);
    return {DatabaseProperty(args[0], args[1]), R::Either};
  }
  if (upperName == "FULLTEXTSERVICEPROPERTY") {
    // There is no full-text service: installed 0, its other properties unknown.
    RequireArguments(upperName, args, 1);
    return {"CASE upper(" + args[0] + ") WHEN 'ISFULLTEXTINSTALLED' THEN 0 END", R::Number};
  }
  if (upperName == "HAS_DBACCESS") {
    // A login that can log in may open every database of this server.
    RequireArguments(upperName, args, 1);
    return {"CASE WHEN tsql_db_id(" + args[0] + ") IS NOT NULL THEN 1 END", R::Number};
  }
  if (std::optional<MetadataCall> call = PrincipalFunctionSql(upperName, args)) return *call;
  if (upperName == "DB_ID") {
    if (args.size() > 1) RequireArguments(upperName, args, 1);
    return {args.empty() ? "tsql_db_id()" : "tsql_db_id(" + args[0] + ")", R::Number};
  }
  RequireArguments(upperName, args, 1);
  return {"tsql_db_name(" + args[0] + ")", R::Text};
}

}  // namespace moltaro::db::embedded
