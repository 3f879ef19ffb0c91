#include "db/embedded/translator/translator.h"

#include <algorithm>

#include "common/text.h"
#include "db/embedded/binder/builtin_functions.h"
#include "db/embedded/catalog/metadata_functions.h"
#include "db/embedded/execution/convert_styles.h"
#include "db/embedded/execution/format_function.h"
#include "db/embedded/execution/sql_functions.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/translator/stored_code.h"
#include "db/embedded/types/decimal.h"
#include "db/embedded/types/variant.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// char, varchar and text: one byte a character, trailing blanks not
// counted by LIKE.
bool IsSingleByteText(const std::optional<SqlType>& type) {
  return type && (type->base == BaseType::Char || type->base == BaseType::VarChar ||
                  type->base == BaseType::Text);
}

// The columns of a query's rows (a FOR XML query's output is its text).
const std::vector<OutputColumn>& RowColumns(const BoundSelect& query) {
  return query.rowOutput.empty() ? query.output : query.rowOutput;
}

// How a query of a chain joins the next one.
const char* CombineWord(const Select& part) {
  switch (part.combine) {
    case Select::Combine::Except:
      return " EXCEPT ";
    case Select::Combine::Intersect:
      return " INTERSECT ";
    case Select::Combine::Union:
      break;
  }
  return part.unionAll ? " UNION ALL " : " UNION ";
}

// Whether a value reaches a date conversion as character data (as written:
// a literal, a character column, a parameter), which the session's
// DATEFORMAT reads in full, rather than a date value's own year-first text.
bool IsCharacterData(const BoundExpr& b) {
  return b.cls == ValueClass::Text || b.cls == ValueClass::Unknown;
}

// The cast of an operand into a type (see tsql_cast_text).
std::string CastOf(const BoundExpr& operand, const std::string& sql, const SqlType& type) {
  return std::string(IsCharacterData(operand) ? "tsql_cast_text(" : "tsql_cast(") + sql + ", " +
         TypeArguments(type) + ")";
}

}  // namespace

namespace {

std::string Upper(std::string_view s) {
  return ToUpperAscii(s);
}

// An exact number written into the SQL text as its stored blob.
// The hidden column of a recursive CTE's rows: how deep each was found.
constexpr const char* kDepthColumn = "moltaro_depth";

std::string BlobLiteral(const Decimal& d) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "X'";
  for (const char c : EncodeDecimal(d)) {
    const auto byte = static_cast<unsigned char>(c);
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  }
  return out + "'";
}

// Whether a stored value of type `a` is already one of type `b` (the length
// of an integer or float is its storage, whatever the declaration said).
bool StoredAsType(const SqlType& a, const SqlType& b) {
  if (a.base != b.base) return false;
  if (IsCharacter(a.base)) return a.length == b.length;
  if (a.base == BaseType::Decimal || a.base == BaseType::Numeric) {
    return a.precision == b.precision && a.scale == b.scale;
  }
  return true;
}

// The SQL function of an arithmetic operator on values of any type.
const char* ArithmeticFunction(char op) {
  switch (op) {
    case '+':
      return "tsql_add";
    case '-':
      return "tsql_sub";
    case '*':
      return "tsql_mul";
    case '/':
      return "tsql_div";
    default:
      return "tsql_mod";
  }
}

}  // namespace

Translator::Translator(Catalog& catalog, const VariableTypes* variables,
                       FunctionResolver* functions)
    : catalog_(catalog), variables_(variables), functions_(functions) {}

std::string Translator::Collate() const {
  return " COLLATE " + QuoteId(catalog_.CollationName());
}

std::string Translator::Slot(Binding binding) {
  bindings_.push_back(std::move(binding));
  return "?" + std::to_string(bindings_.size());
}

// ---- expressions -----------------------------------------------------------

std::string Translator::EmitColumn(const BoundExpr& column) {
  if (column.currentTimestamp) return "tsql_getdate()";
  // A source without an alias is the row of a generated column or an index.
  const std::string table =
      column.source->sqlAlias.empty() ? std::string() : QuoteId(column.source->sqlAlias) + ".";
  if (column.column) return table + QuoteId(column.column->name);
  return table + QuoteId("c" + std::to_string(column.derivedIndex));
}

std::string Translator::EmitVariable(const Expr& e) {
  if (Upper(e.text) == "@@SPID") return "tsql_session('@@SPID')";
  return EmitVariableNamed(e.text, Bound(e));
}

std::string Translator::EmitVariableNamed(const std::string& name, const BoundExpr& bound) {
  if (!inlining_.empty()) {
    // Inside a function taken in, a parameter reads the caller's argument.
    const std::string key = Upper(name);
    for (const auto& [name, argument] : inlining_.back().arguments) {
      if (name == key) return argument;
    }
  }
  Binding b;
  b.isVariable = true;
  b.variable = name;
  const std::string slot = Slot(std::move(b));
  // Variables hold exact numbers as their text; the statement needs the number.
  if (bound.cls == ValueClass::Exact) {
    return "tsql_cast(" + slot + ", " + TypeArguments(*bound.type) + ")";
  }
  // And sql_variants as the 0x… text of their stored form.
  if (bound.type && bound.type->base == BaseType::SqlVariant)
    return "tsql_variant_of(" + slot + ")";
  // And binary values as their 0x… text.
  if (bound.type && IsBinary(bound.type->base)) {
    return "tsql_convert(" + slot + ", 1, 0, " + TypeArguments(*bound.type) + ")";
  }
  return slot;
}

std::string Translator::Emit(const Expr& e) {
  std::string sql = EmitNode(e);
  // A subtotal row of ROLLUP/CUBE: the columns summed over are NULL there,
  // except inside the aggregates that sum them.
  if (summedOver_ && aggregateDepth_ == 0 &&
      std::find(summedOver_->begin(), summedOver_->end(), sql) != summedOver_->end()) {
    return "NULL";
  }
  return sql;
}

