// An upgrade that runs out of space: the run log says that the server's
// space ran out (not that the version file is faulty), and the next run,
// once there is space again, completes.
#include <gmock/gmock.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>

#include "common/codepage.h"
#include "embedded_server_fixture.h"

namespace moltaro::engine {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class DiskFullTest : public testing::EmbeddedServerTest {
 protected:
  // The example version file as version `version`, with a pre-run script
  // of about `extraLines` lines of comment: bulk for the catalogue.
  std::string ExampleAs(const std::string& version, int extraLines) {
    std::ifstream in(std::string(MOLTARO_EXAMPLES_DIR) + "/verzio.ver", std::ios::binary);
    std::string text = Cp1250ToUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
    const std::string oldHeader = text.substr(0, text.find("$$", 5) + 2);  // "$$V$$x.y.z$$"
    const std::string newHeader = "$$V$$" + version + "$$";
    for (std::size_t at = 0; (at = text.find(oldHeader, at)) != std::string::npos;
         at += newHeader.size()) {
      text.replace(at, oldHeader.size(), newHeader);
    }
    std::string bulk = "$$E$$5$$Előfutó: tömeg$$9$$E$$N$$\r\n";
    for (int i = 0; i < extraLines; ++i) {
      bulk += "-- " + std::string(100, static_cast<char>('a' + i % 26)) + "\r\n";
    }
    bulk += "select 1\r\n";
    const std::size_t firstRecord = text.find("$$E$$1$$");
    text.insert(firstRecord, bulk);
    return Utf8ToCp1250(text);
  }
  void SetConf(const std::string& text) {
    std::ofstream(DataDirectory() / "moltaro.conf", std::ios::binary) << text;
  }
  // The pages the instance database's file holds now.
  long long PageCount() {
    sqlite3* db = nullptr;
    const std::string file = (DataDirectory() / (database + ".mdf")).string();
    long long pages = -1;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* stmt = nullptr;
      if (sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &stmt, nullptr) == SQLITE_OK &&
          sqlite3_step(stmt) == SQLITE_ROW) {
        pages = sqlite3_column_int64(stmt, 0);
      }
      sqlite3_finalize(stmt);
    }
    sqlite3_close_v2(db);
    return pages;
  }
  void TearDown() override { std::filesystem::remove(DataDirectory() / "moltaro.conf"); }
};

TEST_F(DiskFullTest, TheLogNamesTheFullDatabaseAndTheNextRunCompletes) {
  work.Write("verzio.ver", ExampleAs("2.0.1", 0));
  Prepare();
  ASSERT_FALSE(frame.RunUpgrade()) << frame.LastError();

  // Room for the system tables, not for a much bigger catalogue.
  const long long pages = PageCount();
  ASSERT_GT(pages, 0);
  SetConf("max_page_count=" + std::to_string(pages + 10) + "\n");
  work.Write("verzio.ver", ExampleAs("2.0.2", 3000));
  Prepare();
  EXPECT_TRUE(frame.RunUpgrade());
  const std::string expected = "because the 'PRIMARY' filegroup is full.";
  EXPECT_THAT(frame.LastError(), HasSubstr(expected));
  EXPECT_THAT(frame.LastError(), HasSubstr("in database '" + database + "'"));
  std::string log;
  for (const std::string& line : LogLines()) log += line + "\n";
  EXPECT_THAT(log, HasSubstr("A verzió file betöltése a 3. sornál megszakadt, a szerver hibája "
                             "miatt: Could not allocate space for object 'dbo.ZMP_OBJ_SZOVEG'"));
  EXPECT_THAT(log, Not(HasSubstr("Hibás a verzió file")));
  EXPECT_THAT(log, Not(HasSubstr("database or disk is full")));
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "2.0.1");

  // Space freed: the same upgrade runs through.
  std::filesystem::remove(DataDirectory() / "moltaro.conf");
  Prepare();
  EXPECT_FALSE(frame.RunUpgrade()) << frame.LastError();
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "2.0.2");
}

}  // namespace
}  // namespace moltaro::engine
