// The DSN-less ODBC strings made from the system's connection strings.
#include <gtest/gtest.h>

#include "db/connection_string.h"
#include "db/errors.h"
#include "db/odbc/connection_translation.h"
#include "db/odbc/odbc_keys.h"

namespace moltaro::db::odbc {
namespace {

// The layout the system builds for every connection.
ConnectionString Settings(const std::string& server, const std::string& catalogue = "ZMP_Vorel",
                          const std::string& password = "titok") {
  return ConnectionString::Parse(
      "Provider=SQLOLEDB.1;Server=" + server + ";Password=" + password +
      ";Persist Security Info=True;User ID=sa;Initial Catalog=" + catalogue +
      ";Use Procedure for Prepare=1;Auto Translate=True;"
      "Packet Size=4096;Use Encryption for Data=False;");
}

OdbcOptions Driver(const std::string& name, const std::string& extra = "") {
  OdbcOptions options;
  options.driver = name;
  options.extra = extra;
  return options;
}

constexpr const char* kFreeTdsTail =
    "UID=sa;PWD=titok;ClientCharset=UTF-8;PacketSize=4096;Encryption=off;TextSize=2147483647;";

TEST(FreeTdsTranslation, EachServerForm) {
  const OdbcOptions freeTds = Driver("FreeTDS");
  EXPECT_EQ(TranslateConnectionString(Settings("srv"), freeTds).connectionString,
            std::string("Driver={FreeTDS};Server=srv;Database=ZMP_Vorel;") + kFreeTdsTail);
  EXPECT_EQ(
      TranslateConnectionString(Settings("srv,1500"), freeTds).connectionString,
      std::string("Driver={FreeTDS};Server=srv;Port=1500;Database=ZMP_Vorel;") + kFreeTdsTail);
  EXPECT_EQ(TranslateConnectionString(Settings("srv\\BERSZAM"), freeTds).connectionString,
            std::string("Driver={FreeTDS};Server=srv\\BERSZAM;Database=ZMP_Vorel;") + kFreeTdsTail);
  // A port given with an instance goes straight to the port.
  EXPECT_EQ(
      TranslateConnectionString(Settings("srv\\BERSZAM,1500"), freeTds).connectionString,
      std::string("Driver={FreeTDS};Server=srv;Port=1500;Database=ZMP_Vorel;") + kFreeTdsTail);
  EXPECT_FALSE(TranslateConnectionString(Settings("srv"), freeTds).packetSizeAttribute);
}

TEST(MicrosoftTranslation, EachServerFormAndDriverVersion) {
  for (const std::string driver :
       {"ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"}) {
    for (const std::string server : {"srv", "srv,1500", "srv\\BERSZAM"}) {
      const OdbcConnectTarget target = TranslateConnectionString(Settings(server), Driver(driver));
      EXPECT_EQ(target.connectionString,
                "Driver={" + driver + "};Server=" + server +
                    ";Database=ZMP_Vorel;UID=sa;PWD=titok;AutoTranslate=yes;Encrypt=no;");
      EXPECT_EQ(target.packetSizeAttribute, 4096);
    }
  }
}

TEST(OtherDriverTranslation, GetsOnlyTheKeysEveryDriverKnows) {
  EXPECT_EQ(TranslateConnectionString(Settings("srv,1500"), Driver("Vendor X")).connectionString,
            "Driver={Vendor X};Server=srv,1500;Database=ZMP_Vorel;UID=sa;PWD=titok;");
  EXPECT_EQ(DriverFamilyOf("FreeTDS"), DriverFamily::FreeTds);
  EXPECT_EQ(DriverFamilyOf("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"), DriverFamily::FreeTds);
  EXPECT_EQ(DriverFamilyOf("ODBC Driver 18 for SQL Server"), DriverFamily::Microsoft);
  EXPECT_EQ(DriverFamilyOf("SQLite3"), DriverFamily::Other);
}

TEST(Translation, CatalogueIsTrimmedAndLeftOutWhenEmpty) {
  const OdbcOptions freeTds = Driver("FreeTDS");
  EXPECT_EQ(TranslateConnectionString(Settings("srv", "\" ZMP_Ceg1 \""), freeTds).connectionString,
            std::string("Driver={FreeTDS};Server=srv;Database=ZMP_Ceg1;") + kFreeTdsTail);
  EXPECT_EQ(TranslateConnectionString(Settings("srv", ""), freeTds).connectionString,
            std::string("Driver={FreeTDS};Server=srv;") + kFreeTdsTail);
}

TEST(Translation, AwkwardPasswordsAreBracedSoTheyCannotAddKeys) {
  const std::string text =
      TranslateConnectionString(Settings("srv", "db", "\"a;Trusted_Connection=yes}\""),
                                Driver("FreeTDS"))
          .connectionString;
  EXPECT_NE(text.find("PWD={a;Trusted_Connection=yes}}};"), std::string::npos) << text;
}

TEST(Translation, BlanksAroundAPasswordReachTheDriver) {
  const std::string text =
      TranslateConnectionString(Settings("srv", "db", QuoteConnectionValue(" titok ", true)),
                                Driver("FreeTDS"))
          .connectionString;
  EXPECT_NE(text.find("PWD={ titok };"), std::string::npos) << text;
}

TEST(Translation, OperatorKeysAreAddedAndWinOverTranslatedOnes) {
  const OdbcConnectTarget target = TranslateConnectionString(
      Settings("srv"), Driver("ODBC Driver 18 for SQL Server",
                              "Encrypt=yes; TrustServerCertificate=yes;APP={Moltaro; 2}"));
  EXPECT_EQ(target.connectionString,
            "Driver={ODBC Driver 18 for SQL Server};Server=srv;Database=ZMP_Vorel;UID=sa;"
            "PWD=titok;AutoTranslate=yes;Encrypt=yes;TrustServerCertificate=yes;APP={Moltaro; 2};");
  EXPECT_NE(TranslateConnectionString(Settings("srv"), Driver("FreeTDS", "TDS_Version=7.4"))
                .connectionString.find(";TDS_Version=7.4;"),
            std::string::npos);
}

TEST(Translation, UnusableServerNamesAndExtrasAreRefused) {
  EXPECT_THROW(TranslateConnectionString(Settings("srv,abc"), Driver("FreeTDS")), Error);
  EXPECT_THROW(TranslateConnectionString(Settings("srv,70000"), Driver("FreeTDS")), Error);
  EXPECT_THROW(TranslateConnectionString(Settings("\\INST"), Driver("FreeTDS")), Error);
  EXPECT_THROW(TranslateConnectionString(Settings("srv"), Driver("FreeTDS", "TDS_Version")), Error);
  EXPECT_THROW(TranslateConnectionString(Settings("srv"), Driver("FreeTDS", "APP={x")), Error);
}

TEST(OdbcValueQuoting, BracesOnlyWhenNeeded) {
  EXPECT_EQ(QuoteOdbcValue("plain value"), "plain value");
  EXPECT_EQ(QuoteOdbcValue("a;b"), "{a;b}");
  EXPECT_EQ(QuoteOdbcValue("{x}"), "{{x}}}");
  EXPECT_EQ(QuoteOdbcValue(" lead"), "{ lead}");
  EXPECT_EQ(QuoteOdbcValue(""), "");
}

}  // namespace
}  // namespace moltaro::db::odbc