std::string Translator::EmitNode(const Expr& e) {
  const BoundExpr& bound = Bound(e);
  switch (e.kind) {
    case ExprKind::Null:
      return "NULL";
    case ExprKind::Float:
      if (bound.exactLiteral) return BlobLiteral(*DecimalLiteral(e.text));
      [[fallthrough]];
    case ExprKind::Integer:
      return e.text.front() == '-' ? "(" + e.text + ")" : e.text;
    case ExprKind::BinaryConstant: {
      if (bound.binaryInteger) {
        const std::string& n = *bound.binaryInteger;
        return n.front() == '-' ? "(" + n + ")" : n;
      }
      // The tagged blob of binary.h.
      const auto bytes = BinaryFromHex(e.text);
      return "X'" + BinaryHexText(Binary{std::string(1, static_cast<char>(kBinaryTag))}, false) +
             (bytes ? BinaryHexText(*bytes, false) : std::string()) + "'";
    }
    case ExprKind::String:
      return QuoteText(e.text);
    case ExprKind::Parameter: {
      Binding b;
      b.parameter = e.index;
      return Slot(std::move(b));
    }
    case ExprKind::Variable:
      return EmitVariable(e);
    case ExprKind::Column:
      return EmitColumn(bound);
    case ExprKind::RowId:
      return QuoteId(bound.source->sqlAlias) + ".rowid";
    case ExprKind::Star:
      break;
    case ExprKind::Unary: {
      const std::string a = Emit(*e.args[0]);
      if (e.text == "NOT") return "(NOT " + a + ")";
      if (e.text == "-" && (bound.cls == ValueClass::Exact || bound.cls == ValueClass::Unknown)) {
        return "tsql_neg(" + a + ")";
      }
      return "(" + e.text + " " + a + ")";
    }
    case ExprKind::Binary:
      return EmitBinary(e);
    case ExprKind::Function:
      return EmitFunction(e);
    case ExprKind::Case:
      return EmitCase(e);
    case ExprKind::In:
      return EmitIn(e);
    case ExprKind::Between:
      return EmitBetween(e);
    case ExprKind::Like: {
      std::string sql = "tsql_like(" + Emit(*e.args[0]) + ", " + Emit(*e.args[1]);
      // Trailing blanks of a non-Unicode value do not count.
      const bool singleByte = IsSingleByteText(Bound(*e.args[0]).type);
      if (e.args.size() > 2 || singleByte) {
        sql += ", " + (e.args.size() > 2 ? Emit(*e.args[2]) : std::string("NULL"));
      }
      if (singleByte) sql += ", 1";
      sql += ")";
      return e.negated ? "(NOT " + sql + ")" : sql;
    }
    case ExprKind::IsNull:
      return "(" + Emit(*e.args[0]) + (e.negated ? " IS NOT NULL)" : " IS NULL)");
    case ExprKind::Exists:
      return "(EXISTS (" + EmitQuery(*e.select, false) + "))";
    case ExprKind::Subquery:
      return "(" + EmitQuery(*e.select, false) + ")";
    case ExprKind::Cast:
      return EmitCast(e);
  }
  throw ServerErrorByNumber(102, {e.text});
}

std::string Translator::ConvertTo(const Expr& e, const std::optional<SqlType>& type) {
  const BoundExpr& bound = Bound(e);
  std::string sql = Emit(e);
  if (!NeedsConversion({bound.cls, bound.type}, type)) return sql;
  return CastOf(bound, sql, *type);
}

std::string Translator::EmitCase(const Expr& e) {
  const BoundExpr& bound = Bound(e);
  std::optional<std::string> subject;
  if (e.args[0]) subject = Emit(*e.args[0]);
  std::string sql = "CASE";
  if (subject && !bound.byValue) sql += " " + *subject;
  std::size_t i = 1;
  for (; i + 1 < e.args.size(); i += 2) {
    const std::string when = Emit(*e.args[i]);
    sql += " WHEN " +
           (subject && bound.byValue ? "tsql_cmp(" + *subject + ", " + when + ") = 0" : when);
    sql += " THEN " + ConvertTo(*e.args[i + 1], bound.commonType);
  }
  if (i < e.args.size() && e.args[i]) sql += " ELSE " + ConvertTo(*e.args[i], bound.commonType);
  return "(" + sql + " END)";
}

std::string Translator::EmitIn(const Expr& e) {
  const BoundExpr& bound = Bound(e);
  std::string left = Emit(*e.args[0]);
  if (e.select) {
    if (bound.collate) left += Collate();
    return "(" + left + (e.negated ? " NOT IN (" : " IN (") + EmitQuery(*e.select, false) + "))";
  }
  std::vector<std::string> items;
  for (std::size_t i = 1; i < e.args.size(); ++i) {
    std::string item = Emit(*e.args[i]);
    if (bound.convertToDate && Bound(*e.args[i]).cls != ValueClass::Date) {
      item = CastOf(Bound(*e.args[i]), item, *bound.dateType);
    }
    items.push_back(std::move(item));
  }
  if (bound.byValue) {
    std::string call = "tsql_in(" + left;
    for (const std::string& item : items) call += ", " + item;
    call += ")";
    return e.negated ? "(NOT " + call + ")" : call;
  }
  std::string sql = "(" + left + (bound.collate ? Collate() : "");
  sql += e.negated ? " NOT IN (" : " IN (";
  for (std::size_t i = 0; i < items.size(); ++i) sql += (i ? ", " : "") + items[i];
  return sql + "))";
}

std::string Translator::EmitBetween(const Expr& e) {
  const BoundExpr& bound = Bound(e);
  const std::string a = Emit(*e.args[0]);
  std::string bounds[2];
  for (int k = 0; k < 2; ++k) {
    const Expr& limit = *e.args[static_cast<std::size_t>(k + 1)];
    bounds[k] = Emit(limit);
    if (bound.convertToDate && Bound(limit).cls != ValueClass::Date) {
      bounds[k] = CastOf(Bound(limit), bounds[k], *bound.dateType);
    }
  }
  if (bound.byValue) {
    const std::string range = "(tsql_cmp(" + a + ", " + bounds[0] + ") >= 0 AND tsql_cmp(" + a +
                              ", " + bounds[1] + ") <= 0)";
    return e.negated ? "(NOT " + range + ")" : range;
  }
  return "(" + a + (bound.collate ? Collate() : "") + (e.negated ? " NOT BETWEEN " : " BETWEEN ") +
         bounds[0] + " AND " + bounds[1] + ")";
}

std::string Translator::EmitBinary(const Expr& e) {
  const BoundExpr& bound = Bound(e);
  const std::string& op = e.text;
  std::string a = Emit(*e.args[0]);
  std::string b = Emit(*e.args[1]);
  for (auto [side, operand] : {std::pair{0, &a}, std::pair{1, &b}}) {
    if (bound.binaryAsInteger[static_cast<std::size_t>(side)]) {
      const SqlType integer{BaseType::Int, 0, 0, 0};
      *operand = "tsql_cast(" + *operand + ", " + TypeArguments(integer) + ")";
    }
  }
  if (op == "AND" || op == "OR" || op == "&" || op == "|")
    return "(" + a + " " + op + " " + b + ")";
  if (op == "^") return "((" + a + " | " + b + ") - (" + a + " & " + b + "))";
  if (op == "+") {
    switch (bound.plus) {
      case BoundExpr::Plus::Numbers:
        return "(" + a + " + " + b + ")";
      case BoundExpr::Plus::Concat:
        return "(" + a + " || " + b + ")";
      case BoundExpr::Plus::AddDays:
        return "tsql_dateadd('DAY', " + b + ", " + a + ")";
      case BoundExpr::Plus::Any:
        return "tsql_add(" + a + ", " + b + ")";
    }
  }
  if (bound.subtractDays) return "tsql_dateadd('DAY', tsql_neg(" + b + "), " + a + ")";
  if (op == "-" || op == "*" || op == "/" || op == "%") {
    std::string* operands[2] = {&a, &b};
    for (std::size_t side = 0; side < 2; ++side) {
      const Expr& operand = *e.args[side];
      if (bound.operandAsExact[side]) {
        *operands[side] = "tsql_exact(" + *operands[side] + ", " +
                          std::to_string(Bound(operand).column->type.precision) + ")";
      }
      if (bound.literalAsDecimal[side]) {
        if (auto exact = DecimalLiteral(operand.text)) *operands[side] = BlobLiteral(*exact);
      }
    }
    if (!bound.nativeArithmetic) {
      return std::string(ArithmeticFunction(op[0])) + "(" + a + ", " + b + ")";
    }
    if (op == "/" || op == "%") {
      // Division by zero is an error in SQL Server, NULL in SQLite.
      return "(" + a + " " + op + " (CASE WHEN " + b + " = 0 THEN tsql_raise(8134) ELSE " + b +
             " END))";
    }
    return "(" + a + " " + op + " " + b + ")";
  }
  // A comparison.
  if (bound.variantCompare) {
    return "(tsql_vcmp(" + VariantSql(a, Bound(*e.args[0]).type) + ", " +
           VariantSql(b, Bound(*e.args[1]).type) + ") " + op + " 0)";
  }
  if (bound.byValue) return "(tsql_cmp(" + a + ", " + b + ") " + op + " 0)";
  if (bound.convertToDate == 2) b = CastOf(Bound(*e.args[1]), b, *bound.dateType);
  if (bound.convertToDate == 1) a = CastOf(Bound(*e.args[0]), a, *bound.dateType);
  return "(" + a + (bound.collate ? Collate() : "") + " " + op + " " + b + ")";
}

