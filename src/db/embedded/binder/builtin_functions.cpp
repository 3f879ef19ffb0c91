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
    {"GETUTCDATE", "tsql_getutcdate", 0, 0, R::Date},
    {"SYSUTCDATETIME", "tsql_sysutcdatetime", 0, 0, R::Date},
    {"SYSDATETIMEOFFSET", "tsql_sysdatetimeoffset", 0, 0, R::Date},
    {"DATETIMEFROMPARTS", "tsql_datetimefromparts", 7, 7, R::Date},
    {"SMALLDATETIMEFROMPARTS", "tsql_smalldatetimefromparts", 5, 5, R::Date},
    {"DATETIME2FROMPARTS", "tsql_datetime2fromparts", 8, 8, R::Date, false, true},
    {"TIMEFROMPARTS", "tsql_timefromparts", 5, 5, R::Date, false, true},
    {"DATETIMEOFFSETFROMPARTS", "tsql_datetimeoffsetfromparts", 10, 10, R::Date, false, true},
    {"TODATETIMEOFFSET", "tsql_todatetimeoffset", 2, 2, R::Date, false, true},
    {"SWITCHOFFSET", "tsql_switchoffset", 2, 2, R::Date, false, true},
    {"DATEDIFF_BIG", "tsql_datediff_big", 3, 3, R::Int},
    {"ISDATE", "tsql_isdate", 1, 1, R::Int},
    {"SYSDATETIME", "tsql_sysdatetime", 0, 0, R::Date},
    {"CURRENT_TIMESTAMP", "tsql_getdate", 0, 0, R::Date},
    {"ROUND", "tsql_round", 2, 3, R::ExactOrNumber},
    {"ABS", "tsql_abs", 1, 1, R::ExactOrNumber, true},
    {"FLOOR", "tsql_floor", 1, 1, R::WholeExactOrNumber, true},
    {"POWER", "tsql_power", 2, 2, R::WideNumberOfArgument, false, true},
    {"DEGREES", "tsql_degrees", 1, 1, R::WideNumberOfArgument, false, true},
    {"RADIANS", "tsql_radians", 1, 1, R::WideNumberOfArgument, false, true},
    {"SIGN", "tsql_sign", 1, 1, R::NumberOfArgument, false, true},
    {"SQRT", "tsql_sqrt", 1, 1, R::Float},
    {"SQUARE", "tsql_square", 1, 1, R::Float},
    {"EXP", "tsql_exp", 1, 1, R::Float},
    {"LOG", "tsql_log", 1, 2, R::Float},
    {"LOG10", "tsql_log10", 1, 1, R::Float},
    {"PI", "tsql_pi", 0, 0, R::Float},
    {"SIN", "tsql_sin", 1, 1, R::Float},
    {"COS", "tsql_cos", 1, 1, R::Float},
    {"TAN", "tsql_tan", 1, 1, R::Float},
    {"COT", "tsql_cot", 1, 1, R::Float},
    {"ASIN", "tsql_asin", 1, 1, R::Float},
    {"ACOS", "tsql_acos", 1, 1, R::Float},
    {"ATAN", "tsql_atan", 1, 1, R::Float},
    {"ATN2", "tsql_atn2", 2, 2, R::Float},
    {"RAND", "tsql_rand", 0, 1, R::Float},
    {"CEILING", "tsql_ceiling", 1, 1, R::WholeExactOrNumber, true},
    {"CHARINDEX", "tsql_charindex", 2, 3, R::Int},
    {"TRIM", "trim", 1, 2, R::Text},
    {"STUFF", "tsql_stuff", 4, 4, R::Text},
    {"REVERSE", "tsql_reverse", 1, 1, R::Text},
    {"TRANSLATE", "tsql_translate", 3, 3, R::Text},
    {"QUOTENAME", "tsql_quotename", 1, 2, R::Text},
    {"STR", "tsql_str", 1, 3, R::Text},
    {"PATINDEX", "tsql_patindex", 2, 2, R::Int},
    {"NEWID", "tsql_newid", 0, 0, R::Text},
    // Only a column's whole default (302 anywhere else).
    {"NEWSEQUENTIALID", "tsql_newsequentialid", 0, 0, R::Text},
    {"DATENAME", "tsql_datename", 2, 2, R::Text},
    {"EOMONTH", "tsql_eomonth", 1, 2, R::Date},
    {"DATEFROMPARTS", "tsql_datefromparts", 3, 3, R::Date},
    {kXmlStringValueFunction, "tsql_xml_string", 1, 1, R::Text},
    {kXmlFirstTextFunction, "tsql_xml_first_text", 1, 1, R::Text},
    {"PARSENAME", "tsql_parsename", 2, 2, R::Text},
    {"SOUNDEX", "tsql_soundex", 1, 1, R::Text},
    {"DIFFERENCE", "tsql_difference", 2, 2, R::Int},
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
    {"OBJECT_NAME", "", 1, 2, R::Text},
    {"OBJECT_SCHEMA_NAME", "", 1, 2, R::Text},
    {"SCHEMA_NAME", "", 0, 1, R::Text},
    {"SCHEMA_ID", "", 0, 1, R::Int},
    {"TYPE_NAME", "", 1, 1, R::Text},
    {"TYPE_ID", "", 1, 1, R::Int},
    {"COL_NAME", "", 2, 2, R::Text},
    {"INDEX_COL", "", 3, 3, R::Text},
    {"INDEXPROPERTY", "", 3, 3, R::Int},
    {"IDENT_CURRENT", "", 1, 1, R::ExactOrNumber},
    {"IDENT_SEED", "", 1, 1, R::ExactOrNumber},
    {"IDENT_INCR", "", 1, 1, R::ExactOrNumber},
    {"SESSIONPROPERTY", "", 1, 1, R::Int},
    {"FILEPROPERTY", "", 2, 2, R::Int},
    // sql_variant: text here, converted where compared with a number.
    {"SERVERPROPERTY", "", 1, 1, R::Text},
    {"DATABASEPROPERTYEX", "", 2, 2, R::Text},
    {"USER_NAME", "", 0, 1, R::Text},
    // Principals, from the catalogue and the server's logins.
    {"USER_ID", "", 0, 1, R::Int},
    {"DATABASE_PRINCIPAL_ID", "", 0, 1, R::Int},
    {"IS_MEMBER", "", 1, 1, R::Int},
    {"IS_SRVROLEMEMBER", "", 1, 2, R::Int},
    {"SUSER_ID", "", 0, 1, R::Int},
    {"SUSER_SNAME", "", 0, 0, R::Text},
    {"SUSER_NAME", "", 0, 0, R::Text},
    {"CURRENT_USER", "", 0, 0, R::Text},
    // The session's login, user, computer and application, as the connection
    // running the statement knows them (so defaults and views read them too).
    {"HOST_NAME", "tsql_session", 0, 0, R::Text},
    {"APP_NAME", "tsql_session", 0, 0, R::Text},
    {"SYSTEM_USER", "tsql_session", 0, 0, R::Text},
    {"SESSION_USER", "tsql_session", 0, 0, R::Text},
};

constexpr std::string_view kKnownUnsupported[] = {"STRING_SPLIT", "CHECKSUM", "BINARY_CHECKSUM"};

}  // namespace

bool IsRankingFunction(std::string_view name) {
  return name == "ROW_NUMBER" || name == "RANK" || name == "DENSE_RANK" || name == "NTILE";
}

bool IsSessionStateFunction(std::string_view name) {
  return name == "ERROR_NUMBER" || name == "ERROR_MESSAGE" || name == "ERROR_SEVERITY" ||
         name == "ERROR_STATE" || name == "ERROR_LINE" || name == "ERROR_PROCEDURE" ||
         name == "XACT_STATE" || name == "MIN_ACTIVE_ROWVERSION" || name == "COLUMNS_UPDATED";
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
