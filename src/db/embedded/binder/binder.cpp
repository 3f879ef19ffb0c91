#include "db/embedded/binder/binder.h"

#include <algorithm>
#include <cstdlib>

#include "common/text.h"
#include "db/embedded/binder/builtin_functions.h"
#include "db/embedded/catalog/catalog_views.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/storage/sqlite_table_functions.h"
#include "db/embedded/translator/stored_code.h"
#include "db/embedded/types/collation.h"
#include "db/embedded/types/date_parts.h"
#include "db/embedded/types/decimal.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

std::string Upper(std::string_view s) {
  return ToUpperAscii(s);
}

bool IsApply(JoinKind join) {
  return join == JoinKind::CrossApply || join == JoinKind::OuterApply;
}

std::string ApplyName(JoinKind join) {
  return join == JoinKind::CrossApply ? "CROSS APPLY" : "OUTER APPLY";
}

// Whether an expression reads a column (of any table), subqueries included.
bool ReadsColumns(const Expr& e) {
  if (e.kind == ExprKind::Column || e.select) return true;
  for (const ExprPtr& arg : e.args) {
    if (arg && ReadsColumns(*arg)) return true;
  }
  return false;
}

[[noreturn]] void InvalidColumn(const std::string& name) {
  throw ServerErrorByNumber(207, {name});
}

bool SameType(const SqlType& a, const SqlType& b) {
  return a.base == b.base && a.length == b.length && a.precision == b.precision &&
         a.scale == b.scale;
}

ValueClass ColumnClass(const TableInfo& table, const ColumnInfo& column) {
  // A view's columns are typed only as SQLite declares them: beyond integers
  // they may hold exact numbers, floats or text, decided per value.
  if (table.xtype == "V " && !IsInteger(column.type.base)) return ValueClass::Unknown;
  return ClassOf(column.type);
}

// An operand of exact arithmetic as the decimal type it counts as: an integer
// literal as the decimal of its digits, an integer value as numeric(10,0)
// (bigint (19,0)).
std::optional<Decimal> ExactShape(const std::optional<SqlType>& type, int literalDigits) {
  if (!type) return std::nullopt;
  Decimal d;
  switch (type->base) {
    case BaseType::Decimal:
    case BaseType::Numeric:
      d.precision = type->precision;
      d.scale = type->scale;
      return d;
    case BaseType::Money:
      d.kind = ExactKind::Money;
      d.precision = 19;
      d.scale = 4;
      return d;
    case BaseType::SmallMoney:
      d.kind = ExactKind::SmallMoney;
      d.precision = 10;
      d.scale = 4;
      return d;
    case BaseType::TinyInt:
    case BaseType::SmallInt:
    case BaseType::Int:
    case BaseType::BigInt:
      d.precision = literalDigits > 0 ? literalDigits : type->base == BaseType::BigInt ? 19 : 10;
      d.scale = 0;
      return d;
    default:
      return std::nullopt;
  }
}

std::optional<ExactOp> ExactOperation(char op) {
  switch (op) {
    case '+':
      return ExactOp::Add;
    case '-':
      return ExactOp::Subtract;
    case '*':
      return ExactOp::Multiply;
    case '/':
      return ExactOp::Divide;
    case '%':
      return ExactOp::Modulo;
    default:
      return std::nullopt;
  }
}

// The type of exact arithmetic on operands of known types.
std::optional<SqlType> ExactResultType(char op, const BoundExpr& a, const BoundExpr& b) {
  const auto exactOp = ExactOperation(op);
  if (!a.type || !b.type || !exactOp || (!IsExact(a.type->base) && !IsExact(b.type->base))) {
    return std::nullopt;
  }
  const auto da = ExactShape(a.type, a.literalDigits), db = ExactShape(b.type, b.literalDigits);
  if (!da || !db) return std::nullopt;
  const Decimal r = ArithmeticType(*exactOp, *da, *db);
  if (r.kind == ExactKind::Money) return SqlType{BaseType::Money, 0, 19, 4};
  if (r.kind == ExactKind::SmallMoney) return SqlType{BaseType::SmallMoney, 0, 10, 4};
  return SqlType{BaseType::Numeric, 0, r.precision, r.scale};
}

std::optional<SqlType> CommonType(const std::vector<const BoundExpr*>& branches) {
  std::vector<TypedValue> values;
  for (const BoundExpr* b : branches) values.push_back({b->cls, b->type});
  return CommonTypeOf(values);
}

// What SUM, AVG, MIN and MAX return for an argument of that type: MIN and
// MAX keep it; SUM of a decimal is decimal(38, s), AVG decimal(38, max(s, 6));
// integers below bigint sum as int, money as money, floats as float.
std::optional<SqlType> AggregateType(const std::string& name, const std::optional<SqlType>& type) {
  if (!type || name == "MIN" || name == "MAX") return type;
  switch (type->base) {
    case BaseType::Decimal:
    case BaseType::Numeric:
      return SqlType{type->base, 0, 38, name == "SUM" ? type->scale : std::max(type->scale, 6)};
    case BaseType::TinyInt:
    case BaseType::SmallInt:
    case BaseType::Int:
      return SqlType{BaseType::Int, 0, 0, 0};
    case BaseType::BigInt:
      return SqlType{BaseType::BigInt, 0, 0, 0};
    case BaseType::Money:
    case BaseType::SmallMoney:
      return SqlType{BaseType::Money, 0, 19, 4};
    case BaseType::Float:
    case BaseType::Real:
      return SqlType{BaseType::Float, 0, 0, 0};
    default:
      return std::nullopt;
  }
}

// A CASE-like result: its branches convert to their common decimal type
// when they have one; otherwise it holds what `cls` says.
BoundExpr CommonResult(const std::vector<const BoundExpr*>& branches, ValueClass cls) {
  BoundExpr out;
  out.commonType = CommonType(branches);
  out.type = out.commonType;
  out.cls = out.commonType ? ValueClass::Exact : cls;
  return out;
}

BoundExpr Classed(ValueClass cls) {
  BoundExpr out;
  out.cls = cls;
  return out;
}

BoundExpr Typed(const SqlType& type) {
  BoundExpr out;
  out.cls = ClassOf(type);
  out.type = type;
  return out;
}

// The result type of SIGN (same) or POWER, DEGREES and RADIANS (wide): the
// argument's kind of number, a decimal with its scale.
BoundExpr NumberOfArgument(const BoundExpr& a, bool wide) {
  if (!a.type) {
    if (a.cls == ValueClass::Text) return Typed(SqlType{BaseType::Float, 0, 0, 0});
    if (a.cls == ValueClass::Null) return Typed(SqlType{BaseType::Int, 0, 0, 0});
    return Classed(a.cls);  // the value's own kind decides when it is read
  }
  const SqlType& t = *a.type;
  if (t.base == BaseType::Decimal || t.base == BaseType::Numeric) {
    return Typed(
        SqlType{t.base, 0, wide ? kMaxPrecision : std::max(t.precision, t.scale + 1), t.scale});
  }
  switch (t.base) {
    case BaseType::TinyInt:
    case BaseType::SmallInt:
    case BaseType::Int:
      return Typed(SqlType{BaseType::Int, 0, 0, 0});
    case BaseType::BigInt:
      return Typed(SqlType{BaseType::BigInt, 0, 0, 0});
    case BaseType::Money:
    case BaseType::SmallMoney:
      return Typed(SqlType{BaseType::Money, 0, 19, 4});
    default:
      return Typed(SqlType{BaseType::Float, 0, 0, 0});
  }
}

// A column whose type the other side of a comparison converts to, where
// SQLite's comparison of the unconverted text would differ: dates and times,
// and uniqueidentifiers (any case, braces).
bool ConvertsOthers(const SqlType& column) {
  return IsDateOrTime(column.base) || column.base == BaseType::UniqueIdentifier ||
         IsBinary(column.base);
}

// Text against a number compares as numbers in SQL Server (data type
// precedence); `column` is whether the number side is a table column, whose
// affinity converts a text literal once and keeps its index usable.
bool TextAgainstNumber(const BoundExpr& text, const BoundExpr& number) {
  return text.cls == ValueClass::Text && number.cls == ValueClass::Number;
}

bool IsVariant(const BoundExpr& e) {
  return e.type && e.type->base == BaseType::SqlVariant;
}

}  // namespace

ValueClass ClassOf(const SqlType& type) {
  if (StoresAsDecimal(type)) return ValueClass::Exact;
  if (IsInteger(type.base) || IsApproximateOrExact(type.base)) return ValueClass::Number;
  if (IsDateOrTime(type.base)) return ValueClass::Date;
  return ValueClass::Text;
}

bool WritesDateStyle(const BoundExpr& value) {
  return value.cls == ValueClass::Date && !(value.type && IsTemporal(value.type->base));
}

std::optional<SqlType> CommonTypeOf(const std::vector<TypedValue>& values) {
  std::vector<SqlType> types;
  for (const TypedValue& v : values) {
    if (v.cls == ValueClass::Null) continue;  // a NULL takes any type
    if (!v.type) return std::nullopt;
    types.push_back(*v.type);
  }
  return CommonDecimalType(types);
}

bool NeedsConversion(const TypedValue& value, const std::optional<SqlType>& target) {
  return target && value.cls != ValueClass::Null && !(value.type && SameType(*value.type, *target));
}

const BoundExpr& ExprBindings::Of(const Expr& e) const {
  return nodes.at(&e);
}

const BoundSelect& BoundStatement::Of(const Select& s) const {
  return *selects.at(&s);
}

std::string WrittenName(const ObjectName& name) {
  std::string out;
  if (!name.database.empty()) out += name.database + ".";
  if (!name.schema.empty() || !name.database.empty()) out += name.schema + ".";
  return out + name.name;
}

Binder::Binder(Catalog& catalog, const VariableTypes* variables, FunctionResolver* functions,
               bool parametersAreNumbers)
    : catalog_(catalog),
      variables_(variables),
      functions_(functions),
      parametersAreNumbers_(parametersAreNumbers) {}