std::string Translator::EmitCast(const Expr& e) {
  const BoundExpr& bound = Bound(e);
  const std::string inner = Emit(*e.args[0]);
  const std::string target = TypeArguments(*bound.castTo);
  const bool tried = Upper(e.text).rfind("TRY_", 0) == 0;
  // Into a sql_variant the value keeps its own type.
  if (bound.castTo->base == BaseType::SqlVariant) return VariantSql(inner, Bound(*e.args[0]).type);
  // A datetime written as text takes style 0 when none is given.
  const int style = bound.dateStyle && e.style < 0 ? 0 : e.style;
  if (style < 0 && !tried) return CastOf(Bound(*e.args[0]), inner, *bound.castTo);
  const int how = (bound.dateStyle ? kConvertFromDateTime : 0) | (tried ? kConvertTry : 0) |
                  (IsCharacterData(Bound(*e.args[0])) ? kConvertText : 0);
  return "tsql_convert(" + inner + ", " + std::to_string(style) + ", " + std::to_string(how) +
         ", " + target + ")";
}

std::string Translator::EmitFunction(const Expr& e) {
  const BoundExpr& bound = Bound(e);
  const std::string name = Upper(e.text);
  if (name == "GROUPING") return EmitGrouping(e);
  // An aggregate's arguments are the rows' own values, also on subtotal rows.
  const bool aggregate = IsAggregateFunction(name) || name == "STRING_AGG";
  aggregateDepth_ += aggregate ? 1 : 0;
  struct Leave {
    int& depth;
    bool aggregate;
    ~Leave() { depth -= aggregate ? 1 : 0; }
  } leave{aggregateDepth_, aggregate};
  auto emitArgs = [&](std::size_t from = 0) {
    std::string out;
    for (std::size_t i = from; i < e.args.size(); ++i) {
      if (i > from) out += ", ";
      out += Emit(*e.args[i]);
    }
    return out;
  };
  if (bound.function) {
    if (bound.inlined) return EmitInlined(e, bound);
    std::string sql = "tsql_udf(" + QuoteText(e.text);
    for (const auto& a : e.args) sql += ", " + Emit(*a);
    return sql + ")";
  }
  if (IsSessionStateFunction(name)) return EmitVariableNamed(name + "()", bound);
  if (name == "UPDATE") {
    return EmitVariableNamed("UPDATE(" + e.args[0]->parts.back() + ")", bound);
  }
  if (name == "COLLATE") return "(" + Emit(*e.args[0]) + " COLLATE " + QuoteId(e.parts[0]) + ")";
  const std::string over = e.over ? EmitOver(*e.over) : std::string();
  if (IsRankingFunction(name)) return ToLowerAscii(name) + "(" + emitArgs() + ")" + over;
  if (name == "COUNT" || name == "COUNT_BIG") {
    if (e.star) return "count(*)" + over;
    return std::string("count(") + (e.distinct ? "DISTINCT " : "") + Emit(*e.args[0]) + ")" + over;
  }
  if (name == "SUM" || name == "MIN" || name == "MAX" || name == "AVG") {
    std::string sql = (bound.exactAggregate ? "tsql_" : "") + ToLowerAscii(name) + "(" +
                      (e.distinct ? "DISTINCT " : "") + Emit(*e.args[0]) + ")" + over;
    return bound.integerAverage ? "CAST(" + sql + " AS INTEGER)" : sql;
  }
  if (name == "COALESCE") {
    std::string sql = "coalesce(";
    for (std::size_t i = 0; i < e.args.size(); ++i) {
      sql += (i ? ", " : "") + ConvertTo(*e.args[i], bound.commonType);
    }
    return sql + ")";
  }
  if (name == "ISNULL") {
    const std::string a = Emit(*e.args[0]);
    return "ifnull(" + a + ", " + ConvertTo(*e.args[1], bound.commonType) + ")";
  }
  if (name == "NULLIF") {
    const std::string a = Emit(*e.args[0]);
    return "nullif(" + a + ", " + Emit(*e.args[1]) + ")";
  }
  if (name == "SCOPE_IDENTITY") {
    Binding b;
    b.isVariable = true;
    b.variable = "@@IDENTITY";
    return Slot(std::move(b));
  }
  if (name == "YEAR" || name == "MONTH" || name == "DAY") {
    return "tsql_datepart('" + name + "', " + emitArgs() + ")";
  }
  if (IsMetadataFunction(name, e.args.size())) {
    std::vector<std::string> arguments;
    for (const ExprPtr& a : e.args) arguments.push_back(Emit(*a));
    return MetadataFunctionSql(name, arguments).sql;
  }
  if (name == "OBJECT_ID") {
    std::string sql =
        "(SELECT min(id) FROM sysobjects WHERE name = tsql_objname(" + Emit(*e.args[0]) + ")";
    if (e.args.size() == 2) {
      sql += " AND xtype = substr(" + Emit(*e.args[1]) + " || ' ', 1, 2)";
    }
    return sql + ")";
  }
  // Text arguments: a datetime is its style 0 text.
  auto textArg = [&](const Expr& arg) {
    const std::string sql = Emit(arg);
    if (!WritesDateStyle(Bound(arg))) return sql;
    return "tsql_convert(" + sql + ", 0, " + std::to_string(kConvertFromDateTime) + ", " +
           TypeArguments(SqlType{BaseType::NVarChar, 30, 0, 0}) + ")";
  };
  if (name == "DATALENGTH") {
    const bool national = !IsSingleByteText(Bound(*e.args[0]).type);
    return "tsql_datalength(" + Emit(*e.args[0]) + ", " + (national ? "1" : "0") + ")";
  }
  if (name == "CONCAT" || name == "CONCAT_WS") {
    std::string sql = "tsql_" + ToLowerAscii(name) + "(";
    for (std::size_t k = 0; k < e.args.size(); ++k) sql += (k ? ", " : "") + textArg(*e.args[k]);
    return sql + ")";
  }
  if (name == "STRING_AGG") {
    std::string sql = "tsql_string_agg(" + textArg(*e.args[0]) + ", " + textArg(*e.args[1]);
    for (std::size_t k = 0; k < e.orderDescending.size(); ++k) {
      sql += std::string(", ") + (e.orderDescending[k] ? "1" : "0") + ", " + Emit(*e.args[2 + k]);
    }
    return sql + ")";
  }
  if (name == "FORMAT") {
    const ValueClass cls = Bound(*e.args[0]).cls;
    const int kind = cls == ValueClass::Date   ? kFormatDateTime
                     : cls == ValueClass::Text ? kFormatText
                                               : kFormatNumber;
    return "tsql_format(" + Emit(*e.args[0]) + ", " + Emit(*e.args[1]) + ", " +
           (e.args.size() > 2 ? Emit(*e.args[2]) : std::string("NULL")) + ", " +
           std::to_string(kind) + ")";
  }
  if (name == "IIF") {
    return "(CASE WHEN " + Emit(*e.args[0]) + " THEN " + ConvertTo(*e.args[1], bound.commonType) +
           " ELSE " + ConvertTo(*e.args[2], bound.commonType) + " END)";
  }
  if (name == "CHOOSE") {
    // The index converts to int as SQL Server converts it; past the values
    // it gives NULL.
    std::string sql = "(CASE tsql_cast(" + Emit(*e.args[0]) + ", " +
                      TypeArguments(SqlType{BaseType::Int, 0, 0, 0}) + ")";
    for (std::size_t k = 1; k < e.args.size(); ++k) {
      sql += " WHEN " + std::to_string(k) + " THEN " + ConvertTo(*e.args[k], bound.commonType);
    }
    return sql + " END)";
  }
  if (name == "DB_NAME") return QuoteText(catalog_.DatabaseName());
  if (name == "USER_NAME" || name == "CURRENT_USER") return "'dbo'";
  if (name == "DATEADD" && bound.type && IsTemporal(bound.type->base)) {
    return "tsql_dateadd(" + emitArgs() + ", " + TypeArguments(*bound.type) + ")";
  }
  if (name == "SQL_VARIANT_PROPERTY") {
    // A value of another type is taken as a sql_variant of its own type.
    const Expr& value = *e.args[0];
    return "tsql_variant_property(" + VariantSql(Emit(value), Bound(value).type) + ", " +
           Emit(*e.args[1]) + ", " + QuoteText(catalog_.CollationName()) + ")";
  }
  const BuiltinFunction& builtin = *FindBuiltinFunction(name);
  const std::string sqlite(builtin.sqlite);
  if (sqlite == "tsql_session") return "tsql_session(" + QuoteText(name) + ")";
  if (builtin.takesResultType && bound.type) {
    // The function converts its result into the type the statement gives it.
    return sqlite + "(" + emitArgs() + ", " + TypeArguments(*bound.type) + ")";
  }
  if (sqlite.rfind("tsql_", 0) == 0) return sqlite + "(" + emitArgs() + ")";
  // SQLite's own string functions would see an exact number's bytes: they
  // get its text, as SQL Server converts it.
  std::string sql = sqlite + "(";
  for (std::size_t k = 0; k < e.args.size(); ++k) {
    std::string a = Emit(*e.args[k]);
    const ValueClass cls = Bound(*e.args[k]).cls;
    if (cls == ValueClass::Exact || cls == ValueClass::Unknown) {
      a = "tsql_cast(" + a + ", " + TypeArguments(SqlType{BaseType::NVarChar, -1, 0, 0}) + ")";
    }
    sql += (k ? ", " : "") + a;
  }
  return sql + ")";
}

