#include <gtest/gtest.h>

#include "db/connection_string.h"
#include "startup/server_settings.h"
#include "startup/settings_file.h"

namespace moltaro {
namespace {

TEST(ConnectionStrings, LayoutCharacterForCharacter) {
  EXPECT_EQ(BuildConnectionString("S", "C", "U", "P"),
            "Provider=SQLOLEDB.1;Server=S;Password=P;Persist Security Info=True;User ID=U;"
            "Initial Catalog=C;Use Procedure for Prepare=1;Auto Translate=True;"
            "Packet Size=4096;Use Encryption for Data=False;");
  // Empty or exactly "local": no server key; other spellings are a server name.
  EXPECT_EQ(BuildConnectionString("local", "", "sa", "x").find("Server="), std::string::npos);
  EXPECT_EQ(BuildConnectionString("", "", "sa", "x").find("Server="), std::string::npos);
  EXPECT_NE(BuildConnectionString("LOCAL", "", "sa", "x").find("Server=LOCAL;"), std::string::npos);
  // Blanks are kept verbatim (the server ignores them around a value).
  EXPECT_NE(BuildConnectionString("", " ceg1 ", "sa", "x").find("Initial Catalog= ceg1 ;"),
            std::string::npos);
}

TEST(ConnectionStrings, AnyPasswordSurvivesTheRoundTrip) {
  for (const std::string pw :
       {"a;b", "\"q", "'q", ";Server=evil", "x\"y\"z", "árvíz", " lead", "trail ", "\tboth "}) {
    const auto cs = db::ConnectionString::Parse(BuildConnectionString("", "db", "u;v", pw));
    EXPECT_EQ(cs.GetOr("Password", ""), pw);
    EXPECT_EQ(cs.GetOr("User ID", ""), "u;v");
    EXPECT_FALSE(cs.Has("Server")) << pw;
    EXPECT_EQ(cs.GetOr("Initial Catalog", ""), "db");
  }
}

TEST(ServerSettings, ConnectionStringsPerCatalogueAndSboMode) {
  ServerSettings s;
  s.SetServerSettings("srv", "ZMP_Vorel", "", "sa", "pw");
  EXPECT_NE(s.CommonConnectionString().find("Initial Catalog=ZMP_Vorel;"), std::string::npos);
  EXPECT_NE(s.InstanceConnectionString().find("Initial Catalog=;"), std::string::npos);
  EXPECT_NE(s.MasterConnectionString().find("Initial Catalog=master;"), std::string::npos);
  EXPECT_NE(s.DatabaseConnectionString("ceg1").find("Initial Catalog=ceg1;"), std::string::npos);
  EXPECT_FALSE(s.IsSboCommon());
  for (const char* name : {"sbo-common", "SBO-COMMON", "SBO-Common"}) {
    s.commonDatabase = name;
    EXPECT_FALSE(s.IsSboCommon()) << name;
  }
  s.commonDatabase = "Sbo-Common";
  EXPECT_TRUE(s.IsSboCommon());
}

TEST(SettingsLine, FieldsTrimmedAndCommonDatabaseDefaulted) {
  auto v = ParseSettingsLine("local$$Sbo-Common");
  EXPECT_EQ(v.serverName, "local");
  EXPECT_EQ(v.commonDatabase, "Sbo-Common");
  v = ParseSettingsLine("  myserver  ");
  EXPECT_EQ(v.serverName, "myserver");
  EXPECT_EQ(v.commonDatabase, "ZMP_Vorel");
  v = ParseSettingsLine("srv$$   ");
  EXPECT_EQ(v.commonDatabase, "ZMP_Vorel");
  v = ParseSettingsLine("");
  EXPECT_EQ(v.serverName, "");
  EXPECT_EQ(v.commonDatabase, "ZMP_Vorel");
}

}  // namespace
}  // namespace moltaro