BoundScope& Binder::NewScope() {
  return statement_->scopes.emplace_back();
}

std::string Binder::NextAlias() {
  return "t" + std::to_string(aliasCounter_++);
}

std::string Binder::SqlAliasOfTarget(const TableInfo& table) {
  // SQLite loses the alias of a view it changes through INSTEAD OF
  // triggers: the view's rows go by its own name.
  return table.xtype == "V " ? table.name : NextAlias();
}

const TableInfo* Binder::RequireTable(const ObjectName& name) {
  if (!name.database.empty() && !catalog_.Coll().Equal(name.database, catalog_.DatabaseName())) {
    throw DatabaseError(NotSupported("reference to another database (" + WrittenName(name) + ")"));
  }
  if (IsCatalogViewSchema(name.schema)) {
    // Catalog views are read only; those there are come through MakeSource.
    if (FindCatalogView(name.schema, name.name, catalog_.DatabaseName())) {
      throw ServerErrorByNumber(259);
    }
    throw DatabaseError(NotSupported("catalog view " + WrittenName(name)));
  }
  if (name.name.rfind("##", 0) == 0) {
    throw DatabaseError(NotSupported("global temporary tables (" + name.name + ")"));
  }
  const TableInfo* table = catalog_.FindTable(name.name);
  if (!table && name.name.rfind('@', 0) == 0) throw ServerErrorByNumber(1087, {name.name});
  if (const auto object = table ? std::nullopt : catalog_.FindObject(name.name);
      object && (object->xtype == "IF" || object->xtype == "TF")) {
    throw ServerErrorByNumber(216, {WrittenName(name)});
  }
  if (!table) throw ServerErrorByNumber(208, {WrittenName(name)});
  return table;
}

const BoundCte* Binder::FindCte(const ObjectName& name) const {
  if (!name.schema.empty() || !name.database.empty()) return nullptr;
  for (auto it = visibleCtes_.rbegin(); it != visibleCtes_.rend(); ++it) {
    if (catalog_.Coll().Equal((*it)->cte->name, name.name)) return *it;
  }
  return nullptr;
}

void Binder::BindWith(const std::vector<CommonTableExpr>& with) {
  for (const CommonTableExpr& cte : with) {
    BoundCte& bound = statement_->ctes.emplace_back();
    bound.cte = &cte;
    bound.sqlName = "cte" + std::to_string(statement_->ctes.size() - 1);
    statement_->cteOf[&cte] = &bound;
    // Visible inside its own query too: a recursive reference reads the
    // columns of the anchor part, bound first.
    visibleCtes_.push_back(&bound);
    BoundCte* outer = anchoring_;
    anchoring_ = &bound;
    const BoundSelect& query = BindQuery(*cte.query, nullptr, false);
    anchoring_ = outer;
    if (!bound.ready) {
      // A query without a reference to itself: its columns are its own.
      bound.output = query.output;
    }
    if (!cte.columns.empty()) {
      if (cte.columns.size() != query.output.size()) {
        throw ServerErrorByNumber(cte.columns.size() < query.output.size() ? 8158 : 8159,
                                  {cte.name});
      }
    }
    for (std::size_t i = 0; i < query.output.size(); ++i) {
      OutputColumn& column = bound.output[i];
      column.type = query.output[i].type;  // the common type across the parts
      if (!cte.columns.empty()) column.name = cte.columns[i];
      if (column.name.empty()) {
        throw ServerErrorByNumber(8155, {std::to_string(i + 1), cte.name});
      }
      column.variable.clear();
    }
    bound.ready = true;
  }
}

void Binder::MakeSources(const std::vector<TableRef>& from, BoundScope& scope) {
  // The arguments of an APPLY point at the sources before it: they must
  // stay where they are while the rest are added.
  scope.sources.reserve(from.size());
  for (const TableRef& ref : from) scope.sources.push_back(MakeSource(ref, scope));
}

BoundSource Binder::MakeSource(const TableRef& ref, const BoundScope& left) {
  BoundSource s;
  if (!ref.nested.empty()) {
    for (const TableRef& inner : ref.nested) {
      if (IsApply(inner.join)) {
        throw DatabaseError(NotSupported(ApplyName(inner.join) + " inside a parenthesised join"));
      }
      s.nested.push_back(MakeSource(inner, left));
    }
    return s;
  }
  if (ref.function) return FunctionSource(ref, left);
  if (IsApply(ref.join)) {
    throw DatabaseError(NotSupported(ApplyName(ref.join) + " of anything but a function"));
  }
  s.alias = ref.alias;
  s.sqlAlias = NextAlias();
  if (!ref.derived) {
    if (const BoundCte* cte = FindCte(ref.name)) {
      if (!cte->ready) throw ServerErrorByNumber(252, {cte->cte->name});
      s.cte = cte;
      s.tableName = ref.name.name;
      s.derived = cte->output;
      return s;
    }
  }
  if (ref.derived) {
    // Derived tables see no outer scope in T-SQL.
    const BoundSelect& inner = BindQuery(*ref.derived, nullptr, false);
    for (std::size_t i = 0; i < inner.output.size(); ++i) {
      if (inner.output[i].name.empty() && !ref.setOperand) {
        throw ServerErrorByNumber(8155, {std::to_string(i + 1), ref.alias});
      }
    }
    s.query = ref.derived.get();
    s.derived = inner.output;
    return s;
  }
  // Catalog views, and master's sysdatabases from another database, read as
  // derived tables named after themselves.
  const auto fromView = [&](const CatalogView& view) {
    if (s.alias.empty()) s.alias = ref.name.name;
    s.tableName = ref.name.name;
    for (const CatalogViewColumn& c : view.columns) {
      s.derived.push_back(OutputColumn{c.name, ClassOf(c.type), c.type, std::string()});
    }
    s.viewSql = view.sql;
    return s;
  };
  const bool here = ref.name.database.empty() ||
                    catalog_.Coll().Equal(ref.name.database, catalog_.DatabaseName());
  if (IsCatalogViewSchema(ref.name.schema) && here && IsCompatibilityView(ref.name.name)) {
    // sys.sysobjects and the like are the system tables themselves.
    ObjectName table = ref.name;
    table.schema.clear();
    s.table = RequireTable(table);
    s.tableName = ref.name.name;
    return s;
  }
  if (IsCatalogViewSchema(ref.name.schema)) {
    auto view = FindCatalogView(ref.name.schema, ref.name.name, catalog_.DatabaseName());
    // sys.databases is the server's, from any database.
    if (view && (here || ToUpperAscii(ref.name.name) == "DATABASES")) return fromView(*view);
  }
  if (!here) {
    if (auto master = FindMasterTable(ref.name.database, ref.name.name)) return fromView(*master);
  }
  const bool dboOrNone = ref.name.schema.empty() || catalog_.Coll().Equal(ref.name.schema, "dbo");
  if (here && dboOrNone && IsPrincipalCompatibilityView(ref.name.name) &&
      !catalog_.FindTable(ref.name.name)) {
    return fromView(*FindCatalogView("sys", ref.name.name, catalog_.DatabaseName()));
  }
  s.table = RequireTable(ref.name);
  s.tableName = ref.name.name;
  return s;
}

BoundSource Binder::FunctionSource(const TableRef& ref, const BoundScope& left) {
  // The arguments read the enclosing query's tables, and under APPLY the
  // sources on the left too.
  const BoundScope* argumentScope = IsApply(ref.join) ? &left : left.outer;
  const std::string written = WrittenName(ref.name);
  if (ref.name.database.empty() && ref.name.schema.empty() &&
      Upper(ref.name.name) == "STRING_SPLIT") {
    return StringSplitSource(ref, argumentScope);
  }
  if (!ref.name.database.empty() &&
      !catalog_.Coll().Equal(ref.name.database, catalog_.DatabaseName())) {
    throw DatabaseError(NotSupported("reference to another database (" + written + ")"));
  }
  const auto function = functions_ ? functions_->TableFunction(ref.name.name) : nullptr;
  if (!function && !functions_) {
    // A view's or a default's text: no stored code is at hand.
    const auto object = catalog_.FindObject(ref.name.name);
    if (object && (object->xtype == "IF" || object->xtype == "TF")) {
      throw DatabaseError(NotSupported("user function " + written + " inside a view"));
    }
  }
  if (!function) {
    if (catalog_.FindTable(ref.name.name)) throw ServerErrorByNumber(215, {written});
    throw ServerErrorByNumber(208, {written});
  }
  // The bindings keep the compiled function alive with the statement.
  statement_->routines.push_back(function);
  const CreateRoutineStatement& def = *function->definition;
  if (ref.arguments.size() != def.parameters.size()) {
    // Named as the call writes it, as SQL Server does.
    throw ServerErrorByNumber(ref.arguments.size() > def.parameters.size() ? 8144 : 313, {written});
  }
  BoundSource s;
  for (std::size_t i = 0; i < ref.arguments.size(); ++i) {
    const Expr* arg = ref.arguments[i].get();
    if (arg->kind == ExprKind::Function && arg->text == "DEFAULT") {
      arg = def.parameters[i].defaultValue.get();
      if (!arg) throw ServerErrorByNumber(201, {function->object.name, def.parameters[i].name});
    }
    Bind(*arg, argumentScope);
    s.arguments.push_back(arg);
  }
  s.alias = ref.alias;
  s.sqlAlias = NextAlias();
  s.tableName = ref.name.name;
  s.routine = function.get();
  if (function->object.xtype == "TF") {
    // Its body runs in the interpreter for each call (tsql_tvf); its rows
    // are its return table's.
    if (function->tableColumns.size() > kUserTableFunctionColumns ||
        ref.arguments.size() > kUserTableFunctionArguments) {
      throw DatabaseError(NotSupported("table-valued function " + written + " of more than " +
                                       std::to_string(kUserTableFunctionColumns) + " columns or " +
                                       std::to_string(kUserTableFunctionArguments) +
                                       " parameters"));
    }
    s.tableFunction = "tsql_tvf";
    s.functionName = function->object.name;
    for (const auto& [name, type] : function->tableColumns) {
      s.derived.push_back(OutputColumn{name, ClassOf(type), type, {}});
    }
    return s;
  }
  // An inline function is its query, taken into the statement as a derived
  // table; SQLite's derived tables cannot read the tables beside them, so
  // under an APPLY over the query's columns it runs for each row instead.
  bool perRow = false;
  if (IsApply(ref.join)) {
    for (const Expr* arg : s.arguments) perRow = perRow || ReadsColumns(*arg);
  }
  for (const InlineFrame& frame : inlining_) {
    // A function that reads itself (through ALTER) would be taken in forever.
    if (frame.function == function.get() || inlining_.size() >= 32) {
      throw ServerErrorByNumber(217, {"32"});
    }
  }
  // Its body sees its parameters (typed as declared) and nothing of the caller.
  inlining_.push_back({function.get()});
  struct Restore {
    Binder& binder;
    ~Restore() { binder.inlining_.pop_back(); }
  } restore{*this};
  const BoundSelect& query = BindQuery(*def.query, nullptr, false);
  s.derived = query.output;
  for (OutputColumn& column : s.derived) column.variable.clear();
  if (perRow) {
    if (s.derived.size() > kUserTableFunctionColumns ||
        ref.arguments.size() > kUserTableFunctionArguments) {
      throw DatabaseError(NotSupported(ApplyName(ref.join) + " of " + written + " of more than " +
                                       std::to_string(kUserTableFunctionColumns) + " columns or " +
                                       std::to_string(kUserTableFunctionArguments) +
                                       " parameters"));
    }
    s.tableFunction = "tsql_tvf";
    s.functionName = function->object.name;
    s.routine = nullptr;
    return s;
  }
  s.query = def.query.get();
  return s;
}

