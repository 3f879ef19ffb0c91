// SQL Server's catalog views (sys.objects, sys.columns …,
// INFORMATION_SCHEMA.TABLES …) as SELECTs over the system tables the
// catalogue keeps. Read only: the catalogue stays the only writer of what
// they show.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

struct CatalogViewColumn {
  std::string name;     // SQL Server's column name
  std::string sqlName;  // the column's name in `sql`
  SqlType type;
};

struct CatalogView {
  std::string sql;  // a SQLite SELECT
  std::vector<CatalogViewColumn> columns;
};

// A database of the server as master's sysdatabases records it.
struct DatabaseSummary {
  std::string name;
  int id = 0;
  std::string created;  // crdate
  int compatibilityLevel = 80;
  std::string collation;
  std::string options;  // the recorded ALTER DATABASE … SET options, "RECOVERY=FULL;…"
  std::string file;     // the full path of its file
};

// The server's databases as the JSON array sys.databases reads (through the
// connection's function tsql_databases(), since they live in master).
std::string DatabasesJson(const std::vector<DatabaseSummary>& databases);

// A login as master's syslogins records it (never its password).
struct LoginSummary {
  std::string name;
  std::string defaultDatabase;
  std::string created;
};

// The server's logins as the JSON array the server-level views read
// (through the connection's function tsql_logins()): sa is principal 1.
std::string LoginsJson(const std::vector<LoginSummary>& logins);

// master's sysdatabases and syslogins read from another database
// (master.dbo.sysdatabases, master..syslogins); none for another name.
std::optional<CatalogView> FindMasterTable(std::string_view database, std::string_view name);

// Whether sys.<name> is one of the system tables of every database
// (sys.sysobjects, sys.syscolumns …), which SQL Server keeps as views of
// the same name.
bool IsCompatibilityView(std::string_view name);

// Whether <name> is sysusers or sysmembers, which SQL Server 2000 kept as
// tables of every database and this server shows as views of its principals.
bool IsPrincipalCompatibilityView(std::string_view name);

// Whether the schema holds catalog views (sys, INFORMATION_SCHEMA).
bool IsCatalogViewSchema(std::string_view schema);

// The view `schema.name` seen from the database `database`; none when there
// is no such view.
std::optional<CatalogView> FindCatalogView(std::string_view schema, std::string_view name,
                                           const std::string& database);

}  // namespace moltaro::db::embedded
