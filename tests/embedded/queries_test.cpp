// Query shapes beyond the system's own statements: UPDATE … FROM,
// DELETE … FROM, dates, arithmetic (joins, derived tables, unions and CASE
// are in cases/queries.test).
#include <gmock/gmock.h>

#include "db/session.h"
#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

class QueriesTest : public EmbeddedServerTest {
 protected:
  static void SetUpTestSuite() {
    EmbeddedServerTest::SetUpTestSuite();
    CreateDatabase("q");
    Connection c = Open("q");
    c.Execute(
        "create table dolgozo (id int, nev nvarchar(30), reszleg int, ber money, belepes "
        "datetime)");
    c.Execute("create table reszleg (id int, nev nvarchar(30))");
    c.Execute(
        "insert into dolgozo values (1, 'Kiss', 10, 1000, '2001.01.15'), (2, 'Nagy', 10, 2000, "
        "'2005.06.01'), (3, 'Tóth', 20, 1500, '2009.11.05'), (4, 'Szabó', NULL, 500, NULL)");
    c.Execute("insert into reszleg values (10, 'Bér'), (20, 'Munkaügy'), (30, 'Üres')");
  }
  Connection c_ = Open("q");

  std::vector<std::string> Column(ResultSet r, const std::string& name) {
    std::vector<std::string> out;
    for (; !r.Eof(); r.Next()) out.push_back(r.Text(name));
    return out;
  }
};

// An upsert with the values bound as parameters: the source's columns keep
// the bound values, whatever their type, through the match into the target.
TEST_F(QueriesTest, MergeTakesParameters) {
  c_.Execute("create table ar (id int primary key, ertek numeric(10,2), megj nvarchar(20))");
  const std::string upsert =
      "merge ar t using (select :id as id, :ertek as ertek, :megj as megj) s on t.id = s.id "
      "when matched then update set ertek = t.ertek + s.ertek, megj = s.megj "
      "when not matched then insert (id, ertek, megj) values (s.id, s.ertek, s.megj);";
  c_.Execute(upsert, {std::int64_t{1}, 2.5, std::string("első")});
  c_.Execute(upsert, {std::int64_t{1}, std::string("1,25"), std::string("második")});
  c_.Execute(upsert, {std::int64_t{2}, std::int64_t{7}, Value{}});
  ResultSet r = c_.Query("select id, ertek, megj from ar order by id");
  ASSERT_EQ(r.RowCount(), 2u);
  EXPECT_EQ(r.Text("ertek"), "3.75");
  EXPECT_EQ(r.Text("megj"), "második");
  r.Next();
  EXPECT_EQ(r.Text("ertek"), "7.00");
  EXPECT_TRUE(r.IsNull("megj"));
}

TEST_F(QueriesTest, TopTakesAParameter) {
  EXPECT_EQ(c_.Query("select top (:n) id from dolgozo", {std::int64_t{3}}).RowCount(), 3u);
}

TEST_F(QueriesTest, UpdateAndDeleteWithJoins) {
  c_.Execute("create table ber_emeles (reszleg int, szazalek int)");
  c_.Execute("insert into ber_emeles values (10, 10)");
  c_.Execute(
      "update d set ber = ber * (100 + e.szazalek) / 100 from dolgozo d, ber_emeles e where "
      "d.reszleg = e.reszleg");
  EXPECT_EQ(Column(c_.Query("select ber from dolgozo where reszleg = 10 order by id"), "ber"),
            (std::vector<std::string>{"1100.0000", "2200.0000"}));
  c_.Execute("delete d from dolgozo d join ber_emeles e on e.reszleg = d.reszleg where d.id = 1");
  EXPECT_EQ(c_.Query("select count(*) n from dolgozo").Integer("n"), 3);
  c_.Execute("insert into dolgozo (id, nev, reszleg, ber) values (1, 'Kiss', 10, 1100)");
  c_.Execute("update dolgozo set ber = ber - 100 where reszleg = 10");
  c_.Execute("update dolgozo set ber = ber + 100 where reszleg = 10");
  EXPECT_EQ(c_.Query("select sum(ber) s from dolgozo where reszleg = 10").Text("s"), "3300.0000");
}