BoundSource Binder::StringSplitSource(const TableRef& ref, const BoundScope* argumentScope) {
  if (ref.arguments.size() < 2) throw ServerErrorByNumber(313, {"STRING_SPLIT"});
  if (ref.arguments.size() > 3) throw ServerErrorByNumber(8144, {"STRING_SPLIT"});
  const BoundExpr& input = Bind(*ref.arguments[0], argumentScope);
  const BoundExpr& separator = Bind(*ref.arguments[1], argumentScope);
  bool ordinal = false;
  if (ref.arguments.size() == 3) {
    // enable_ordinal decides the columns, so it must be a constant.
    const Expr& flag = *ref.arguments[2];
    if (flag.kind == ExprKind::Integer && (flag.text == "0" || flag.text == "1")) {
      ordinal = flag.text == "1";
    } else if (flag.kind != ExprKind::Null) {
      throw DatabaseError(
          NotSupported("STRING_SPLIT with an enable_ordinal other than the constant 0 or 1"));
    }
    Bind(flag, argumentScope);
  }
  const auto national = [](const BoundExpr& e) {
    return e.type && (e.type->base == BaseType::NVarChar || e.type->base == BaseType::NChar ||
                      e.type->base == BaseType::NText);
  };
  // The pieces are nvarchar when either argument is Unicode, else varchar,
  // of the string's length.
  OutputColumn value{"value", ValueClass::Text, std::nullopt, std::string()};
  if (input.type && IsCharacter(input.type->base)) {
    const bool isLong = input.type->base == BaseType::Text || input.type->base == BaseType::NText;
    value.type =
        SqlType{national(input) || national(separator) ? BaseType::NVarChar : BaseType::VarChar,
                isLong ? -1 : input.type->length, 0, 0};
  }
  BoundSource s;
  s.alias = ref.alias;
  s.sqlAlias = NextAlias();
  s.tableName = ref.name.name;
  s.tableFunction = "tsql_string_split";
  for (const ExprPtr& arg : ref.arguments) s.arguments.push_back(arg.get());
  s.derived.push_back(std::move(value));
  if (ordinal) {
    s.derived.push_back(
        OutputColumn{"ordinal", ValueClass::Number, SqlType{BaseType::BigInt, 0, 0, 0}, {}});
  }
  return s;
}

// ---- expressions -----------------------------------------------------------

const BoundExpr& Binder::Bind(const Expr& e, const BoundScope* scope) {
  BoundExpr bound = BindNode(e, scope);
  return exprs_->nodes.insert_or_assign(&e, std::move(bound)).first->second;
}

void Binder::BinaryAsInteger(const Expr& constant, const BoundExpr* other) {
  if (constant.kind != ExprKind::BinaryConstant) return;
  if (other && other->type &&
      (IsBinary(other->type->base) || other->type->base == BaseType::SqlVariant)) {
    return;
  }
  const auto integer = BinaryConstantInteger(constant.text);
  if (!integer) return;
  BoundExpr& node = exprs_->nodes.at(&constant);
  node = Typed(SqlType{constant.text.size() <= 8 ? BaseType::Int : BaseType::BigInt, 0, 0, 0});
  node.binaryInteger = *integer;
}

BoundExpr Binder::BindColumn(const Expr& e, const BoundScope* scope) {
  const std::string& name = e.parts.back();
  const std::string qualifier = e.parts.size() >= 2 ? e.parts[e.parts.size() - 2] : std::string();
  const Collation& coll = catalog_.Coll();
  bool qualifierSeen = false;
  for (const BoundScope* s = scope; s; s = s->outer) {
    BoundExpr found;
    int matches = 0;
    ForEachTableSource(s->sources, [&](const BoundSource& src) {
      if (!qualifier.empty()) {
        const bool byAlias = !src.alias.empty() && coll.Equal(src.alias, qualifier);
        const bool byName =
            src.alias.empty() && (src.table || src.cte) && coll.Equal(src.tableName, qualifier);
        if (!byAlias && !byName) return;
        qualifierSeen = true;
      }
      if (src.table) {
        if (const ColumnInfo* c = src.table->Find(coll, name)) {
          ++matches;
          found = BoundExpr{};
          found.source = &src;
          found.column = c;
          found.cls = ColumnClass(*src.table, *c);
          found.type = c->type;
        }
        return;
      }
      for (std::size_t i = 0; i < src.derived.size(); ++i) {
        if (coll.Equal(src.derived[i].name, name)) {
          ++matches;
          found = BoundExpr{};
          found.source = &src;
          found.derivedIndex = i;
          found.cls = src.derived[i].cls;
          found.type = src.derived[i].type;
          break;
        }
      }
    });
    if (matches > 1) throw ServerErrorByNumber(209, {name});
    if (matches == 1) return found;
    if (qualifierSeen) InvalidColumn(name);
  }
  if (!qualifier.empty()) {
    std::string written;
    for (std::size_t i = 0; i < e.parts.size(); ++i) {
      if (i) written += ".";
      written += e.parts[i];
    }
    throw ServerErrorByNumber(4104, {written});
  }
  // A bare CURRENT_TIMESTAMP reads like a column.
  if (Upper(name) == "CURRENT_TIMESTAMP") {
    BoundExpr now = Classed(ValueClass::Date);
    now.currentTimestamp = true;
    return now;
  }
  InvalidColumn(name);
}

BoundExpr Binder::BindRowId(const Expr& e, const BoundScope* scope) {
  const std::string& qualifier = e.parts.back();
  const Collation& coll = catalog_.Coll();
  for (const BoundScope* s = scope; s; s = s->outer) {
    const BoundSource* found = nullptr;
    ForEachTableSource(s->sources, [&](const BoundSource& src) {
      if (found || !src.table) return;
      if (src.alias.empty() ? coll.Equal(src.tableName, qualifier)
                            : coll.Equal(src.alias, qualifier)) {
        found = &src;
      }
    });
    if (found) {
      BoundExpr row = Typed(SqlType{BaseType::BigInt, 0, 0, 0});
      row.source = found;
      row.rowId = true;
      return row;
    }
  }
  throw ServerErrorByNumber(4104, {qualifier});
}

BoundExpr Binder::BindVariable(const Expr& e) {
  // The session's number is read from the session running the statement, so
  // that defaults (DEFAULT @@SPID) and views may use it too.
  if (Upper(e.text) == "@@SPID") return Typed(SqlType{BaseType::SmallInt, 0, 0, 0});
  return BindVariableNamed(e.text);
}

BoundExpr Binder::BindVariableNamed(const std::string& name) {
  if (!inlining_.empty()) {
    // Inside a function taken in, only its parameters can be read; they hold
    // the caller's arguments converted into the parameters' types.
    const CompiledRoutine& function = *inlining_.back().function;
    const std::string key = Upper(name);
    for (std::size_t i = 0; i < function.parameterTypes.size(); ++i) {
      if (Upper(function.definition->parameters[i].name) == key) {
        return Typed(function.parameterTypes[i]);
      }
    }
    throw ServerErrorByNumber(137, {name});
  }
  const std::optional<SqlType> type = variables_ ? variables_->TypeOf(name) : std::nullopt;
  if (!type) {
    if (variables_ && name.rfind("@@", 0) == 0) {
      throw DatabaseError(NotSupported("global variable " + name));
    }
    throw ServerErrorByNumber(137, {name});
  }
  return Typed(*type);
}