std::string Translator::SortKey(const Expr& e) {
  std::string term = Emit(e);
  const BoundExpr& bound = Bound(e);
  // A column sorts in its own collation; other text in the database's.
  if (!bound.column && (bound.cls == ValueClass::Text || bound.cls == ValueClass::Unknown)) {
    term += Collate();
  }
  return term;
}

std::string Translator::EmitOver(const WindowSpec& over) {
  std::string sql = " OVER (";
  for (std::size_t i = 0; i < over.partitionBy.size(); ++i) {
    sql += (i ? ", " : "PARTITION BY ") + Emit(*over.partitionBy[i]);
  }
  for (std::size_t i = 0; i < over.orderBy.size(); ++i) {
    sql += (i                          ? ", "
            : over.partitionBy.empty() ? "ORDER BY "
                                       : " ORDER BY ") +
           SortKey(*over.orderBy[i].expr) + (over.orderBy[i].descending ? " DESC" : "");
  }
  for (const std::string& word : over.frame) sql += " " + word;
  return sql + ")";
}

Translator::InlineFrame Translator::InlineArguments(const CompiledRoutine& function,
                                                    const std::vector<const Expr*>& args) {
  InlineFrame frame;
  for (std::size_t i = 0; i < args.size(); ++i) {
    // Arguments convert into the parameters' types as an assignment does; a
    // column of exactly that type needs no conversion.
    const SqlType& type = function.parameterTypes[i];
    const BoundExpr& a = Bound(*args[i]);
    std::string sql = Emit(*args[i]);
    const bool sameType = a.column && a.cls == ClassOf(type) && StoredAsType(a.column->type, type);
    if (!sameType) sql = "tsql_cast(" + sql + ", " + TypeArguments(type) + ")";
    frame.arguments.emplace_back(Upper(function.definition->parameters[i].name), std::move(sql));
  }
  return frame;
}

std::string Translator::EmitInlined(const Expr& call, const BoundExpr& bound) {
  const CompiledRoutine& function = *bound.function;
  std::vector<const Expr*> args;
  for (const ExprPtr& arg : call.args) args.push_back(arg.get());
  inlining_.push_back(InlineArguments(function, args));
  const ExprBindings* caller = exprs_;
  exprs_ = bound.inlined.get();
  struct Restore {
    Translator& translator;
    const ExprBindings* caller;
    ~Restore() {
      translator.inlining_.pop_back();
      translator.exprs_ = caller;
    }
  } restore{*this, caller};
  // The result converts into the declared return type, as RETURN does.
  return "tsql_cast(" + Emit(*function.inlineBody) + ", " + TypeArguments(function.returns) + ")";
}

std::string Translator::EmitFunctionCall(const BoundSource& src) {
  std::string sql = src.tableFunction + "(";
  bool first = true;
  if (!src.functionName.empty()) {
    sql += QuoteText(src.functionName);
    first = false;
  }
  for (const Expr* arg : src.arguments) {
    if (!first) sql += ", ";
    sql += Emit(*arg);
    first = false;
  }
  return sql + ")";
}

std::string Translator::EmitInlineFunctionQuery(const BoundSource& src) {
  const CompiledRoutine& function = *src.routine;
  inlining_.push_back(InlineArguments(function, src.arguments));
  struct Restore {
    Translator& translator;
    ~Restore() { translator.inlining_.pop_back(); }
  } restore{*this};
  return EmitQuery(*src.query, true);
}

// ---- queries -----------------------------------------------------------

