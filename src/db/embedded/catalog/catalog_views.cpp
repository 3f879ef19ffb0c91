#include "db/embedded/catalog/catalog_views.h"

#include <cstdlib>
#include <functional>
#include <map>

#include "common/text.h"
#include "db/embedded/catalog/catalog.h"
#include "db/embedded/types/languages.h"

namespace moltaro::db::embedded {

namespace {

struct Column {
  std::string name;
  SqlType type;
  std::string sql;  // over the FROM clause of the view
};

const SqlType kSysname{BaseType::NVarChar, 128, 0, 0};
const SqlType kInt{BaseType::Int, 0, 0, 0};
const SqlType kSmallInt{BaseType::SmallInt, 0, 0, 0};
const SqlType kTinyInt{BaseType::TinyInt, 0, 0, 0};
const SqlType kBit{BaseType::Bit, 0, 0, 0};
const SqlType kDateTime{BaseType::DateTime, 0, 0, 0};
const SqlType kDesc{BaseType::NVarChar, 60, 0, 0};
const SqlType kType{BaseType::Char, 2, 0, 0};
const SqlType kText{BaseType::NVarChar, -1, 0, 0};

std::string Quote(std::string_view text) {
  std::string out = "'";
  for (const char ch : text) out += ch == '\'' ? std::string("''") : std::string(1, ch);
  return out + "'";
}

CatalogView Make(const std::vector<Column>& columns, const std::string& from) {
  CatalogView view;
  view.sql = "SELECT ";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::string sqlName = "c" + std::to_string(i);
    view.sql += (i ? ", " : "") + columns[i].sql + " AS " + sqlName;
    view.columns.push_back({columns[i].name, sqlName, columns[i].type});
  }
  view.sql += " FROM " + from;
  return view;
}

constexpr const char* kTypeDesc =
    "CASE o.xtype WHEN 'U ' THEN 'USER_TABLE' WHEN 'S ' THEN 'SYSTEM_TABLE' WHEN 'V ' THEN "
    "'VIEW' WHEN 'P ' THEN 'SQL_STORED_PROCEDURE' WHEN 'FN' THEN 'SQL_SCALAR_FUNCTION' WHEN 'IF' "
    "THEN 'SQL_INLINE_TABLE_VALUED_FUNCTION' WHEN 'TF' THEN 'SQL_TABLE_VALUED_FUNCTION' WHEN 'TR' "
    "THEN 'SQL_TRIGGER' WHEN 'PK' THEN 'PRIMARY_KEY_CONSTRAINT' WHEN 'UQ' THEN "
    "'UNIQUE_CONSTRAINT' WHEN 'F ' THEN 'FOREIGN_KEY_CONSTRAINT' WHEN 'C ' THEN "
    "'CHECK_CONSTRAINT' WHEN 'D ' THEN 'DEFAULT_CONSTRAINT' WHEN 'R ' THEN 'RULE' END";

// The columns every view of objects begins with, over sysobjects `o`.
std::vector<Column> ObjectColumns() {
  return {{"name", kSysname, "o.name"},
          {"object_id", kInt, "o.id"},
          {"principal_id", kInt, "NULL"},
          {"schema_id", kInt, "o.uid"},
          {"parent_object_id", kInt, "o.parent_obj"},
          {"type", kType, "o.xtype"},
          {"type_desc", kDesc, kTypeDesc},
          {"create_date", kDateTime, "o.crdate"},
          {"modify_date", kDateTime, "coalesce(o.refdate, o.crdate)"},
          {"is_ms_shipped", kBit, "o.xtype = 'S '"},
          {"is_published", kBit, "0"},
          {"is_schema_published", kBit, "0"}};
}

std::vector<Column> With(std::vector<Column> first, const std::vector<Column>& more) {
  first.insert(first.end(), more.begin(), more.end());
  return first;
}

// The text of a routine, view, default or CHECK as syscomments keeps it.
constexpr const char* kDefinition =
    "(SELECT group_concat(t.text, '') FROM (SELECT text FROM syscomments WHERE id = o.id "
    "ORDER BY colid) t)";

constexpr const char* kCharacterTypes = "(167, 175, 231, 239, 35, 99)";

// A CHECK or foreign key that NOCHECK CONSTRAINT disabled (and that is then
// not trusted either).
constexpr const char* kDisabled = "(o.status & 2048) <> 0";

// A referential action's name: NO_ACTION, CASCADE, SET_NULL, SET_DEFAULT
// (`blank` " " for INFORMATION_SCHEMA's NO ACTION).
std::string ActionDesc(const std::string& action, const std::string& blank) {
  return "CASE " + action + " WHEN 1 THEN 'CASCADE' WHEN 2 THEN 'SET" + blank +
         "NULL' WHEN 3 THEN 'SET" + blank + "DEFAULT' ELSE 'NO" + blank + "ACTION' END";
}

using Builder = std::function<CatalogView(const std::string& database)>;

CatalogView SysObjects(const std::string&) {
  return Make(ObjectColumns(), "sysobjects o");
}

CatalogView SysTables(const std::string&) {
  return Make(
      With(ObjectColumns(), {{"lob_data_space_id", kInt, "0"},
                             {"max_column_id_used", kInt,
                              "(SELECT coalesce(max(colid), 0) FROM syscolumns WHERE id = o.id)"},
                             {"lock_on_bulk_load", kBit, "0"},
                             {"uses_ansi_nulls", kBit, "1"},
                             {"is_replicated", kBit, "0"},
                             {"has_replication_filter", kBit, "0"},
                             {"is_merge_published", kBit, "0"},
                             {"is_sync_tran_subscribed", kBit, "0"},
                             {"text_in_row_limit", kInt, "0"},
                             {"large_value_types_out_of_row", kBit, "0"},
                             {"lock_escalation", kTinyInt, "0"},
                             {"lock_escalation_desc", kDesc, "'TABLE'"}}),
      "sysobjects o WHERE o.xtype = 'U '");
}

CatalogView SysViews(const std::string&) {
  return Make(With(ObjectColumns(), {{"is_replicated", kBit, "0"},
                                     {"has_replication_filter", kBit, "0"},
                                     {"has_opaque_metadata", kBit, "0"},
                                     {"has_unchecked_assembly_data", kBit, "0"},
                                     {"with_check_option", kBit, "0"},
                                     {"is_date_correlation_view", kBit, "0"}}),
              "sysobjects o WHERE o.xtype = 'V '");
}

CatalogView SysProcedures(const std::string&) {
  return Make(With(ObjectColumns(), {{"is_auto_executed", kBit, "0"},
                                     {"is_execution_replicated", kBit, "0"},
                                     {"is_repl_serializable_subscription", kBit, "0"},
                                     {"skips_repl_constraints", kBit, "0"}}),
              "sysobjects o WHERE o.xtype = 'P '");
}

CatalogView SysForeignKeys(const std::string&) {
  return Make(With(ObjectColumns(),
                   {{"referenced_object_id", kInt, "f.parent_id"},
                    {"key_index_id", kInt, "NULL"},
                    {"is_disabled", kBit, kDisabled},
                    {"is_not_for_replication", kBit, "0"},
                    {"is_not_trusted", kBit, kDisabled},
                    {"delete_referential_action", kTinyInt, "f.delete_action"},
                    {"delete_referential_action_desc", kDesc, ActionDesc("f.delete_action", "_")},
                    {"update_referential_action", kTinyInt, "f.update_action"},
                    {"update_referential_action_desc", kDesc, ActionDesc("f.update_action", "_")},
                    {"is_system_named", kBit, "0"}}),
              "sysobjects o JOIN moltaro_foreign_keys f ON f.id = o.id WHERE o.xtype = 'F '");
}

CatalogView SysDefaultConstraints(const std::string&) {
  return Make(With(ObjectColumns(), {{"parent_column_id", kInt, "o.info"},
                                     {"definition", kText, kDefinition},
                                     {"is_system_named", kBit, "0"}}),
              "sysobjects o WHERE o.xtype = 'D ' AND o.parent_obj <> 0");
}

CatalogView SysCheckConstraints(const std::string&) {
  return Make(With(ObjectColumns(), {{"is_disabled", kBit, kDisabled},
                                     {"is_not_for_replication", kBit, "0"},
                                     {"is_not_trusted", kBit, kDisabled},
                                     {"parent_column_id", kInt, "o.info"},
                                     {"definition", kText, kDefinition},
                                     {"uses_database_collation", kBit, "1"},
                                     {"is_system_named", kBit, "0"}}),
              "sysobjects o WHERE o.xtype = 'C '");
}

CatalogView SysKeyConstraints(const std::string&) {
  return Make(With(ObjectColumns(),
                   {{"unique_index_id", kInt,
                     "(SELECT min(i.indid) FROM sysindexes i WHERE i.id = o.parent_obj AND "
                     "i.name = o.name)"},
                    {"is_system_named", kBit, "0"}}),
              "sysobjects o WHERE o.xtype IN ('PK', 'UQ')");
}

CatalogView SysSqlModules(const std::string&) {
  return Make({{"object_id", kInt, "o.id"},
               {"definition", kText, kDefinition},
               {"uses_ansi_nulls", kBit, "1"},
               {"uses_quoted_identifier", kBit, "1"},
               {"is_schema_bound", kBit, "0"},
               {"uses_database_collation", kBit, "1"},
               {"is_recompiled", kBit, "0"},
               {"null_on_null_input", kBit, "0"},
               {"execute_as_principal_id", kInt, "NULL"}},
              "sysobjects o WHERE o.xtype IN ('P ', 'FN', 'IF', 'TF', 'V ', 'TR', 'D ', 'C ', "
              "'R ') AND EXISTS (SELECT 1 FROM syscomments WHERE id = o.id)");
}

// The columns of sys.columns over syscolumns `c`; sys.computed_columns has
// them too.
std::vector<Column> ColumnViewColumns() {
  return {{"object_id", kInt, "c.id"},
          {"name", kSysname, "c.name"},
          {"column_id", kInt, "c.colid"},
          {"system_type_id", kTinyInt, "c.xtype"},
          {"user_type_id", kInt, "c.xusertype"},
          {"max_length", kSmallInt, "c.length"},
          {"precision", kTinyInt, "c.xprec"},
          {"scale", kTinyInt, "c.xscale"},
          {"collation_name", kSysname, "c.collation"},
          {"is_nullable", kBit, "c.isnullable"},
          {"is_ansi_padded", kBit, std::string("c.xtype IN ") + kCharacterTypes},
          {"is_rowguidcol", kBit, "0"},
          {"is_identity", kBit, "(c.status & 128) <> 0"},
          {"is_computed", kBit, "c.iscomputed"},
          {"is_filestream", kBit, "0"},
          {"is_replicated", kBit, "0"},
          {"is_non_sql_subscribed", kBit, "0"},
          {"is_merge_published", kBit, "0"},
          {"is_dts_replicated", kBit, "0"},
          {"is_xml_document", kBit, "0"},
          {"xml_collection_id", kInt, "0"},
          {"default_object_id", kInt, "c.cdefault"},
          {"rule_object_id", kInt, "c.domain"}};
}

CatalogView SysColumns(const std::string&) {
  return Make(ColumnViewColumns(),
              "syscolumns c JOIN sysobjects o ON o.id = c.id WHERE o.xtype IN ('U ', 'S ', 'V ', "
              "'IF', 'TF')");
}

CatalogView SysIndexes(const std::string&) {
  return Make(
      {{"object_id", kInt, "i.id"},
       {"name", kSysname, "CASE WHEN i.indid = 0 THEN NULL ELSE i.name END"},
       {"index_id", kInt, "i.indid"},
       {"type", kTinyInt, "CASE WHEN i.indid = 0 THEN 0 WHEN i.indid = 1 THEN 1 ELSE 2 END"},
       {"type_desc", kDesc,
        "CASE WHEN i.indid = 0 THEN 'HEAP' WHEN i.indid = 1 THEN 'CLUSTERED' ELSE "
        "'NONCLUSTERED' END"},
       {"is_unique", kBit, "(i.status & 2) <> 0"},
       {"data_space_id", kInt, "1"},
       {"ignore_dup_key", kBit, "0"},
       {"is_primary_key", kBit, "(i.status & 2048) <> 0"},
       {"is_unique_constraint", kBit, "(i.status & 4096) <> 0"},
       {"fill_factor", kTinyInt, "0"},
       {"is_padded", kBit, "0"},
       {"is_disabled", kBit, "0"},
       {"is_hypothetical", kBit, "0"},
       {"allow_row_locks", kBit, "1"},
       {"allow_page_locks", kBit, "1"},
       {"has_filter", kBit, "0"},
       {"filter_definition", kText, "NULL"}},
      "sysindexes i");
}

CatalogView SysIndexColumns(const std::string&) {
  return Make({{"object_id", kInt, "k.id"},
               {"index_id", kInt, "k.indid"},
               {"index_column_id", kInt, "k.keyno"},
               {"column_id", kInt, "k.colid"},
               {"key_ordinal", kTinyInt, "k.keyno"},
               {"partition_ordinal", kTinyInt, "0"},
               {"is_descending_key", kBit,
                "coalesce((SELECT x.desc FROM sysindexes i, pragma_index_xinfo(i.sqlite_name) x "
                "WHERE i.id = k.id AND i.indid = k.indid AND x.seqno = k.keyno - 1), 0)"},
               {"is_included_column", kBit, "0"}},
              "sysindexkeys k");
}

CatalogView SysTypes(const std::string&) {
  return Make({{"name", kSysname, "t.name"},
               {"system_type_id", kTinyInt, "t.xtype"},
               {"user_type_id", kInt, "t.xusertype"},
               {"schema_id", kInt, "t.uid"},
               {"principal_id", kInt, "NULL"},
               {"max_length", kSmallInt, "t.length"},
               {"precision", kTinyInt, "t.xprec"},
               {"scale", kTinyInt, "t.xscale"},
               {"collation_name", kSysname, "t.collation"},
               {"is_nullable", kBit, "t.allownulls"},
               {"is_user_defined", kBit, "t.xusertype > 256"},
               {"is_assembly_type", kBit, "0"},
               {"default_object_id", kInt, "t.tdefault"},
               {"rule_object_id", kInt, "t.domain"},
               {"is_table_type", kBit, "0"}},
              "systypes t");
}

CatalogView SysSchemas(const std::string&) {
  std::string fixed;
  for (const SchemaEntry& s : Catalog::FixedSchemas()) {
    fixed += " UNION ALL SELECT " + Quote(s.name) + ", " + std::to_string(s.id) + ", " +
             std::to_string(s.principalId);
  }
  return Make({{"name", kSysname, "s.name"},
               {"schema_id", kInt, "s.schema_id"},
               {"principal_id", kInt, "s.principal_id"}},
              "(SELECT name, schema_id, principal_id FROM moltaro_schemas" + fixed +
                  ") s ORDER BY s.schema_id");
}

CatalogView SysTriggers(const std::string&) {
  return Make({{"name", kSysname, "o.name"},
               {"object_id", kInt, "o.id"},
               {"parent_class", kTinyInt, "1"},
               {"parent_class_desc", kDesc, "'OBJECT_OR_COLUMN'"},
               {"parent_id", kInt, "o.parent_obj"},
               {"type", kType, "o.xtype"},
               {"type_desc", kDesc, "'SQL_TRIGGER'"},
               {"create_date", kDateTime, "o.crdate"},
               {"modify_date", kDateTime, "coalesce(o.refdate, o.crdate)"},
               {"is_ms_shipped", kBit, "0"},
               {"is_disabled", kBit, "0"},
               {"is_not_for_replication", kBit, "0"}},
              "sysobjects o WHERE o.xtype = 'TR'");
}

// The database principals: the fixed users and roles every database has and
// those CREATE USER / CREATE ROLE recorded.
CatalogView SysDatabasePrincipals(const std::string&) {
  const std::string role = "p.type = 'R'";
  return Make(
      {{"name", kSysname, "p.name"},
       {"principal_id", kInt, "p.principal_id"},
       {"type", SqlType{BaseType::Char, 1, 0, 0}, "p.type"},
       {"type_desc", kDesc, "CASE WHEN " + role + " THEN 'DATABASE_ROLE' ELSE 'SQL_USER' END"},
       {"default_schema_name", kSysname, "p.default_schema_name"},
       {"create_date", kDateTime, "p.create_date"},
       {"modify_date", kDateTime, "p.create_date"},
       {"owning_principal_id", kInt, "p.owning_principal_id"},
       {"sid", SqlType{BaseType::VarBinary, 85, 0, 0}, "NULL"},
       {"is_fixed_role", kBit, "p.principal_id >= 16384"},
       {"authentication_type", kInt,
        "CASE WHEN " + role + " OR p.login_name IS NULL THEN 0 ELSE 1 END"},
       {"authentication_type_desc", kDesc,
        "CASE WHEN " + role + " OR p.login_name IS NULL THEN 'NONE' ELSE 'INSTANCE' END"}},
      Catalog::PrincipalsSql() + " p");
}

CatalogView SysDatabaseRoleMembers(const std::string&) {
  return Make({{"role_principal_id", kInt, "m.role_principal_id"},
               {"member_principal_id", kInt, "m.member_principal_id"}},
              "(SELECT role_principal_id, member_principal_id FROM moltaro_role_members UNION ALL "
              "SELECT 16384, 1) m");
}

// SQL Server 2000's sysusers: users and roles, with the flags its scripts
// test (issqlrole, issqluser, hasdbaccess …).
CatalogView SysUsers(const std::string&) {
  const std::string user = "p.type = 'S'";
  const std::string flag = "CASE WHEN " + user + " THEN 1 ELSE 0 END";
  return Make({{"uid", kSmallInt, "p.principal_id"},
               {"status", kSmallInt, "0"},
               {"name", kSysname, "p.name"},
               {"sid", SqlType{BaseType::VarBinary, 85, 0, 0}, "NULL"},
               {"roles", SqlType{BaseType::VarBinary, 2048, 0, 0}, "NULL"},
               {"createdate", kDateTime, "p.create_date"},
               {"updatedate", kDateTime, "p.create_date"},
               {"altuid", kSmallInt, "p.owning_principal_id"},
               {"password", SqlType{BaseType::VarBinary, 256, 0, 0}, "NULL"},
               {"gid", kSmallInt, "CASE WHEN " + user + " THEN 0 ELSE p.principal_id END"},
               {"environ", SqlType{BaseType::VarChar, 255, 0, 0}, "NULL"},
               {"hasdbaccess", kInt,
                "CASE WHEN " + user +
                    " AND p.principal_id <> 2 AND p.principal_id <> 3 AND "
                    "p.principal_id <> 4 THEN 1 ELSE 0 END"},
               {"islogin", kInt, "CASE WHEN p.login_name IS NULL THEN 0 ELSE 1 END"},
               {"isntname", kInt, "0"},
               {"isntgroup", kInt, "0"},
               {"isntuser", kInt, "0"},
               {"issqluser", kInt, flag},
               {"isaliased", kInt, "0"},
               {"issqlrole", kInt, "CASE WHEN p.type = 'R' THEN 1 ELSE 0 END"},
               {"isapprole", kInt, "0"}},
              Catalog::PrincipalsSql() + " p");
}

// SQL Server 2000's sysmembers: a row for each member of a role.
CatalogView SysMembers(const std::string&) {
  return Make({{"memberuid", kSmallInt, "m.member_principal_id"},
               {"groupuid", kSmallInt, "m.role_principal_id"}},
              "(SELECT role_principal_id, member_principal_id FROM moltaro_role_members UNION ALL "
              "SELECT 16384, 1) m");
}

// The fixed server roles with SQL Server's principal ids; sa, the only
// sysadmin, is principal 1.
constexpr const char* kServerPrincipals =
    "(SELECT json_extract(l.value, '$.name') AS name, json_extract(l.value, '$.principal_id') AS "
    "principal_id, 'S' AS type, json_extract(l.value, '$.dbname') AS dbname, "
    "json_extract(l.value, '$.createdate') AS createdate FROM json_each(tsql_logins()) l "
    "UNION ALL SELECT 'public', 2, 'R', NULL, NULL UNION ALL SELECT 'sysadmin', 3, 'R', NULL, NULL "
    "UNION ALL SELECT 'securityadmin', 4, 'R', NULL, NULL UNION ALL SELECT 'serveradmin', 5, 'R', "
    "NULL, NULL UNION ALL SELECT 'setupadmin', 6, 'R', NULL, NULL UNION ALL SELECT "
    "'processadmin', 7, 'R', NULL, NULL UNION ALL SELECT 'diskadmin', 8, 'R', NULL, NULL UNION "
    "ALL SELECT 'dbcreator', 9, 'R', NULL, NULL UNION ALL SELECT 'bulkadmin', 10, 'R', NULL, NULL)";

std::vector<Column> LoginColumns(bool roles) {
  std::vector<Column> columns = {
      {"name", kSysname, "s.name"},
      {"principal_id", kInt, "s.principal_id"},
      {"sid", SqlType{BaseType::VarBinary, 85, 0, 0}, "NULL"},
      {"type", SqlType{BaseType::Char, 1, 0, 0}, "s.type"},
      {"type_desc", kDesc, "CASE s.type WHEN 'R' THEN 'SERVER_ROLE' ELSE 'SQL_LOGIN' END"},
      {"is_disabled", kBit, "0"},
      {"create_date", kDateTime, "s.createdate"},
      {"modify_date", kDateTime, "s.createdate"},
      {"default_database_name", kSysname, "s.dbname"},
      {"default_language_name", kSysname, "CASE s.type WHEN 'S' THEN 'us_english' END"},
      {"credential_id", kInt, "NULL"}};
  if (roles) {
    columns.push_back({"owning_principal_id", kInt, "CASE s.type WHEN 'R' THEN 1 END"});
    columns.push_back({"is_fixed_role", kBit, "s.type = 'R'"});
  } else {
    columns.push_back({"is_policy_checked", kBit, "0"});
    columns.push_back({"is_expiration_checked", kBit, "0"});
    // The hash stays in master, readable only there.
    columns.push_back({"password_hash", SqlType{BaseType::VarBinary, 256, 0, 0}, "NULL"});
  }
  return columns;
}

CatalogView SysServerPrincipals(const std::string&) {
  return Make(LoginColumns(true), std::string(kServerPrincipals) + " s");
}

CatalogView SysSqlLogins(const std::string&) {
  return Make(LoginColumns(false), std::string(kServerPrincipals) + " s WHERE s.type = 'S'");
}

// SQL Server 2000's syslogins, as master keeps it, without the password.
CatalogView SysLogins(const std::string&) {
  const auto role = [](const char* name) {
    return std::string("CASE WHEN s.principal_id = 1 AND '") + name +
           "' = 'sysadmin' THEN 1 ELSE 0 END";
  };
  return Make({{"sid", SqlType{BaseType::VarBinary, 85, 0, 0}, "NULL"},
               {"status", kSmallInt, "0"},
               {"createdate", kDateTime, "s.createdate"},
               {"updatedate", kDateTime, "s.createdate"},
               {"accdate", kDateTime, "s.createdate"},
               {"name", kSysname, "s.name"},
               {"dbname", kSysname, "s.dbname"},
               {"password", kSysname, "NULL"},
               {"language", kSysname, "'us_english'"},
               {"denylogin", kInt, "0"},
               {"hasaccess", kInt, "1"},
               {"isntname", kInt, "0"},
               {"isntgroup", kInt, "0"},
               {"isntuser", kInt, "0"},
               {"sysadmin", kInt, role("sysadmin")},
               {"securityadmin", kInt, "0"},
               {"serveradmin", kInt, "0"},
               {"setupadmin", kInt, "0"},
               {"processadmin", kInt, "0"},
               {"diskadmin", kInt, "0"},
               {"dbcreator", kInt, "0"},
               {"bulkadmin", kInt, "0"},
               {"loginname", kSysname, "s.name"}},
              std::string(kServerPrincipals) + " s WHERE s.type = 'S'");
}

// The languages SET LANGUAGE takes, as the server's own table of them.
CatalogView SysLanguages(const std::string&) {
  std::string rows;
  for (const Language& l : Languages()) {
    rows += std::string(rows.empty() ? "SELECT " : " UNION ALL SELECT ") +
            std::to_string(l.langid) + " AS langid, " + Quote(DateOrderName(l.dateFormat)) +
            " AS dateformat, " + std::to_string(l.dateFirst) + " AS datefirst, " + Quote(l.name) +
            " AS name, " + Quote(l.alias) + " AS alias, " + Quote(l.months) + " AS months, " +
            Quote(l.shortMonths) + " AS shortmonths, " + Quote(l.days) + " AS days, " +
            std::to_string(l.lcid) + " AS lcid, " + std::to_string(l.msgLangid) + " AS msglangid";
  }
  return Make({{"langid", kSmallInt, "l.langid"},
               {"dateformat", SqlType{BaseType::NChar, 3, 0, 0}, "l.dateformat"},
               {"datefirst", kTinyInt, "l.datefirst"},
               {"upgrade", kInt, "0"},
               {"name", kSysname, "l.name"},
               {"alias", kSysname, "l.alias"},
               {"months", SqlType{BaseType::NVarChar, 372, 0, 0}, "l.months"},
               {"shortmonths", SqlType{BaseType::NVarChar, 132, 0, 0}, "l.shortmonths"},
               {"days", SqlType{BaseType::NVarChar, 217, 0, 0}, "l.days"},
               {"lcid", kInt, "l.lcid"},
               {"msglangid", kSmallInt, "l.msglangid"}},
              "(" + rows + ") l");
}

// The columns of each foreign key, one row a column in key order: the
// catalogue keeps them as names, a line each.
constexpr const char* kForeignKeyColumns =
    "(WITH RECURSIVE split(id, child_id, parent_id, n, c_rest, p_rest, c_name, p_name) AS ("
    "SELECT id, child_id, parent_id, 0, child_columns || char(10), parent_columns || char(10), "
    "NULL, NULL FROM moltaro_foreign_keys UNION ALL SELECT id, child_id, parent_id, n + 1, "
    "substr(c_rest, instr(c_rest, char(10)) + 1), substr(p_rest, instr(p_rest, char(10)) + 1), "
    "substr(c_rest, 1, instr(c_rest, char(10)) - 1), substr(p_rest, 1, instr(p_rest, char(10)) "
    "- 1) FROM split WHERE c_rest <> '') SELECT s.id, s.n, s.child_id, cc.colid AS child_colid, "
    "cc.name AS child_name, s.parent_id, pc.colid AS parent_colid FROM split s JOIN syscolumns cc "
    "ON cc.id = s.child_id AND cc.name = s.c_name JOIN syscolumns pc ON pc.id = s.parent_id AND "
    "pc.name = s.p_name WHERE s.n > 0) k";

CatalogView SysForeignKeyColumns(const std::string&) {
  return Make({{"constraint_object_id", kInt, "k.id"},
               {"constraint_column_id", kInt, "k.n"},
               {"parent_object_id", kInt, "k.child_id"},
               {"parent_column_id", kInt, "k.child_colid"},
               {"referenced_object_id", kInt, "k.parent_id"},
               {"referenced_column_id", kInt, "k.parent_colid"}},
              kForeignKeyColumns);
}

CatalogView SysIdentityColumns(const std::string&) {
  return Make(
      {{"object_id", kInt, "c.id"},
       {"name", kSysname, "c.name"},
       {"column_id", kInt, "c.colid"},
       {"system_type_id", kTinyInt, "c.xtype"},
       {"max_length", kSmallInt, "c.length"},
       {"precision", kTinyInt, "c.xprec"},
       {"scale", kTinyInt, "c.xscale"},
       {"is_nullable", kBit, "c.isnullable"},
       {"is_identity", kBit, "1"},
       {"seed_value", SqlType{BaseType::BigInt, 0, 0, 0}, "i.seed"},
       {"increment_value", SqlType{BaseType::BigInt, 0, 0, 0}, "i.increment"},
       {"last_value", SqlType{BaseType::BigInt, 0, 0, 0}, "CASE WHEN i.used THEN i.last END"},
       {"is_not_for_replication", kBit, "0"}},
      "moltaro_identity i JOIN syscolumns c ON c.id = i.id AND c.colid = i.colid");
}

CatalogView SysParameters(const std::string&) {
  return Make({{"object_id", kInt, "c.id"},
               {"name", kSysname, "c.name"},
               {"parameter_id", kInt, "c.colid"},
               {"system_type_id", kTinyInt, "c.xtype"},
               {"user_type_id", kInt, "c.xusertype"},
               {"max_length", kSmallInt, "c.length"},
               {"precision", kTinyInt, "c.xprec"},
               {"scale", kTinyInt, "c.xscale"},
               {"is_output", kBit, "c.isoutparam"},
               {"is_cursor_ref", kBit, "0"},
               {"has_default_value", kBit, "0"},
               {"is_xml_document", kBit, "0"},
               {"default_value", SqlType{BaseType::NVarChar, 4000, 0, 0}, "NULL"}},
              "syscolumns c JOIN sysobjects o ON o.id = c.id WHERE o.xtype IN ('P ', 'FN', 'IF', "
              "'TF')");
}

// One row per heap or index of a table: a single partition each, with the
// table's rows.
CatalogView SysPartitions(const std::string&) {
  const SqlType bigint{BaseType::BigInt, 0, 0, 0};
  return Make({{"partition_id", bigint, "i.id * 65536 + i.indid"},
               {"object_id", kInt, "i.id"},
               {"index_id", kInt, "i.indid"},
               {"partition_number", kInt, "1"},
               {"hobt_id", bigint, "i.id * 65536 + i.indid"},
               {"rows", bigint, "tsql_rowcount(o.name)"},
               {"filestream_filegroup_id", kSmallInt, "0"},
               {"data_compression", kTinyInt, "0"},
               {"data_compression_desc", kDesc, "'NONE'"}},
              "sysindexes i JOIN sysobjects o ON o.id = i.id AND o.xtype IN ('U ', 'S ')");
}

// The statistics of each index (SQLite keeps its own; they are not named).
CatalogView SysStats(const std::string&) {
  return Make({{"object_id", kInt, "i.id"},
               {"name", kSysname, "i.name"},
               {"stats_id", kInt, "i.indid"},
               {"auto_created", kBit, "0"},
               {"user_created", kBit, "0"},
               {"no_recompute", kBit, "0"},
               {"has_filter", kBit, "0"},
               {"filter_definition", kText, "NULL"},
               {"is_temporary", kBit, "0"}},
              "sysindexes i JOIN sysobjects o ON o.id = i.id AND o.xtype IN ('U ', 'S ', 'V ') "
              "WHERE i.indid > 0");
}

CatalogView SysComputedColumns(const std::string&) {
  // A computed column has no identity, default or rule.
  std::vector<Column> columns = ColumnViewColumns();
  for (Column& c : columns) {
    if (c.name == "is_identity" || c.name == "default_object_id" || c.name == "rule_object_id") {
      c.sql = "0";
    } else if (c.name == "is_computed") {
      c.sql = "1";
    }
  }
  columns.insert(
      columns.end(),
      {{"definition", kText,
        "(SELECT group_concat(t.text, '') FROM (SELECT text FROM syscomments WHERE id = c.id "
        "AND number = c.colid ORDER BY colid) t)"},
       {"uses_database_collation", kBit, "1"},
       {"is_persisted", kBit,
        "EXISTS (SELECT 1 FROM pragma_table_xinfo(o.name) x WHERE x.name = c.name AND "
        "x.hidden = 3)"}});
  return Make(columns,
              "syscolumns c JOIN sysobjects o ON o.id = c.id WHERE o.xtype = 'U ' AND "
              "c.iscomputed = 1");
}

CatalogView SysExtendedProperties(const std::string&) {
  return Make({{"class", kTinyInt, "p.class"},
               {"class_desc", kDesc,
                "CASE p.class WHEN 0 THEN 'DATABASE' WHEN 1 THEN 'OBJECT_OR_COLUMN' WHEN 3 THEN "
                "'SCHEMA' WHEN 7 THEN 'INDEX' END"},
               {"major_id", kInt, "p.major_id"},
               {"minor_id", kInt, "p.minor_id"},
               {"name", kSysname, "p.name"},
               {"value", SqlType{BaseType::NVarChar, 4000, 0, 0}, "p.value"}},
              "moltaro_extended_properties p");
}

// The server's databases, from master by tsql_databases().
CatalogView SysDatabases(const std::string&) {
  const auto field = [](const std::string& name) {
    return "json_extract(d.value, '$." + name + "')";
  };
  std::vector<Column> columns = {{"name", kSysname, field("name")},
                                 {"database_id", kInt, field("database_id")},
                                 {"source_database_id", kInt, "NULL"},
                                 {"owner_sid", SqlType{BaseType::VarChar, 85, 0, 0}, "NULL"},
                                 {"create_date", kDateTime, field("create_date")},
                                 {"compatibility_level", kTinyInt, field("compatibility_level")},
                                 {"collation_name", kSysname, field("collation_name")}};
  for (const std::string name : {"user_access",
                                 "is_read_only",
                                 "is_auto_close_on",
                                 "is_auto_shrink_on",
                                 "state",
                                 "is_in_standby",
                                 "snapshot_isolation_state",
                                 "is_read_committed_snapshot_on",
                                 "recovery_model",
                                 "page_verify_option",
                                 "is_auto_create_stats_on",
                                 "is_auto_update_stats_on",
                                 "is_ansi_nulls_on",
                                 "is_ansi_padding_on",
                                 "is_ansi_warnings_on",
                                 "is_arithabort_on",
                                 "is_concat_null_yields_null_on",
                                 "is_quoted_identifier_on",
                                 "is_recursive_triggers_on",
                                 "is_trustworthy_on",
                                 "is_db_chaining_on",
                                 "is_broker_enabled"}) {
    const bool flag = name.rfind("is_", 0) == 0;
    columns.push_back({name, flag ? kBit : kTinyInt, field(name)});
    if (!flag) columns.push_back({name + "_desc", kDesc, field(name + "_desc")});
  }
  return Make(columns, "json_each(tsql_databases()) d");
}

// The database's tables and views by INFORMATION_SCHEMA: every name in dbo.
CatalogView InformationTables(const std::string& database) {
  return Make({{"TABLE_CATALOG", kSysname, Quote(database)},
               {"TABLE_SCHEMA", kSysname, "'dbo'"},
               {"TABLE_NAME", kSysname, "o.name"},
               {"TABLE_TYPE", SqlType{BaseType::VarChar, 10, 0, 0},
                "CASE WHEN o.xtype = 'V ' THEN 'VIEW' ELSE 'BASE TABLE' END"}},
              "sysobjects o WHERE o.xtype IN ('U ', 'V ')");
}

CatalogView InformationColumns(const std::string& database) {
  // The type's name: systypes by the column's user type.
  const std::string typeName = "(SELECT t.name FROM systypes t WHERE t.xusertype = c.xusertype)";
  const std::string character = std::string("c.xtype IN ") + kCharacterTypes;
  return Make(
      {{"TABLE_CATALOG", kSysname, Quote(database)},
       {"TABLE_SCHEMA", kSysname, "'dbo'"},
       {"TABLE_NAME", kSysname, "o.name"},
       {"COLUMN_NAME", kSysname, "c.name"},
       {"ORDINAL_POSITION", kInt, "c.colid"},
       {"COLUMN_DEFAULT", SqlType{BaseType::NVarChar, 4000, 0, 0},
        "CASE WHEN c.cdefault <> 0 THEN (SELECT group_concat(t.text, '') FROM (SELECT text FROM "
        "syscomments WHERE id = c.cdefault ORDER BY colid) t) END"},
       {"IS_NULLABLE", SqlType{BaseType::VarChar, 3, 0, 0},
        "CASE WHEN c.isnullable THEN 'YES' ELSE 'NO' END"},
       {"DATA_TYPE", kSysname, typeName},
       {"CHARACTER_MAXIMUM_LENGTH", kInt,
        "CASE WHEN c.xtype = 35 THEN 2147483647 WHEN c.xtype = 99 THEN 1073741823 WHEN " +
            character + " THEN c.prec END"},
       {"CHARACTER_OCTET_LENGTH", kInt,
        "CASE WHEN c.xtype IN (35, 99) THEN 2147483647 WHEN " + character + " THEN c.length END"},
       {"NUMERIC_PRECISION", kTinyInt,
        "CASE WHEN c.xtype IN (48, 52, 56, 127, 106, 108, 60, 122, 62, 59) THEN c.xprec END"},
       {"NUMERIC_PRECISION_RADIX", kSmallInt,
        "CASE WHEN c.xtype IN (62, 59) THEN 2 WHEN c.xtype IN (48, 52, 56, 127, 106, 108, 60, "
        "122) THEN 10 END"},
       {"NUMERIC_SCALE", kInt,
        "CASE WHEN c.xtype IN (48, 52, 56, 127, 106, 108, 60, 122) THEN "
        "c.xscale END"},
       {"DATETIME_PRECISION", kSmallInt,
        "CASE WHEN c.xtype = 61 THEN 3 WHEN c.xtype = 58 THEN 0 END"},
       {"CHARACTER_SET_NAME", kSysname,
        "CASE WHEN c.xtype IN (239, 231, 99) THEN 'UNICODE' WHEN c.xtype IN (175, 167, 35) THEN "
        "'cp1250' END"},
       {"COLLATION_NAME", kSysname, "c.collation"}},
      "syscolumns c JOIN sysobjects o ON o.id = c.id WHERE o.xtype IN ('U ', 'V ')");
}

CatalogView InformationRoutines(const std::string& database) {
  return Make({{"SPECIFIC_CATALOG", kSysname, Quote(database)},
               {"SPECIFIC_SCHEMA", kSysname, "'dbo'"},
               {"SPECIFIC_NAME", kSysname, "o.name"},
               {"ROUTINE_CATALOG", kSysname, Quote(database)},
               {"ROUTINE_SCHEMA", kSysname, "'dbo'"},
               {"ROUTINE_NAME", kSysname, "o.name"},
               {"ROUTINE_TYPE", SqlType{BaseType::NVarChar, 20, 0, 0},
                "CASE WHEN o.xtype = 'P ' THEN 'PROCEDURE' ELSE 'FUNCTION' END"},
               {"DATA_TYPE", kSysname,
                "CASE WHEN o.xtype IN ('IF', 'TF') THEN 'TABLE' WHEN o.xtype = 'FN' THEN (SELECT "
                "t.name FROM syscolumns c JOIN systypes t ON t.xusertype = c.xusertype WHERE c.id "
                "= o.id AND c.colid = 0) END"},
               {"ROUTINE_BODY", SqlType{BaseType::NVarChar, 30, 0, 0}, "'SQL'"},
               {"ROUTINE_DEFINITION", SqlType{BaseType::NVarChar, 4000, 0, 0},
                std::string("substr(") + kDefinition + ", 1, 4000)"},
               {"IS_DETERMINISTIC", SqlType{BaseType::NVarChar, 10, 0, 0}, "'NO'"},
               {"SQL_DATA_ACCESS", SqlType{BaseType::NVarChar, 30, 0, 0},
                "CASE WHEN o.xtype = 'P ' THEN 'MODIFIES' ELSE 'READS' END"},
               {"CREATED", kDateTime, "o.crdate"},
               {"LAST_ALTERED", kDateTime, "coalesce(o.refdate, o.crdate)"}},
              "sysobjects o WHERE o.xtype IN ('P ', 'FN', 'IF', 'TF')");
}

CatalogView InformationTableConstraints(const std::string& database) {
  return Make({{"CONSTRAINT_CATALOG", kSysname, Quote(database)},
               {"CONSTRAINT_SCHEMA", kSysname, "'dbo'"},
               {"CONSTRAINT_NAME", kSysname, "o.name"},
               {"TABLE_CATALOG", kSysname, Quote(database)},
               {"TABLE_SCHEMA", kSysname, "'dbo'"},
               {"TABLE_NAME", kSysname, "t.name"},
               {"CONSTRAINT_TYPE", SqlType{BaseType::VarChar, 11, 0, 0},
                "CASE o.xtype WHEN 'PK' THEN 'PRIMARY KEY' WHEN 'UQ' THEN 'UNIQUE' WHEN 'F ' THEN "
                "'FOREIGN KEY' WHEN 'C ' THEN 'CHECK' END"},
               {"IS_DEFERRABLE", SqlType{BaseType::VarChar, 2, 0, 0}, "'NO'"},
               {"INITIALLY_DEFERRED", SqlType{BaseType::VarChar, 2, 0, 0}, "'NO'"}},
              "sysobjects o JOIN sysobjects t ON t.id = o.parent_obj WHERE o.xtype IN ('PK', "
              "'UQ', 'F ', 'C ')");
}

// The columns of keys: a primary or unique key's from its index, a foreign
// key's from the catalogue's list.
CatalogView InformationKeyColumnUsage(const std::string& database) {
  return Make({{"CONSTRAINT_CATALOG", kSysname, Quote(database)},
               {"CONSTRAINT_SCHEMA", kSysname, "'dbo'"},
               {"CONSTRAINT_NAME", kSysname, "u.constraint_name"},
               {"TABLE_CATALOG", kSysname, Quote(database)},
               {"TABLE_SCHEMA", kSysname, "'dbo'"},
               {"TABLE_NAME", kSysname, "u.table_name"},
               {"COLUMN_NAME", kSysname, "u.column_name"},
               {"ORDINAL_POSITION", kInt, "u.position"}},
              std::string("(SELECT o.name AS constraint_name, t.name AS table_name, c.name AS "
                          "column_name, ik.keyno AS position FROM sysobjects o JOIN sysobjects t "
                          "ON t.id = o.parent_obj JOIN sysindexes i ON i.id = t.id AND i.name = "
                          "o.name JOIN sysindexkeys ik ON ik.id = i.id AND ik.indid = i.indid "
                          "JOIN syscolumns c ON c.id = t.id AND c.colid = ik.colid WHERE o.xtype "
                          "IN ('PK', 'UQ') UNION ALL SELECT o.name, t.name, k.child_name, k.n "
                          "FROM ") +
                  kForeignKeyColumns +
                  " JOIN sysobjects o ON o.id = k.id JOIN sysobjects t ON t.id = k.child_id) u");
}

// The key of the referenced table whose columns a foreign key names (a
// primary key, a unique constraint or a unique index).
constexpr const char* kReferencedKey =
    "(SELECT i.name FROM sysindexes i WHERE i.id = f.parent_id AND (i.status & 2) <> 0 AND "
    "(SELECT group_concat(n, char(10)) FROM (SELECT c.name AS n FROM sysindexkeys k JOIN "
    "syscolumns c ON c.id = k.id AND c.colid = k.colid WHERE k.id = i.id AND k.indid = i.indid "
    "ORDER BY k.keyno)) = f.parent_columns ORDER BY (i.status & 2048) DESC, i.indid LIMIT 1)";

CatalogView InformationReferentialConstraints(const std::string& database) {
  return Make(
      {{"CONSTRAINT_CATALOG", kSysname, Quote(database)},
       {"CONSTRAINT_SCHEMA", kSysname, "'dbo'"},
       {"CONSTRAINT_NAME", kSysname, "o.name"},
       {"UNIQUE_CONSTRAINT_CATALOG", kSysname, Quote(database)},
       {"UNIQUE_CONSTRAINT_SCHEMA", kSysname, "'dbo'"},
       {"UNIQUE_CONSTRAINT_NAME", kSysname, kReferencedKey},
       {"MATCH_OPTION", SqlType{BaseType::VarChar, 7, 0, 0}, "'SIMPLE'"},
       {"UPDATE_RULE", SqlType{BaseType::VarChar, 11, 0, 0}, ActionDesc("f.update_action", " ")},
       {"DELETE_RULE", SqlType{BaseType::VarChar, 11, 0, 0}, ActionDesc("f.delete_action", " ")}},
      "sysobjects o JOIN moltaro_foreign_keys f ON f.id = o.id WHERE o.xtype = 'F '");
}

CatalogView InformationCheckConstraints(const std::string& database) {
  return Make({{"CONSTRAINT_CATALOG", kSysname, Quote(database)},
               {"CONSTRAINT_SCHEMA", kSysname, "'dbo'"},
               {"CONSTRAINT_NAME", kSysname, "o.name"},
               {"CHECK_CLAUSE", SqlType{BaseType::NVarChar, 4000, 0, 0},
                std::string("substr(") + kDefinition + ", 1, 4000)"}},
              "sysobjects o WHERE o.xtype = 'C '");
}

// The columns each constraint uses: a key's columns, a column-level CHECK's
// column, and the columns a table-level CHECK's text names as words.
CatalogView InformationConstraintColumnUsage(const std::string& database) {
  const std::string checkColumns =
      std::string(
          "SELECT o.name, t.name, c.name FROM sysobjects o JOIN sysobjects t ON t.id = "
          "o.parent_obj JOIN syscolumns c ON c.id = t.id WHERE o.xtype = 'C ' AND (c.colid "
          "= o.info OR (o.info = 0 AND ' ' || lower(") +
      kDefinition + ") || ' ' GLOB '*[^a-z0-9_@#$]' || lower(c.name) || '[^a-z0-9_@#$]*'))";
  return Make({{"TABLE_CATALOG", kSysname, Quote(database)},
               {"TABLE_SCHEMA", kSysname, "'dbo'"},
               {"TABLE_NAME", kSysname, "u.table_name"},
               {"COLUMN_NAME", kSysname, "u.column_name"},
               {"CONSTRAINT_CATALOG", kSysname, Quote(database)},
               {"CONSTRAINT_SCHEMA", kSysname, "'dbo'"},
               {"CONSTRAINT_NAME", kSysname, "u.constraint_name"}},
              "(SELECT c2 AS constraint_name, c5 AS table_name, c6 AS column_name FROM (" +
                  InformationKeyColumnUsage(database).sql + ") UNION " + checkColumns + ") u");
}

CatalogView InformationParameters(const std::string& database) {
  const std::string character = std::string("c.xtype IN ") + kCharacterTypes;
  const std::string numeric = "c.xtype IN (48, 52, 56, 127, 106, 108, 60, 122, 62, 59)";
  return Make(
      {{"SPECIFIC_CATALOG", kSysname, Quote(database)},
       {"SPECIFIC_SCHEMA", kSysname, "'dbo'"},
       {"SPECIFIC_NAME", kSysname, "o.name"},
       {"ORDINAL_POSITION", kInt, "c.colid"},
       {"PARAMETER_MODE", SqlType{BaseType::NVarChar, 10, 0, 0},
        "CASE WHEN c.colid = 0 THEN 'OUT' WHEN c.isoutparam THEN 'INOUT' ELSE 'IN' END"},
       {"IS_RESULT", SqlType{BaseType::NVarChar, 10, 0, 0},
        "CASE WHEN c.colid = 0 THEN 'YES' ELSE 'NO' END"},
       {"AS_LOCATOR", SqlType{BaseType::NVarChar, 10, 0, 0}, "'NO'"},
       {"PARAMETER_NAME", kSysname, "c.name"},
       {"DATA_TYPE", kSysname, "(SELECT t.name FROM systypes t WHERE t.xusertype = c.xtype)"},
       {"CHARACTER_MAXIMUM_LENGTH", kInt,
        "CASE WHEN c.xtype = 35 THEN 2147483647 WHEN c.xtype = 99 THEN 1073741823 WHEN " +
            character + " THEN c.prec END"},
       {"CHARACTER_OCTET_LENGTH", kInt,
        "CASE WHEN c.xtype IN (35, 99) THEN 2147483647 WHEN " + character + " THEN c.length END"},
       {"COLLATION_CATALOG", kSysname, "NULL"},
       {"COLLATION_SCHEMA", kSysname, "NULL"},
       {"COLLATION_NAME", kSysname, "c.collation"},
       {"CHARACTER_SET_CATALOG", kSysname, "NULL"},
       {"CHARACTER_SET_SCHEMA", kSysname, "NULL"},
       {"CHARACTER_SET_NAME", kSysname,
        "CASE WHEN c.xtype IN (239, 231, 99) THEN 'UNICODE' WHEN c.xtype IN (175, 167, 35) THEN "
        "'cp1250' END"},
       {"NUMERIC_PRECISION", kTinyInt, "CASE WHEN " + numeric + " THEN c.xprec END"},
       {"NUMERIC_PRECISION_RADIX", kSmallInt,
        "CASE WHEN c.xtype IN (62, 59) THEN 2 WHEN " + numeric + " THEN 10 END"},
       {"NUMERIC_SCALE", kSmallInt,
        "CASE WHEN " + numeric + " AND c.xtype NOT IN (62, 59) THEN c.xscale END"},
       {"DATETIME_PRECISION", kSmallInt,
        "CASE WHEN c.xtype = 61 THEN 3 WHEN c.xtype = 58 THEN 0 END"},
       {"INTERVAL_TYPE", SqlType{BaseType::NVarChar, 30, 0, 0}, "NULL"},
       {"INTERVAL_PRECISION", kSmallInt, "NULL"},
       {"USER_DEFINED_TYPE_CATALOG", kSysname,
        "CASE WHEN c.xusertype > 256 THEN " + Quote(database) + " END"},
       {"USER_DEFINED_TYPE_SCHEMA", kSysname, "CASE WHEN c.xusertype > 256 THEN 'dbo' END"},
       {"USER_DEFINED_TYPE_NAME", kSysname,
        "(SELECT t.name FROM systypes t WHERE t.xusertype = c.xusertype AND c.xusertype > 256)"},
       {"SCOPE_CATALOG", kSysname, "NULL"},
       {"SCOPE_SCHEMA", kSysname, "NULL"},
       {"SCOPE_NAME", kSysname, "NULL"}},
      "syscolumns c JOIN sysobjects o ON o.id = c.id WHERE o.xtype IN ('P ', 'FN', 'IF', 'TF')");
}

CatalogView InformationSchemata(const std::string& database) {
  return Make({{"CATALOG_NAME", kSysname, Quote(database)},
               {"SCHEMA_NAME", kSysname, "s.name"},
               {"SCHEMA_OWNER", kSysname,
                "CASE s.principal_id WHEN 1 THEN 'dbo' WHEN 2 THEN 'guest' WHEN 3 THEN "
                "'INFORMATION_SCHEMA' WHEN 4 THEN 'sys' ELSE s.name END"},
               {"DEFAULT_CHARACTER_SET_CATALOG", kSysname, "NULL"},
               {"DEFAULT_CHARACTER_SET_SCHEMA", kSysname, "NULL"},
               {"DEFAULT_CHARACTER_SET_NAME", kSysname, "'cp1250'"}},
              "(SELECT c0 AS name, c2 AS principal_id FROM (" + SysSchemas(database).sql + ")) s");
}

CatalogView InformationViews(const std::string& database) {
  return Make({{"TABLE_CATALOG", kSysname, Quote(database)},
               {"TABLE_SCHEMA", kSysname, "'dbo'"},
               {"TABLE_NAME", kSysname, "o.name"},
               {"VIEW_DEFINITION", SqlType{BaseType::NVarChar, 4000, 0, 0},
                std::string("substr(") + kDefinition + ", 1, 4000)"},
               {"CHECK_OPTION", SqlType{BaseType::VarChar, 7, 0, 0}, "'NONE'"},
               {"IS_UPDATABLE", SqlType{BaseType::VarChar, 2, 0, 0}, "'NO'"}},
              "sysobjects o WHERE o.xtype = 'V '");
}

}  // namespace