BoundExpr Binder::BindNode(const Expr& e, const BoundScope* scope) {
  switch (e.kind) {
    case ExprKind::Null:
      return Classed(ValueClass::Null);
    case ExprKind::Float:
      // 12.50 is numeric(4,2) in T-SQL; only a literal with an exponent is a float.
      if (auto exact = DecimalLiteral(e.text)) {
        BoundExpr out = Classed(ValueClass::Exact);
        out.type = SqlType{BaseType::Numeric, 0, exact->precision, exact->scale};
        out.exactLiteral = true;
        return out;
      }
      return Typed(SqlType{BaseType::Float, 0, 0, 0});
    case ExprKind::Integer: {
      BoundExpr out = Classed(ValueClass::Number);
      out.literalDigits = static_cast<int>(e.text.size()) - (e.text.front() == '-' ? 1 : 0);
      // An integer constant is an int, a bigint past int's range.
      if (out.literalDigits <= 18) {
        out.type = SqlType{out.literalDigits <= 9 ? BaseType::Int : BaseType::BigInt, 0, 0, 0};
      }
      return out;
    }
    case ExprKind::String: {
      // 'abc' is varchar(3), N'abc' nvarchar(3); an empty one has length 1.
      BoundExpr out = Classed(ValueClass::Text);
      const int length = std::max<int>(1, static_cast<int>(Utf8Length(e.text)));
      out.type = SqlType{e.national ? BaseType::NVarChar : BaseType::VarChar, length, 0, 0};
      return out;
    }
    case ExprKind::Parameter:
      return Classed(parametersAreNumbers_ ? ValueClass::Number : ValueClass::Unknown);
    case ExprKind::Variable:
      return BindVariable(e);
    case ExprKind::Column:
      return BindColumn(e, scope);
    case ExprKind::RowId:
      return BindRowId(e, scope);
    case ExprKind::Star:
      throw ServerErrorByNumber(102, {"*"});
    case ExprKind::BinaryConstant: {
      const int bytes = static_cast<int>(e.text.size() + 1) / 2;
      return Typed(SqlType{BaseType::VarBinary, std::max(1, bytes), 0, 0});
    }
    case ExprKind::Unary: {
      Bind(*e.args[0], scope);
      if (e.text != "NOT") BinaryAsInteger(*e.args[0], nullptr);
      const BoundExpr& a = exprs_->Of(*e.args[0]);
      if (e.text == "NOT") return Classed(ValueClass::Number);
      BoundExpr out;
      if (e.text == "-" && (a.cls == ValueClass::Exact || a.cls == ValueClass::Unknown)) {
        out.cls = a.cls;
      } else {
        out.cls = a.cls == ValueClass::Null ? ValueClass::Null : ValueClass::Number;
      }
      // A sign keeps its operand's type; ~ is defined on integers only.
      if (out.cls != ValueClass::Null && a.type &&
          (IsExact(a.type->base) || IsInteger(a.type->base) ||
           IsApproximateOrExact(a.type->base))) {
        out.type = a.type;
      }
      return out;
    }
    case ExprKind::Binary:
      return BindBinary(e, scope);
    case ExprKind::Function:
      return BindFunction(e, scope);
    case ExprKind::Case:
      return BindCase(e, scope);
    case ExprKind::In:
    case ExprKind::Between:
    case ExprKind::Like: {
      BoundExpr out = e.kind == ExprKind::In        ? BindIn(e, scope)
                      : e.kind == ExprKind::Between ? BindBetween(e, scope)
                                                    : BindLike(e, scope);
      // Only "=" and the other comparisons compare sql_variants as SQL
      // Server does.
      for (const ExprPtr& arg : e.args) {
        if (arg && exprs_->nodes.count(arg.get()) && IsVariant(exprs_->Of(*arg))) {
          throw DatabaseError(NotSupported(std::string(e.kind == ExprKind::In        ? "IN"
                                                       : e.kind == ExprKind::Between ? "BETWEEN"
                                                                                     : "LIKE") +
                                           " with a sql_variant value"));
        }
      }
      return out;
    }
    case ExprKind::IsNull:
      Bind(*e.args[0], scope);
      return Classed(ValueClass::Number);
    case ExprKind::Exists:
      BindQuery(*e.select, scope, false);
      return Classed(ValueClass::Number);
    case ExprKind::Subquery: {
      const BoundSelect& inner = BindQuery(*e.select, scope, false);
      if (inner.output.size() != 1) throw ServerErrorByNumber(116);
      BoundExpr out = Classed(inner.output[0].cls);
      out.type = inner.output[0].type;
      return out;
    }
    case ExprKind::Cast:
      return BindCast(e, scope);
  }
  throw ServerErrorByNumber(102, {e.text});
}

BoundExpr Binder::BindCase(const Expr& e, const BoundScope* scope) {
  ValueClass cls = ValueClass::Unknown;
  const BoundExpr* subject = e.args[0] ? &Bind(*e.args[0], scope) : nullptr;
  std::vector<const BoundExpr*> results;
  // CASE x WHEN v compares as "=" does: exact numbers, and text against
  // numbers, by value.
  bool byValue = false;
  std::size_t i = 1;
  for (; i + 1 < e.args.size(); i += 2) {
    const BoundExpr& when = Bind(*e.args[i], scope);
    const BoundExpr& then = Bind(*e.args[i + 1], scope);
    if (results.empty() || cls == ValueClass::Null || then.cls == ValueClass::Exact) cls = then.cls;
    if (subject) {
      byValue = byValue || subject->cls == ValueClass::Exact || when.cls == ValueClass::Exact ||
                TextAgainstNumber(*subject, when) || TextAgainstNumber(when, *subject);
    }
    results.push_back(&then);
  }
  if (i < e.args.size() && e.args[i]) {
    const BoundExpr& otherwise = Bind(*e.args[i], scope);
    if (cls == ValueClass::Null || otherwise.cls == ValueClass::Exact) cls = otherwise.cls;
    results.push_back(&otherwise);
  }
  BoundExpr out = CommonResult(results, cls);
  out.byValue = byValue;
  return out;
}

BoundExpr Binder::BindLike(const Expr& e, const BoundScope* scope) {
  for (const ExprPtr& arg : e.args) Bind(*arg, scope);
  return Classed(ValueClass::Number);
}

BoundExpr Binder::BindIn(const Expr& e, const BoundScope* scope) {
  const BoundExpr& left = Bind(*e.args[0], scope);
  for (std::size_t i = 1; i < e.args.size(); ++i) {
    Bind(*e.args[i], scope);
    BinaryAsInteger(*e.args[i], &left);
  }
  BoundExpr out = Classed(ValueClass::Number);
  out.collate = !left.column;
  if (e.select) {
    BindQuery(*e.select, scope, false);
    return out;
  }
  // Exact numbers, or text against numbers, compare by value.
  bool byValue = left.cls == ValueClass::Exact;
  for (std::size_t i = 1; i < e.args.size(); ++i) {
    const BoundExpr& item = exprs_->Of(*e.args[i]);
    byValue = byValue || item.cls == ValueClass::Exact || TextAgainstNumber(left, item) ||
              (TextAgainstNumber(item, left) && !left.column);
  }
  out.byValue = byValue && left.cls != ValueClass::Date;  // dates convert their items
  if (!out.byValue && left.column && ConvertsOthers(left.column->type)) {
    out.convertToDate = 2;
    out.dateType = left.column->type;
  }
  return out;
}

BoundExpr Binder::BindBetween(const Expr& e, const BoundScope* scope) {
  const BoundExpr& a = Bind(*e.args[0], scope);
  const BoundExpr& lo = Bind(*e.args[1], scope);
  const BoundExpr& hi = Bind(*e.args[2], scope);
  BinaryAsInteger(*e.args[1], &a);
  BinaryAsInteger(*e.args[2], &a);
  BoundExpr out = Classed(ValueClass::Number);
  if (a.column && ConvertsOthers(a.column->type)) {
    out.convertToDate = 2;
    out.dateType = a.column->type;
  }
  auto byValue = [&a](const BoundExpr& bound) {
    if (a.cls == ValueClass::Date || bound.cls == ValueClass::Date) return false;
    return a.cls == ValueClass::Exact || bound.cls == ValueClass::Exact ||
           TextAgainstNumber(a, bound) || (TextAgainstNumber(bound, a) && !a.column);
  };
  out.byValue = byValue(lo) || byValue(hi);
  out.collate = !a.column;
  return out;
}

BoundExpr Binder::BindArithmetic(char op, const BoundExpr& a0, const BoundExpr& b0) {
  BoundExpr out;
  BoundExpr a = a0, b = b0;
  if (op == '/') {
    // numeric(p,0) columns are kept as integers, but divide as decimals.
    for (int side = 0; side < 2; ++side) {
      BoundExpr& x = side == 0 ? a : b;
      if (x.column && IsExact(x.column->type.base) && StoresAsInteger(x.column->type)) {
        out.operandAsExact[static_cast<std::size_t>(side)] = true;
        x.cls = ValueClass::Exact;
      }
    }
  }
  if (a.cls == ValueClass::Number && b.cls == ValueClass::Number) {
    out.cls = ValueClass::Number;
    out.nativeArithmetic = true;
    return out;
  }
  // Anything exact, or not known, is decided per value by the functions. An
  // integer literal meets an exact number as the decimal of its digits.
  out.literalAsDecimal = {a.literalDigits != 0 && b.cls == ValueClass::Exact,
                          b.literalDigits != 0 && a.cls == ValueClass::Exact};
  out.cls = a.cls == ValueClass::Exact || b.cls == ValueClass::Exact       ? ValueClass::Exact
            : a.cls == ValueClass::Null || b.cls == ValueClass::Null       ? ValueClass::Null
            : a.cls == ValueClass::Unknown || b.cls == ValueClass::Unknown ? ValueClass::Unknown
                                                                           : ValueClass::Number;
  out.type = ExactResultType(op, a, b);
  return out;
}

namespace {

// SQL Server's order of the date types by precedence, finer scales above.
int DatePrecedence(const SqlType& t) {
  const int rank = t.base == BaseType::DateTimeOffset  ? 6
                   : t.base == BaseType::DateTime2     ? 5
                   : t.base == BaseType::DateTime      ? 4
                   : t.base == BaseType::SmallDateTime ? 3
                   : t.base == BaseType::Date          ? 2
                                                       : 1;
  return rank * 8 + (IsTemporal(t.base) ? t.scale : 0);
}

}  // namespace