std::string Translator::EmitFrom(const std::vector<TableRef>& from,
                                 const std::vector<BoundSource>& sources, std::size_t skip) {
  std::string sql;
  bool first = true;
  for (std::size_t i = 0; i < from.size(); ++i) {
    if (i == skip) continue;
    const TableRef& ref = from[i];
    const BoundSource& src = sources[i];
    std::string item;
    if (!src.nested.empty()) {
      item = "(" + EmitFrom(ref.nested, src.nested, SIZE_MAX) + ")";
    } else {
      const std::string table = src.table                    ? QuoteId(src.table->name)
                                : src.cte                    ? QuoteId(src.cte->sqlName)
                                : !src.viewSql.empty()       ? "(" + src.viewSql + ")"
                                : !src.tableFunction.empty() ? EmitFunctionCall(src)
                                : src.routine ? "(" + EmitInlineFunctionQuery(src) + ")"
                                              : "(" + EmitQuery(*src.query, true) + ")";
      item = table + " AS " + QuoteId(src.sqlAlias);
    }
    if (first) {
      sql += item;
      first = false;
      continue;
    }
    switch (ref.join) {
      case JoinKind::First:
      case JoinKind::Comma:
        sql += ", " + item;
        break;
      case JoinKind::Inner:
        sql += " JOIN " + item;
        break;
      case JoinKind::Left:
        sql += " LEFT JOIN " + item;
        break;
      case JoinKind::Right:
        sql += " RIGHT JOIN " + item;
        break;
      case JoinKind::Full:
        sql += " FULL JOIN " + item;
        break;
      case JoinKind::Cross:
      case JoinKind::CrossApply:
        // SQLite's CROSS JOIN keeps the order: an APPLY's arguments read the
        // rows on its left.
        sql += " CROSS JOIN " + item;
        break;
      case JoinKind::OuterApply:
        sql += " LEFT JOIN " + item + " ON 1";
        break;
    }
    if (ref.on) sql += " ON " + Emit(*ref.on);
  }
  return sql;
}

std::string Translator::EmitSelectList(const BoundSelectPart& part, const BoundSelect& query,
                                       bool aliasItems) {
  std::string sql;
  for (std::size_t i = 0; i < part.items.size(); ++i) {
    const BoundSelectPart::Item& item = part.items[i];
    std::string value;
    if (item.expr) {
      value = Emit(*item.expr);
    } else {
      const std::string table = QuoteId(item.source->sqlAlias) + ".";
      value = table +
              QuoteId(item.column ? item.column->name : "c" + std::to_string(item.derivedIndex));
    }
    const OutputColumn& column = part.output[i];
    if (NeedsConversion({column.cls, column.type}, query.castTo[i])) {
      value = "tsql_cast(" + value + ", " + TypeArguments(*query.castTo[i]) + ")";
    }
    if (i) sql += ", ";
    sql += value;
    if (aliasItems) sql += " AS " + QuoteId("c" + std::to_string(i));
  }
  return sql;
}

std::string Translator::EmitPart(const BoundSelectPart& part, const BoundSelect& query,
                                 bool aliasItems, const std::string& extraColumn) {
  const Select& select = *part.select;
  std::string sql = "SELECT ";
  if (select.distinct) sql += "DISTINCT ";
  sql += EmitSelectList(part, query, aliasItems);
  if (!extraColumn.empty()) sql += ", " + extraColumn;
  if (!select.from.empty()) sql += " FROM " + EmitFrom(select.from, part.scope->sources, SIZE_MAX);
  if (select.where) sql += " WHERE " + Emit(*select.where);
  if (!select.groupBy.empty()) {
    sql += " GROUP BY ";
    for (std::size_t i = 0; i < select.groupBy.size(); ++i) {
      if (i) sql += ", ";
      sql += Emit(*select.groupBy[i]);
    }
  }
  if (select.having) sql += " HAVING " + Emit(*select.having);
  return sql;
}

std::string Translator::EmitGrouping(const Expr& e) {
  ++aggregateDepth_;
  const std::string column = Emit(*e.args[0]);
  --aggregateDepth_;
  if (!summedOver_) return "0";
  if (std::find(groupSql_.begin(), groupSql_.end(), column) == groupSql_.end()) {
    throw ServerErrorByNumber(8161, {});
  }
  return std::find(summedOver_->begin(), summedOver_->end(), column) != summedOver_->end() ? "1"
                                                                                           : "0";
}

// GROUP BY … WITH ROLLUP / CUBE: one grouped SELECT per grouping set, the
// columns summed over NULL, united and ordered as SQL Server returns them
// (each group before its subtotal) unless the query orders them itself.
std::string Translator::EmitGroupingSets(const Select& select, const BoundSelect& query,
                                         bool aliasItems) {
  const BoundSelectPart& part = query.parts.front();
  if (query.parts.size() > 1) throw DatabaseError(NotSupported("ROLLUP or CUBE in a UNION"));
  ++aggregateDepth_;
  std::vector<std::string> groups;
  for (const ExprPtr& g : select.groupBy) groups.push_back(Emit(*g));
  --aggregateDepth_;
  const std::size_t n = groups.size();
  std::vector<std::vector<bool>> sets;
  if (select.grouping == Select::Grouping::Rollup) {
    for (std::size_t k = n + 1; k-- > 0;) {
      std::vector<bool> kept(n);
      for (std::size_t i = 0; i < n; ++i) kept[i] = i < k;
      sets.push_back(std::move(kept));
    }
  } else {
    if (n > 10) throw DatabaseError(NotSupported("CUBE of more than 10 columns"));
    for (std::size_t mask = (std::size_t{1} << n); mask-- > 0;) {
      std::vector<bool> kept(n);
      for (std::size_t i = 0; i < n; ++i) kept[i] = (mask >> (n - 1 - i)) & 1;
      sets.push_back(std::move(kept));
    }
  }
  groupSql_ = groups;
  std::vector<std::string> itemSql;  // the select list of the full grouping
  std::string unioned;
  for (const std::vector<bool>& kept : sets) {
    std::vector<std::string> summed;
    for (std::size_t i = 0; i < n; ++i) {
      if (!kept[i]) summed.push_back(groups[i]);
    }
    std::string sql = "SELECT ";
    if (select.distinct) sql += "DISTINCT ";
    summedOver_ = &summed;
    sql += EmitSelectList(part, query, true);
    summedOver_ = nullptr;
    for (std::size_t i = 0; i < n; ++i) {
      sql += std::string(", ") + (kept[i] ? "0" : "1") + " AS " + QuoteId("g" + std::to_string(i)) +
             ", " + (kept[i] ? groups[i] : "NULL") + " AS " + QuoteId("k" + std::to_string(i));
    }
    if (!select.from.empty()) {
      sql += " FROM " + EmitFrom(select.from, part.scope->sources, SIZE_MAX);
    }
    if (select.where) sql += " WHERE " + Emit(*select.where);
    std::string groupBy;
    for (std::size_t i = 0; i < n; ++i) {
      if (kept[i]) groupBy += (groupBy.empty() ? "" : ", ") + groups[i];
    }
    if (!groupBy.empty()) sql += " GROUP BY " + groupBy;
    if (select.having) {
      summedOver_ = &summed;
      sql += " HAVING " + Emit(*select.having);
      summedOver_ = nullptr;
    }
    unioned += (unioned.empty() ? "" : " UNION ALL ") + sql;
  }
  std::string outer = "SELECT ";
  for (std::size_t i = 0; i < part.items.size(); ++i) {
    const std::string c = QuoteId("c" + std::to_string(i));
    outer += (i ? ", " : "") + c + (aliasItems ? " AS " + c : "");
  }
  outer += " FROM (" + unioned + ")";
  std::string order;
  for (std::size_t i = 0; i < select.orderBy.size(); ++i) {
    const int position = query.orderPositions[i];
    std::string term;
    ValueClass cls = ValueClass::Unknown;
    if (position >= 0) {
      term = QuoteId("c" + std::to_string(position));
      cls = RowColumns(query)[static_cast<std::size_t>(position)].cls;
    } else {
      ++aggregateDepth_;
      const std::string sql = Emit(*select.orderBy[i].expr);
      --aggregateDepth_;
      const auto group = std::find(groups.begin(), groups.end(), sql);
      if (group == groups.end()) {
        throw DatabaseError(
            NotSupported("ORDER BY of a ROLLUP/CUBE query on what is not grouped or selected"));
      }
      term = QuoteId("k" + std::to_string(group - groups.begin()));
      cls = Bound(*select.orderBy[i].expr).cls;
    }
    if (cls == ValueClass::Text || cls == ValueClass::Unknown) term += Collate();
    order += (order.empty() ? "" : ", ") + term + (select.orderBy[i].descending ? " DESC" : "");
  }
  if (order.empty()) {
    for (std::size_t i = 0; i < n; ++i) {
      const ValueClass cls = Bound(*select.groupBy[i]).cls;
      order += (i ? ", " : "") + QuoteId("g" + std::to_string(i)) + ", " +
               QuoteId("k" + std::to_string(i)) +
               (cls == ValueClass::Text || cls == ValueClass::Unknown ? Collate() : "");
    }
  }
  if (!order.empty()) outer += " ORDER BY " + order;
  if (select.top) outer += " LIMIT " + Emit(*select.top);
  return outer;
}

