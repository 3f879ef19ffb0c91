// Values written to columns convert as SQL Server converts them.
#include <gmock/gmock.h>
#include <sqlite3.h>

#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

class TypesTest : public EmbeddedServerTest {
 protected:
  static void SetUpTestSuite() {
    EmbeddedServerTest::SetUpTestSuite();
    CreateDatabase("typedb");
    Connection c = Open("typedb");
    c.Execute(
        "create table t (i int, ti tinyint, si smallint, bi bigint, b bit, f float, r real, m "
        "money, d decimal(9,2), n numeric(9), dt datetime, sdt smalldatetime, c char(3), vc "
        "varchar(5), nvc nvarchar(5), tx ntext, nn int not null, idx int identity(10,5))");
  }
  Connection c_ = Open("typedb");

  Value Stored(const std::string& column, const Value& value) {
    c_.Execute("delete from t");
    c_.Execute("insert into t (nn, " + column + ") values (0, :v)", {value});
    ResultSet r = c_.Query("select " + column + " from t");
    return r.Field(column);
  }
  std::string Fails(const std::string& column, const Value& value) {
    c_.Execute("delete from t");
    return ErrorOf(c_, "insert into t (nn, " + column + ") values (0, :v)", {value});
  }
};

TEST_F(TypesTest, IntegersConvertTextAndRefuseWhatDoesNotFit) {
  EXPECT_EQ(Stored("i", std::string(" 42 ")), Value(std::int64_t{42}));
  EXPECT_EQ(Stored("i", 3.9), Value(std::int64_t{3}));
  EXPECT_EQ(Fails("i", std::string("abc")),
            "Conversion failed when converting the varchar value 'abc' to data type int.");
  EXPECT_EQ(Fails("i", std::string("1,01")),
            "Conversion failed when converting the varchar value '1,01' to data type int.");
  EXPECT_EQ(Fails("ti", std::int64_t{256}),
            "Arithmetic overflow error converting expression to data type tinyint.");
  EXPECT_EQ(Fails("i", std::int64_t{3000000000}),
            "Arithmetic overflow error converting expression to data type int.");
  EXPECT_EQ(Stored("b", std::int64_t{5}), Value(std::int64_t{1}));
}

TEST_F(TypesTest, DecimalsTakeTheDecimalCommaAndRound) {
  // Exact numbers read back as their text with every digit of the scale.
  EXPECT_EQ(Stored("d", std::string("1,01")), Value("1.01"));
  EXPECT_EQ(Stored("d", std::string("2.005")), Value("2.01"));
  EXPECT_EQ(Stored("d", 2.5), Value("2.50"));
  EXPECT_EQ(Stored("n", std::string("12")), Value(std::int64_t{12}));
  EXPECT_EQ(Stored("m", std::string("1,23456")), Value("1.2346"));
  EXPECT_EQ(Fails("d", std::string("10000000")),
            "Arithmetic overflow error converting varchar to data type numeric.");
  EXPECT_EQ(Fails("d", std::string("x")), "Error converting data type varchar to numeric.");
}

// A database written when exact numbers were floats: its values become exact
// when it is opened, so old and new rows sort and compare as one column.
TEST_F(TypesTest, FloatsLeftInExactColumnsByEarlierServersBecomeExact) {
  CreateDatabase("legacydb");
  Open("legacydb").Execute("create table regi (id int, d decimal(9,2), m money)");
  const std::string file = (DataDir() / "legacydb_data.mdf").string();
  for (const char* sql :
       {"PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(sql, ' BLOB', ' "
        "REAL') WHERE name = 'regi'",
        "INSERT INTO regi (id, d, m) VALUES (1, 2.5, 32.38), (2, 7.0, NULL)"}) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
    sqlite3_close(raw);
  }
  Connection c = Open("legacydb");
  c.Execute("insert into regi (id, d) values (3, 1.25)");
  ResultSet r = c.Query("select d, m from regi order by d");
  ASSERT_EQ(r.RowCount(), 3u);
  EXPECT_EQ(r.Rows()[0][0], Value("1.25"));
  EXPECT_EQ(r.Rows()[1][0], Value("2.50"));
  EXPECT_EQ(r.Rows()[1][1], Value("32.3800"));
  EXPECT_EQ(r.Rows()[2][0], Value("7.00"));
  EXPECT_EQ(c.Query("select min(d) d from regi").Text("d"), "1.25");
}

