// The server's files: private to their owner, paths relative to the data
// directory, CREATE DATABASE that an interruption cannot wedge, a full
// database in SQL Server's words, and the rules for new passwords.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <fstream>

#include "db/connection_string.h"
#include "db/embedded/server/embedded_server.h"
#include "db/embedded/server/server.h"
#include "db/embedded/storage/sqlite_db.h"
#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

class FilesTest : public EmbeddedServerTest {
 protected:
  // A server of the test's own, for what the suite's server must not see.
  static fs::path NewServer(const std::string& name) {
    const fs::path dir = DataDir().parent_path() / (DataDir().filename().string() + "-" + name);
    fs::remove_all(dir);
    InitializeServer(dir, kPassword);
    return dir;
  }
  static Connection OpenOn(const fs::path& dir, const std::string& catalog) {
    Connection c("Provider=SQLOLEDB.1;Server=embedded:" + dir.string() + ";Password=" +
                 QuoteConnectionValue(kPassword) + ";User ID=sa;Initial Catalog=" + catalog + ";");
    c.Open();
    return c;
  }
  static std::string CreateStatement(const std::string& name, const fs::path& file) {
    return "create database " + name + " on (name = '" + name + "_dat', filename = '" +
           file.string() + "') log on (name = '" + name + "_log', filename = '" + file.string() +
           ".ldf')";
  }
  static unsigned Mode(const fs::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return 0;
    return st.st_mode & 0777u;
  }
  // FILENAME as master.mdf stores it.
  static std::string StoredFileName(const fs::path& dir, const std::string& database) {
    SqliteDb master(dir / "master.mdf", false);
    auto stmt = master.Prepare("SELECT filename FROM sysdatabases WHERE name = ?");
    sqlite3_bind_text(stmt.get(), 1, database.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(stmt.get()) != SQLITE_ROW) return "<none>";
    return reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
  }
};

TEST_F(FilesTest, DataDirectoryAndEveryFileAreTheOwnersAloneWhateverTheUmask) {
  const mode_t previous = ::umask(0);
  const fs::path dir = NewServer("modes");
  ::umask(previous);
  EXPECT_EQ(Mode(dir), 0700u);
  EXPECT_EQ(Mode(dir / "master.mdf"), 0600u);
  ::umask(0);
  {
    Connection master = OpenOn(dir, "master");
    master.Execute("create database JOGOK");
    Connection c = OpenOn(dir, "JOGOK");
    c.Execute("create table t (a int)");
    c.Execute("insert into t values (1)");
    for (const char* file :
         {"JOGOK.mdf", "JOGOK.mdf-wal", "JOGOK.mdf-shm", "master.mdf-wal", "moltaro.lock"}) {
      EXPECT_EQ(Mode(dir / file), 0600u) << file;
    }
  }
  ::umask(previous);
  fs::remove_all(dir);
}

TEST_F(FilesTest, AFileLeftByAnInterruptedCreateIsAdoptedAndOthersAreNot) {
  Connection master = Open("master");
  const fs::path left = DataDir() / "MARADEK_data.mdf";
  // Killed after the file was made, before it was registered.
  CreateDatabaseFile(left, "MARADEK", "SQL_Hungarian_Cp1250_CI_AS", false);
  // Killed while the file was being built, with a stray log beside it.
  std::ofstream(left.string() + ".creating") << "half";
  std::ofstream(left.string() + "-wal") << "stale";
  EXPECT_EQ(ErrorOf(master, CreateStatement("MARADEK", left)), "");
  Connection adopted = Open("MARADEK");
  adopted.Execute("create table t (a int)");
  adopted.Execute("insert into t values (7)");
  EXPECT_EQ(adopted.Query("select a from t").Integer("a"), 7);
  EXPECT_FALSE(fs::exists(left.string() + ".creating"));

  // A file made for another database, one holding objects, one that is no
  // database, one registered already: none is taken over.
  const fs::path other = DataDir() / "MASE_data.mdf";
  CreateDatabaseFile(other, "MASIK", "SQL_Hungarian_Cp1250_CI_AS", false);
  const fs::path used = DataDir() / "HASZNALT2_data.mdf";
  CreateDatabaseFile(used, "HASZNALT2", "SQL_Hungarian_Cp1250_CI_AS", false);
  SqliteDb(used, false)
      .Exec("INSERT INTO sysobjects (name, id, xtype, type) VALUES ('t', 99, 'U ', 'U ')");
  const fs::path text = DataDir() / "SZOVEG_data.mdf";
  std::ofstream(text) << "not a database";
  const std::string exists = "because it already exists.";
  EXPECT_THAT(ErrorOf(master, CreateStatement("MASE", other)), HasSubstr(exists));
  EXPECT_THAT(ErrorOf(master, CreateStatement("HASZNALT2", used)), HasSubstr(exists));
  EXPECT_THAT(ErrorOf(master, CreateStatement("SZOVEG", text)), HasSubstr(exists));
  EXPECT_THAT(ErrorOf(master, CreateStatement("MASODIK", left)), HasSubstr(exists));
  // Nor the place of a registered database whose file went missing.
  const fs::path lost = DataDir() / "ELVESZETT_data.mdf";
  master.Execute(CreateStatement("ELVESZETT", lost));
  fs::remove(lost);
  EXPECT_THAT(ErrorOf(master, CreateStatement("UJ", lost)), HasSubstr(exists));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_TRUE(fs::exists(used));
  EXPECT_EQ(adopted.Query("select a from t").Integer("a"), 7);
}