std::string Translator::EmitWith(const std::vector<CommonTableExpr>& with, int maxRecursion) {
  if (with.empty()) return {};
  std::string sql = "WITH RECURSIVE ";
  for (std::size_t i = 0; i < with.size(); ++i) {
    const BoundCte& cte = *statement_->cteOf.at(&with[i]);
    if (i) sql += ", ";
    sql += QuoteId(cte.sqlName) + "(";
    for (std::size_t c = 0; c < cte.output.size(); ++c) {
      sql += (c ? ", c" : "c") + std::to_string(c);
    }
    const BoundSelect& query = statement_->Of(*with[i].query);
    // A recursive one carries each row's depth, so that running past
    // MAXRECURSION fails as in SQL Server instead of running for ever.
    std::vector<const BoundSource*> selfReferences;
    for (const BoundSelectPart& part : query.parts) {
      const BoundSource* self = nullptr;
      ForEachTableSource(part.scope->sources, [&](const BoundSource& src) {
        if (src.cte == &cte) self = &src;
      });
      selfReferences.push_back(self);
    }
    const bool recursive =
        std::any_of(selfReferences.begin(), selfReferences.end(), [](auto* s) { return s; });
    if (!recursive) {
      sql += ") AS (" + EmitQuery(*with[i].query, false) + ")";
      continue;
    }
    sql += ", " + QuoteId(kDepthColumn) + ") AS (";
    for (std::size_t p = 0; p < query.parts.size(); ++p) {
      if (p) sql += CombineWord(*query.parts[p - 1].select);
      const std::string depth = selfReferences[p]
                                    ? "tsql_recursion(" + QuoteId(selfReferences[p]->sqlAlias) +
                                          "." + QuoteId(kDepthColumn) + " + 1, " +
                                          std::to_string(maxRecursion) + ")"
                                    : "0";
      sql += EmitPart(query.parts[p], query, false, depth);
    }
    sql += ")";
  }
  return sql + " ";
}

std::string Translator::EmitQuery(const Select& select, bool aliasItems) {
  const BoundSelect& query = statement_->Of(select);
  if (select.forXml && xmlRowsOf_ != &select) return EmitForXml(select, query);
  std::string sql = EmitWith(select.with, select.maxRecursion);
  if (select.grouping != Select::Grouping::Plain) {
    return sql + EmitGroupingSets(select, query, aliasItems);
  }
  std::string rows;
  for (std::size_t i = 0; i < query.parts.size(); ++i) {
    if (i) rows += CombineWord(*query.parts[i - 1].select);
    rows += EmitPart(query.parts[i], query, aliasItems);
  }
  sql += rows;
  if (!select.orderBy.empty()) {
    sql += " ORDER BY ";
    for (std::size_t i = 0; i < select.orderBy.size(); ++i) {
      if (i) sql += ", ";
      const Expr& e = *select.orderBy[i].expr;
      const int position = query.orderPositions[i];
      std::string term;
      if (position >= 0) {
        term = std::to_string(position + 1);
        const ValueClass cls = RowColumns(query)[static_cast<std::size_t>(position)].cls;
        if (cls == ValueClass::Text || cls == ValueClass::Unknown) term += Collate();
      } else {
        term = SortKey(e);
      }
      sql += term;
      if (select.orderBy[i].descending) sql += " DESC";
    }
  }
  if (select.top && select.topPercent) {
    // That share of the rows, a part of a row counting as a whole one.
    const std::string share = "((SELECT count(*) FROM (" + rows + ")) * tsql_cast(" +
                              Emit(*select.top) + ", " +
                              TypeArguments(SqlType{BaseType::Float, 0, 0, 0}) + ") / 100.0)";
    sql += " LIMIT (CASE WHEN " + share + " > CAST(" + share + " AS INTEGER) THEN CAST(" + share +
           " AS INTEGER) + 1 ELSE CAST(" + share + " AS INTEGER) END)";
  } else if (select.top) {
    sql += " LIMIT " + Emit(*select.top);
  }
  return sql;
}

std::string Translator::EmitForXml(const Select& select, const BoundSelect& query) {
  const Select* outer = xmlRowsOf_;
  xmlRowsOf_ = &select;
  const std::string rows = EmitQuery(select, true);
  xmlRowsOf_ = outer;
  std::string attributes = "''";
  std::string content = "''";
  for (std::size_t i = 0; i < query.xmlColumns.size(); ++i) {
    const BoundSelect::XmlColumn& column = query.xmlColumns[i];
    std::string value = "r." + QuoteId("c" + std::to_string(i));
    // Dates in ISO 8601 (style 126), anything else as its text.
    if (query.rowOutput[i].cls == ValueClass::Date) {
      value = "tsql_convert(" + value + ", 126, " + std::to_string(kConvertFromDateTime) + ", " +
              TypeArguments(SqlType{BaseType::NVarChar, 4000, 0, 0}) + ")";
    } else if (!column.raw) {
      value =
          "tsql_cast(" + value + ", " + TypeArguments(SqlType{BaseType::NVarChar, -1, 0, 0}) + ")";
    }
    const std::string raw = column.raw ? "1" : "0";
    switch (column.as) {
      case BoundSelect::XmlColumn::As::Attribute:
        attributes += " || tsql_xml_attribute(" + QuoteText(column.name) + ", " + value + ")";
        break;
      case BoundSelect::XmlColumn::As::Element:
        content +=
            " || tsql_xml_element(" + QuoteText(column.name) + ", " + value + ", " + raw + ")";
        break;
      case BoundSelect::XmlColumn::As::Text:
        content += " || tsql_xml_text(" + value + ", " + raw + ")";
        break;
    }
  }
  const std::string row = query.xmlRow.empty() ? content
                                               : "tsql_xml_row(" + QuoteText(query.xmlRow) + ", " +
                                                     attributes + ", " + content + ")";
  std::string all = "group_concat(" + row + ", '')";
  if (!query.xmlRoot.empty()) all = "tsql_xml_root(" + QuoteText(query.xmlRoot) + ", " + all + ")";
  std::string sql = "SELECT " + all + " FROM (" + rows + ") AS r";
  // As a statement of its own, no rows give no XML row; as a value, NULL.
  if (&select == topLevelQuery_) sql += " HAVING count(*) > 0";
  return sql;
}

