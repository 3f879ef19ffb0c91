// The call escape of stored procedures and the storage of their parameters.
#include <gtest/gtest.h>

#include "db/errors.h"
#include "db/odbc/parameter_buffers.h"
#include "db/odbc/procedure_call.h"

namespace moltaro::db::odbc {
namespace {

using Dir = ParameterDirection;

TEST(CallEscape, NextIdCallsWithReturnValueFirst) {
  const ProcedureParameters params = {{"@RETURN_VALUE", Dir::ReturnValue, Null()},
                                      {"@idseq_val", Dir::InputOutput, std::int64_t{1}}};
  const ProcedureCall call = MakeProcedureCall("ZMP_ID_SEQ_INC;1", params);
  EXPECT_EQ(call.text, "{? = call ZMP_ID_SEQ_INC(?)}");
  EXPECT_EQ(call.order, (std::vector<std::size_t>{0, 1}));
}

TEST(CallEscape, ParametersKeepTheirOrderWhereverTheReturnValueStands) {
  const ProcedureParameters params = {{"@a", Dir::Input, std::string("x")},
                                      {"@b", Dir::Output, Null()},
                                      {"@RETURN_VALUE", Dir::ReturnValue, Null()}};
  const ProcedureCall call = MakeProcedureCall("dbo.zmp_konvertalas_utan_fut1", params);
  EXPECT_EQ(call.text, "{? = call dbo.zmp_konvertalas_utan_fut1(?, ?)}");
  EXPECT_EQ(call.order, (std::vector<std::size_t>{2, 0, 1}));
  EXPECT_EQ(MakeProcedureCall("zmp_konvertalas_utan_fut1", {}).text,
            "{call zmp_konvertalas_utan_fut1}");
  EXPECT_EQ(MakeProcedureCall("[ZMP Eljárás];2", {}).text, "{call [ZMP Eljárás];2}");
}

TEST(CallEscape, RefusesNamesThatWouldSmuggleInText) {
  for (const char* name :
       {"", "x; DROP TABLE y", "a b", "[open", "x(1)", "a.b.c.d.e", "p;x", "p}", "1abc"}) {
    EXPECT_THROW(MakeProcedureCall(name, {}), Error) << name;
  }
  EXPECT_THROW(
      MakeProcedureCall("p", {{"@r", Dir::ReturnValue, Null()}, {"@s", Dir::ReturnValue, Null()}}),
      Error);
}

TEST(BoundParameters, TextsOverFourThousandUnitsGoAsLongText) {
  EXPECT_EQ(MakeBoundParameter(std::string(4000, 'a'), Dir::Input).sqlType, SQL_WVARCHAR);
  const BoundParameter longText = MakeBoundParameter(std::string(4001, 'a'), Dir::Input);
  EXPECT_EQ(longText.sqlType, SQL_WLONGVARCHAR);
  EXPECT_EQ(longText.columnSize, 4001u);
  EXPECT_EQ(longText.indicator, 4001 * 2);
}

TEST(BoundParameters, OutputsHaveRoomAndReadBackWhatTheDriverLeft) {
  BoundParameter text = MakeBoundParameter(std::string("ab"), Dir::InputOutput);
  ASSERT_GE(text.text.size(), 4001u);
  const std::u16string answer = u"Győr";
  std::copy(answer.begin(), answer.end(), text.text.begin());
  text.indicator = static_cast<SQLLEN>(answer.size() * 2);
  EXPECT_EQ(ReadBoundParameter(text), Value(std::string("Győr")));

  BoundParameter id = MakeBoundParameter(std::int64_t{1}, Dir::InputOutput);
  id.integer = 1234;
  EXPECT_EQ(ReadBoundParameter(id), Value(std::int64_t{1234}));
  id.indicator = SQL_NULL_DATA;
  EXPECT_TRUE(IsNull(ReadBoundParameter(id)));

  const BoundParameter result = MakeBoundParameter(Null(), Dir::ReturnValue);
  EXPECT_EQ(result.cType, SQL_C_SBIGINT);
  EXPECT_EQ(result.ioType, SQL_PARAM_OUTPUT);
  EXPECT_EQ(MakeBoundParameter(Null(), Dir::Input).indicator, SQL_NULL_DATA);
}

}  // namespace
}  // namespace moltaro::db::odbc
