// The statements of the new-company command and of the common database's
// creation. Names typed by the operator go in as typed, except that every
// single quote is doubled where a name stands between quotes; a database name
// must have passed DatabaseNameProblem before it is put here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace moltaro::instances {

inline constexpr const char* kCommonDatabaseName = "ZMP_Vorel";

inline constexpr const char* kMasterFileNameSql =
    "select FILENAME from dbo.sysdatabases where name='master' ";
inline constexpr const char* kCommonDatabaseCountSql =
    "select coalesce(count(*),0) db from dbo.sysdatabases where name= 'ZMP_Vorel' ";
inline constexpr const char* kMaxInstanceIdSql = "select coalesce(max(id),0) db from ZMP_Peldany";
// Whether the common database got its tables: one that was created but not
// filled (the run stopped in between) is completed by the next new company.
inline constexpr const char* kCommonDatabaseCompleteSql =
    "select count(*) db from sysobjects where name = 'ZMP_Peldany' and xtype = 'U'";

// The server's data directory: master's file name without its last 10
// characters ("master.mdf"), so the directory keeps its closing separator.
std::string DataDirectoryOf(std::string_view masterFileName);

// How many databases of this name the server has (column "DB").
std::string DatabaseCountSql(std::string_view database);

// CREATE DATABASE of a company database, then its three ALTER DATABASE.
std::vector<std::string> CompanyDatabaseStatements(std::string_view database,
                                                   std::string_view directory);

// The same for the common database, with its own collation.
std::vector<std::string> CommonDatabaseStatements(std::string_view directory);

// The four tables of the common database and its seed rows; the company
// becomes instance 1.
std::vector<std::string> CommonDatabaseContentStatements(std::string_view company,
                                                         std::string_view database);

// Registers a company as instance `id`. Readers rely on the blank written
// before and after each name inside its quotes.
std::string RegistrationInsert(std::int64_t id, std::string_view company,
                               std::string_view database);

}  // namespace moltaro::instances