Translation Translator::EmitSelectStatement(const Select& select) {
  Translation t;
  topLevelQuery_ = &select;
  t.sql = EmitQuery(select, false);
  t.bindings = std::move(bindings_);
  for (const OutputColumn& c : statement_->Of(select).output) {
    t.columns.push_back(c.name);
    t.columnTypes.push_back({c.cls, c.type});
    t.variables.push_back(c.variable);
  }
  bool assigns = false;
  for (const auto& v : t.variables) assigns = assigns || !v.empty();
  if (!assigns) t.variables.clear();
  t.returnsRows = true;
  return t;
}

Translation Translator::EmitValue(const Expr& expr) {
  Translation t;
  t.sql = "SELECT " + Emit(expr);
  t.bindings = std::move(bindings_);
  t.columns.emplace_back();
  t.columnTypes.push_back({Bound(expr).cls, Bound(expr).type});
  t.returnsRows = true;
  return t;
}

std::string Translator::RowCondition(const Expr& condition, const TableInfo& table) {
  // Inside the enforcing trigger the row is NEW; the validation of existing
  // rows aliases the table as "NEW" too, so one text serves both.
  const BoundStatement bound = NewBinder().RowCondition(condition, table, "NEW");
  statement_ = &bound;
  exprs_ = &bound.exprs;
  std::string sql = Emit(condition);
  if (!bindings_.empty()) {
    throw DatabaseError(NotSupported("parameters or variables in a CHECK constraint"));
  }
  return sql;
}

std::string Translator::RowExpression(const Expr& value, const TableInfo& table,
                                      std::optional<SqlType>& type) {
  const BoundStatement bound = NewBinder().RowCondition(value, table, "");
  statement_ = &bound;
  exprs_ = &bound.exprs;
  std::string sql = Emit(value);
  if (!bindings_.empty()) {
    throw DatabaseError(NotSupported("parameters or variables in a computed column"));
  }
  type = Bound(value).type;
  return sql;
}

std::string Translator::ViewSql(const Select& select) {
  const BoundStatement bound = NewBinder().Query(select);
  statement_ = &bound;
  exprs_ = &bound.exprs;
  std::string sql = EmitQuery(select, true);
  if (!bindings_.empty()) throw DatabaseError(NotSupported("parameters or variables in a view"));
  // Name the view's columns as the query names them.
  std::string named = "SELECT ";
  const std::vector<OutputColumn>& output = bound.Of(select).output;
  for (std::size_t i = 0; i < output.size(); ++i) {
    if (output[i].name.empty()) {
      throw ServerErrorByNumber(4511, {std::to_string(i + 1)});
    }
    if (i) named += ", ";
    named += "c" + std::to_string(i) + " AS " + QuoteId(output[i].name);
  }
  return named + " FROM (" + sql + ")";
}

// ---- changes -------------------------------------------------------------

std::string Translator::StoreCall(const std::string& value, const ColumnInfo& column,
                                  const TableInfo& table, bool update, bool character,
                                  const std::optional<SqlType>& source) {
  // A timestamp column takes the database's next value from its trigger.
  if (column.type.base == BaseType::Timestamp) return "NULL";
  const int flags = (column.nullable ? 0 : kStoreNotNull) | (update ? kStoreUpdate : 0) |
                    (character ? kStoreText : 0);
  if (source && source->base == BaseType::SqlVariant && column.type.base != BaseType::SqlVariant) {
    throw ServerErrorByNumber(257, {"sql_variant", std::string(TypeName(column.type.base))});
  }
  if (column.type.base == BaseType::SqlVariant) {
    return "tsql_store(" + VariantSql(value, source) + ", " + TypeArguments(column.type) + ", " +
           std::to_string(flags) + ", " + QuoteText(column.name) + ", " +
           QuoteText(catalog_.QualifiedName(table.name)) + ")";
  }
  return "tsql_store(" + value + ", " + TypeArguments(column.type) + ", " + std::to_string(flags) +
         ", " + QuoteText(column.name) + ", " + QuoteText(catalog_.QualifiedName(table.name)) + ")";
}

std::string Translator::VariantSql(const std::string& value, const std::optional<SqlType>& source) {
  if (source && source->base != BaseType::SqlVariant && !VariantHolds(*source)) {
    throw ServerErrorByNumber(206, {TypeText(*source), "sql_variant"});
  }
  return "tsql_variant(" + value + ", " +
         (source ? TypeArguments(*source) : std::string("-1, 0, 0, 0")) + ")";
}

std::optional<SqlType> Translator::DefaultType(const ColumnInfo& column) {
  const Expr* expr = statement_->change.defaults.at(&column);
  return expr ? Bound(*expr).type : std::nullopt;
}

std::string Translator::DefaultSql(const ColumnInfo& column) {
  const Expr* expr = statement_->change.defaults.at(&column);
  return expr ? Emit(*expr) : "NULL";
}

Translation Translator::EmitInsert(const InsertStatement& insert) {
  const BoundChange& change = statement_->change;
  const TableInfo& table = *change.table;
  std::string sql = "INSERT INTO " + QuoteId(table.name) + " (";
  bool first = true;
  for (const auto* columns : {&change.targets, &change.omitted}) {
    for (const ColumnInfo* c : *columns) {
      sql += (first ? "" : ", ") + QuoteId(c->name);
      first = false;
    }
  }
  sql += ")";
  std::string defaults;
  for (const ColumnInfo* c : change.omitted) {
    defaults += ", " + StoreCall(DefaultSql(*c), *c, table, false, false, DefaultType(*c));
  }
  if (insert.defaultValues && insert.select) {
    // A row of defaults for each row of the query.
    if (change.omitted.empty()) {
      throw DatabaseError(
          NotSupported("DEFAULT VALUES for each row into a table of no columns "
                       "but its identity"));
    }
    sql += " SELECT " + defaults.substr(2) + " FROM (" + EmitQuery(*insert.select, true) + ")";
  } else if (insert.defaultValues) {
    if (change.omitted.empty()) {
      Translation t;
      t.sql = "INSERT INTO " + QuoteId(table.name) + " DEFAULT VALUES";
      t.target = &table;
      return t;
    }
    sql += " VALUES (" + defaults.substr(2) + ")";
  } else if (insert.select) {
    const std::string inner = EmitQuery(*insert.select, true);
    const std::vector<OutputColumn>& output = statement_->Of(*insert.select).output;
    sql += " SELECT ";
    for (std::size_t i = 0; i < change.targets.size(); ++i) {
      if (i) sql += ", ";
      const bool character = i < output.size() && (output[i].cls == ValueClass::Text ||
                                                   output[i].cls == ValueClass::Unknown);
      sql += StoreCall("s.c" + std::to_string(i), *change.targets[i], table, false, character,
                       statement_->Of(*insert.select).output[i].type);
    }
    sql += defaults + " FROM (" + inner + ") AS s";
  } else {
    sql += " VALUES ";
    for (std::size_t r = 0; r < insert.rows.size(); ++r) {
      const auto& row = insert.rows[r];
      if (r) sql += ", ";
      sql += "(";
      for (std::size_t i = 0; i < row.size(); ++i) {
        if (i) sql += ", ";
        const Expr& v = *row[i];
        const bool byDefault = v.kind == ExprKind::Function && v.text == "DEFAULT";
        const std::string value = byDefault ? DefaultSql(*change.targets[i]) : Emit(v);
        sql += StoreCall(value, *change.targets[i], table, false,
                         !byDefault && IsCharacterData(Bound(v)),
                         byDefault ? DefaultType(*change.targets[i]) : Bound(v).type);
      }
      sql += defaults + ")";
    }
  }
  Translation t;
  t.sql = std::move(sql);
  t.bindings = std::move(bindings_);
  t.target = &table;
  for (const ColumnInfo& c : table.columns) {
    if (c.identity) t.identityTable = table.id;
  }
  t.identityTableName = table.name;
  t.explicitIdentity = change.explicitIdentity;
  return t;
}

