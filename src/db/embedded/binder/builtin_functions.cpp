#include "db/embedded/binder/builtin_functions.h"

#include "db/embedded/parser/tsql_ast.h"

#include <algorithm>
#include <iterator>

namespace moltaro::db::embedded {

namespace {

using R = BuiltinResult;

constexpr BuiltinFunction kFunctions[] = {
    {"LEN", "tsql_len", 1, 1, R::Int},
    {"DATALENGTH", "tsql_datalength", 1, 1, R::Int},
    {"LTRIM", "ltrim", 1, 1, R::Text},
    {"RTRIM", "rtrim", 1, 1, R::Text},
    {"UPPER", "tsql_upper", 1, 1, R::Text},
    {"LOWER", "tsql_lower", 1, 1, R::Text},
    {"SUBSTRING", "tsql_substring", 3, 3, R::Text},
    {"LEFT", "tsql_left", 2, 2, R::Text},
    {"RIGHT", "tsql_right", 2, 2, R::Text},
    {"REPLACE", "replace", 3, 3, R::Text},
    {"REPLICATE", "tsql_replicate", 2, 2, R::Text},
    {"SPACE", "tsql_space", 1, 1, R::Text},
    {"ISNUMERIC", "tsql_isnumeric", 1, 1, R::Int},
    {"ASCII", "unicode", 1, 1, R::Int},
    {"UNICODE", "unicode", 1, 1, R::Int},
    {"CHAR", "char", 1, 1, R::Text},
    {"NCHAR", "char", 1, 1, R::Text},
    {"DATEADD", "tsql_dateadd", 3, 3, R::Date},
    {"DATEDIFF", "tsql_datediff", 3, 3, R::Int},
    {"DATEPART", "tsql_datepart", 2, 2, R::Int},
    {"GETDATE", "tsql_getdate", 0, 0, R::Date},
    {"GETUTCDATE", "tsql_getdate", 0, 0, R::Date},
    {"SYSDATETIME", "tsql_sysdatetime", 0, 0, R::Date},
    {"CURRENT_TIMESTAMP", "tsql_getdate", 0, 0, R::Date},
    {"ROUND", "tsql_round", 2, 3, R::ExactOrNumber},
    {"ABS", "tsql_abs", 1, 1, R::ExactOrNumber, true},
    {"FLOOR", "tsql_floor", 1, 1, R::WholeExactOrNumber, true},
    {"CEILING", "tsql_ceiling", 1, 1, R::WholeExactOrNumber, true},
    {"CHARINDEX", "tsql_charindex", 2, 3, R::Int},
    {"TRIM", "trim", 1, 2, R::Text},
    {"STUFF", "tsql_stuff", 4, 4, R::Text},
    {"REVERSE", "tsql_reverse", 1, 1, R::Text},
    {"QUOTENAME", "tsql_quotename", 1, 2, R::Text},
    {"STR", "tsql_str", 1, 3, R::Text},
    {"PATINDEX", "tsql_patindex", 2, 2, R::Int},
    {"NEWID", "tsql_newid", 0, 0, R::Text},
    {"DATENAME", "tsql_datename", 2, 2, R::Text},
    {"EOMONTH", "tsql_eomonth", 1, 2, R::Date},
    {"DATEFROMPARTS", "tsql_datefromparts", 3, 3, R::Date},
    {kXmlStringValueFunction, "tsql_xml_string", 1, 1, R::Text},
    {kXmlFirstTextFunction, "tsql_xml_first_text", 1, 1, R::Text},
    // Written out by the translator from their arguments.
    {"CONCAT", "", 2, 254, R::Text},
    {"CONCAT_WS", "", 3, 254, R::Text},
    {"FORMAT", "", 2, 3, R::Text},
    // Written out by the translator.
    {"YEAR", "", 1, 1, R::Int},
    {"MONTH", "", 1, 1, R::Int},
    {"DAY", "", 1, 1, R::Int},
    {"OBJECT_ID", "", 1, 2, R::Int},
    {"DB_NAME", "", 0, 1, R::Text},
    // Metadata, read from the system tables (catalog/metadata_functions.*).
    {"OBJECTPROPERTY", "", 2, 2, R::Int},
    {"OBJECTPROPERTYEX", "", 2, 2, R::Int},
    {"COLUMNPROPERTY", "", 3, 3, R::Int},
    {"COL_LENGTH", "", 2, 2, R::Int},
    {"DB_ID", "", 0, 1, R::Int},
    {"HAS_DBACCESS", "", 1, 1, R::Int},
    {"FULLTEXTSERVICEPROPERTY", "", 1, 1, R::Int},
    // sql_variant: text here, converted where compared with a number.
    {"SERVERPROPERTY", "", 1, 1, R::Text},
    {"DATABASEPROPERTYEX", "", 2, 2, R::Text},
    {"USER_NAME", "", 0, 1, R::Text},
    {"CURRENT_USER", "", 0, 0, R::Text},
};

constexpr std::string_view kKnownUnsupported[] = {
    "SOUNDEX",  "DIFFERENCE", "PARSENAME",  "IDENT_CURRENT", "POWER",        "SQRT",
    "EXP",      "LOG",        "SIGN",       "USER_ID",       "SUSER_SNAME",  "HOST_NAME",
    "APP_NAME", "IDENT_SEED", "IDENT_INCR", "TRANSLATE",     "STRING_SPLIT", "CHECKSUM"};

}  // namespace

bool IsRankingFunction(std::string_view name) {
  return name == "ROW_NUMBER" || name == "RANK" || name == "DENSE_RANK" || name == "NTILE";
}

bool IsSessionStateFunction(std::string_view name) {
  return name == "ERROR_NUMBER" || name == "ERROR_MESSAGE" || name == "ERROR_SEVERITY" ||
         name == "ERROR_STATE" || name == "ERROR_LINE" || name == "ERROR_PROCEDURE" ||
         name == "XACT_STATE";
}

bool IsAggregateFunction(std::string_view name) {
  return name == "COUNT" || name == "COUNT_BIG" || name == "SUM" || name == "AVG" ||
         name == "MIN" || name == "MAX";
}

const BuiltinFunction* FindBuiltinFunction(std::string_view name) {
  const auto found = std::find_if(std::begin(kFunctions), std::end(kFunctions),
                                  [&](const BuiltinFunction& f) { return f.name == name; });
  return found == std::end(kFunctions) ? nullptr : &*found;
}

bool IsKnownUnsupportedFunction(std::string_view name) {
  return std::find(std::begin(kKnownUnsupported), std::end(kKnownUnsupported), name) !=
         std::end(kKnownUnsupported);
}

}  // namespace moltaro::db::embedded
