// The generic half of the backend (connecting DSN-less, binding, reading,
// errors) against a real ODBC driver: SQLite's.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/errors.h"
#include "db/odbc/odbc_connection.h"
#include "test_drivers.h"

namespace moltaro::db::odbc {
namespace {

using testing::ScratchFile;

class SqliteSession : public ::testing::Test {
 protected:
  void SetUp() override {
    driver_ = testing::SqliteDriver();
    ASSERT_FALSE(driver_.empty())
        << "The SQLite ODBC driver (Debian package libsqliteodbc) is not installed.";
  }

  std::unique_ptr<OdbcConnection> Open() {
    OdbcConnectTarget target;
    target.connectionString = "Driver=" + driver_ + ";Database=" + file_.Path().string() + ";";
    return std::make_unique<OdbcConnection>(target, 5, driver_);
  }

  std::string driver_;
  ScratchFile file_{"moltaro-odbc-session"};
};

TEST_F(SqliteSession, BindsValuesByOrderAndReadsColumnsByNameIgnoringCase) {
  auto session = Open();
  session->Execute("CREATE TABLE zmp_t (id INTEGER, nev VARCHAR(50), ar DOUBLE, megj VARCHAR(10))",
                   {});
  // The markers are out of alphabetical order and one repeats: binding goes
  // by appearance, never by name.
  session->Execute("INSERT INTO zmp_t (nev, id, ar, megj) VALUES (:z, :a, :z, :m)",
                   {std::string("Kovács"), std::int64_t{42}, 12.5, Null()});
  const BatchResult batch = session->Execute("SELECT id, nev, ar, megj FROM zmp_t", {});
  ASSERT_EQ(batch.results.size(), 1u);
  const ResultSet& rows = batch.results.front();
  ASSERT_EQ(rows.RowCount(), 1u);
  EXPECT_EQ(rows.Integer("ID"), 42);
  EXPECT_EQ(rows.Text("NEV"), "Kovács");
  EXPECT_EQ(rows.Field("Ar"), Value(12.5));
  EXPECT_TRUE(rows.IsNull("MEGJ"));
  EXPECT_EQ(rows.Text("megj"), "");
}

TEST_F(SqliteSession, ReadsEveryRowAndAnEmptyResultKeepsItsColumns) {
  auto session = Open();
  session->Execute("CREATE TABLE szamok (szam INTEGER)", {});
  for (std::int64_t i = 1; i <= 3; ++i) {
    session->Execute("INSERT INTO szamok (szam) VALUES (:szam)", {i});
  }
  ResultSet rows = session->Execute("SELECT szam FROM szamok ORDER BY szam", {}).results.at(0);
  std::vector<std::int64_t> seen;
  for (; !rows.Eof(); rows.Next()) seen.push_back(rows.Integer("SZAM"));
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2, 3}));

  const ResultSet none =
      session->Execute("SELECT szam FROM szamok WHERE szam > :x", {std::int64_t{9}}).results.at(0);
  EXPECT_EQ(none.RowCount(), 0u);
  EXPECT_EQ(none.Columns(), std::vector<std::string>{"szam"});
  EXPECT_TRUE(none.IsNull("SZAM"));
}

TEST_F(SqliteSession, HungarianAndLongTextsPassWhole) {
  auto session = Open();
  session->Execute("CREATE TABLE szoveg (sorsz INTEGER, szoveg TEXT)", {});
  const std::string hungarian = "Árvíztűrő tükörfúrógép – őŐűŰ áéíóöőúüű";
  std::string long4000;
  for (int i = 0; i < 1000; ++i) long4000 += "őzÁé";  // 4000 characters, 8000 bytes
  std::string long9000;
  for (int i = 0; i < 900; ++i) long9000 += "0123456ű8\n";
  const std::vector<std::string> texts = {hungarian, long4000, long9000, ""};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    session->Execute("INSERT INTO szoveg (sorsz, szoveg) VALUES (:s, :t)",
                     {static_cast<std::int64_t>(i), texts[i]});
  }
  ResultSet rows = session->Execute("SELECT szoveg FROM szoveg ORDER BY sorsz", {}).results.at(0);
  ASSERT_EQ(rows.RowCount(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i, rows.Next()) {
    EXPECT_EQ(rows.Text("szoveg"), texts[i]) << "text " << i;
  }
  // The server sees characters, not bytes.
  const ResultSet length = session->Execute("SELECT length(:t) AS hossz", {long4000}).results.at(0);
  EXPECT_EQ(length.Integer("hossz"), 4000);
}