Translation Translator::EmitUpdate(const UpdateStatement& update) {
  const BoundChange& change = statement_->change;
  const TableInfo& table = *change.table;
  const std::string target = QuoteId(change.target->sqlAlias);
  std::string sql = EmitWith(update.with, 100) + "UPDATE " + QuoteId(table.name) +
                    (table.xtype == "V " ? std::string() : " AS " + target) + " SET ";
  for (std::size_t i = 0; i < update.assignments.size(); ++i) {
    const Assignment& a = update.assignments[i];
    const ColumnInfo& c = *change.targets[i];
    std::string v = Emit(*a.value);
    if (a.op != "=") {
      const std::string current = target + "." + QuoteId(c.name);
      const char op = a.op[0];
      v = change.nativeCompound[i]
              ? "(" + current + " " + std::string(1, op) + " " + v + ")"
              : std::string(ArithmeticFunction(op)) + "(" + current + ", " + v + ")";
    }
    if (i) sql += ", ";
    sql += QuoteId(c.name) + " = " +
           StoreCall(v, c, table, true, a.op == "=" && IsCharacterData(Bound(*a.value)),
                     Bound(*a.value).type);
  }
  const std::size_t targetIndex = change.targetIndex;
  if (update.from.size() > (targetIndex == SIZE_MAX ? 0u : 1u)) {
    sql += " FROM " + EmitFrom(update.from, change.scope->sources, targetIndex);
  }
  std::string where;
  if (targetIndex != SIZE_MAX && update.from[targetIndex].on) {
    where = Emit(*update.from[targetIndex].on);
  }
  // With the target first in FROM, the table joined next opens SQLite's
  // FROM and cannot keep its ON: the condition goes to WHERE, or every
  // row of the target would be changed.
  if (targetIndex == 0 && update.from.size() > 1 && update.from[1].on) {
    const std::string on = Emit(*update.from[1].on);
    where = where.empty() ? on : "(" + where + " AND " + on + ")";
  }
  if (update.where) {
    const std::string w = Emit(*update.where);
    where = where.empty() ? w : "(" + where + " AND " + w + ")";
  }
  if (!where.empty()) sql += " WHERE " + where;
  Translation t;
  t.sql = std::move(sql);
  t.bindings = std::move(bindings_);
  t.target = &table;
  for (const ColumnInfo* c : change.targets) t.setColumns.push_back(c->name);
  return t;
}

Translation Translator::EmitDelete(const DeleteStatement& del) {
  const BoundChange& change = statement_->change;
  Translation t;
  const std::string target = QuoteId(change.target->sqlAlias);
  t.sql = EmitWith(del.with, 100);
  if (del.from.empty()) {
    t.sql += "DELETE FROM " + QuoteId(change.table->name) +
             (change.table->xtype == "V " ? std::string() : " AS " + target);
    if (del.where) t.sql += " WHERE " + Emit(*del.where);
  } else {
    // DELETE t FROM t JOIN …: the rows of the target the join finds.
    std::string inner =
        "SELECT " + target + ".rowid FROM " + EmitFrom(del.from, change.scope->sources, SIZE_MAX);
    if (del.where) inner += " WHERE " + Emit(*del.where);
    t.sql += "DELETE FROM " + QuoteId(change.table->name) + " WHERE rowid IN (" + inner + ")";
  }
  t.bindings = std::move(bindings_);
  t.target = change.table;
  return t;
}

// ---- entry points ------------------------------------------------------------

std::vector<std::string> ColumnNames(const Expr& expr) {
  std::vector<std::string> names;
  std::vector<const Expr*> pending{&expr};
  while (!pending.empty()) {
    const Expr* e = pending.back();
    pending.pop_back();
    if (e->kind == ExprKind::Column && !e->parts.empty()) names.push_back(e->parts.back());
    for (const ExprPtr& arg : e->args) {
      if (arg) pending.push_back(arg.get());
    }
  }
  return names;
}

const std::string& SqlFor(const Translation& t, const std::vector<Value>& params) {
  for (int p : t.numberParameters) {
    if (p < static_cast<int>(params.size())) {
      const Value& v = params[static_cast<std::size_t>(p)];
      if (std::holds_alternative<std::int64_t>(v) || std::holds_alternative<double>(v)) {
        return t.numberSql;
      }
    }
  }
  return t.sql;
}

Binder Translator::NewBinder() const {
  return Binder(catalog_, variables_, functions_, parametersAreNumbers_);
}

template <class BindStatement, class EmitStatement>
Translation Translator::WithNumberVariant(BindStatement bind, EmitStatement emit) {
  auto once = [&](bool numbers, std::vector<int>* compared) {
    parametersAreNumbers_ = numbers;
    bindings_.clear();
    Binder binder = NewBinder();
    const BoundStatement bound = bind(binder);
    if (compared) *compared = binder.TextComparedParameters();
    statement_ = &bound;
    exprs_ = &bound.exprs;
    Translation t = emit();
    statement_ = nullptr;
    exprs_ = nullptr;
    return t;
  };
  std::vector<int> compared;
  Translation t = once(false, &compared);
  if (compared.empty()) return t;
  Translation numbers = once(true, nullptr);
  parametersAreNumbers_ = false;
  t.numberSql = std::move(numbers.sql);
  t.numberParameters = std::move(compared);
  return t;
}

Translation Translator::Query(const Select& select) {
  return WithNumberVariant([&](Binder& b) { return b.Query(select); },
                           [&] { return EmitSelectStatement(select); });
}
Translation Translator::Value(const Expr& expr) {
  return WithNumberVariant([&](Binder& b) { return b.Value(expr); },
                           [&] { return EmitValue(expr); });
}
Translation Translator::Insert(const InsertStatement& insert) {
  return WithNumberVariant([&](Binder& b) { return b.Insert(insert); },
                           [&] { return EmitInsert(insert); });
}
Translation Translator::Update(const UpdateStatement& update) {
  return WithNumberVariant([&](Binder& b) { return b.Update(update); },
                           [&] { return EmitUpdate(update); });
}
Translation Translator::Delete(const DeleteStatement& del) {
  return WithNumberVariant([&](Binder& b) { return b.Delete(del); },
                           [&] { return EmitDelete(del); });
}

}  // namespace moltaro::db::embedded