BoundExpr Binder::BindComparison(const Expr& e, const BoundExpr& a, const BoundExpr& b) {
  BoundExpr out = Classed(ValueClass::Number);
  // A sql_variant compares with the other side as a sql_variant of its type.
  if (IsVariant(a) || IsVariant(b)) {
    out.variantCompare = true;
    return out;
  }
  // SQL Server converts the operand of lower precedence: text against a
  // number becomes a number, row by row. A text literal against a number
  // column is left to the column's affinity, which converts it once and keeps
  // the column's index usable.
  auto literalText = [](const Expr& x) { return x.kind == ExprKind::String; };
  const bool textVsNumber = (TextAgainstNumber(a, b) && !(literalText(*e.args[0]) && b.column)) ||
                            (TextAgainstNumber(b, a) && !(literalText(*e.args[1]) && a.column));
  // A user function's value may be an exact number whatever it is compared
  // with (a parameter is never one).
  auto anyValue = [](const BoundExpr& x, const Expr& source, const BoundExpr& other) {
    return x.cls == ValueClass::Unknown && source.kind != ExprKind::Parameter &&
           (other.cls == ValueClass::Number || other.cls == ValueClass::Unknown);
  };
  // Dates against numbers are left to the date conversion below.
  const bool dates = a.cls == ValueClass::Date || b.cls == ValueClass::Date;
  if (!dates && (a.cls == ValueClass::Exact || b.cls == ValueClass::Exact || textVsNumber ||
                 anyValue(a, *e.args[0], b) || anyValue(b, *e.args[1], a))) {
    out.byValue = true;
    return out;
  }
  // Text against a parameter: decided by what the parameter is bound to.
  for (int side = 0; side < 2; ++side) {
    const Expr& x = *e.args[static_cast<std::size_t>(side)];
    const ValueClass other = side == 0 ? b.cls : a.cls;
    if (x.kind == ExprKind::Parameter && other == ValueClass::Text) {
      textComparedParameters_.push_back(x.index);
    }
  }
  if (a.column && ConvertsOthers(a.column->type) && b.cls != ValueClass::Date && !b.column) {
    out.convertToDate = 2;
    out.dateType = a.column->type;
  } else if (b.column && ConvertsOthers(b.column->type) && a.cls != ValueClass::Date && !a.column) {
    out.convertToDate = 1;
    out.dateType = b.column->type;
  }
  // Two date types: the lower one converts to the higher, whose text is
  // wider or finer.
  if (!out.convertToDate && a.cls == ValueClass::Date && b.cls == ValueClass::Date && a.type &&
      b.type && !SameType(*a.type, *b.type)) {
    const int ra = DatePrecedence(*a.type), rb = DatePrecedence(*b.type);
    if (ra != rb) {
      out.convertToDate = ra < rb ? 1 : 2;
      out.dateType = ra < rb ? *b.type : *a.type;
    }
  }
  out.collate =
      !a.column && !b.column && a.cls != ValueClass::Number && b.cls != ValueClass::Number;
  return out;
}

BoundExpr Binder::BindBinary(const Expr& e, const BoundScope* scope) {
  const std::string& op = e.text;
  const BoundExpr& a = Bind(*e.args[0], scope);
  const BoundExpr& b = Bind(*e.args[1], scope);
  if (op != "AND" && op != "OR") {
    // Binary meets a number as the integer it spells (0x200 & status).
    const bool bitwise = op == "&" || op == "|" || op == "^";
    BinaryAsInteger(*e.args[0], bitwise ? nullptr : &b);
    BinaryAsInteger(*e.args[1], bitwise ? nullptr : &a);
  }
  if (op != "AND" && op != "OR" && (IsVariant(a) || IsVariant(b)) &&
      (op == "+" || op == "-" || op == "*" || op == "/" || op == "%")) {
    const char* name = op == "+"   ? "add"
                       : op == "-" ? "subtract"
                       : op == "*" ? "multiply"
                       : op == "/" ? "divide"
                                   : "modulo";
    throw ServerErrorByNumber(8117, {"sql_variant", name});
  }
  if ((op == "&" || op == "|" || op == "^") && (IsVariant(a) || IsVariant(b))) {
    throw DatabaseError(NotSupported("the operator " + op + " on a sql_variant value"));
  }
  if (op == "&" || op == "|" || op == "^") {
    BoundExpr out = Classed(ValueClass::Number);
    for (std::size_t side = 0; side < 2; ++side) {
      const BoundExpr& operand = exprs_->nodes.at(e.args[side].get());
      out.binaryAsInteger[side] = operand.type && IsBinary(operand.type->base);
    }
    return out;
  }
  if (op == "AND" || op == "OR") return Classed(ValueClass::Number);
  const bool days = b.cls == ValueClass::Number || b.cls == ValueClass::Exact;
  if (op == "+") {
    BoundExpr out;
    if (a.cls == ValueClass::Number && b.cls == ValueClass::Number) {
      out.plus = BoundExpr::Plus::Numbers;
      out.cls = ValueClass::Number;
    } else if (a.cls == ValueClass::Text && b.cls == ValueClass::Text) {
      out.plus = BoundExpr::Plus::Concat;
      out.cls = ValueClass::Text;
    } else if (a.cls == ValueClass::Date && days && !WritesDateStyle(a)) {
      throw ServerErrorByNumber(
          206, {TypeText(*a.type), b.cls == ValueClass::Exact ? "numeric" : "int"});
    } else if (a.cls == ValueClass::Date && days) {
      out.plus = BoundExpr::Plus::AddDays;
      out.cls = ValueClass::Date;
    } else {
      const bool anyText = a.cls == ValueClass::Text || b.cls == ValueClass::Text;
      const bool anyNumber = a.cls == ValueClass::Number || b.cls == ValueClass::Number;
      out.cls = a.cls == ValueClass::Exact || b.cls == ValueClass::Exact ? ValueClass::Exact
                : anyText && !anyNumber                                  ? ValueClass::Text
                : anyNumber                                              ? ValueClass::Number
                                                                         : ValueClass::Unknown;
      if (out.cls == ValueClass::Exact) out.type = ExactResultType('+', a, b);
    }
    return out;
  }
  if (op == "-" && a.cls == ValueClass::Date && days && !WritesDateStyle(a)) {
    throw ServerErrorByNumber(206,
                              {TypeText(*a.type), b.cls == ValueClass::Exact ? "numeric" : "int"});
  }
  if (op == "-" && a.cls == ValueClass::Date && days) {
    BoundExpr out = Classed(ValueClass::Date);
    out.subtractDays = true;
    return out;
  }
  if (op == "-" || op == "*" || op == "/" || op == "%") return BindArithmetic(op[0], a, b);
  return BindComparison(e, a, b);
}

BoundExpr Binder::BindCast(const Expr& e, const BoundScope* scope) {
  const BoundExpr& inner = Bind(*e.args[0], scope);
  SqlType type = catalog_.ResolveDeclaredType(e.type, 1);
  if (IsCharacter(type.base) && e.type.length == -1) type.length = 30;
  // A datetime becomes text in a CONVERT style, style 0 when none is given;
  // the newer date types keep their own text unless a style is given.
  const bool dateStyle = inner.cls == ValueClass::Date && IsCharacter(type.base) &&
                         (e.style >= 0 || WritesDateStyle(inner));
  const int style = dateStyle && e.style < 0 ? 0 : e.style;
  if ((style == 130 || style == 131) && (dateStyle || IsDateTime(type.base))) {
    throw DatabaseError(NotSupported("CONVERT style " + std::to_string(style) + " (Hijri dates)"));
  }
  BoundExpr out = dateStyle ? Classed(ValueClass::Text) : Typed(type);
  out.castTo = type;
  out.dateStyle = dateStyle;
  return out;
}

// The types of the functions that make dates: the clocks', the …FROMPARTS
// functions' (the precision a constant of the statement), and the offset
// functions' (the scale of their date).
std::optional<SqlType> Binder::ConstructedDateType(const Expr& e, const std::string& name) const {
  if (name == "SYSDATETIME" || name == "SYSUTCDATETIME") {
    return SqlType{BaseType::DateTime2, 0, 0, 7};
  }
  if (name == "SYSDATETIMEOFFSET") return SqlType{BaseType::DateTimeOffset, 0, 0, 7};
  if (name == "SMALLDATETIMEFROMPARTS") return SqlType{BaseType::SmallDateTime, 0, 0, 0};
  const BaseType base = name == "DATETIME2FROMPARTS" ? BaseType::DateTime2
                        : name == "TIMEFROMPARTS"    ? BaseType::Time
                                                     : BaseType::DateTimeOffset;
  if (name == "DATETIME2FROMPARTS" || name == "TIMEFROMPARTS" ||
      name == "DATETIMEOFFSETFROMPARTS") {
    const Expr& precision = *e.args.back();
    if (precision.kind != ExprKind::Integer) {
      throw ServerErrorByNumber(10760, {TypeName(base)});
    }
    const long long scale = precision.text.size() > 2 ? 99 : std::stoll(precision.text);
    if (scale < 0 || scale > 7) throw ServerErrorByNumber(1002, {precision.text});
    return SqlType{base, 0, 0, static_cast<int>(scale)};
  }
  if (name == "TODATETIMEOFFSET" || name == "SWITCHOFFSET") {
    const BoundExpr& date = exprs_->Of(*e.args[0]);
    int scale = 7;
    if (date.type && date.type->base == BaseType::DateTime) scale = 3;
    if (date.type && date.type->base == BaseType::SmallDateTime) scale = 0;
    if (date.type && IsTemporal(date.type->base) && date.type->base != BaseType::Date) {
      scale = date.type->scale;
    }
    return SqlType{BaseType::DateTimeOffset, 0, 0, scale};
  }
  return std::nullopt;
}

// Functions of numbers refuse dates as SQL Server does (8116).
void Binder::RefuseDateArguments(const Expr& e, const std::string& name) const {
  for (std::size_t k = 0; k < e.args.size(); ++k) {
    const BoundExpr& a = exprs_->Of(*e.args[k]);
    if (a.cls != ValueClass::Date) continue;
    const std::string_view type = a.type ? TypeName(a.type->base) : "datetime";
    throw ServerErrorByNumber(8116, {type, std::to_string(k + 1), ToLowerAscii(name)});
  }
}