namespace {

std::string JsonText(std::string_view text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto u = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (u < 0x20) {
      static const char* hex = "0123456789abcdef";
      out += "\\u00";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

// The value a database's recorded options give `option`, else `fallback`.
std::string OptionValue(const std::string& options, const std::string& option,
                        const std::string& fallback) {
  const std::string key = option + "=";
  std::size_t at = 0;
  while (at < options.size()) {
    std::size_t end = options.find(';', at);
    if (end == std::string::npos) end = options.size();
    if (options.compare(at, key.size(), key) == 0) {
      return options.substr(at + key.size(), end - at - key.size());
    }
    at = end + 1;
  }
  return fallback;
}

}  // namespace

std::string LoginsJson(const std::vector<LoginSummary>& logins) {
  std::string json = "[";
  int next = 256;  // the ids SQL Server gives the logins it makes
  for (const LoginSummary& l : logins) {
    const int id = l.name == "sa" ? 1 : ++next;
    if (json.size() > 1) json += ",";
    json += "{\"name\":" + JsonText(l.name) + ",\"principal_id\":" + std::to_string(id) +
            ",\"dbname\":" + JsonText(l.defaultDatabase) +
            ",\"createdate\":" + JsonText(l.created) + "}";
  }
  return json + "]";
}

std::string DatabasesJson(const std::vector<DatabaseSummary>& databases) {
  std::string json = "[";
  for (const DatabaseSummary& d : databases) {
    const auto on = [&](const char* option, bool byDefault) {
      const std::string v = OptionValue(d.options, option, byDefault ? "ON" : "OFF");
      return std::string(v == "ON" ? "1" : "0");
    };
    const auto described = [&](const char* field, int code, const std::string& desc) {
      return std::string(",\"") + field + "\":" + std::to_string(code) + ",\"" + field +
             "_desc\":" + JsonText(desc);
    };
    const std::string recovery = OptionValue(d.options, "RECOVERY", "FULL");
    const std::string pageVerify = OptionValue(d.options, "PAGE_VERIFY", "CHECKSUM");
    const int level = std::atoi(
        OptionValue(d.options, "COMPATIBILITY_LEVEL", std::to_string(d.compatibilityLevel))
            .c_str());
    const bool snapshot = OptionValue(d.options, "ALLOW_SNAPSHOT_ISOLATION", "OFF") == "ON";
    if (json.size() > 1) json += ",";
    json += "{\"name\":" + JsonText(d.name) + ",\"database_id\":" + std::to_string(d.id) +
            ",\"filename\":" + JsonText(d.file) + ",\"create_date\":" + JsonText(d.created) +
            ",\"compatibility_level\":" + std::to_string(level) +
            ",\"collation_name\":" + JsonText(d.collation) +
            described("user_access", 0, "MULTI_USER") + ",\"is_read_only\":0" +
            ",\"is_auto_close_on\":" + on("AUTO_CLOSE", false) +
            ",\"is_auto_shrink_on\":" + on("AUTO_SHRINK", false) + described("state", 0, "ONLINE") +
            ",\"is_in_standby\":0" +
            described("snapshot_isolation_state", snapshot ? 1 : 0, snapshot ? "ON" : "OFF") +
            ",\"is_read_committed_snapshot_on\":" + on("READ_COMMITTED_SNAPSHOT", false) +
            described("recovery_model",
                      recovery == "SIMPLE"        ? 3
                      : recovery == "BULK_LOGGED" ? 2
                                                  : 1,
                      recovery) +
            described("page_verify_option",
                      pageVerify == "NONE"                  ? 0
                      : pageVerify == "TORN_PAGE_DETECTION" ? 1
                                                            : 2,
                      pageVerify) +
            ",\"is_auto_create_stats_on\":" + on("AUTO_CREATE_STATISTICS", true) +
            ",\"is_auto_update_stats_on\":" + on("AUTO_UPDATE_STATISTICS", true) +
            ",\"is_ansi_nulls_on\":" + on("ANSI_NULLS", false) +
            ",\"is_ansi_padding_on\":" + on("ANSI_PADDING", false) +
            ",\"is_ansi_warnings_on\":" + on("ANSI_WARNINGS", false) +
            ",\"is_arithabort_on\":" + on("ARITHABORT", false) +
            ",\"is_concat_null_yields_null_on\":" + on("CONCAT_NULL_YIELDS_NULL", false) +
            ",\"is_quoted_identifier_on\":" + on("QUOTED_IDENTIFIER", false) +
            ",\"is_recursive_triggers_on\":" + on("RECURSIVE_TRIGGERS", false) +
            ",\"is_trustworthy_on\":" + on("TRUSTWORTHY", false) +
            ",\"is_db_chaining_on\":" + on("DB_CHAINING", false) + ",\"is_broker_enabled\":" +
            (OptionValue(d.options, "BROKER", "") == "ENABLE_BROKER" ? "1" : "0") + "}";
  }
  return json + "]";
}

std::optional<CatalogView> FindMasterTable(std::string_view database, std::string_view name) {
  if (ToUpperAscii(std::string(database)) != "MASTER") return std::nullopt;
  if (ToUpperAscii(std::string(name)) == "SYSLOGINS") return SysLogins(std::string(database));
  if (ToUpperAscii(std::string(name)) != "SYSDATABASES") return std::nullopt;
  const auto field = [](const char* key) {
    return std::string("json_extract(d.value, '$.") + key + "')";
  };
  return Make({{"name", kSysname, field("name")},
               {"dbid", kSmallInt, field("database_id")},
               {"sid", SqlType{BaseType::VarChar, 85, 0, 0}, "NULL"},
               {"mode", kSmallInt, "0"},
               {"status", kInt, "0"},
               {"status2", kInt, "0"},
               {"crdate", kDateTime, field("create_date")},
               {"reserved", kDateTime, "NULL"},
               {"category", kInt, "0"},
               {"cmptlevel", kTinyInt, field("compatibility_level")},
               {"filename", SqlType{BaseType::NVarChar, 260, 0, 0}, field("filename")},
               {"version", kSmallInt, "539"}},
              "json_each(tsql_databases()) d");
}

bool IsPrincipalCompatibilityView(std::string_view name) {
  const std::string upper = ToUpperAscii(std::string(name));
  return upper == "SYSUSERS" || upper == "SYSMEMBERS";
}

bool IsCompatibilityView(std::string_view name) {
  const std::string upper = ToUpperAscii(std::string(name));
  for (const char* table :
       {"SYSOBJECTS", "SYSCOLUMNS", "SYSTYPES", "SYSINDEXES", "SYSINDEXKEYS", "SYSCOMMENTS"}) {
    if (upper == table) return true;
  }
  return false;
}

bool IsCatalogViewSchema(std::string_view schema) {
  const std::string upper = ToUpperAscii(std::string(schema));
  return upper == "SYS" || upper == "INFORMATION_SCHEMA";
}

std::optional<CatalogView> FindCatalogView(std::string_view schema, std::string_view name,
                                           const std::string& database) {
  static const std::map<std::string, Builder> sys = {
      {"OBJECTS", SysObjects},
      {"TABLES", SysTables},
      {"VIEWS", SysViews},
      {"PROCEDURES", SysProcedures},
      {"COLUMNS", SysColumns},
      {"INDEXES", SysIndexes},
      {"INDEX_COLUMNS", SysIndexColumns},
      {"TYPES", SysTypes},
      {"SCHEMAS", SysSchemas},
      {"FOREIGN_KEYS", SysForeignKeys},
      {"DEFAULT_CONSTRAINTS", SysDefaultConstraints},
      {"CHECK_CONSTRAINTS", SysCheckConstraints},
      {"KEY_CONSTRAINTS", SysKeyConstraints},
      {"SQL_MODULES", SysSqlModules},
      {"EXTENDED_PROPERTIES", SysExtendedProperties},
      {"DATABASES", SysDatabases},
      {"FOREIGN_KEY_COLUMNS", SysForeignKeyColumns},
      {"IDENTITY_COLUMNS", SysIdentityColumns},
      {"PARAMETERS", SysParameters},
      {"TRIGGERS", SysTriggers},
      {"DATABASE_PRINCIPALS", SysDatabasePrincipals},
      {"DATABASE_ROLE_MEMBERS", SysDatabaseRoleMembers},
      {"SERVER_PRINCIPALS", SysServerPrincipals},
      {"SQL_LOGINS", SysSqlLogins},
      {"SYSLOGINS", SysLogins},
      {"SYSUSERS", SysUsers},
      {"SYSMEMBERS", SysMembers},
      {"SYSLANGUAGES", SysLanguages},
      {"ALL_OBJECTS", SysObjects},
      {"ALL_COLUMNS", SysColumns},
      {"PARTITIONS", SysPartitions},
      {"STATS", SysStats},
      {"COMPUTED_COLUMNS", SysComputedColumns},
  };
  static const std::map<std::string, Builder> information = {
      {"TABLES", InformationTables},
      {"COLUMNS", InformationColumns},
      {"ROUTINES", InformationRoutines},
      {"VIEWS", InformationViews},
      {"TABLE_CONSTRAINTS", InformationTableConstraints},
      {"KEY_COLUMN_USAGE", InformationKeyColumnUsage},
      {"SCHEMATA", InformationSchemata},
      {"REFERENTIAL_CONSTRAINTS", InformationReferentialConstraints},
      {"CHECK_CONSTRAINTS", InformationCheckConstraints},
      {"CONSTRAINT_COLUMN_USAGE", InformationConstraintColumnUsage},
      {"PARAMETERS", InformationParameters},
  };
  const std::string upperSchema = ToUpperAscii(std::string(schema));
  const auto& views = upperSchema == "SYS" ? sys : information;
  if (upperSchema != "SYS" && upperSchema != "INFORMATION_SCHEMA") return std::nullopt;
  const auto found = views.find(ToUpperAscii(std::string(name)));
  if (found == views.end()) return std::nullopt;
  return found->second(database);
}

}  // namespace moltaro::db::embedded