TEST_F(FilesTest, ACopiedDataDirectoryIsAServerOfItsOwn) {
  const fs::path original = NewServer("eredeti");
  {
    Connection master = OpenOn(original, "master");
    master.Execute("create database BENT");
    master.Execute(CreateStatement("KINT", original / "KINT_data.mdf"));
    Connection c = OpenOn(original, "BENT");
    c.Execute("create table t (a int)");
    c.Execute("insert into t values (1)");
  }
  EXPECT_EQ(StoredFileName(original, "master"), "master.mdf");
  EXPECT_EQ(StoredFileName(original, "BENT"), "BENT.mdf");
  EXPECT_EQ(StoredFileName(original, "KINT"), "KINT_data.mdf");

  // A server of an earlier release stored full paths: its copy still reads
  // them as inside itself.
  SqliteDb(original / "master.mdf", false)
      .Exec("UPDATE sysdatabases SET filename = " + QuoteText(original.string() + "/") +
            " || filename");
  const fs::path copy = original.parent_path() / (original.filename().string() + "-masolat");
  fs::remove_all(copy);
  fs::copy(original, copy, fs::copy_options::recursive);
  {
    Connection master = OpenOn(copy, "master");
    EXPECT_EQ(master.Query("select filename from dbo.sysdatabases where name = 'master'")
                  .Text("filename"),
              copy.string() + "/master.mdf");
    EXPECT_EQ(
        master.Query("select filename from sysdatabases where name = 'KINT'").Text("filename"),
        copy.string() + "/KINT_data.mdf");
    Connection c = OpenOn(copy, "BENT");
    c.Execute("insert into t values (2)");
    EXPECT_EQ(c.Query("select count(*) n from t").Integer("n"), 2);
  }
  EXPECT_EQ(OpenOn(original, "BENT").Query("select count(*) n from t").Integer("n"), 1);
  fs::remove_all(copy);
  fs::remove_all(original);
}

TEST_F(FilesTest, TheTimestampCounterGoesOnWhereItWasWhenTheDatabaseIsOpenedAgain) {
  const fs::path dir = NewServer("idobelyeg");
  {
    OpenOn(dir, "master").Execute("create database VERZIO");
    Connection c = OpenOn(dir, "VERZIO");
    c.Execute("create table t (a int, v rowversion)");
    c.Execute("insert into t (a) values (1), (2)");
  }
  {
    Connection c = OpenOn(dir, "VERZIO");
    c.Execute("update t set a = 3 where a = 1");
    EXPECT_EQ(c.Query("select v from t where a = 3").Text("v"), "0x00000000000007D3");
    EXPECT_EQ(c.Query("select @@dbts d").Text("d"), "0x00000000000007D3");
  }
  // A file of an earlier release has no counter: it gets one, from 2000.
  SqliteDb(dir / "VERZIO.mdf", false).Exec("DROP TABLE moltaro_dbts");
  {
    Connection c = OpenOn(dir, "VERZIO");
    EXPECT_EQ(c.Query("select @@dbts d").Text("d"), "0x00000000000007D0");
    c.Execute("insert into t (a) values (4)");
    EXPECT_EQ(c.Query("select v from t where a = 4").Text("v"), "0x00000000000007D1");
  }
  fs::remove_all(dir);
}

TEST_F(FilesTest, AFullDatabaseFailsWithSqlServersMessageAndWorksOnceThereIsRoom) {
  // moltaro.conf caps the databases of its directory; at most their size now.
  const fs::path dir = DataDir() / "kvota";
  fs::create_directories(dir);
  Connection master = Open("master");
  master.Execute(CreateStatement("TELE", dir / "TELE.mdf"));
  Open("TELE").Execute("create table adat (szoveg nvarchar(400))");
  std::ofstream(dir / "moltaro.conf") << "max_page_count=1\n";
  {
    Connection c = Open("TELE");
    std::string error;
    for (int i = 0; i < 1000 && error.empty(); ++i) {
      error = ErrorOf(c, "insert into adat values (replicate('x', 400))");
    }
    EXPECT_EQ(error,
              "Could not allocate space for object 'dbo.adat' in database 'TELE' because the "
              "'PRIMARY' filegroup is full. Create disk space by deleting unneeded files, "
              "dropping objects in the filegroup, adding additional files to the filegroup, or "
              "setting autogrowth on for existing files in the filegroup.");
    // A transaction that runs out of space leaves nothing behind.
    const long long before = c.Query("select count(*) n from adat").Integer("n");
    EXPECT_THAT(ErrorOf(c,
                        "BEGIN TRAN\n"
                        "update adat set szoveg = left(szoveg, 10)\n"
                        "insert into adat select replicate('y', 400) from adat\n"
                        "insert into adat select replicate('z', 400) from adat\n"
                        "COMMIT"),
                HasSubstr("filegroup is full"));
    EXPECT_EQ(c.Query("select count(*) n from adat").Integer("n"), before);
    EXPECT_EQ(c.Query("select min(len(szoveg)) n from adat").Integer("n"), 400);
  }
  fs::remove(dir / "moltaro.conf");
  Connection c = Open("TELE");
  EXPECT_EQ(ErrorOf(c, "insert into adat values (replicate('x', 400))"), "");
}

TEST_F(FilesTest, NewPasswordsMustNotBeEmptyNorBeginOrEndWithABlank) {
  for (const std::string password : {"", " titok", "titok ", "\ttitok", "titok\n"}) {
    const fs::path dir = DataDir().parent_path() / (DataDir().filename().string() + "-jelszo");
    try {
      InitializeServer(dir, password);
      ADD_FAILURE() << "accepted '" << password << "'";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()),
                "The password of the login sa must not be empty, nor begin or end with a blank "
                "or control character.");
    }
    EXPECT_FALSE(fs::exists(dir));
  }
  EXPECT_NO_THROW(Server::CheckNewPassword("sa", "két szó"));
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
