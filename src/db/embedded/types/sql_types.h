// SQL Server data types as the embedded server keeps them: codes for the
// system tables, the SQLite storage class, and conversion of values into a
// column's type the way SQL Server converts them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "db/embedded/parser/tsql_ast.h"
#include "db/embedded/types/binary.h"
#include "db/embedded/types/decimal.h"
#include "db/embedded/types/languages.h"
#include "db/value.h"

namespace moltaro::db::embedded {

enum class BaseType {
  TinyInt,
  SmallInt,
  Int,
  BigInt,
  Bit,
  Float,
  Real,
  Money,
  SmallMoney,
  DateTime,
  SmallDateTime,
  Decimal,
  Numeric,
  Char,
  VarChar,
  NChar,
  NVarChar,
  Text,
  NText,
  Date,
  Time,
  DateTime2,
  DateTimeOffset,
  UniqueIdentifier,
  Binary,
  VarBinary,
  Image,
  Xml,
  // timestamp / rowversion: binary(8) whose values the server sets from the
  // database's counter on every insert and update of the row.
  Timestamp,
  // Values of other types, each keeping its own (variant.h).
  SqlVariant,
};

struct SqlType {
  BaseType base = BaseType::Int;
  int length = 0;     // characters for character types, bytes for binary ones (-1: max)
  int precision = 0;  // decimal / numeric
  int scale = 0;      // also the fraction digits of time, datetime2, datetimeoffset
};

// Resolves a declared type; throws DatabaseError naming the type when it is
// unknown or its size is out of range. `position` is the column's 1-based
// position, for the message.
SqlType ResolveType(const TypeSpec& spec, int position);
// Whether the (lower-case) name is one of the system types ResolveType knows.
bool IsSystemTypeName(std::string_view name);

// The exact type CASE, COALESCE and UNION give a result whose values are of
// `types` when at least one is exact and the others are integers or exact:
// money (smallmoney) when one is, else a decimal of the largest scale and
// the most integer digits (an int counts as numeric(10,0)), at most 38
// digits. nullopt when another type takes part (float, text …), where the
// values keep their own types.
std::optional<SqlType> CommonDecimalType(const std::vector<SqlType>& types);

// The type as DDL would write it, e.g. "nvarchar(50)", "decimal(9,0)".
std::string TypeText(const SqlType& type);
// SQL Server's name of the base type, e.g. "nvarchar".
std::string_view TypeName(BaseType base);

int TypeXtype(BaseType base);           // systypes.xtype
int TypeStorageLength(const SqlType&);  // syscolumns.length (bytes)
int TypePrec(const SqlType&);           // syscolumns.prec
int TypeXprec(const SqlType&);          // syscolumns.xprec
int TypeXscale(const SqlType&);         // syscolumns.xscale
std::optional<SqlType> TypeFromCodes(int xtype, int length, int xprec, int xscale);

bool IsCharacter(BaseType base);
bool IsBinary(BaseType base);  // binary, varbinary, image, timestamp
bool IsUnicode(BaseType base);
bool IsInteger(BaseType base);
bool IsDateTime(BaseType base);  // datetime, smalldatetime
// date, time, datetime2 and datetimeoffset, kept as their own text (temporal.h).
bool IsTemporal(BaseType base);
// Any type of dates or times: IsDateTime or IsTemporal.
bool IsDateOrTime(BaseType base);
bool IsApproximateOrExact(BaseType base);  // float, real, money, decimal…
bool IsExact(BaseType base);               // decimal, numeric, money, smallmoney

// Integer types and decimal/numeric of scale 0 (precision up to 18) are kept
// as SQLite integers; float and real as REAL; the other exact types as the
// blobs of decimal.h.
bool StoresAsInteger(const SqlType& type);
// An exact type kept as a decimal blob.
bool StoresAsDecimal(const SqlType& type);

// The collation a column of the type is declared with when its text does
// not sort as SQL Server sorts the type (datetimeoffset by UTC,
// uniqueidentifier by its byte groups); empty for the others.
std::string_view TypeCollation(const SqlType& type);
inline constexpr std::string_view kDateTimeOffsetCollation = "moltaro_datetimeoffset";
inline constexpr std::string_view kUniqueIdentifierCollation = "moltaro_uniqueidentifier";

// SQL Server's order of uniqueidentifiers: the last six bytes first, then
// the fourth group, then the first three groups read from their last byte.
int CompareUniqueIdentifierText(std::string_view a, std::string_view b);

// The declared SQLite type giving the column its storage affinity.
std::string_view SqliteAffinity(const SqlType& type);

struct VariantValue;
// A sql_variant value: shared, as a value of the base type it holds.
using VariantPtr = std::shared_ptr<const VariantValue>;

// A value on its way into or out of SQLite.
using StoredValue =
    std::variant<std::monostate, std::int64_t, double, std::string, Decimal, Binary, VariantPtr>;

// What a sql_variant holds: the base type and the value as that type keeps it.
struct VariantValue {
  SqlType type;
  StoredValue value;
};

// The access API's form of a value: an exact number becomes its text with
// every digit of its scale ("2.50"), which the API's callers print as is.
Value ToApiValue(const StoredValue& v);
// A value as text, as SQL Server converts it for PRINT, RAISERROR and "+".
std::string TextOf(const StoredValue& v);
StoredValue FromApiValue(const Value& v);

// What a source value is, for error messages ("varchar", "nvarchar", "int"…).
struct SourceValue {
  StoredValue value;
  bool national = false;
  // Character data as written (a literal, a character column or variable),
  // not a date value's own year-first text: under an order with the day
  // before the month, datetime reads its yyyy-mm-dd as year, day, month.
  bool character = false;
};

// Converts to the type; on failure returns SQL Server's error in `error`.
// Character values longer than the column fail with "String or binary data
// would be truncated." only when `truncationIsError`; CAST/CONVERT cut. Text
// becomes a date in the session's `order` (SET DATEFORMAT).
bool ConvertValue(const SourceValue& in, const SqlType& type, bool truncationIsError,
                  DateOrder order, StoredValue& out, SqlError& error);
// The same for values that are no session's text: stored values, numbers,
// canonical dates (read as mdy, which reads "yyyy-mm-dd" as ISO).
bool ConvertValue(const SourceValue& in, const SqlType& type, bool truncationIsError,
                  StoredValue& out, SqlError& error);

// The exact number of a value: integers, floats, decimals and number text
// (SQL Server's text-to-numeric conversion, error 8114 when it is not one).
bool ToDecimal(const SourceValue& in, Decimal& out, SqlError& error);

// datetime text as SQL Server reads it: yyyymmdd and yyyy-mm-ddThh:mm:ss
// whatever the order; yyyy-mm-dd, dotted Hungarian and the regional
// "yyyy. MM. dd. H:mm:ss" forms as year, month, day (year, day, month when
// the text is `character` data under an order with the day before the
// month); two-digit-led forms in `order`.
// Returns the canonical "YYYY-MM-DD HH:MM:SS.mmm".
std::optional<std::string> ParseDateTimeText(std::string_view text, DateOrder order);
// The same; `outOfRange` tells text in a date's form naming no real day.
std::optional<std::string> ParseDateTimeText(std::string_view text, DateOrder order, bool character,
                                             bool& outOfRange);

// Current local time, canonical form.
std::string NowCanonical();

// Number text (decimal point or comma) to double; nullopt when not a number.
std::optional<double> ParseNumberText(std::string_view text);

// Days from 1970-01-01 to the given proleptic Gregorian date (negative before).
long long DaysSinceUnixEpoch(int year, int month, int day);
// The date `days` after 1970-01-01: the inverse of DaysSinceUnixEpoch.
void DateFromUnixDays(long long days, int& year, int& month, int& day);

}  // namespace moltaro::db::embedded