BoundExpr Binder::BindFunction(const Expr& e, const BoundScope* scope) {
  const std::string name = Upper(e.text);
  auto args = [&](std::size_t count) {
    if (e.args.size() != count) {
      throw ServerErrorByNumber(174, {e.text, std::to_string(count)});
    }
  };
  auto bindAll = [&] {
    for (const ExprPtr& arg : e.args) Bind(*arg, scope);
  };
  if (name == "DEFAULT") throw ServerErrorByNumber(156, {"DEFAULT"});
  if (name == "NEWSEQUENTIALID" && &e != sequentialIdDefault_) throw ServerErrorByNumber(302);
  if (e.over) {
    for (const ExprPtr& p : e.over->partitionBy) Bind(*p, scope);
    for (const OrderItem& o : e.over->orderBy) Bind(*o.expr, scope);
    if (IsRankingFunction(name)) {
      if (e.over->orderBy.empty()) throw ServerErrorByNumber(4112, {name});
      args(name == "NTILE" ? 1 : 0);
      bindAll();
      return Typed(SqlType{BaseType::BigInt, 0, 0, 0});
    }
    if (!IsAggregateFunction(name)) throw DatabaseError(NotSupported(name + " … OVER (…)"));
  } else if (IsRankingFunction(name)) {
    throw ServerErrorByNumber(10753, {name});
  }
  if (name == "UPDATE") {
    // UPDATE(column) in a trigger: whether its statement set the column,
    // read from the trigger's frame like a variable.
    args(1);
    const Expr& column = *e.args[0];
    if (column.kind != ExprKind::Column || column.parts.empty()) {
      throw ServerErrorByNumber(102, {"("});
    }
    return BindVariableNamed("UPDATE(" + column.parts.back() + ")");
  }
  if (name == "GROUPING") {
    // 1 on the subtotal rows of ROLLUP/CUBE where the column is summed over.
    args(1);
    Bind(*e.args[0], scope);
    return Typed(SqlType{BaseType::TinyInt, 0, 0, 0});
  }
  if (IsSessionStateFunction(name)) {
    // The error being handled and the transaction belong to the running
    // batch: read like a variable of its frame ("ERROR_NUMBER()").
    args(0);
    return BindVariableNamed(name + "()");
  }
  if (name == "COLLATE") {
    const BoundExpr& inner = Bind(*e.args[0], scope);
    if (!IsKnownCollation(e.parts[0])) throw ServerErrorByNumber(448, {e.parts[0]});
    return Classed(inner.cls);
  }
  if (name == "COUNT" || name == "COUNT_BIG") {
    if (!e.star) {
      args(1);
      Bind(*e.args[0], scope);
    }
    return Typed(SqlType{name == "COUNT" ? BaseType::Int : BaseType::BigInt, 0, 0, 0});
  }
  if (name == "SUM" || name == "MIN" || name == "MAX" || name == "AVG") {
    args(1);
    const BoundExpr& a = Bind(*e.args[0], scope);
    const bool sumOrAvg = name == "SUM" || name == "AVG";
    if (IsVariant(a) && sumOrAvg) {
      throw ServerErrorByNumber(8117, {"sql_variant", ToLowerAscii(name)});
    }
    if (IsVariant(a)) throw DatabaseError(NotSupported(name + " of a sql_variant value"));
    BoundExpr out;
    // Exact numbers (or values not known to be SQLite's numbers) sum exactly.
    out.exactAggregate = sumOrAvg && (a.cls == ValueClass::Exact || a.cls == ValueClass::Unknown);
    out.integerAverage =
        name == "AVG" && !out.exactAggregate && a.column && StoresAsInteger(a.column->type);
    out.cls = out.exactAggregate ? a.cls : sumOrAvg ? ValueClass::Number : a.cls;
    out.type = AggregateType(name, a.type);
    return out;
  }
  if (name == "COALESCE") {
    if (e.args.size() < 2) throw ServerErrorByNumber(174, {"coalesce", "2"});
    ValueClass cls = ValueClass::Unknown;
    std::vector<const BoundExpr*> values;
    for (const ExprPtr& arg : e.args) {
      const BoundExpr& a = Bind(*arg, scope);
      if (cls == ValueClass::Unknown || cls == ValueClass::Null || a.cls == ValueClass::Exact) {
        cls = a.cls;
      }
      values.push_back(&a);
    }
    return CommonResult(values, cls);
  }
  if (name == "ISNULL") {
    args(2);
    const BoundExpr& a = Bind(*e.args[0], scope);
    const BoundExpr& b = Bind(*e.args[1], scope);
    // ISNULL's result has the type of its first argument.
    std::optional<SqlType> type = a.type;
    if (type && !IsExact(type->base)) type.reset();
    BoundExpr out;
    out.commonType = type;
    out.type = type;
    out.cls = type                                                      ? ValueClass::Exact
              : a.cls == ValueClass::Null || b.cls == ValueClass::Exact ? b.cls
                                                                        : a.cls;
    return out;
  }
  if (name == "NULLIF") {
    args(2);
    const BoundExpr& a = Bind(*e.args[0], scope);
    const ValueClass cls = a.cls;
    Bind(*e.args[1], scope);
    return Classed(cls);
  }
  if (name == "SCOPE_IDENTITY") {
    args(0);
    if (!variables_) throw ServerErrorByNumber(137, {"@@IDENTITY"});
    return Classed(ValueClass::Number);
  }
  if (name == "DATEPART" || name == "DATENAME" || name == "DATEADD" || name == "DATEDIFF" ||
      name == "DATEDIFF_BIG") {
    // The part is a word of the statement: a wrong one fails it at once.
    const auto part = DatePartNamed(e.args.empty() ? std::string_view() : e.args[0]->text);
    const DatePart known = part.value_or(DatePart::Year);
    const bool arithmetic = name == "DATEADD" || name == "DATEDIFF" || name == "DATEDIFF_BIG";
    if (!e.args.empty() &&
        (!part || (arithmetic && (known == DatePart::IsoWeek || known == DatePart::TzOffset)))) {
      throw ServerErrorByNumber(155, {ToLowerAscii(e.args[0]->text), ToLowerAscii(name)});
    }
  }
  if (name == "STRING_AGG") {
    // The keys of WITHIN GROUP follow the value and the separator.
    if (e.args.size() != 2 + e.orderDescending.size()) args(2);
    bindAll();
    return Classed(ValueClass::Text);
  }
  if (name == "IIF" || name == "CHOOSE") {
    // Both are CASE: the results take their common type.
    std::size_t first = 1;
    if (name == "IIF") {
      args(3);
    } else if (e.args.size() < 2 || e.args.size() > 254) {
      throw ServerErrorByNumber(189, {"choose", "2", "254"});
    }
    Bind(*e.args[0], scope);
    ValueClass cls = ValueClass::Null;
    std::vector<const BoundExpr*> values;
    for (std::size_t k = first; k < e.args.size(); ++k) {
      const BoundExpr& v = Bind(*e.args[k], scope);
      if (cls == ValueClass::Null || v.cls == ValueClass::Exact) cls = v.cls;
      values.push_back(&v);
    }
    return CommonResult(values, cls);
  }
  if (name == "SQL_VARIANT_PROPERTY") {
    args(2);
    bindAll();
    return Typed(SqlType{BaseType::SqlVariant, 8016, 0, 0});
  }
  if (const BuiltinFunction* builtin = FindBuiltinFunction(name)) {
    if (e.args.size() < builtin->minArguments || e.args.size() > builtin->maxArguments) {
      if (builtin->minArguments == builtin->maxArguments) args(builtin->minArguments);
      throw ServerErrorByNumber(189, {ToLowerAscii(name), std::to_string(builtin->minArguments),
                                      std::to_string(builtin->maxArguments)});
    }
    bindAll();
    for (std::size_t k = 0; k < e.args.size(); ++k) {
      if (IsVariant(exprs_->Of(*e.args[k]))) {
        throw ServerErrorByNumber(8116, {"sql_variant", std::to_string(k + 1), ToLowerAscii(name)});
      }
    }
    switch (builtin->result) {
      case BuiltinResult::Int:
        if (name == "DATEDIFF_BIG") return Typed(SqlType{BaseType::BigInt, 0, 0, 0});
        return Typed(SqlType{BaseType::Int, 0, 0, 0});
      case BuiltinResult::Text:
        if (name == "NEWID") return Typed(SqlType{BaseType::UniqueIdentifier, 0, 0, 0});
        if (name == "SUBSTRING") {
          // Bytes of a binary value are varbinary (SUBSTRING(COLUMNS_UPDATED(), 2, 1)).
          const BoundExpr& value = exprs_->Of(*e.args[0]);
          if (value.type && IsBinary(value.type->base)) {
            const int length = value.type->length > 0 ? value.type->length : 8000;
            return Typed(SqlType{BaseType::VarBinary, length, 0, 0});
          }
        }
        if (builtin->sqlite == "tsql_session") return Typed(SqlType{BaseType::NVarChar, 128, 0, 0});
        return Classed(ValueClass::Text);
      case BuiltinResult::Date:
        if (name == "DATEADD") {
          // DATEADD gives its date's type.
          const BoundExpr& date = exprs_->Of(*e.args[2]);
          if (date.type && IsTemporal(date.type->base)) return Typed(*date.type);
        }
        if (auto type = ConstructedDateType(e, name)) return Typed(*type);
        if (name == "EOMONTH" || name == "DATEFROMPARTS") {
          return Typed(SqlType{BaseType::Date, 0, 0, 0});
        }
        return Typed(SqlType{BaseType::DateTime, 0, 0, 0});
      case BuiltinResult::Float:
        RefuseDateArguments(e, name);
        return Typed(SqlType{BaseType::Float, 0, 0, 0});
      case BuiltinResult::NumberOfArgument:
      case BuiltinResult::WideNumberOfArgument:
        RefuseDateArguments(e, name);
        return NumberOfArgument(exprs_->Of(*e.args[0]),
                                builtin->result == BuiltinResult::WideNumberOfArgument);
      case BuiltinResult::ExactOrNumber:
      case BuiltinResult::WholeExactOrNumber: {
        const BoundExpr& a = exprs_->Of(*e.args[0]);
        const bool keep =
            a.cls == ValueClass::Exact || (builtin->keepsUnknown && a.cls == ValueClass::Unknown);
        BoundExpr out = Classed(keep ? a.cls : ValueClass::Number);
        if (a.cls == ValueClass::Exact) {
          out.type = a.type;
          if (out.type && builtin->result == BuiltinResult::WholeExactOrNumber &&
              IsExact(out.type->base) && out.type->scale > 0) {
            out.type =
                SqlType{out.type->base, 0, std::max(1, out.type->precision - out.type->scale), 0};
          }
        }
        return out;
      }
    }
  }
  if (const auto function = functions_ ? functions_->ScalarFunction(e.text) : nullptr) {
    BoundExpr call = Typed(function->returns);  // the value comes in the declared type
    call.function = function.get();
    call.inlined = InlineBody(*function, e, scope);
    if (!call.inlined) bindAll();
    // The bindings keep the compiled function alive with the statement.
    statement_->routines.push_back(function);
    return call;
  }
  if (IsKnownUnsupportedFunction(name)) throw DatabaseError(NotSupported("function " + name));
  if (!e.parts.empty()) {
    // dbo.fn(…) of no such function: SQL Server names the schema too.
    const std::string& schema = e.parts.back();
    throw ServerErrorByNumber(4121, {schema, schema + "." + e.text});
  }
  throw ServerErrorByNumber(195, {e.text, "built-in function name"});
}