TEST_F(TypesTest, DatesTakeTheRegionalForms) {
  EXPECT_EQ(Stored("dt", std::string("2009.11.05")), Value(std::string("2009-11-05 00:00:00.000")));
  EXPECT_EQ(Stored("dt", std::string("20091105")), Value(std::string("2009-11-05 00:00:00.000")));
  EXPECT_EQ(Stored("dt", std::string("2009-11-05 12:00:00")),
            Value(std::string("2009-11-05 12:00:00.000")));
  EXPECT_EQ(Stored("dt", std::string("2009. 11. 05. 8:07:06")),
            Value(std::string("2009-11-05 08:07:06.000")));
  EXPECT_EQ(Stored("sdt", std::string("2009-11-05 08:07:31")),
            Value(std::string("2009-11-05 08:08:00.000")));
  EXPECT_EQ(Fails("dt", 1e300),
            "Arithmetic overflow error converting expression to data type datetime.");
  // A date's form naming no day is out of range, as SQL Server has it;
  // text that is no date at all fails to convert.
  EXPECT_EQ(Fails("dt", std::string("2009.13.05")),
            "The conversion of a varchar data type to a datetime data type resulted in an "
            "out-of-range value.");
  EXPECT_EQ(Fails("dt", std::string("2009.11.x5")),
            "Conversion failed when converting date and/or time from character string.");
  EXPECT_EQ(Fails("dt", std::string("1700-01-01")),
            "The conversion of a varchar data type to a datetime data type resulted in an "
            "out-of-range value.");
  // Comparisons convert the other side to the column's type.
  c_.Execute("delete from t");
  c_.Execute("insert into t (nn, dt) values (1, '20091105')");
  EXPECT_EQ(c_.Query("select count(*) n from t where dt = '2009.11.05'").Integer("n"), 1);
  EXPECT_EQ(c_.Query("select count(*) n from t where dt between '2009-11-01' and :x",
                     {std::string("2009.11.30")})
                .Integer("n"),
            1);
}

TEST_F(TypesTest, TextIsCheckedAgainstItsLength) {
  EXPECT_EQ(Stored("vc", std::string("árvíz")), Value(std::string("árvíz")));
  EXPECT_EQ(Fails("vc", std::string("árvízt")), "String or binary data would be truncated.");
  EXPECT_EQ(Stored("c", std::string("a")), Value(std::string("a  ")));
  EXPECT_EQ(Stored("nvc", std::int64_t{123}), Value(std::string("123")));
  EXPECT_EQ(Stored("vc", std::string("ab   ")), Value(std::string("ab   ")));
  EXPECT_EQ(Stored("vc", std::string("abcde  ")), Value(std::string("abcde")));
}

TEST_F(TypesTest, NotNullAndIdentity) {
  c_.Execute("delete from t");
  EXPECT_EQ(ErrorOf(c_, "insert into t (i) values (1)"),
            "Cannot insert the value NULL into column 'nn', table 'typedb.dbo.t'; column does not "
            "allow nulls. INSERT fails.");
  EXPECT_EQ(ErrorOf(c_, "insert into t (nn) values (NULL)"),
            "Cannot insert the value NULL into column 'nn', table 'typedb.dbo.t'; column does not "
            "allow nulls. INSERT fails.");
  c_.Execute("insert into t (nn) values (1)");
  c_.Execute("insert into t (nn) select nn + 1 from t");
  ResultSet r = c_.Query("select idx from t order by nn");
  const long long first = r.Integer("idx");
  r.Next();
  EXPECT_EQ(r.Integer("idx"), first + 5);
  EXPECT_EQ(ErrorOf(c_, "update t set nn = null"),
            "Cannot insert the value NULL into column 'nn', table 'typedb.dbo.t'; column does not "
            "allow nulls. UPDATE fails.");
  EXPECT_THAT(ErrorOf(c_, "insert into t (nn, idx) values (1, 1)"),
              HasSubstr("Cannot insert explicit value for identity column in table 't'"));
}

