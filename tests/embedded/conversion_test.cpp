// Value conversion into declared types, without a server.
#include <gtest/gtest.h>

#include "db/embedded/types/sql_types.h"
#include "db/errors.h"

namespace moltaro::db::embedded {
namespace {

SqlType Type(const std::string& name, int length = -1, int precision = -1, int scale = -1) {
  TypeSpec spec;
  spec.name = name;
  spec.length = length;
  spec.precision = precision;
  spec.scale = scale;
  return ResolveType(spec, 1);
}

struct Outcome {
  bool ok;
  StoredValue value;
  std::string error;
  int number = 0;
};

Outcome Convert(const StoredValue& in, const SqlType& type, bool truncationIsError = true) {
  Outcome o;
  SqlError error;
  o.ok = ConvertValue(SourceValue{in, false}, type, truncationIsError, o.value, error);
  o.error = error.message;
  o.number = error.number;
  return o;
}

std::string ExactText(const Outcome& o) {
  return DecimalText(std::get<Decimal>(o.value));
}

TEST(ConversionTest, DateForms) {
  EXPECT_EQ(ParseDateTimeText("2009.11.05.", DateOrder::Mdy), "2009-11-05 00:00:00.000");
  EXPECT_EQ(ParseDateTimeText("2009/11/05 23:59:59.997", DateOrder::Mdy),
            "2009-11-05 23:59:59.997");
  EXPECT_EQ(ParseDateTimeText("2009-11-05T08:07", DateOrder::Mdy), "2009-11-05 08:07:00.000");
  EXPECT_EQ(ParseDateTimeText("11/05/2009", DateOrder::Mdy), "2009-11-05 00:00:00.000");
  EXPECT_EQ(ParseDateTimeText("20091105 8:07:06 PM", DateOrder::Mdy), "2009-11-05 20:07:06.000");
  EXPECT_EQ(ParseDateTimeText("12:30", DateOrder::Mdy), "1900-01-01 12:30:00.000");
  EXPECT_EQ(ParseDateTimeText("", DateOrder::Mdy), "1900-01-01 00:00:00.000");
  EXPECT_FALSE(ParseDateTimeText("2009-02-29", DateOrder::Mdy));
  EXPECT_TRUE(ParseDateTimeText("2008-02-29", DateOrder::Mdy));
  EXPECT_FALSE(ParseDateTimeText("2009-11-05 24:00", DateOrder::Mdy));
  EXPECT_FALSE(ParseDateTimeText("tegnap", DateOrder::Mdy));
  EXPECT_FALSE(ParseDateTimeText("2009-11-05x", DateOrder::Mdy));
}

// The regional year-first forms the workstation sends keep their order for
// a date value's own text; only character data follows a day-first order.
TEST(ConversionTest, DateFormsUnderADayFirstOrder) {
  bool outOfRange = false;
  EXPECT_EQ(ParseDateTimeText("2009. 11. 05. 8:07:06", DateOrder::Dmy, false, outOfRange),
            "2009-11-05 08:07:06.000");
  EXPECT_EQ(ParseDateTimeText("2009. 11. 05. 8:07:06", DateOrder::Dmy, true, outOfRange),
            "2009-05-11 08:07:06.000");
  EXPECT_FALSE(ParseDateTimeText("2009-11-13", DateOrder::Ydm, true, outOfRange));
  EXPECT_TRUE(outOfRange);
  EXPECT_FALSE(ParseDateTimeText("5/11/200", DateOrder::Dmy, true, outOfRange));
  EXPECT_FALSE(outOfRange);
  EXPECT_EQ(ParseDateTimeText("5/11/49", DateOrder::Dmy), "2049-11-05 00:00:00.000");
  EXPECT_EQ(ParseDateTimeText("5/11/50", DateOrder::Dmy), "1950-11-05 00:00:00.000");
}

TEST(ConversionTest, NumbersFromDatesAndDatesFromNumbers) {
  const SqlType dt = Type("datetime");
  EXPECT_EQ(std::get<std::string>(Convert(std::int64_t{0}, dt).value), "1900-01-01 00:00:00.000");
  EXPECT_EQ(std::get<std::string>(Convert(1.5, dt).value), "1900-01-02 12:00:00.000");
  EXPECT_EQ(std::get<std::string>(
                Convert(std::string("2079-06-06 23:59:29"), Type("smalldatetime")).value),
            "2079-06-06 23:59:00.000");
  EXPECT_FALSE(Convert(std::string("2080-01-01"), Type("smalldatetime")).ok);
}

TEST(ConversionTest, NumberTextAcceptsOneDecimalSeparator) {
  EXPECT_EQ(ParseNumberText(" 1,5 "), 1.5);
  EXPECT_EQ(ParseNumberText("-.5"), -0.5);
  EXPECT_EQ(ParseNumberText("1e3"), 1000.0);
  EXPECT_FALSE(ParseNumberText("1,000.5"));
  EXPECT_FALSE(ParseNumberText("1,2,3"));
  EXPECT_FALSE(ParseNumberText("1e"));
  EXPECT_FALSE(ParseNumberText("."));
}

TEST(ConversionTest, IntegerLimitsAndText) {
  EXPECT_TRUE(Convert(std::int64_t{255}, Type("tinyint")).ok);
  EXPECT_FALSE(Convert(std::int64_t{-1}, Type("tinyint")).ok);
  EXPECT_TRUE(Convert(std::int64_t{-32768}, Type("smallint")).ok);
  EXPECT_FALSE(Convert(std::int64_t{32768}, Type("smallint")).ok);
  EXPECT_EQ(std::get<std::int64_t>(Convert(std::string(""), Type("int")).value), 0);
  EXPECT_EQ(std::get<std::int64_t>(Convert(std::string("-7"), Type("bigint")).value), -7);
  EXPECT_FALSE(Convert(std::string("99999999999999999999"), Type("bigint")).ok);
  EXPECT_EQ(Convert(std::string("1.5"), Type("int")).error,
            "Conversion failed when converting the varchar value '1.5' to data type int.");
  EXPECT_EQ(std::get<std::int64_t>(Convert(std::string("true"), Type("bit")).value), 1);
  EXPECT_EQ(std::get<std::int64_t>(Convert(-2.7, Type("int")).value), -2);
}

TEST(ConversionTest, DecimalScaleRangeAndStorage) {
  const SqlType d = Type("decimal", 5, 5, 2);
  EXPECT_EQ(ExactText(Convert(std::string("999,994"), d)), "999.99");
  EXPECT_FALSE(Convert(std::string("999,995"), d).ok);  // rounds to 1000.00: too big
  EXPECT_EQ(std::get<std::int64_t>(Convert(12.6, Type("numeric", 9, 9)).value), 13);
  EXPECT_EQ(Convert(1e20, Type("numeric", 9, 9)).error,
            "Arithmetic overflow error converting float to data type numeric.");
  EXPECT_EQ(Convert(1e20, Type("numeric", 9, 9)).number, 8115);
  EXPECT_EQ(ExactText(Convert(std::string("214748,3647"), Type("smallmoney"))), "214748.3647");
  EXPECT_FALSE(Convert(std::string("214748,3648"), Type("smallmoney")).ok);
  // Exactly, beyond a double's 15-16 digits, and half away from zero.
  EXPECT_EQ(ExactText(Convert(std::string("12345678901234567.891"), Type("decimal", 20, 20, 3))),
            "12345678901234567.891");
  EXPECT_EQ(ExactText(Convert(std::string("-0.005"), Type("decimal", 5, 5, 2))), "-0.01");
  EXPECT_EQ(std::get<std::int64_t>(
                Convert(std::string("123456789012345678"), Type("numeric", 18, 18)).value),
            123456789012345678);
  EXPECT_EQ(Convert(std::string("1e5"), Type("decimal", 9, 9, 2)).number, 8114);
}

TEST(ConversionTest, CharactersCountCharactersNotBytes) {
  const SqlType nv = Type("nvarchar", 3);
  EXPECT_TRUE(Convert(std::string("őűé"), nv).ok);
  EXPECT_EQ(Convert(std::string("őűéa"), nv).error, "String or binary data would be truncated.");
  // CAST and CONVERT cut instead of failing.
  EXPECT_EQ(std::get<std::string>(Convert(std::string("őűéa"), nv, false).value), "őűé");
  EXPECT_EQ(std::get<std::string>(Convert(std::string("ő"), Type("nchar", 3)).value), "ő  ");
  EXPECT_EQ(std::get<std::string>(Convert(2.5, Type("varchar", 10)).value), "2.5");
}

TEST(ConversionTest, TypeResolutionAndCodes) {
  EXPECT_THROW(Type("varchar", 8001), DatabaseError);
  EXPECT_THROW(Type("nvarchar", 4001), DatabaseError);
  EXPECT_THROW(Type("decimal", 39, 39), DatabaseError);
  EXPECT_THROW(Type("decimal", 5, 5, 6), DatabaseError);
  EXPECT_THROW(Type("int", 10, 10), DatabaseError);
  EXPECT_THROW(Type("hierarchyid"), DatabaseError);
  // sql_variant and timestamp take no size; their codes are SQL Server's.
  EXPECT_THROW(Type("sql_variant", 10, 10), DatabaseError);
  EXPECT_THROW(Type("rowversion", 8, 8), DatabaseError);
  EXPECT_EQ(TypeXtype(Type("sql_variant").base), 98);
  EXPECT_EQ(TypeStorageLength(Type("sql_variant")), 8016);
  EXPECT_EQ(TypeXtype(Type("rowversion").base), 189);
  EXPECT_EQ(TypeText(Type("rowversion")), "timestamp");
  EXPECT_EQ(TypeStorageLength(Type("timestamp")), 8);
  const SqlType d = Type("decimal");
  EXPECT_EQ(d.precision, 18);
  EXPECT_EQ(TypeText(d), "decimal(18,0)");
  EXPECT_EQ(Type("float", 10, 10).base, BaseType::Real);
  EXPECT_EQ(TypeStorageLength(Type("decimal", 19, 19)), 9);
  EXPECT_EQ(TypeStorageLength(Type("decimal", 38, 38)), 17);
  auto back = TypeFromCodes(231, 100, 0, 0);
  ASSERT_TRUE(back);
  EXPECT_EQ(TypeText(*back), "nvarchar(50)");
}

}  // namespace
}  // namespace moltaro::db::embedded