std::shared_ptr<const ExprBindings> Binder::InlineBody(const CompiledRoutine& function,
                                                       const Expr& call, const BoundScope* scope) {
  // A wrong number of arguments is reported by the call, as before.
  if (!function.inlineBody || call.args.size() != function.parameterTypes.size()) return nullptr;
  // A function that calls itself, directly or through others, is called
  // at every level, so that each counts towards the nesting limit.
  for (const InlineFrame& frame : inlining_) {
    if (frame.function == &function) throw RecursiveCall{&function};
  }
  const std::size_t comparedBefore = textComparedParameters_.size();
  try {
    // The arguments are read in the caller's scope...
    for (const ExprPtr& arg : call.args) Bind(*arg, scope);
    // ...the body in the function's own, where its parameters are the
    // arguments converted into the parameters' types.
    auto body = std::make_shared<ExprBindings>();
    ExprBindings* caller = exprs_;
    exprs_ = body.get();
    inlining_.push_back({&function});
    struct Restore {
      Binder& binder;
      ExprBindings* caller;
      ~Restore() {
        binder.inlining_.pop_back();
        binder.exprs_ = caller;
      }
    } restore{*this, caller};
    Bind(*function.inlineBody, nullptr);
    return body;
  } catch (const DatabaseError&) {
    // What the body cannot be translated into fails when the function is
    // called, as it did before: leave the call in place.
    textComparedParameters_.resize(comparedBefore);
    return nullptr;
  } catch (const RecursiveCall& recursive) {
    textComparedParameters_.resize(comparedBefore);
    if (recursive.function != &function) throw;
    return nullptr;
  }
}

// ---- queries ---------------------------------------------------------------

void Binder::BindJoinConditions(const std::vector<TableRef>& from, const BoundScope& scope) {
  for (const TableRef& ref : from) {
    BindJoinConditions(ref.nested, scope);
    if (ref.on) Bind(*ref.on, &scope);
  }
}

void Binder::BindCore(const Select& select, const BoundScope* outer, BoundSelectPart& part) {
  // SELECT … INTO belongs to a SELECT statement's own query, not to a
  // subquery or a later part of a UNION.
  if (select.into && &select != intoQuery_) throw ServerErrorByNumber(156, {"INTO"});
  BoundScope& scope = NewScope();
  scope.outer = outer;
  part.select = &select;
  part.scope = &scope;
  MakeSources(select.from, scope);
  const Collation& coll = catalog_.Coll();
  for (const SelectItem& item : select.items) {
    if (item.expr->kind == ExprKind::Star) {
      const std::string qualifier =
          item.expr->parts.empty() ? std::string() : item.expr->parts.back();
      bool any = false;
      if (select.from.empty()) throw ServerErrorByNumber(263);
      ForEachTableSource(scope.sources, [&](const BoundSource& src) {
        if (!qualifier.empty()) {
          const bool match = src.alias.empty() ? coll.Equal(src.tableName, qualifier)
                                               : coll.Equal(src.alias, qualifier);
          if (!match) return;
        }
        any = true;
        if (src.table) {
          for (const ColumnInfo& c : src.table->columns) {
            part.items.push_back({nullptr, &src, &c, 0});
            part.output.push_back({c.name, ColumnClass(*src.table, c), c.type, {}});
          }
        } else {
          for (std::size_t i = 0; i < src.derived.size(); ++i) {
            part.items.push_back({nullptr, &src, nullptr, i});
            OutputColumn column = src.derived[i];
            column.variable.clear();
            part.output.push_back(std::move(column));
          }
        }
      });
      if (!any) throw ServerErrorByNumber(107, {qualifier});
      continue;
    }
    const BoundExpr& v = Bind(*item.expr, &scope);
    OutputColumn column;
    column.cls = v.cls;
    column.type = v.cls == ValueClass::Null ? std::nullopt : v.type;
    column.variable = item.variable;
    if (item.hasAlias) {
      column.name = item.alias;
    } else if (item.expr->kind == ExprKind::Column) {
      column.name = item.expr->parts.back();
    }
    part.items.push_back({item.expr.get(), nullptr, nullptr, 0});
    part.output.push_back(std::move(column));
  }
  bool anyVariable = false, anyPlain = false;
  for (const OutputColumn& c : part.output) (c.variable.empty() ? anyPlain : anyVariable) = true;
  if (anyVariable && anyPlain) throw ServerErrorByNumber(141);
  BindJoinConditions(select.from, scope);
  if (select.where) Bind(*select.where, &scope);
  for (const ExprPtr& g : select.groupBy) {
    if (IsVariant(Bind(*g, &scope))) {
      throw DatabaseError(NotSupported("GROUP BY a sql_variant value"));
    }
  }
  if (select.having) Bind(*select.having, &scope);
}

const BoundSelect& Binder::BindQuery(const Select& select, const BoundScope* outer, bool topLevel) {
  (void)topLevel;
  BindWith(select.with);
  auto bound = std::make_unique<BoundSelect>();
  BoundSelect& q = *bound;
  BoundCte* anchored = anchoring_ && anchoring_->cte->query.get() == &select ? anchoring_ : nullptr;
  for (const Select* part = &select; part; part = part->unionNext.get()) {
    BindCore(*part, outer, q.parts.emplace_back());
    if (q.parts.back().output.size() != q.parts.front().output.size()) {
      throw ServerErrorByNumber(205);
    }
    if (anchored && part == &select && select.unionNext && select.unionAll &&
        select.combine == Select::Combine::Union) {
      // The anchor of a recursive CTE: the parts after it may read it.
      anchored->output = q.parts.front().output;
      for (std::size_t i = 0; i < anchored->output.size(); ++i) {
        if (i < anchored->cte->columns.size()) anchored->output[i].name = anchored->cte->columns[i];
      }
      anchored->ready = true;
    }
  }
  q.output = q.parts.front().output;
  // A UNION column mixing decimals of different sizes converts, in every
  // part, to the column's common decimal type.
  q.castTo.resize(q.output.size());
  for (std::size_t c = 0; c < q.output.size() && q.parts.size() > 1; ++c) {
    std::vector<TypedValue> column;
    for (const BoundSelectPart& p : q.parts) column.push_back({p.output[c].cls, p.output[c].type});
    q.castTo[c] = CommonTypeOf(column);
    if (q.castTo[c]) q.output[c].type = q.castTo[c];
  }
  const Collation& coll = catalog_.Coll();
  for (const OrderItem& order : select.orderBy) {
    const Expr& e = *order.expr;
    int position = -1;
    if (e.kind == ExprKind::Integer) {
      const long long n = std::stoll(e.text);
      if (n < 1 || n > static_cast<long long>(q.output.size())) {
        throw ServerErrorByNumber(108, {e.text});
      }
      position = static_cast<int>(n - 1);
    } else {
      // A select-list alias first, then the tables.
      if (e.kind == ExprKind::Column && e.parts.size() == 1) {
        for (std::size_t k = 0; k < q.output.size(); ++k) {
          if (!q.output[k].name.empty() && coll.Equal(q.output[k].name, e.parts[0]) &&
              (select.items.size() <= k || select.items[k].hasAlias ||
               select.unionNext != nullptr)) {
            position = static_cast<int>(k);
            break;
          }
        }
      }
      if (position < 0) {
        if (select.unionNext) throw ServerErrorByNumber(104);
        Bind(e, q.parts.front().scope);
      }
    }
    const bool variant =
        position >= 0
            ? q.output[static_cast<std::size_t>(position)].type &&
                  q.output[static_cast<std::size_t>(position)].type->base == BaseType::SqlVariant
            : IsVariant(exprs_->Of(e));
    if (variant) throw DatabaseError(NotSupported("ORDER BY a sql_variant value"));
    q.orderPositions.push_back(position);
  }
  if (select.top) {
    if (select.topPercent) {
      // A number written out, so that a value outside 0 to 100 is refused
      // before the query runs.
      const Expr& n = *select.top;
      const bool number = n.kind == ExprKind::Integer || n.kind == ExprKind::Float;
      const double percent = number ? std::strtod(n.text.c_str(), nullptr) : -1;
      if (!number || percent < 0 || percent > 100) {
        throw DatabaseError(NotSupported("TOP … PERCENT of other than a number from 0 to 100"));
      }
      if (select.grouping != Select::Grouping::Plain) {
        throw DatabaseError(NotSupported("TOP … PERCENT with ROLLUP, CUBE or GROUPING SETS"));
      }
    }
    Bind(*select.top, outer);
  }
  if (select.forXml) BindForXml(select, q);
  const BoundSelect& result = q;
  statement_->selects.insert_or_assign(&select, std::move(bound));
  return result;
}