TEST_F(TypesTest, PlusJoinsTextAndAddsNumbers) {
  ResultSet r = c_.Query("select 'a' + 'b' x, 1 + 2 y, '1' + 2 z, :p + 'c' w, :q + 1 v",
                         {std::string("b"), std::int64_t{4}});
  EXPECT_EQ(r.Text("x"), "ab");
  EXPECT_EQ(r.Integer("y"), 3);
  EXPECT_EQ(r.Integer("z"), 3);
  EXPECT_EQ(r.Text("w"), "bc");
  EXPECT_EQ(r.Integer("v"), 5);
  EXPECT_EQ(ErrorOf(c_, "select 'abc' + 1"),
            "Conversion failed when converting the varchar value 'abc' to data type int.");
}

TEST_F(TypesTest, StringFunctionsFollowSqlServer) {
  ResultSet r = c_.Query(
      "select len('ab  ') a, rtrim('x  ') b, ltrim('  y') c, upper('árvíz') d, lower('ÁRVÍZ') e, "
      "substring('abcdef', 2, 3) f, substring('abc', 0, 2) g, isnull(null, 'h') h, "
      "coalesce(null, null, 3) i, left('abc', 2) j, right('abc', 2) k, charindex('C', 'abcabc', 4) "
      "l");
  EXPECT_EQ(r.Integer("a"), 2);
  EXPECT_EQ(r.Text("b"), "x");
  EXPECT_EQ(r.Text("c"), "y");
  EXPECT_EQ(r.Text("d"), "ÁRVÍZ");
  EXPECT_EQ(r.Text("e"), "árvíz");
  EXPECT_EQ(r.Text("f"), "bcd");
  EXPECT_EQ(r.Text("g"), "a");
  EXPECT_EQ(r.Text("h"), "h");
  EXPECT_EQ(r.Integer("i"), 3);
  EXPECT_EQ(r.Text("j"), "ab");
  EXPECT_EQ(r.Text("k"), "bc");
  EXPECT_EQ(r.Integer("l"), 6);
  // Unaliased expressions have no name; a column keeps the name written.
  ResultSet named = c_.Query("select 1, NN, t.vc from t");
  EXPECT_EQ(named.Columns(), (std::vector<std::string>{"", "NN", "vc"}));
}

TEST_F(TypesTest, QueriesWithJoinsGroupsAndSubqueries) {
  c_.Execute("delete from t");
  c_.Execute("insert into t (nn, vc) values (1, 'a'), (2, 'a'), (3, 'b'), (4, NULL)");
  ResultSet g = c_.Query(
      "select vc, count(*) db, sum(nn) s, max(nn) mx from dbo.t group by vc having count(*) > 1");
  EXPECT_EQ(g.RowCount(), 1u);
  EXPECT_EQ(g.Text("VC"), "a");
  EXPECT_EQ(g.Integer("S"), 3);
  EXPECT_EQ(c_.Query("select top 2 nn from t order by nn desc").RowCount(), 2u);
  EXPECT_EQ(c_.Query("select count(*) n from t where vc in ('A', 'x') and nn between 1 and 2")
                .Integer("n"),
            2);
  EXPECT_EQ(
      c_.Query("select count(*) n from t a where exists (select 1 from t b where b.nn = a.nn + 1)")
          .Integer("n"),
      3);
  EXPECT_EQ(c_.Query("select count(*) n from t where nn in (select nn from t where vc is null)")
                .Integer("n"),
            1);
  EXPECT_EQ(c_.Query("select count(*) n from t x, [t] AS y where x.nn = y.nn and y.vc like '_'")
                .Integer("n"),
            3);
  EXPECT_EQ(c_.Query("select count(*) n from t where vc like 'A%'").Integer("n"), 2);
  EXPECT_EQ(ErrorOf(c_, "select nn from t x, t y"), "Ambiguous column name 'nn'.");
  c_.Execute("update t set vc = vc + 'z' where nn = :n", {std::int64_t{1}});
  EXPECT_EQ(c_.Query("select vc from t where nn = 1").Text("vc"), "az");
  c_.Execute("delete from t where vc is null");
  EXPECT_EQ(c_.Query("select count(nn) n from t").Integer("n"), 3);
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
