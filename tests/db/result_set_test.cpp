#include "db/result_set.h"

#include <gtest/gtest.h>

#include "db/errors.h"

namespace moltaro::db {
namespace {

TEST(ResultSet, ReadsByNameIgnoringCaseAndWalksForward) {
  ResultSet rs({"dbname", "id"}, {{std::string("ceg1"), std::int64_t{7}}, {Null(), 2.9}});
  EXPECT_EQ(rs.Text("DBNAME"), "ceg1");
  EXPECT_EQ(rs.Integer("ID"), 7);
  rs.Next();
  EXPECT_TRUE(rs.IsNull("DbName"));
  EXPECT_EQ(rs.Text("dbname"), "");
  EXPECT_EQ(rs.Integer("id"), 2);
  rs.Next();
  EXPECT_TRUE(rs.Eof());
  EXPECT_THROW(rs.Text("missing"), Error);
}

TEST(ResultSet, EmptyResultReadsAsRowOfNulls) {
  ResultSet rs({"ID", "KOD"}, {});
  EXPECT_TRUE(rs.Eof());
  EXPECT_TRUE(rs.IsNull("id"));
  EXPECT_EQ(rs.Text("kod"), "");
  EXPECT_EQ(rs.Integer("id"), 0);
}

TEST(Value, TextAndIntegerForms) {
  EXPECT_EQ(ToText(Value{1.5}), "1.5");
  EXPECT_EQ(ToText(Value{3.0}), "3");
  EXPECT_EQ(ToText(Value{std::int64_t{-4}}), "-4");
  EXPECT_EQ(ToInteger(Value{std::string(" 42 ")}), 42);
  EXPECT_THROW(ToInteger(Value{std::string("4x")}), Error);
  // Exact numbers arrive as their text: the whole part, as with a float.
  EXPECT_EQ(ToInteger(Value{std::string("-523.96")}), -523);
  EXPECT_THROW(ToInteger(Value{std::string("5.")}), Error);
  EXPECT_THROW(ToInteger(Value{std::string("5.1x")}), Error);
}

}  // namespace
}  // namespace moltaro::db
