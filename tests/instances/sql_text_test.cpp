#include <gtest/gtest.h>

#include "instances/new_company_statements.h"
#include "instances/sql_names.h"

namespace moltaro::instances {
namespace {

TEST(DatabaseName, OrdinaryIdentifiersAreAccepted) {
  for (const char* name : {"ceg1", "Ceg_2024", "_x", "Cégünk", "ZMP_Vorel", "a$b#c@d"}) {
    EXPECT_FALSE(DatabaseNameProblem(name).has_value()) << name;
  }
}

TEST(DatabaseName, NamesThatWouldChangeTheStatementAreRefused) {
  for (const char* name : {"", "1ceg", "ceg 1", "ceg-1", "a'b", "x;drop", "[ceg]", "ceg]", "#temp",
                           "@v", "ceg\t", "ceg\"1"}) {
    const auto problem = DatabaseNameProblem(name);
    ASSERT_TRUE(problem.has_value()) << name;
  }
  EXPECT_NE(DatabaseNameProblem("ceg-1")->find("\"ceg-1\""), std::string::npos);
}

TEST(DatabaseName, ReservedWordsAreRefusedInAnyCase) {
  EXPECT_TRUE(DatabaseNameProblem("select").has_value());
  EXPECT_TRUE(DatabaseNameProblem("Database").has_value());
  EXPECT_TRUE(DatabaseNameProblem("IDENTITY_INSERT").has_value());
  EXPECT_FALSE(DatabaseNameProblem("selects").has_value());
}

TEST(DatabaseName, OnlyLettersOutsideAscii) {
  EXPECT_FALSE(DatabaseNameProblem("Árvíztűrő_őű").has_value());
  EXPECT_TRUE(DatabaseNameProblem("ceg\xC3").has_value());     // cut short
  EXPECT_TRUE(DatabaseNameProblem("ceg\xC3(").has_value());    // broken sequence
  EXPECT_TRUE(DatabaseNameProblem("ceg\u00A0x").has_value());  // no-break space
  EXPECT_TRUE(DatabaseNameProblem("ceg\u02BCx").has_value());  // modifier apostrophe
  EXPECT_TRUE(DatabaseNameProblem("ceg\u00D7x").has_value());  // multiplication sign
}

TEST(QuoteLiteral, DoublesEverySingleQuote) {
  EXPECT_EQ(QuoteLiteral("ceg1_dat"), "'ceg1_dat'");
  EXPECT_EQ(QuoteLiteral("O'Brien''s"), "'O''Brien''''s'");
}

TEST(DataDirectory, MasterFileNameWithoutItsLastTenCharacters) {
  EXPECT_EQ(DataDirectoryOf("C:\\MSSQL\\Data\\master.mdf"), "C:\\MSSQL\\Data\\");
  EXPECT_EQ(DataDirectoryOf("/srv/adatbázis/master.mdf"), "/srv/adatbázis/");
  EXPECT_EQ(DataDirectoryOf("master.mdf"), "");
  EXPECT_EQ(DataDirectoryOf(""), "");
}

TEST(NewCompanyStatements, CompanyDatabaseCharacterForCharacter) {
  const auto statements = CompanyDatabaseStatements("ceg1", "C:\\MSSQL\\Data\\");
  ASSERT_EQ(statements.size(), 4u);
  EXPECT_EQ(statements[0],
            "create database ceg1 on (name ='ceg1_dat', filename='C:\\MSSQL\\Data\\ceg1_data.mdf', "
            "SIZE = 9, MAXSIZE = UNLIMITED, FILEGROWTH = 10%)LOG ON (name='ceg1_log', "
            "filename='C:\\MSSQL\\Data\\ceg1_data.ldf', SIZE = 5, MAXSIZE = UNLIMITED, FILEGROWTH "
            "= 10%)  COLLATE  SQL_Hungarian_Cp1250_CI_AS ");
  EXPECT_EQ(statements[1], "alter database ceg1 set recovery full");
  EXPECT_EQ(statements[2], "alter database ceg1 set auto_close off");
  EXPECT_EQ(statements[3], "alter database ceg1 set AUTO_SHRINK off");
}

TEST(NewCompanyStatements, QuoteInTheDataDirectoryIsDoubledInTheFileNames) {
  const auto statements = CompanyDatabaseStatements("ceg1", "/srv/o'data/");
  EXPECT_NE(statements[0].find("filename='/srv/o''data/ceg1_data.mdf'"), std::string::npos);
  EXPECT_NE(statements[0].find("filename='/srv/o''data/ceg1_data.ldf'"), std::string::npos);
}

TEST(NewCompanyStatements, CommonDatabaseHasItsOwnCollation) {
  const auto statements = CommonDatabaseStatements("/d/");
  ASSERT_EQ(statements.size(), 4u);
  EXPECT_EQ(statements[0],
            "create database ZMP_Vorel on (name ='ZMP_Vorel_dat', "
            "filename='/d/ZMP_Vorel_data.mdf', SIZE = 9, MAXSIZE = UNLIMITED, FILEGROWTH = "
            "10%)LOG ON (name='ZMP_Vorel_log', filename='/d/ZMP_Vorel_data.ldf', SIZE = 5, "
            "MAXSIZE = UNLIMITED, FILEGROWTH = 10%) COLLATE HUNGARIAN_TECHNICAL_CI_AI ");
  EXPECT_EQ(statements[3], "alter database ZMP_Vorel set AUTO_SHRINK off");
}

TEST(NewCompanyStatements, ExistenceCounts) {
  EXPECT_EQ(DatabaseCountSql("ceg1"),
            "select coalesce(count(*),0) db from dbo.sysdatabases where name='ceg1'");
  EXPECT_STREQ(kCommonDatabaseCountSql,
               "select coalesce(count(*),0) db from dbo.sysdatabases where name= 'ZMP_Vorel' ");
}

TEST(NewCompanyStatements, RegistrationWritesBlanksAroundEachName) {
  EXPECT_EQ(
      RegistrationInsert(5, "Kovács Kft", "ceg1"),
      "insert into ZMP_Peldany (id, pld, fiznev, tilt) values (5,  ' Kovács Kft ' ,  ' ceg1 ' "
      ",'N' )  ");
}

TEST(NewCompanyStatements, RegistrationDoublesQuotesInNames) {
  EXPECT_EQ(RegistrationInsert(12, "O'Brien's", "ceg1"),
            "insert into ZMP_Peldany (id, pld, fiznev, tilt) values (12,  ' O''Brien''s ' ,  ' "
            "ceg1 ' ,'N' )  ");
}

TEST(NewCompanyStatements, CommonDatabaseTablesAndSeedRows) {
  const auto statements = CommonDatabaseContentStatements("Első", "ceg1");
  ASSERT_EQ(statements.size(), 8u);
  EXPECT_EQ(statements[0],
            "create table [ZMP_Param] ([kod] [nvarchar] (15) NULL,[nev] [nvarchar] (50) "
            "NULL,[ertek] [nvarchar] (200) NULL) ON [PRIMARY]");
  EXPECT_EQ(statements[1],
            "create table [ZMP_Peldany]  ([id] [int] NULL ,[pld] [nvarchar] (50) NULL,[fiznev] "
            "[nvarchar] (50) NULL, [tilt] [nvarchar] (1)) ON [PRIMARY]");
  EXPECT_EQ(statements[2],
            "create table [ZMP_Pld_User]  ([pld_id] [int] NULL ,[user_id] [int] NULL ) ON "
            "[PRIMARY]");
  EXPECT_EQ(statements[3],
            "create table [ZMP_User]  ([id] [int] NULL, [nev] [nvarchar] (50) NULL, [u_nev] "
            "[nvarchar] (30) NULL, [u_pwd] [nvarchar] (30) NULL, [tilt] [nvarchar] (1) NULL, [rg] "
            "[nvarchar] (1) NULL) ON [PRIMARY]");
  EXPECT_EQ(statements[4],
            "insert into ZMP_Peldany (id, pld, fiznev, tilt) values (1,  ' Első ' ,  ' ceg1 ' ,'N' "
            ")  ");
  EXPECT_EQ(statements[5],
            "Insert into zmp_user (id, nev, u_nev, u_pwd, tilt, rg)  values  (2,  'RENDSZERGAZDA' "
            ",   'ZMPHP' , '570392' ,  'N' , 'I' )");
  EXPECT_EQ(statements[6], "Insert into zmp_pld_user (pld_id, user_id) values (1, 2)");
  EXPECT_EQ(statements[7],
            "Insert into zmp_param (kod, nev ,ertek) values ( 'ZMP' ,  'ID' , '30' )");
}

}  // namespace
}  // namespace moltaro::instances