// ---- statements ------------------------------------------------------------

void Binder::Start(BoundStatement& statement) {
  statement_ = &statement;
  exprs_ = &statement.exprs;
}

std::size_t Binder::TargetIndex(const BoundScope& scope, const std::string& name) const {
  const Collation& coll = catalog_.Coll();
  for (std::size_t i = 0; i < scope.sources.size(); ++i) {
    const BoundSource& src = scope.sources[i];
    if (!src.table) continue;
    if (src.alias.empty() ? coll.Equal(src.tableName, name) : coll.Equal(src.alias, name)) {
      return i;
    }
  }
  return SIZE_MAX;
}

BoundStatement Binder::Query(const Select& select) {
  intoQuery_ = &select;
  BoundStatement s;
  Start(s);
  BindQuery(select, nullptr, true);
  return s;
}

BoundStatement Binder::Value(const Expr& expr) {
  BoundStatement s;
  Start(s);
  Bind(expr, nullptr);
  return s;
}

BoundStatement Binder::RowCondition(const Expr& condition, const TableInfo& table,
                                    const std::string& rowAlias) {
  BoundStatement s;
  Start(s);
  BoundScope& scope = NewScope();
  BoundSource row;
  row.tableName = table.name;
  row.table = &table;
  row.sqlAlias = rowAlias;
  scope.sources.push_back(std::move(row));
  s.rowScope = &scope;
  Bind(condition, &scope);
  return s;
}

const Expr* Binder::DefaultOf(const ColumnInfo& column) {
  if (column.defaultText.empty()) return nullptr;
  std::shared_ptr<const CompiledExpression> compiled =
      functions_ ? functions_->StoredExpression(column.defaultText)
                 : CompileExpression(column.defaultText);
  statement_->stored.push_back(compiled);
  const Expr* before = sequentialIdDefault_;
  sequentialIdDefault_ = column.type.base == BaseType::UniqueIdentifier ? compiled->expr : nullptr;
  struct Restore {
    const Expr*& slot;
    const Expr* value;
    ~Restore() { slot = value; }
  } restore{sequentialIdDefault_, before};
  Bind(*compiled->expr, nullptr);
  return compiled->expr;
}

BoundStatement Binder::Insert(const InsertStatement& insert) {
  BoundStatement s;
  Start(s);
  BoundChange& change = s.change;
  const TableInfo* table = RequireTable(insert.table);
  if (table->xtype == "S ") throw ServerErrorByNumber(259);
  // A view changes only through its INSTEAD OF triggers.
  if (table->xtype == "V " && !catalog_.HasTriggers(table->id)) {
    throw DatabaseError(NotSupported("INSERT into a view"));
  }
  change.table = table;
  const Collation& coll = catalog_.Coll();
  std::vector<const ColumnInfo*>& targets = change.targets;
  // DEFAULT VALUES (for one row, or for each row of a MERGE's query): every
  // column takes its default, none is a target.
  if (insert.defaultValues) {
  } else if (insert.columns.empty()) {
    for (const ColumnInfo& c : table->columns) {
      if (!c.identity && !c.Computed()) targets.push_back(&c);
    }
  } else {
    for (const std::string& name : insert.columns) {
      const ColumnInfo* c = table->Find(coll, name);
      if (!c) InvalidColumn(name);
      if (std::find(targets.begin(), targets.end(), c) != targets.end()) {
        throw ServerErrorByNumber(264, {name});
      }
      targets.push_back(c);
    }
  }
  for (const ColumnInfo* c : targets) {
    if (c->identity) change.explicitIdentity = true;
    if (c->Computed()) throw ServerErrorByNumber(271, {c->name});
  }
  // Columns the statement leaves out get their defaults (or NULL).
  for (const ColumnInfo& c : table->columns) {
    if (!c.identity && !c.Computed() &&
        std::find(targets.begin(), targets.end(), &c) == targets.end()) {
      change.omitted.push_back(&c);
    }
  }
  auto bindDefault = [&](const ColumnInfo& c) { change.defaults[&c] = DefaultOf(c); };
  for (const ColumnInfo* c : change.omitted) bindDefault(*c);
  if (insert.defaultValues && insert.select) {
    BindQuery(*insert.select, nullptr, false);
  } else if (insert.select) {
    const BoundSelect& inner = BindQuery(*insert.select, nullptr, false);
    if (inner.output.size() != targets.size()) {
      throw ServerErrorByNumber(inner.output.size() > targets.size() ? 121 : 120);
    }
    if (targets.empty()) throw ServerErrorByNumber(102, {"SELECT"});
    for (const ColumnInfo* c : targets) {
      if (c->type.base == BaseType::Timestamp) throw ServerErrorByNumber(273);
    }
  } else if (!insert.defaultValues) {
    for (const auto& row : insert.rows) {
      if (row.size() != targets.size()) {
        // More values than columns is "fewer columns" (110), fewer is 109.
        throw ServerErrorByNumber(insert.columns.empty()        ? 213
                                  : row.size() > targets.size() ? 110
                                                                : 109);
      }
      for (std::size_t i = 0; i < row.size(); ++i) {
        const Expr& v = *row[i];
        if (v.kind == ExprKind::Function && v.text == "DEFAULT") {
          bindDefault(*targets[i]);
        } else if (targets[i]->type.base == BaseType::Timestamp) {
          // The server sets it: only DEFAULT stands in its place.
          throw ServerErrorByNumber(273);
        } else {
          Bind(v, nullptr);
        }
      }
    }
  }
  return s;
}

BoundStatement Binder::Update(const UpdateStatement& update) {
  if (update.top) throw DatabaseError(NotSupported("UPDATE TOP"));
  BoundStatement s;
  Start(s);
  BoundChange& change = s.change;
  const Collation& coll = catalog_.Coll();
  BindWith(update.with);
  BoundScope& scope = NewScope();
  change.scope = &scope;
  MakeSources(update.from, scope);
  if (update.table.schema.empty() && update.table.database.empty()) {
    change.targetIndex = TargetIndex(scope, update.table.name);
    if (change.targetIndex != SIZE_MAX) change.table = scope.sources[change.targetIndex].table;
  }
  if (!change.table) {
    change.table = RequireTable(update.table);
    BoundSource target;
    target.tableName = update.table.name;
    target.table = change.table;
    target.sqlAlias = SqlAliasOfTarget(*change.table);
    scope.sources.insert(scope.sources.begin(), std::move(target));
    if (!update.from.empty()) {
      throw DatabaseError(NotSupported("UPDATE of a table not named in its FROM clause"));
    }
    change.target = &scope.sources.front();
  } else {
    change.target = &scope.sources[change.targetIndex];
  }
  const TableInfo* table = change.table;
  if (table->xtype == "S ") throw ServerErrorByNumber(259);
  // A view changes only through its INSTEAD OF triggers.
  if (table->xtype == "V " && !catalog_.HasTriggers(table->id)) {
    throw DatabaseError(NotSupported("UPDATE of a view"));
  }
  for (const Assignment& a : update.assignments) {
    if (!a.variable.empty()) throw DatabaseError(NotSupported("UPDATE … SET @variable"));
    const ColumnInfo* c = table->Find(coll, a.column.back());
    if (!c) InvalidColumn(a.column.back());
    if (c->identity) throw ServerErrorByNumber(8102, {c->name});
    if (c->Computed()) throw ServerErrorByNumber(271, {c->name});
    if (c->type.base == BaseType::Timestamp) throw ServerErrorByNumber(272);
    change.targets.push_back(c);
    const BoundExpr& value = Bind(*a.value, &scope);
    const ValueClass column = ClassOf(c->type);
    const bool anyValue = column == ValueClass::Exact || value.cls == ValueClass::Exact ||
                          value.cls == ValueClass::Unknown ||
                          (a.op == "+=" && column != ValueClass::Number);
    change.nativeCompound.push_back(!anyValue);
  }
  BindJoinConditions(update.from, scope);
  if (update.where) Bind(*update.where, &scope);
  return s;
}

BoundStatement Binder::Delete(const DeleteStatement& del) {
  if (del.top) throw DatabaseError(NotSupported("DELETE TOP"));
  BoundStatement s;
  Start(s);
  BoundChange& change = s.change;
  BindWith(del.with);
  BoundScope& scope = NewScope();
  change.scope = &scope;
  if (del.from.empty()) {
    const TableInfo* table = RequireTable(del.table);
    if (table->xtype == "S ") throw ServerErrorByNumber(259);
    // A view changes only through its INSTEAD OF triggers.
    if (table->xtype == "V " && !catalog_.HasTriggers(table->id)) {
      throw DatabaseError(NotSupported("DELETE from a view"));
    }
    BoundSource target;
    target.tableName = del.table.name;
    target.table = table;
    target.sqlAlias = SqlAliasOfTarget(*table);
    scope.sources.push_back(std::move(target));
    change.table = table;
    change.target = &scope.sources.front();
  } else {
    // DELETE t FROM t JOIN …: the rows of the target the join finds.
    MakeSources(del.from, scope);
    const std::size_t target = TargetIndex(scope, del.table.name);
    if (target != SIZE_MAX) change.target = &scope.sources[target];
    if (!change.target) {
      throw DatabaseError(NotSupported("DELETE of a table not named in its FROM clause"));
    }
    change.table = change.target->table;
    BindJoinConditions(del.from, scope);
  }
  if (del.where) Bind(*del.where, &scope);
  return s;
}

}  // namespace moltaro::db::embedded
