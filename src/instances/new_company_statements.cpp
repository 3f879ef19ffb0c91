#include "instances/new_company_statements.h"

#include "common/text.h"
#include "instances/sql_names.h"

namespace moltaro::instances {

namespace {

constexpr std::size_t kMasterFileNameLength = 10;

std::string CreateDatabase(std::string_view database, std::string_view directory,
                           std::string_view tail) {
  const std::string name(database);
  const std::string dir(directory);
  return "create database " + name + " on (name =" + QuoteLiteral(name + "_dat") +
         ", filename=" + QuoteLiteral(dir + name + "_data.mdf") +
         ", SIZE = 9, MAXSIZE = UNLIMITED, FILEGROWTH = 10%)" + "LOG ON " +
         "(name=" + QuoteLiteral(name + "_log") +
         ", filename=" + QuoteLiteral(dir + name + "_data.ldf") +
         ", SIZE = 5, MAXSIZE = UNLIMITED, FILEGROWTH = 10%)" + std::string(tail);
}

void AppendAlters(std::vector<std::string>& statements, const std::string& name) {
  statements.push_back("alter database " + name + " set recovery full");
  statements.push_back("alter database " + name + " set auto_close off");
  statements.push_back("alter database " + name + " set AUTO_SHRINK off");
}

}  // namespace

std::string DataDirectoryOf(std::string_view masterFileName) {
  const std::size_t length = Utf8Length(masterFileName);
  if (length <= kMasterFileNameLength) return "";
  return Utf8Left(masterFileName, length - kMasterFileNameLength);
}

std::string DatabaseCountSql(std::string_view database) {
  return "select coalesce(count(*),0) db from dbo.sysdatabases where name='" +
         DoubleQuotes(database) + "'";
}

std::vector<std::string> CompanyDatabaseStatements(std::string_view database,
                                                   std::string_view directory) {
  std::vector<std::string> statements;
  statements.push_back(
      CreateDatabase(database, directory, "  COLLATE  SQL_Hungarian_Cp1250_CI_AS "));
  AppendAlters(statements, std::string(database));
  return statements;
}

std::vector<std::string> CommonDatabaseStatements(std::string_view directory) {
  std::vector<std::string> statements;
  statements.push_back(
      CreateDatabase(kCommonDatabaseName, directory, " COLLATE HUNGARIAN_TECHNICAL_CI_AI "));
  AppendAlters(statements, kCommonDatabaseName);
  return statements;
}

std::string RegistrationInsert(std::int64_t id, std::string_view company,
                               std::string_view database) {
  return "insert into ZMP_Peldany (id, pld, fiznev, tilt) values (" + std::to_string(id) + ", " +
         " ' " + DoubleQuotes(company) + " ' " + ", " + " ' " + DoubleQuotes(database) + " ' " +
         "," + "'N' " + ")  ";
}

std::vector<std::string> CommonDatabaseContentStatements(std::string_view company,
                                                         std::string_view database) {
  return {
      "create table [ZMP_Param] ([kod] [nvarchar] (15) NULL,[nev] [nvarchar] (50) NULL,[ertek] "
      "[nvarchar] (200) NULL) ON [PRIMARY]",
      "create table [ZMP_Peldany]  ([id] [int] NULL ,[pld] [nvarchar] (50) NULL,[fiznev] "
      "[nvarchar] (50) NULL, [tilt] [nvarchar] (1)) ON [PRIMARY]",
      "create table [ZMP_Pld_User]  ([pld_id] [int] NULL ,[user_id] [int] NULL ) ON [PRIMARY]",
      "create table [ZMP_User]  ([id] [int] NULL, [nev] [nvarchar] (50) NULL, [u_nev] [nvarchar] "
      "(30) NULL, [u_pwd] [nvarchar] (30) NULL, [tilt] [nvarchar] (1) NULL, [rg] [nvarchar] (1) "
      "NULL) ON [PRIMARY]",
      RegistrationInsert(1, company, database),
      "Insert into zmp_user (id, nev, u_nev, u_pwd, tilt, rg)  values  (2,  'RENDSZERGAZDA' ,   "
      "'ZMPHP' , '570392' ,  'N' , 'I' )",
      "Insert into zmp_pld_user (pld_id, user_id) values (1, 2)",
      "Insert into zmp_param (kod, nev ,ertek) values ( 'ZMP' ,  'ID' , '30' )",
  };
}

}  // namespace moltaro::instances
