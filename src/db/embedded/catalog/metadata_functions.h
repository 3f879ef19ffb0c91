// SQL Server's metadata functions (OBJECTPROPERTY, COLUMNPROPERTY,
// COL_LENGTH, SERVERPROPERTY, DB_ID …) as SQLite expressions over the system
// tables, so that they read the catalogue as the statement sees it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace moltaro::db::embedded {

// What the server says of itself: a SQL Server 2000 (the compatibility
// level and database version its databases record), as the desktop engine.
inline constexpr std::string_view kProductVersion = "8.00.2039";
inline constexpr std::string_view kProductLevel = "SP4";
inline constexpr std::string_view kEdition = "Desktop Engine";
inline constexpr int kEngineEdition = 1;
inline constexpr std::string_view kServerName = "EMBEDDED";
// @@MICROSOFTVERSION: the version as one number, major << 24 | minor << 16 | build.
constexpr int MicrosoftVersion() {
  return (8 << 24) | (0 << 16) | 2039;
}
// @@VERSION: SQL Server's first line, then what this server is.
std::string VersionText();

enum class MetadataResult { Number, Text, Either };

struct MetadataCall {
  std::string sql;
  MetadataResult result = MetadataResult::Number;
};

// Whether `upperName` called with that many arguments is one of them.
bool IsMetadataFunction(std::string_view upperName, std::size_t argumentCount);

// The expression for the metadata function `upperName` called with
// arguments whose SQLite expressions are `args`. Throws SQL Server's 174
// for a wrong number of arguments.
MetadataCall MetadataFunctionSql(std::string_view upperName, const std::vector<std::string>& args);

}  // namespace moltaro::db::embedded