TEST_F(QueriesTest, DateFunctions) {
  ResultSet r = c_.Query(
      "select year(belepes) y, month(belepes) m, day(belepes) d, datepart(dw, belepes) w, "
      "dateadd(month, 1, belepes) a, datediff(day, '2009.11.01', belepes) dd, "
      "convert(varchar(10), belepes, 102) s102, convert(char(8), belepes, 112) s112, "
      "belepes + 1 holnap from dolgozo where id = 3");
  EXPECT_EQ(r.Integer("y"), 2009);
  EXPECT_EQ(r.Integer("m"), 11);
  EXPECT_EQ(r.Integer("d"), 5);
  EXPECT_EQ(r.Integer("w"), 5);  // Thursday, counting from Sunday
  EXPECT_EQ(r.Text("a"), "2009-12-05 00:00:00.000");
  EXPECT_EQ(r.Integer("dd"), 4);
  EXPECT_EQ(r.Text("s102"), "2009.11.05");
  EXPECT_EQ(r.Text("s112"), "20091105");
  EXPECT_EQ(r.Text("holnap"), "2009-11-06 00:00:00.000");
  EXPECT_EQ(c_.Query("select dateadd(month, 1, '2009-01-31') x").Text("x"),
            "2009-02-28 00:00:00.000");
  EXPECT_EQ(
      c_.Query(
            "select count(*) n from dolgozo where belepes < getdate() and belepes > '2009.01.01'")
          .Integer("n"),
      1);
}

TEST_F(QueriesTest, ArithmeticFollowsSqlServer) {
  ResultSet r = c_.Query("select 7 / 2 a, 7 % 3 b, 7.0 / 2 c, 5 & 3 d, 5 | 3 e, 5 ^ 3 f, -(2) g");
  EXPECT_EQ(r.Integer("a"), 3);
  EXPECT_EQ(r.Integer("b"), 1);
  EXPECT_EQ(r.Text("c"), "3.500000");  // numeric(2,1) / int: scale 6
  EXPECT_EQ(r.Integer("d"), 1);
  EXPECT_EQ(r.Integer("e"), 7);
  EXPECT_EQ(r.Integer("f"), 6);
  EXPECT_EQ(r.Integer("g"), -2);
  EXPECT_EQ(ErrorOf(c_, "select 1 / 0"), "Divide by zero error encountered.");
  EXPECT_EQ(c_.Query("select avg(id) a from dolgozo").Integer("a"), 2);
  EXPECT_TRUE(c_.Query("select sum(id) s from dolgozo where 1 = 0").IsNull("s"));
}

// The conversion looks a person up by a code bound as a number against a
// text column: the text converts, as in SQL Server; bound as text, the same
// statement compares text.
TEST_F(QueriesTest, ParametersComparedWithTextFollowWhatTheyAreBoundTo) {
  c_.Execute("create table kszt (szem_id int, szemely char(11))");
  c_.Execute("create index kszt_szemely on kszt (szemely)");
  c_.Execute("insert into kszt values (1, '     100001'), (2, '00000100002')");
  const std::string lookup = "select szem_id from kszt where szemely = :code";
  EXPECT_EQ(c_.Query(lookup, {std::int64_t{100001}}).Integer("szem_id"), 1);
  EXPECT_EQ(c_.Query(lookup, {100002.0}).Integer("szem_id"), 2);
  EXPECT_EQ(c_.Query(lookup, {std::string("     100001")}).Integer("szem_id"), 1);
  EXPECT_TRUE(c_.Query(lookup, {std::string("100001")}).IsNull("szem_id"));
  c_.Execute("insert into kszt values (3, 'X')");
  EXPECT_EQ(ErrorOf(c_, lookup, {std::int64_t{7}}),
            "Conversion failed when converting the varchar value 'X          ' to data type int.");
}

// A batch that fails after it sent rows and messages keeps them with the
// error, so a shell can show them before it; a batch failing at once has none.
TEST_F(QueriesTest, AFailedBatchKeepsWhatItSentBefore) {
  try {
    c_.Run("select count(*) as n from dolgozo print 'megvan' exec nincsilyen select 2");
    FAIL() << "the batch should fail";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Number(), 2812);
    ASSERT_NE(e.Partial(), nullptr);
    ASSERT_EQ(e.Partial()->results.size(), 1u);
    EXPECT_EQ(e.Partial()->results[0].Text("n"), "4");
    EXPECT_EQ(e.Partial()->messages, std::vector<std::string>{"megvan"});
  }
  try {
    c_.Run("exec nincsilyen select 1");
    FAIL() << "the batch should fail";
  } catch (const DatabaseError& e) {
    EXPECT_EQ(e.Partial(), nullptr);
  }
}

TEST_F(QueriesTest, UnsupportedFunctionsAreNamed) {
  EXPECT_THAT(ErrorOf(c_, "select checksum('Kiss')"),
              HasSubstr("not supported by the embedded server: function CHECKSUM"));
  EXPECT_EQ(ErrorOf(c_, "select nincsilyen(1)"),
            "'nincsilyen' is not a recognized built-in function name.");
  EXPECT_THAT(ErrorOf(c_, "select * from sys.dm_exec_sessions"),
              HasSubstr("catalog view sys.dm_exec_sessions"));
  EXPECT_THAT(ErrorOf(c_, "select * from master.dbo.sysprocesses"), HasSubstr("another database"));
  EXPECT_THAT(ErrorOf(c_, "select top 150 percent id from dolgozo"), HasSubstr("TOP … PERCENT"));
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