TEST_F(SqliteSession, MarkersInsideLiteralsAndCommentsAreNotBound) {
  auto session = Open();
  const ResultSet rows =
      session->Execute("SELECT ':nem' AS a, :igen AS b -- :sem\n", {std::string("x")})
          .results.at(0);
  EXPECT_EQ(rows.Text("a"), ":nem");
  EXPECT_EQ(rows.Text("b"), "x");
}

TEST_F(SqliteSession, ReportsRowsAffectedOfChanges) {
  auto session = Open();
  session->Execute("CREATE TABLE t (k INTEGER)", {});
  session->Execute("INSERT INTO t (k) VALUES (1)", {});
  session->Execute("INSERT INTO t (k) VALUES (2)", {});
  EXPECT_EQ(session->Execute("UPDATE t SET k = k + 10", {}).rowsAffected, 2);
  const BatchResult none = session->Execute("DELETE FROM t WHERE k = :k", {std::int64_t{99}});
  EXPECT_EQ(none.rowsAffected, 0);
  EXPECT_TRUE(none.results.empty());
}

TEST_F(SqliteSession, ServerErrorsCarryTheDriversMessageWithoutPrefix) {
  auto session = Open();
  try {
    session->Execute("SELECT * FROM nincs_ilyen", {});
    FAIL() << "a missing table was not reported";
  } catch (const DatabaseError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("nincs_ilyen"), std::string::npos) << message;
    EXPECT_NE(message.front(), '[') << message;
  }
  // The session stays usable after a failed statement.
  EXPECT_EQ(session->Execute("SELECT 1 AS egy", {}).results.at(0).Integer("egy"), 1);
}

TEST_F(SqliteSession, AMismatchOfMarkersAndValuesIsRefusedBeforeExecution) {
  auto session = Open();
  session->Execute("CREATE TABLE t (a INTEGER, b INTEGER)", {});
  EXPECT_THROW(session->Execute("INSERT INTO t (a, b) VALUES (:a, :b)", {std::int64_t{1}}), Error);
  EXPECT_THROW(
      session->Execute("INSERT INTO t (a) VALUES (:a)", {std::int64_t{1}, std::int64_t{2}}), Error);
  EXPECT_EQ(session->Execute("SELECT count(*) AS n FROM t", {}).results.at(0).Integer("n"), 0);
}

TEST_F(SqliteSession, ReopeningFindsWhatTheFirstSessionWrote) {
  {
    auto first = Open();
    first->Execute("CREATE TABLE megmarad (nev VARCHAR(20))", {});
    first->Execute("INSERT INTO megmarad (nev) VALUES (:n)", {std::string("Ödön")});
  }
  auto second = Open();
  EXPECT_EQ(second->Execute("SELECT nev FROM megmarad", {}).results.at(0).Text("NEV"), "Ödön");
}

TEST_F(SqliteSession, AnUnregisteredDriverIsNamedInAClearError) {
  OdbcConnectTarget target;
  target.connectionString = "Driver={Nincs Ilyen Driver};Server=x;";
  try {
    OdbcConnection session(target, 5, "Nincs Ilyen Driver");
    FAIL() << "connected through a driver that does not exist";
  } catch (const DatabaseError& e) {
    FAIL() << "reported as a server error: " << e.what();
  } catch (const Error& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("\"Nincs Ilyen Driver\""), std::string::npos) << message;
    EXPECT_NE(message.find("is registered"), std::string::npos) << message;
    EXPECT_NE(message.find("MOLTARO_ODBC_DRIVER"), std::string::npos) << message;
  }
}

TEST_F(SqliteSession, ADriverLibraryThatCannotBeLoadedIsNamed) {
  OdbcConnectTarget target;
  target.connectionString = "Driver=/nincs/libnincs.so;Server=x;";
  try {
    OdbcConnection session(target, 5, "/nincs/libnincs.so");
    FAIL() << "connected through a library that does not exist";
  } catch (const DatabaseError& e) {
    FAIL() << "reported as a server error: " << e.what();
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("cannot be loaded"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace moltaro::db::odbc
