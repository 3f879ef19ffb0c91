#include "db/embedded/translator/translator.h"

#include "common/text.h"
#include "db/embedded/catalog/catalog_views.h"
#include "db/embedded/catalog/metadata_functions.h"
#include "db/embedded/execution/sql_functions.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/translator/stored_code.h"
#include "db/embedded/types/decimal.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

std::string Upper(std::string_view s) {
  return ToUpperAscii(s);
}

[[noreturn]] void InvalidColumn(const std::string& name) {
  throw ServerErrorByNumber(207, {name});
}

// An exact number written into the SQL text as its stored blob.
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

Translator::Cat Translator::CatOf(const SqlType& type) {
  if (StoresAsDecimal(type)) return Cat::Exact;
  if (IsInteger(type.base) || IsApproximateOrExact(type.base)) return Cat::Number;
  if (IsDateTime(type.base)) return Cat::Date;
  return Cat::Text;
}

Translator::Cat Translator::ColumnCat(const TableInfo& table, const ColumnInfo& column) {
  // A view's columns are typed only as SQLite declares them: beyond integers
  // they may hold exact numbers, floats or text, decided per value.
  if (table.xtype == "V " && !IsInteger(column.type.base)) return Cat::Unknown;
  return CatOf(column.type);
}

std::string Translator::WrittenName(const ObjectName& name) {
  std::string out;
  if (!name.database.empty()) out += name.database + ".";
  if (!name.schema.empty() || !name.database.empty()) out += name.schema + ".";
  return out + name.name;
}

const TableInfo* Translator::RequireTable(const ObjectName& name) {
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
  if (!table) throw ServerErrorByNumber(208, {WrittenName(name)});
  return table;
}

Translator::Source Translator::MakeSource(const TableRef& ref) {
  Source s;
  s.alias = ref.alias;
  s.sqlAlias = "t" + std::to_string(aliasCounter_++);
  if (ref.derived) {
    SelectOutput out;
    // Derived tables see no outer scope in T-SQL.
    std::string inner = EmitQuery(*ref.derived, nullptr, out, true);
    for (std::size_t i = 0; i < out.names.size(); ++i) {
      if (out.names[i].empty()) {
        throw ServerErrorByNumber(8155, {std::to_string(i + 1), ref.alias});
      }
      s.derived.push_back(
          DerivedColumn{out.names[i], out.cats[i], "c" + std::to_string(i), out.types[i]});
    }
    s.tableName = "(" + inner + ")";
    return s;
  }
  // Catalog views, and master's sysdatabases from another database, read as
  // derived tables named after themselves.
  const auto fromView = [&](const CatalogView& view) {
    if (s.alias.empty()) s.alias = ref.name.name;
    for (const CatalogViewColumn& c : view.columns) {
      s.derived.push_back(DerivedColumn{c.name, CatOf(c.type), c.sqlName, c.type});
    }
    s.tableName = "(" + view.sql + ")";
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
  s.table = RequireTable(ref.name);
  s.tableName = ref.name.name;
  return s;
}

Translator::Emitted Translator::EmitColumn(const Expr& e, const Scope* scope) {
  const std::string& name = e.parts.back();
  const std::string qualifier = e.parts.size() >= 2 ? e.parts[e.parts.size() - 2] : std::string();
  const Collation& coll = catalog_.Coll();
  bool qualifierSeen = false;
  for (const Scope* s = scope; s; s = s->outer) {
    const Source* found = nullptr;
    const ColumnInfo* column = nullptr;
    const DerivedColumn* derived = nullptr;
    int matches = 0;
    for (const Source& src : s->sources) {
      if (!qualifier.empty()) {
        const bool byAlias = !src.alias.empty() && coll.Equal(src.alias, qualifier);
        const bool byName = src.alias.empty() && src.table && coll.Equal(src.tableName, qualifier);
        if (!byAlias && !byName) continue;
        qualifierSeen = true;
      }
      if (src.table) {
        if (const ColumnInfo* c = src.table->Find(coll, name)) {
          ++matches;
          found = &src;
          column = c;
          derived = nullptr;
        }
      } else {
        for (const DerivedColumn& d : src.derived) {
          if (coll.Equal(d.name, name)) {
            ++matches;
            found = &src;
            derived = &d;
            column = nullptr;
            break;
          }
        }
      }
    }
    if (matches > 1) throw ServerErrorByNumber(209, {name});
    if (matches == 1) {
      Emitted out;
      if (column) {
        out.sql = QuoteId(found->sqlAlias) + "." + QuoteId(column->name);
        out.cat = ColumnCat(*found->table, *column);
        out.column = column;
      } else {
        out.sql = QuoteId(found->sqlAlias) + "." + QuoteId(derived->sqlName);
        out.cat = derived->cat;
        out.type = derived->type;
      }
      return out;
    }
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
  if (Upper(name) == "CURRENT_TIMESTAMP") return Emitted{"tsql_getdate()", Cat::Date, nullptr};
  InvalidColumn(name);
}

Translator::Emitted Translator::Emit(const Expr& e, const Scope* scope) {
  switch (e.kind) {
    case ExprKind::Null:
      return {"NULL", Cat::Null, nullptr};
    case ExprKind::Float:
      // 12.50 is numeric(4,2) in T-SQL; only a literal with an exponent is a float.
      if (auto exact = DecimalLiteral(e.text)) {
        Emitted out{BlobLiteral(*exact), Cat::Exact, nullptr};
        out.type = SqlType{BaseType::Numeric, 0, exact->precision, exact->scale};
        return out;
      }
      [[fallthrough]];
    case ExprKind::Integer: {
      Emitted out{e.text.front() == '-' ? "(" + e.text + ")" : e.text, Cat::Number, nullptr};
      if (e.kind == ExprKind::Integer) {
        out.literalDigits = static_cast<int>(e.text.size()) - (e.text.front() == '-' ? 1 : 0);
        // An integer constant is an int, a bigint past int's range.
        out.type = SqlType{out.literalDigits <= 9 ? BaseType::Int : BaseType::BigInt, 0, 0, 0};
        if (out.literalDigits > 18) out.type.reset();
      } else {
        out.type = SqlType{BaseType::Float, 0, 0, 0};
      }
      return out;
    }
    case ExprKind::String:
      return {QuoteText(e.text), Cat::Text, nullptr};
    case ExprKind::Parameter: {
      Binding b;
      b.parameter = e.index;
      bindings_.push_back(b);
      return {"?" + std::to_string(bindings_.size()),
              parametersAreNumbers_ ? Cat::Number : Cat::Unknown, nullptr};
    }
    case ExprKind::Variable: {
      if (!inlining_.empty()) {
        // Inside a function taken in, only its parameters can be read.
        const std::string key = Upper(e.text);
        for (const auto& [name, argument] : inlining_.back().arguments) {
          if (name == key) return argument;
        }
        throw ServerErrorByNumber(137, {e.text});
      }
      Binding b;
      b.isVariable = true;
      b.variable = e.text;
      Cat cat = Cat::Unknown;
      if (variables_) {
        auto type = variables_->TypeOf(e.text);
        if (!type) {
          if (e.text.rfind("@@", 0) == 0) {
            throw DatabaseError(NotSupported("global variable " + e.text));
          }
          throw ServerErrorByNumber(137, {e.text});
        }
        cat = CatOf(*type);
      } else {
        throw ServerErrorByNumber(137, {e.text});
      }
      bindings_.push_back(b);
      const std::string slot = "?" + std::to_string(bindings_.size());
      // Variables hold exact numbers as their text; the statement needs the number.
      const SqlType declared = *variables_->TypeOf(e.text);
      if (cat == Cat::Exact) {
        Emitted out{"tsql_cast(" + slot + ", " + TypeArguments(declared) + ")", cat, nullptr};
        out.type = declared;
        return out;
      }
      Emitted out{slot, cat, nullptr};
      out.type = declared;
      return out;
    }
    case ExprKind::Column:
      return EmitColumn(e, scope);
    case ExprKind::Star:
      throw ServerErrorByNumber(102, {"*"});
    case ExprKind::Unary: {
      Emitted a = Emit(*e.args[0], scope);
      if (e.text == "NOT") return {"(NOT " + a.sql + ")", Cat::Number, nullptr};
      if (e.text == "-" && (a.cat == Cat::Exact || a.cat == Cat::Unknown)) {
        return {"tsql_neg(" + a.sql + ")", a.cat, nullptr};
      }
      return {"(" + e.text + " " + a.sql + ")", a.cat == Cat::Null ? Cat::Null : Cat::Number,
              nullptr};
    }
    case ExprKind::Binary:
      return EmitBinary(e, scope);
    case ExprKind::Function:
      return EmitFunction(e, scope);
    case ExprKind::Case: {
      Cat cat = Cat::Unknown;
      std::optional<Emitted> subject;
      if (e.args[0]) subject = Emit(*e.args[0], scope);
      struct Branch {
        Emitted when, then;
      };
      std::vector<Branch> branches;
      // CASE x WHEN v compares as "=" does: exact numbers, and text against
      // numbers, by value.
      bool byValue = false;
      std::size_t i = 1;
      for (; i + 1 < e.args.size(); i += 2) {
        Branch b{Emit(*e.args[i], scope), Emit(*e.args[i + 1], scope)};
        if (branches.empty() || cat == Cat::Null || b.then.cat == Cat::Exact) cat = b.then.cat;
        if (subject) {
          const Cat s = subject->cat, w = b.when.cat;
          byValue = byValue || s == Cat::Exact || w == Cat::Exact ||
                    (s == Cat::Text && w == Cat::Number) || (s == Cat::Number && w == Cat::Text);
        }
        branches.push_back(std::move(b));
      }
      std::optional<Emitted> otherwise;
      if (i < e.args.size() && e.args[i]) {
        otherwise = Emit(*e.args[i], scope);
        if (cat == Cat::Null || otherwise->cat == Cat::Exact) cat = otherwise->cat;
      }
      std::vector<const Emitted*> results;
      for (const Branch& b : branches) results.push_back(&b.then);
      if (otherwise) results.push_back(&*otherwise);
      const std::optional<SqlType> type = CommonType(results);
      std::string sql = "CASE";
      if (subject && !byValue) sql += " " + subject->sql;
      for (const Branch& b : branches) {
        sql += " WHEN " +
               (subject && byValue ? "tsql_cmp(" + subject->sql + ", " + b.when.sql + ") = 0"
                                   : b.when.sql) +
               " THEN " + ConvertTo(b.then, type);
      }
      if (otherwise) sql += " ELSE " + ConvertTo(*otherwise, type);
      Emitted out{"(" + sql + " END)", type ? Cat::Exact : cat, nullptr};
      out.type = type;
      return out;
    }
    case ExprKind::In: {
      Emitted left = Emit(*e.args[0], scope);
      std::string sql = "(" + left.sql;
      if (e.select) {
        if (!left.column) sql += Collate();
        SelectOutput out;
        sql += (e.negated ? " NOT IN (" : " IN (") + EmitQuery(*e.select, scope, out, false);
        return {sql + "))", Cat::Number, nullptr};
      }
      std::vector<Emitted> items;
      // Exact numbers, or text against numbers, compare by value.
      bool byValue = left.cat == Cat::Exact;
      for (std::size_t i = 1; i < e.args.size(); ++i) {
        items.push_back(Emit(*e.args[i], scope));
        const Cat c = items.back().cat;
        byValue = byValue || c == Cat::Exact || (left.cat == Cat::Text && c == Cat::Number) ||
                  (c == Cat::Text && left.cat == Cat::Number && !left.column);
      }
      byValue = byValue && left.cat != Cat::Date;  // dates convert their items below
      if (byValue) {
        std::string call = "tsql_in(" + left.sql;
        for (const Emitted& item : items) call += ", " + item.sql;
        call += ")";
        return {e.negated ? "(NOT " + call + ")" : call, Cat::Number, nullptr};
      }
      if (!left.column) sql += Collate();
      sql += e.negated ? " NOT IN (" : " IN (";
      for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) sql += ", ";
        Emitted& item = items[i];
        if (left.column && IsDateTime(left.column->type.base) && item.cat != Cat::Date) {
          item.sql = "tsql_cast(" + item.sql + ", " + TypeArguments(left.column->type) + ")";
        }
        sql += item.sql;
      }
      return {sql + "))", Cat::Number, nullptr};
    }
    case ExprKind::Between: {
      Emitted a = Emit(*e.args[0], scope);
      Emitted lo = Emit(*e.args[1], scope);
      Emitted hi = Emit(*e.args[2], scope);
      if (a.column && IsDateTime(a.column->type.base)) {
        if (lo.cat != Cat::Date)
          lo.sql = "tsql_cast(" + lo.sql + ", " + TypeArguments(a.column->type) + ")";
        if (hi.cat != Cat::Date)
          hi.sql = "tsql_cast(" + hi.sql + ", " + TypeArguments(a.column->type) + ")";
      }
      auto byValue = [&a](const Emitted& bound) {
        if (a.cat == Cat::Date || bound.cat == Cat::Date) return false;
        return a.cat == Cat::Exact || bound.cat == Cat::Exact ||
               (a.cat == Cat::Text && bound.cat == Cat::Number) ||
               (bound.cat == Cat::Text && a.cat == Cat::Number && !a.column);
      };
      if (byValue(lo) || byValue(hi)) {
        const std::string range = "(tsql_cmp(" + a.sql + ", " + lo.sql + ") >= 0 AND tsql_cmp(" +
                                  a.sql + ", " + hi.sql + ") <= 0)";
        return {e.negated ? "(NOT " + range + ")" : range, Cat::Number, nullptr};
      }
      std::string left = a.column ? a.sql : a.sql + Collate();
      return {"(" + left + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + lo.sql + " AND " + hi.sql +
                  ")",
              Cat::Number, nullptr};
    }
    case ExprKind::Like: {
      std::string sql =
          "tsql_like(" + Emit(*e.args[0], scope).sql + ", " + Emit(*e.args[1], scope).sql;
      if (e.args.size() > 2) sql += ", " + Emit(*e.args[2], scope).sql;
      sql += ")";
      return {e.negated ? "(NOT " + sql + ")" : sql, Cat::Number, nullptr};
    }
    case ExprKind::IsNull:
      return {"(" + Emit(*e.args[0], scope).sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"),
              Cat::Number, nullptr};
    case ExprKind::Exists: {
      SelectOutput out;
      return {"(EXISTS (" + EmitQuery(*e.select, scope, out, false) + "))", Cat::Number, nullptr};
    }
    case ExprKind::Subquery: {
      SelectOutput out;
      std::string sql = "(" + EmitQuery(*e.select, scope, out, false) + ")";
      if (out.names.size() != 1) {
        throw ServerErrorByNumber(116);
      }
      return {sql, out.cats[0], nullptr};
    }
    case ExprKind::Cast:
      return EmitCast(e, scope);
  }
  throw DatabaseError("Incorrect syntax.", 102);
}

namespace {

bool SameType(const SqlType& a, const SqlType& b) {
  return a.base == b.base && a.length == b.length && a.precision == b.precision &&
         a.scale == b.scale;
}

}  // namespace

std::optional<SqlType> Translator::KnownType(const Emitted& e) {
  if (e.type) return e.type;
  if (e.column) return e.column->type;
  return std::nullopt;
}

std::optional<SqlType> Translator::CommonTypeOf(const std::vector<TypedValue>& values) {
  std::vector<SqlType> types;
  for (const auto& [cat, type] : values) {
    if (cat == Cat::Null) continue;  // a NULL takes any type
    if (!type) return std::nullopt;
    types.push_back(*type);
  }
  return CommonDecimalType(types);
}

bool Translator::NeedsConversion(const TypedValue& value, const std::optional<SqlType>& target) {
  return target && value.first != Cat::Null && !(value.second && SameType(*value.second, *target));
}

std::optional<SqlType> Translator::CommonType(const std::vector<const Emitted*>& branches) {
  std::vector<TypedValue> values;
  for (const Emitted* b : branches) values.emplace_back(b->cat, KnownType(*b));
  return CommonTypeOf(values);
}

std::string Translator::ConvertTo(const Emitted& value, const std::optional<SqlType>& type) {
  if (!NeedsConversion({value.cat, KnownType(value)}, type)) return value.sql;
  return "tsql_cast(" + value.sql + ", " + TypeArguments(*type) + ")";
}

Translator::Emitted Translator::EmitCast(const Expr& e, const Scope* scope) {
  Emitted inner = Emit(*e.args[0], scope);
  SqlType type = ResolveType(e.type, 1);
  if (IsCharacter(type.base) && e.type.length == -1) type.length = 30;
  if (e.style >= 0 && inner.cat == Cat::Date && (IsCharacter(type.base))) {
    std::string d =
        "tsql_cast(" + inner.sql + ", " + TypeArguments(SqlType{BaseType::DateTime, 0, 0, 0}) + ")";
    std::string formatted;
    switch (e.style) {
      case 120:
      case 20:
        formatted = "substr(" + d + ", 1, 19)";
        break;
      case 121:
      case 21:
      case 126:
        formatted = d;
        break;
      case 112:
        formatted = "replace(substr(" + d + ", 1, 10), '-', '')";
        break;
      case 102:
        formatted = "replace(substr(" + d + ", 1, 10), '-', '.')";
        break;
      case 23:
        formatted = "substr(" + d + ", 1, 10)";
        break;
      case 108:
      case 8:
        formatted = "substr(" + d + ", 12, 8)";
        break;
      default:
        throw DatabaseError(NotSupported("CONVERT style " + std::to_string(e.style)));
    }
    return {"tsql_cast(" + formatted + ", " + TypeArguments(type) + ")", Cat::Text, nullptr};
  }
  Emitted out{"tsql_cast(" + inner.sql + ", " + TypeArguments(type) + ")", CatOf(type), nullptr};
  out.type = type;
  return out;
}

namespace {

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

}  // namespace

std::optional<SqlType> Translator::ExactResultType(char op, const Emitted& a, const Emitted& b) {
  const auto ta = KnownType(a), tb = KnownType(b);
  const auto exactOp = ExactOperation(op);
  if (!ta || !tb || !exactOp || (!IsExact(ta->base) && !IsExact(tb->base))) return std::nullopt;
  const auto da = ExactShape(ta, a.literalDigits), db = ExactShape(tb, b.literalDigits);
  if (!da || !db) return std::nullopt;
  const Decimal r = ArithmeticType(*exactOp, *da, *db);
  if (r.kind == ExactKind::Money) return SqlType{BaseType::Money, 0, 19, 4};
  if (r.kind == ExactKind::SmallMoney) return SqlType{BaseType::SmallMoney, 0, 10, 4};
  return SqlType{BaseType::Numeric, 0, r.precision, r.scale};
}

Translator::Emitted Translator::EmitArithmetic(const std::string& op, Emitted a, Emitted b) {
  if (op == "/") {
    // numeric(p,0) columns are kept as integers, but divide as decimals.
    for (Emitted* x : {&a, &b}) {
      if (x->column && IsExact(x->column->type.base) && StoresAsInteger(x->column->type)) {
        x->sql = "tsql_exact(" + x->sql + ", " + std::to_string(x->column->type.precision) + ")";
        x->cat = Cat::Exact;
      }
    }
  }
  if (a.cat == Cat::Number && b.cat == Cat::Number) {
    if (op == "/" || op == "%") {
      // Division by zero is an error in SQL Server, NULL in SQLite.
      return {"(" + a.sql + " " + op + " (CASE WHEN " + b.sql +
                  " = 0 THEN tsql_raise(8134, 'Divide by zero error encountered.') ELSE " + b.sql +
                  " END))",
              Cat::Number, nullptr};
    }
    return {"(" + a.sql + " " + op + " " + b.sql + ")", Cat::Number, nullptr};
  }
  // Anything exact, or not known, is decided per value by the functions. An
  // integer literal meets an exact number as the decimal of its digits.
  auto operand = [](const Emitted& x, const Emitted& other) {
    if (x.literalDigits == 0 || other.cat != Cat::Exact) return x.sql;
    auto exact = DecimalLiteral(x.sql.front() == '(' ? x.sql.substr(1, x.sql.size() - 2) : x.sql);
    return exact ? BlobLiteral(*exact) : x.sql;
  };
  const Cat cat = a.cat == Cat::Exact || b.cat == Cat::Exact       ? Cat::Exact
                  : a.cat == Cat::Null || b.cat == Cat::Null       ? Cat::Null
                  : a.cat == Cat::Unknown || b.cat == Cat::Unknown ? Cat::Unknown
                                                                   : Cat::Number;
  Emitted out{
      std::string(ArithmeticFunction(op[0])) + "(" + operand(a, b) + ", " + operand(b, a) + ")",
      cat, nullptr};
  out.type = ExactResultType(op[0], a, b);
  return out;
}

Translator::Emitted Translator::EmitComparison(const Expr& e, const std::string& op, Emitted a,
                                               Emitted b) {
  // SQL Server converts the operand of lower precedence: text against a
  // number becomes a number, row by row. A text literal against a number
  // column is left to the column's affinity, which converts it once and keeps
  // the column's index usable.
  auto literalText = [](const Expr& x) { return x.kind == ExprKind::String; };
  const bool textVsNumber =
      (a.cat == Cat::Text && b.cat == Cat::Number && !(literalText(*e.args[0]) && b.column)) ||
      (b.cat == Cat::Text && a.cat == Cat::Number && !(literalText(*e.args[1]) && a.column));
  // A user function's value may be an exact number whatever it is compared
  // with (a parameter is never one).
  auto anyValue = [](const Emitted& x, const Expr& source, const Emitted& other) {
    return x.cat == Cat::Unknown && source.kind != ExprKind::Parameter &&
           (other.cat == Cat::Number || other.cat == Cat::Unknown);
  };
  // Dates against numbers are left to the date conversion below.
  const bool dates = a.cat == Cat::Date || b.cat == Cat::Date;
  if (!dates && (a.cat == Cat::Exact || b.cat == Cat::Exact || textVsNumber ||
                 anyValue(a, *e.args[0], b) || anyValue(b, *e.args[1], a))) {
    return {"(tsql_cmp(" + a.sql + ", " + b.sql + ") " + op + " 0)", Cat::Number, nullptr};
  }
  // Text against a parameter: decided by what the parameter is bound to.
  for (int side = 0; side < 2; ++side) {
    const Expr& x = *e.args[static_cast<std::size_t>(side)];
    const Cat other = side == 0 ? b.cat : a.cat;
    if (x.kind == ExprKind::Parameter && other == Cat::Text) {
      textComparedParameters_.push_back(x.index);
    }
  }
  if (a.column && IsDateTime(a.column->type.base) && b.cat != Cat::Date && !b.column) {
    b.sql = "tsql_cast(" + b.sql + ", " + TypeArguments(a.column->type) + ")";
  } else if (b.column && IsDateTime(b.column->type.base) && a.cat != Cat::Date && !a.column) {
    a.sql = "tsql_cast(" + a.sql + ", " + TypeArguments(b.column->type) + ")";
  }
  std::string left = a.sql;
  if (!a.column && !b.column && a.cat != Cat::Number && b.cat != Cat::Number) left += Collate();
  return {"(" + left + " " + op + " " + b.sql + ")", Cat::Number, nullptr};
}

Translator::Emitted Translator::EmitBinary(const Expr& e, const Scope* scope) {
  const std::string& op = e.text;
  if (op == "AND" || op == "OR") {
    return {"(" + Emit(*e.args[0], scope).sql + " " + op + " " + Emit(*e.args[1], scope).sql + ")",
            Cat::Number, nullptr};
  }
  Emitted a = Emit(*e.args[0], scope);
  Emitted b = Emit(*e.args[1], scope);
  if (op == "+") {
    if (a.cat == Cat::Number && b.cat == Cat::Number) {
      return {"(" + a.sql + " + " + b.sql + ")", Cat::Number, nullptr};
    }
    if (a.cat == Cat::Text && b.cat == Cat::Text) {
      return {"(" + a.sql + " || " + b.sql + ")", Cat::Text, nullptr};
    }
    if (a.cat == Cat::Date && (b.cat == Cat::Number || b.cat == Cat::Exact)) {
      return {"tsql_dateadd('DAY', " + b.sql + ", " + a.sql + ")", Cat::Date, nullptr};
    }
    Cat cat = a.cat == Cat::Exact || b.cat == Cat::Exact ? Cat::Exact
              : (a.cat == Cat::Text || b.cat == Cat::Text) &&
                      (a.cat != Cat::Number && b.cat != Cat::Number)
                  ? Cat::Text
              : (a.cat == Cat::Number || b.cat == Cat::Number) ? Cat::Number
                                                               : Cat::Unknown;
    Emitted out{"tsql_add(" + a.sql + ", " + b.sql + ")", cat, nullptr};
    if (cat == Cat::Exact) out.type = ExactResultType('+', a, b);
    return out;
  }
  if (op == "-" && a.cat == Cat::Date && (b.cat == Cat::Number || b.cat == Cat::Exact)) {
    return {"tsql_dateadd('DAY', tsql_neg(" + b.sql + "), " + a.sql + ")", Cat::Date, nullptr};
  }
  if (op == "-" || op == "*" || op == "/" || op == "%") return EmitArithmetic(op, a, b);
  if (op == "&" || op == "|") {
    return {"(" + a.sql + " " + op + " " + b.sql + ")", Cat::Number, nullptr};
  }
  if (op == "^") {
    return {"((" + a.sql + " | " + b.sql + ") - (" + a.sql + " & " + b.sql + "))", Cat::Number,
            nullptr};
  }
  return EmitComparison(e, op, std::move(a), std::move(b));
}

Translator::Emitted Translator::EmitFunction(const Expr& e, const Scope* scope) {
  const std::string name = Upper(e.text);
  auto args = [&](std::size_t count) {
    if (e.args.size() != count) {
      throw ServerErrorByNumber(174, {e.text, std::to_string(count)});
    }
  };
  auto emitArgs = [&](std::size_t from = 0) {
    std::string out;
    for (std::size_t i = from; i < e.args.size(); ++i) {
      if (i > from) out += ", ";
      out += Emit(*e.args[i], scope).sql;
    }
    return out;
  };
  if (name == "DEFAULT") throw ServerErrorByNumber(156, {"DEFAULT"});
  if (name == "COLLATE") {
    Emitted inner = Emit(*e.args[0], scope);
    if (!IsKnownCollation(e.parts[0])) {
      throw ServerErrorByNumber(448, {e.parts[0]});
    }
    return {"(" + inner.sql + " COLLATE " + QuoteId(e.parts[0]) + ")", inner.cat, nullptr};
  }
  if (name == "COUNT" || name == "COUNT_BIG") {
    if (e.star) return {"count(*)", Cat::Number, nullptr};
    args(1);
    return {
        std::string("count(") + (e.distinct ? "DISTINCT " : "") + Emit(*e.args[0], scope).sql + ")",
        Cat::Number, nullptr};
  }
  if (name == "SUM" || name == "MIN" || name == "MAX" || name == "AVG") {
    args(1);
    Emitted a = Emit(*e.args[0], scope);
    const bool sumOrAvg = name == "SUM" || name == "AVG";
    // Exact numbers (or values not known to be SQLite's numbers) sum exactly.
    const bool exact = sumOrAvg && (a.cat == Cat::Exact || a.cat == Cat::Unknown);
    std::string sql = (exact ? "tsql_" : "") + ToLowerAscii(name) + "(" +
                      (e.distinct ? "DISTINCT " : "") + a.sql + ")";
    if (name == "AVG" && !exact && a.column && StoresAsInteger(a.column->type)) {
      sql = "CAST(" + sql + " AS INTEGER)";
    }
    Emitted out{sql, exact ? a.cat : sumOrAvg ? Cat::Number : a.cat, nullptr};
    // MIN and MAX keep their argument's type; SUM of a decimal is
    // decimal(38, s), AVG decimal(38, max(s, 6)).
    const auto type = KnownType(a);
    if (type && (type->base == BaseType::Decimal || type->base == BaseType::Numeric)) {
      out.type = *type;
      if (name == "SUM") out.type = SqlType{type->base, 0, 38, type->scale};
      if (name == "AVG") out.type = SqlType{type->base, 0, 38, std::max(type->scale, 6)};
    }
    return out;
  }
  if (name == "COALESCE") {
    if (e.args.size() < 2) {
      throw DatabaseError("The coalesce function requires at least two arguments.", 174);
    }
    Cat cat = Cat::Unknown;
    std::vector<Emitted> values;
    for (const ExprPtr& arg : e.args) {
      values.push_back(Emit(*arg, scope));
      const Emitted& a = values.back();
      if (cat == Cat::Unknown || cat == Cat::Null || a.cat == Cat::Exact) cat = a.cat;
    }
    std::vector<const Emitted*> results;
    for (const Emitted& v : values) results.push_back(&v);
    const std::optional<SqlType> type = CommonType(results);
    std::string sql = "coalesce(";
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i) sql += ", ";
      sql += ConvertTo(values[i], type);
    }
    Emitted out{sql + ")", type ? Cat::Exact : cat, nullptr};
    out.type = type;
    return out;
  }
  if (name == "ISNULL") {
    args(2);
    Emitted a = Emit(*e.args[0], scope);
    Emitted b = Emit(*e.args[1], scope);
    // ISNULL's result has the type of its first argument.
    std::optional<SqlType> type = KnownType(a);
    if (type && !IsExact(type->base)) type.reset();
    Emitted out{"ifnull(" + a.sql + ", " + ConvertTo(b, type) + ")",
                type                                        ? Cat::Exact
                : a.cat == Cat::Null || b.cat == Cat::Exact ? b.cat
                                                            : a.cat,
                nullptr};
    out.type = type;
    return out;
  }
  if (name == "NULLIF") {
    args(2);
    Emitted a = Emit(*e.args[0], scope);
    return {"nullif(" + a.sql + ", " + Emit(*e.args[1], scope).sql + ")", a.cat, nullptr};
  }
  if (name == "GETDATE" || name == "GETUTCDATE" || name == "SYSDATETIME" ||
      name == "CURRENT_TIMESTAMP") {
    args(0);
    return {"tsql_getdate()", Cat::Date, nullptr};
  }
  struct Simple {
    const char* tsql;
    const char* sqlite;
    int argc;
    Cat cat;
  };
  static const Simple kSimple[] = {
      {"LEN", "tsql_len", 1, Cat::Number},
      {"DATALENGTH", "tsql_datalength", 1, Cat::Number},
      {"LTRIM", "ltrim", 1, Cat::Text},
      {"RTRIM", "rtrim", 1, Cat::Text},
      {"UPPER", "tsql_upper", 1, Cat::Text},
      {"LOWER", "tsql_lower", 1, Cat::Text},
      {"SUBSTRING", "tsql_substring", 3, Cat::Text},
      {"LEFT", "tsql_left", 2, Cat::Text},
      {"RIGHT", "tsql_right", 2, Cat::Text},
      {"REPLACE", "replace", 3, Cat::Text},
      {"REPLICATE", "tsql_replicate", 2, Cat::Text},
      {"SPACE", "tsql_space", 1, Cat::Text},
      {"ISNUMERIC", "tsql_isnumeric", 1, Cat::Number},
      {"ASCII", "unicode", 1, Cat::Number},
      {"UNICODE", "unicode", 1, Cat::Number},
      {"CHAR", "char", 1, Cat::Text},
      {"NCHAR", "char", 1, Cat::Text},
      {"DATEADD", "tsql_dateadd", 3, Cat::Date},
      {"DATEDIFF", "tsql_datediff", 3, Cat::Number},
      {"DATEPART", "tsql_datepart", 2, Cat::Number},
  };
  for (const Simple& s : kSimple) {
    if (name == s.tsql) {
      args(static_cast<std::size_t>(s.argc));
      if (std::string_view(s.sqlite).rfind("tsql_", 0) == 0) {
        return {std::string(s.sqlite) + "(" + emitArgs() + ")", s.cat, nullptr};
      }
      // SQLite's own string functions would see an exact number's bytes:
      // they get its text, as SQL Server converts it.
      std::string sql = std::string(s.sqlite) + "(";
      for (std::size_t k = 0; k < e.args.size(); ++k) {
        Emitted a = Emit(*e.args[k], scope);
        if (a.cat == Cat::Exact || a.cat == Cat::Unknown) {
          a.sql = "tsql_cast(" + a.sql + ", " +
                  TypeArguments(SqlType{BaseType::NVarChar, -1, 0, 0}) + ")";
        }
        sql += (k ? ", " : "") + a.sql;
      }
      return {sql + ")", s.cat, nullptr};
    }
  }
  if (name == "ROUND") {
    if (e.args.size() != 2 && e.args.size() != 3) args(2);
    const Emitted value = Emit(*e.args[0], scope);
    return {"tsql_round(" + value.sql + ", " + emitArgs(1) + ")",
            value.cat == Cat::Exact ? value.cat : Cat::Number, nullptr};
  }
  if (name == "ABS" || name == "FLOOR" || name == "CEILING") {
    args(1);
    Emitted a = Emit(*e.args[0], scope);
    return {"tsql_" + ToLowerAscii(name == "ABS" ? std::string("abs") : name) + "(" + a.sql + ")",
            a.cat == Cat::Exact || a.cat == Cat::Unknown ? a.cat : Cat::Number, nullptr};
  }
  if (name == "CHARINDEX") {
    if (e.args.size() != 2 && e.args.size() != 3) args(2);
    return {"tsql_charindex(" + emitArgs() + ")", Cat::Number, nullptr};
  }
  if (name == "YEAR" || name == "MONTH" || name == "DAY") {
    args(1);
    return {"tsql_datepart('" + name + "', " + emitArgs() + ")", Cat::Number, nullptr};
  }
  if (name == "OBJECT_ID") {
    if (e.args.empty() || e.args.size() > 2) args(1);
    std::string sql = "(SELECT min(id) FROM sysobjects WHERE name = tsql_objname(" +
                      Emit(*e.args[0], scope).sql + ")";
    if (e.args.size() == 2) {
      sql += " AND xtype = substr(" + Emit(*e.args[1], scope).sql + " || ' ', 1, 2)";
    }
    return {sql + ")", Cat::Number, nullptr};
  }
  if (name == "SCOPE_IDENTITY") {
    args(0);
    Binding b;
    b.isVariable = true;
    b.variable = "@@IDENTITY";
    if (!variables_) throw ServerErrorByNumber(137, {"@@IDENTITY"});
    bindings_.push_back(b);
    return {"?" + std::to_string(bindings_.size()), Cat::Number, nullptr};
  }
  if (IsMetadataFunction(name, e.args.size())) {
    std::vector<std::string> arguments;
    for (const ExprPtr& a : e.args) arguments.push_back(Emit(*a, scope).sql);
    const MetadataCall call = MetadataFunctionSql(name, arguments);
    return {call.sql,
            call.result == MetadataResult::Number ? Cat::Number
            : call.result == MetadataResult::Text ? Cat::Text
                                                  : Cat::Unknown,
            nullptr};
  }
  if (name == "DB_NAME") {
    if (!e.args.empty()) throw DatabaseError(NotSupported("DB_NAME with an argument"));
    return {QuoteText(catalog_.DatabaseName()), Cat::Text, nullptr};
  }
  if (name == "USER_NAME" || name == "CURRENT_USER") {
    return {"'dbo'", Cat::Text, nullptr};
  }
  if (const auto function = functions_ ? functions_->ScalarFunction(e.text) : nullptr) {
    if (auto inlined = InlineFunction(*function, e, scope)) return *inlined;
    std::string sql = "tsql_udf(" + QuoteText(e.text);
    for (const auto& a : e.args) sql += ", " + Emit(*a, scope).sql;
    // The call returns its value in the declared type.
    Emitted call{sql + ")", CatOf(function->returns), nullptr};
    call.type = function->returns;
    return call;
  }
  static const char* kKnownUnsupported[] = {"NEWID",
                                            "STR",
                                            "REVERSE",
                                            "PATINDEX",
                                            "STUFF",
                                            "SOUNDEX",
                                            "DIFFERENCE",
                                            "QUOTENAME",
                                            "PARSENAME",
                                            "ROW_NUMBER",
                                            "RANK",
                                            "DENSE_RANK",
                                            "NTILE",
                                            "IIF",
                                            "CHOOSE",
                                            "FORMAT",
                                            "CONCAT",
                                            "TRY_CONVERT",
                                            "TRY_CAST",
                                            "IDENT_CURRENT",
                                            "POWER",
                                            "SQRT",
                                            "EXP",
                                            "LOG",
                                            "SIGN",
                                            "DATENAME",
                                            "COL_LENGTH",
                                            "COLUMNPROPERTY",
                                            "OBJECTPROPERTY",
                                            "DATABASEPROPERTYEX",
                                            "SERVERPROPERTY",
                                            "USER_ID",
                                            "SUSER_SNAME",
                                            "HOST_NAME",
                                            "APP_NAME",
                                            "IDENT_SEED",
                                            "IDENT_INCR",
                                            "EOMONTH",
                                            "STRING_AGG",
                                            "TRANSLATE",
                                            "TRIM",
                                            "CONCAT_WS",
                                            "STRING_SPLIT",
                                            "CHECKSUM"};
  for (const char* n : kKnownUnsupported) {
    if (name == n) throw DatabaseError(NotSupported("function " + name));
  }
  if (!e.parts.empty()) {
    // dbo.fn(…) of no such function: SQL Server names the schema too.
    const std::string& schema = e.parts.back();
    throw ServerErrorByNumber(4121, {schema, schema + "." + e.text});
  }
  throw ServerErrorByNumber(195, {e.text, "built-in function name"});
}

// ---- queries -----------------------------------------------------------

std::string Translator::EmitFrom(const std::vector<TableRef>& from, Scope& scope,
                                 std::size_t skip) {
  std::string sql;
  bool first = true;
  for (std::size_t i = 0; i < from.size(); ++i) {
    if (i == skip) continue;
    const TableRef& ref = from[i];
    const Source& src = scope.sources[i];
    std::string item =
        (src.table ? QuoteId(src.table->name) : src.tableName) + " AS " + QuoteId(src.sqlAlias);
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
        sql += " CROSS JOIN " + item;
        break;
    }
    if (ref.on) sql += " ON " + Emit(*ref.on, &scope).sql;
  }
  return sql;
}

std::string Translator::EmitCore(const Select& select, const Scope* outer, SelectOutput& out,
                                 bool aliasItems, Scope& scope) {
  if (select.into) throw DatabaseError(NotSupported("SELECT … INTO"));
  scope.outer = outer;
  for (const TableRef& ref : select.from) scope.sources.push_back(MakeSource(ref));
  std::string sql = "SELECT ";
  if (select.distinct) sql += "DISTINCT ";
  std::vector<std::string> items;
  for (const SelectItem& item : select.items) {
    if (item.expr->kind == ExprKind::Star) {
      const std::string qualifier =
          item.expr->parts.empty() ? std::string() : item.expr->parts.back();
      bool any = false;
      if (select.from.empty()) throw ServerErrorByNumber(263);
      for (const Source& src : scope.sources) {
        if (!qualifier.empty()) {
          const bool match = src.alias.empty() ? catalog_.Coll().Equal(src.tableName, qualifier)
                                               : catalog_.Coll().Equal(src.alias, qualifier);
          if (!match) continue;
        }
        any = true;
        if (src.table) {
          for (const ColumnInfo& c : src.table->columns) {
            items.push_back(QuoteId(src.sqlAlias) + "." + QuoteId(c.name));
            out.names.push_back(c.name);
            out.cats.push_back(ColumnCat(*src.table, c));
            out.types.push_back(c.type);
            out.variables.emplace_back();
          }
        } else {
          for (const DerivedColumn& d : src.derived) {
            items.push_back(QuoteId(src.sqlAlias) + "." + QuoteId(d.sqlName));
            out.names.push_back(d.name);
            out.cats.push_back(d.cat);
            out.types.push_back(d.type);
            out.variables.emplace_back();
          }
        }
      }
      if (!any) {
        throw DatabaseError(
            "The object name '" + qualifier + "' is not valid in the select list of this query.",
            4104);
      }
      continue;
    }
    Emitted v = Emit(*item.expr, &scope);
    items.push_back(v.sql);
    out.cats.push_back(v.cat);
    out.types.push_back(v.cat == Cat::Null ? std::nullopt : KnownType(v));
    out.variables.push_back(item.variable);
    if (item.hasAlias) {
      out.names.push_back(item.alias);
    } else if (item.expr->kind == ExprKind::Column) {
      out.names.push_back(item.expr->parts.back());
    } else {
      out.names.emplace_back();
    }
  }
  bool anyVariable = false, anyPlain = false;
  for (const std::string& v : out.variables) (v.empty() ? anyPlain : anyVariable) = true;
  if (anyVariable && anyPlain) {
    throw ServerErrorByNumber(141);
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) sql += ", ";
    if (i < out.castTo.size() && NeedsConversion({out.cats[i], out.types[i]}, out.castTo[i])) {
      sql += "tsql_cast(" + items[i] + ", " + TypeArguments(*out.castTo[i]) + ")";
    } else {
      sql += items[i];
    }
    if (aliasItems) sql += " AS " + QuoteId("c" + std::to_string(i));
  }
  if (!select.from.empty()) sql += " FROM " + EmitFrom(select.from, scope, SIZE_MAX);
  if (select.where) sql += " WHERE " + Emit(*select.where, &scope).sql;
  if (!select.groupBy.empty()) {
    sql += " GROUP BY ";
    for (std::size_t i = 0; i < select.groupBy.size(); ++i) {
      if (i) sql += ", ";
      sql += Emit(*select.groupBy[i], &scope).sql;
    }
  }
  if (select.having) sql += " HAVING " + Emit(*select.having, &scope).sql;
  return sql;
}

std::string Translator::EmitUnion(const Select& select, const Scope* outer, SelectOutput& out,
                                  bool aliasItems, Scope& firstScope,
                                  std::vector<SelectOutput>& parts) {
  std::string sql = EmitCore(select, outer, out, aliasItems, firstScope);
  parts.push_back(out);
  const Select* part = &select;
  while (part->unionNext) {
    SelectOutput other;
    other.castTo = out.castTo;
    Scope scope;
    const bool all = part->unionAll;
    part = part->unionNext.get();
    std::string next = EmitCore(*part, outer, other, aliasItems, scope);
    if (other.names.size() != out.names.size()) {
      throw ServerErrorByNumber(205);
    }
    sql += all ? " UNION ALL " : " UNION ";
    sql += next;
    parts.push_back(std::move(other));
  }
  return sql;
}

std::string Translator::EmitQuery(const Select& select, const Scope* outer, SelectOutput& out,
                                  bool aliasItems) {
  Scope firstScope;
  std::vector<SelectOutput> parts;
  const std::size_t bindingsBefore = bindings_.size(),
                    comparedBefore = textComparedParameters_.size();
  const int aliasesBefore = aliasCounter_;
  std::string sql = EmitUnion(select, outer, out, aliasItems, firstScope, parts);
  // The parts of a UNION whose column mixes decimals of different sizes are
  // emitted again, each converting to the column's common decimal type.
  std::vector<std::optional<SqlType>> castTo(out.names.size());
  bool convert = false;
  for (std::size_t c = 0; c < castTo.size() && parts.size() > 1; ++c) {
    std::vector<TypedValue> column;
    for (const SelectOutput& p : parts) column.emplace_back(p.cats[c], p.types[c]);
    castTo[c] = CommonTypeOf(column);
    for (const TypedValue& value : column) convert = convert || NeedsConversion(value, castTo[c]);
  }
  if (convert) {
    bindings_.resize(bindingsBefore);
    textComparedParameters_.resize(comparedBefore);
    aliasCounter_ = aliasesBefore;
    out = SelectOutput{};
    out.castTo = castTo;
    firstScope = Scope{};
    parts.clear();
    sql = EmitUnion(select, outer, out, aliasItems, firstScope, parts);
    for (std::size_t c = 0; c < castTo.size(); ++c) {
      if (castTo[c]) out.types[c] = castTo[c];
    }
  }
  if (!select.orderBy.empty()) {
    sql += " ORDER BY ";
    for (std::size_t i = 0; i < select.orderBy.size(); ++i) {
      if (i) sql += ", ";
      const Expr& e = *select.orderBy[i].expr;
      std::string term;
      Cat cat = Cat::Unknown;
      if (e.kind == ExprKind::Integer) {
        const long long n = std::stoll(e.text);
        if (n < 1 || n > static_cast<long long>(out.names.size())) {
          throw ServerErrorByNumber(108, {e.text});
        }
        term = e.text;
        cat = out.cats[static_cast<std::size_t>(n - 1)];
      } else {
        // A select-list alias first, then the tables.
        int position = -1;
        if (e.kind == ExprKind::Column && e.parts.size() == 1) {
          for (std::size_t k = 0; k < out.names.size(); ++k) {
            if (!out.names[k].empty() && catalog_.Coll().Equal(out.names[k], e.parts[0]) &&
                (select.items.size() <= k || select.items[k].hasAlias ||
                 select.unionNext != nullptr)) {
              position = static_cast<int>(k);
              break;
            }
          }
        }
        if (position >= 0) {
          term = std::to_string(position + 1);
          cat = out.cats[static_cast<std::size_t>(position)];
        } else if (select.unionNext) {
          throw ServerErrorByNumber(104);
        } else {
          Emitted v = Emit(e, &firstScope);
          term = v.sql;
          cat = v.column ? Cat::Number : v.cat;  // a column keeps its own collation
        }
      }
      if (cat == Cat::Text || cat == Cat::Unknown) term += Collate();
      sql += term;
      if (select.orderBy[i].descending) sql += " DESC";
    }
  }
  if (select.top) {
    if (select.topPercent) throw DatabaseError(NotSupported("TOP … PERCENT"));
    sql += " LIMIT " + Emit(*select.top, outer).sql;
  }
  return sql;
}

Translation Translator::QueryOnce(const Select& select) {
  SelectOutput out;
  Translation t;
  t.sql = EmitQuery(select, nullptr, out, false);
  t.bindings = std::move(bindings_);
  t.columns = std::move(out.names);
  t.variables = std::move(out.variables);
  bool assigns = false;
  for (const auto& v : t.variables) assigns = assigns || !v.empty();
  if (!assigns) t.variables.clear();
  t.returnsRows = true;
  return t;
}

Translation Translator::ValueOnce(const Expr& expr) {
  Translation t;
  t.sql = "SELECT " + Emit(expr, nullptr).sql;
  t.bindings = std::move(bindings_);
  t.columns.emplace_back();
  t.returnsRows = true;
  return t;
}

std::optional<Translator::Emitted> Translator::InlineFunction(const CompiledRoutine& function,
                                                              const Expr& call,
                                                              const Scope* scope) {
  // A wrong number of arguments is reported by the call, as before.
  if (!function.inlineBody || call.args.size() != function.parameterTypes.size()) {
    return std::nullopt;
  }
  // A function that calls itself, directly or through others, is called
  // at every level, so that each counts towards the nesting limit.
  for (const InlineFrame& frame : inlining_) {
    if (frame.function == &function) throw RecursiveCall{&function};
  }
  const std::size_t bindingsBefore = bindings_.size();
  const std::size_t comparedBefore = textComparedParameters_.size();
  InlineFrame frame{&function, {}};
  try {
    for (std::size_t i = 0; i < call.args.size(); ++i) {
      // Arguments convert into the parameters' types as an assignment
      // does; a column of exactly that type needs no conversion.
      const SqlType& type = function.parameterTypes[i];
      Emitted a = Emit(*call.args[i], scope);
      const bool sameType = a.column && a.cat == CatOf(type) && StoredAsType(a.column->type, type);
      Emitted argument{sameType ? a.sql : "tsql_cast(" + a.sql + ", " + TypeArguments(type) + ")",
                       CatOf(type), nullptr};
      argument.type = type;
      frame.arguments.emplace_back(Upper(function.definition->parameters[i].name),
                                   std::move(argument));
    }
    inlining_.push_back(std::move(frame));
    struct Pop {
      std::vector<InlineFrame>& frames;
      ~Pop() { frames.pop_back(); }
    } pop{inlining_};
    const Emitted body = Emit(*function.inlineBody, nullptr);
    // The result converts into the declared return type, as RETURN does.
    Emitted result{"tsql_cast(" + body.sql + ", " + TypeArguments(function.returns) + ")",
                   CatOf(function.returns), nullptr};
    result.type = function.returns;
    return result;
  } catch (const DatabaseError&) {
    // What the body cannot be translated into fails when the function is
    // called, as it did before: leave the call in place.
    bindings_.resize(bindingsBefore);
    textComparedParameters_.resize(comparedBefore);
    return std::nullopt;
  } catch (const RecursiveCall& recursive) {
    bindings_.resize(bindingsBefore);
    textComparedParameters_.resize(comparedBefore);
    if (recursive.function != &function) throw;
    return std::nullopt;
  }
}

std::string Translator::RowCondition(const Expr& condition, const TableInfo& table) {
  Scope scope;
  Source row;
  row.tableName = table.name;
  row.table = &table;
  // Inside the enforcing trigger the row is NEW; the validation of existing
  // rows aliases the table as "NEW" too, so one text serves both.
  row.sqlAlias = "NEW";
  scope.sources.push_back(row);
  std::string sql = Emit(condition, &scope).sql;
  if (!bindings_.empty()) {
    throw DatabaseError(NotSupported("parameters or variables in a CHECK constraint"));
  }
  return sql;
}

std::string Translator::ViewSql(const Select& select) {
  SelectOutput out;
  std::string sql = EmitQuery(select, nullptr, out, true);
  if (!bindings_.empty()) throw DatabaseError(NotSupported("parameters or variables in a view"));
  // Name the view's columns as the query names them.
  std::string named = "SELECT ";
  for (std::size_t i = 0; i < out.names.size(); ++i) {
    if (out.names[i].empty()) {
      throw DatabaseError(
          "Create View or Function failed because no column name was specified "
          "for column " +
              std::to_string(i + 1) + ".",
          4511);
    }
    if (i) named += ", ";
    named += "c" + std::to_string(i) + " AS " + QuoteId(out.names[i]);
  }
  return named + " FROM (" + sql + ")";
}

// ---- changes -------------------------------------------------------------

std::string Translator::StoreCall(const std::string& value, const ColumnInfo& column,
                                  const TableInfo& table, bool update) {
  const int flags = (column.nullable ? 0 : kStoreNotNull) | (update ? kStoreUpdate : 0);
  const std::string stored = "tsql_store(" + value + ", " + TypeArguments(column.type) + ", " +
                             std::to_string(flags) + ", " + QuoteText(column.name) + ", " +
                             QuoteText(catalog_.QualifiedName(table.name)) + ")";
  // An explicit identity value is the session's to allow (SET IDENTITY_INSERT).
  if (column.identity && !update) {
    return "tsql_identity_insert(" + std::to_string(table.id) + ", " + QuoteText(table.name) +
           ", " + stored + ")";
  }
  return stored;
}

std::string Translator::DefaultSql(const ColumnInfo& column) {
  if (column.defaultText.empty()) return "NULL";
  if (functions_) return Emit(*functions_->StoredExpression(column.defaultText)->expr, nullptr).sql;
  Batch batch = ParseBatch("SELECT " + column.defaultText);
  const auto& select = static_cast<const SelectStatement&>(*batch.statements.at(0));
  return Emit(*select.select->items.at(0).expr, nullptr).sql;
}

Translation Translator::InsertOnce(const InsertStatement& insert) {
  const TableInfo* table = RequireTable(insert.table);
  if (table->xtype == "S ") {
    throw ServerErrorByNumber(259);
  }
  if (table->xtype == "V ") throw DatabaseError(NotSupported("INSERT into a view"));
  const Collation& coll = catalog_.Coll();
  std::vector<const ColumnInfo*> targets;
  if (insert.columns.empty()) {
    for (const ColumnInfo& c : table->columns) {
      if (!c.identity) targets.push_back(&c);
    }
  } else {
    for (const std::string& name : insert.columns) {
      const ColumnInfo* c = table->Find(coll, name);
      if (!c) InvalidColumn(name);
      for (const ColumnInfo* t : targets) {
        if (t == c) {
          throw DatabaseError("The column name '" + name +
                                  "' is specified more than once in the SET clause or column "
                                  "list of an INSERT.",
                              264);
        }
      }
      targets.push_back(c);
    }
  }
  // Columns the statement leaves out get their defaults (or NULL).
  std::vector<const ColumnInfo*> omitted;
  for (const ColumnInfo& c : table->columns) {
    bool named = false;
    for (const ColumnInfo* t : targets) named = named || t == &c;
    if (!named && !c.identity) omitted.push_back(&c);
  }
  std::string sql = "INSERT INTO " + QuoteId(table->name) + " (";
  bool first = true;
  for (const ColumnInfo* c : targets) {
    sql += (first ? "" : ", ") + QuoteId(c->name);
    first = false;
  }
  for (const ColumnInfo* c : omitted) {
    sql += (first ? "" : ", ") + QuoteId(c->name);
    first = false;
  }
  sql += ")";
  std::string defaults;
  for (const ColumnInfo* c : omitted)
    defaults += ", " + StoreCall(DefaultSql(*c), *c, *table, false);
  if (insert.defaultValues) {
    if (omitted.empty()) {
      Translation t;
      t.sql = "INSERT INTO " + QuoteId(table->name) + " DEFAULT VALUES";
      return t;
    }
    sql += " VALUES (" + defaults.substr(2) + ")";
  } else if (insert.select) {
    SelectOutput out;
    std::string inner = EmitQuery(*insert.select, nullptr, out, true);
    if (out.names.size() != targets.size()) {
      throw ServerErrorByNumber(out.names.size() > targets.size() ? 121 : 120);
    }
    sql += " SELECT ";
    for (std::size_t i = 0; i < targets.size(); ++i) {
      if (i) sql += ", ";
      sql += StoreCall("s.c" + std::to_string(i), *targets[i], *table, false);
    }
    if (targets.empty()) throw ServerErrorByNumber(102, {"SELECT"});
    sql += defaults + " FROM (" + inner + ") AS s";
  } else {
    sql += " VALUES ";
    for (std::size_t r = 0; r < insert.rows.size(); ++r) {
      const auto& row = insert.rows[r];
      if (row.size() != targets.size()) {
        // More values than columns is "fewer columns" (110), fewer is 109.
        throw ServerErrorByNumber(insert.columns.empty()        ? 213
                                  : row.size() > targets.size() ? 110
                                                                : 109);
      }
      if (r) sql += ", ";
      sql += "(";
      for (std::size_t i = 0; i < row.size(); ++i) {
        if (i) sql += ", ";
        const Expr& v = *row[i];
        std::string value = (v.kind == ExprKind::Function && v.text == "DEFAULT")
                                ? DefaultSql(*targets[i])
                                : Emit(v, nullptr).sql;
        sql += StoreCall(value, *targets[i], *table, false);
      }
      sql += defaults + ")";
    }
  }
  Translation t;
  t.sql = std::move(sql);
  t.bindings = std::move(bindings_);
  for (const ColumnInfo& c : table->columns) {
    if (c.identity) t.identityTable = table->id;
  }
  return t;
}

Translation Translator::UpdateOnce(const UpdateStatement& update) {
  if (update.top) throw DatabaseError(NotSupported("UPDATE TOP"));
  const Collation& coll = catalog_.Coll();
  Scope scope;
  std::size_t targetIndex = SIZE_MAX;
  const TableInfo* table = nullptr;
  for (const TableRef& ref : update.from) scope.sources.push_back(MakeSource(ref));
  if (update.table.schema.empty() && update.table.database.empty()) {
    for (std::size_t i = 0; i < update.from.size(); ++i) {
      const Source& src = scope.sources[i];
      const bool match = src.alias.empty()
                             ? (src.table && coll.Equal(src.tableName, update.table.name))
                             : coll.Equal(src.alias, update.table.name);
      if (match && src.table) {
        targetIndex = i;
        table = src.table;
        break;
      }
    }
  }
  std::string targetAlias;
  if (!table) {
    table = RequireTable(update.table);
    Source target;
    target.tableName = update.table.name;
    target.table = table;
    target.sqlAlias = "t" + std::to_string(aliasCounter_++);
    targetAlias = target.sqlAlias;
    scope.sources.insert(scope.sources.begin(), target);
    if (!update.from.empty()) {
      throw DatabaseError(NotSupported("UPDATE of a table not named in its FROM clause"));
    }
  } else {
    targetAlias = scope.sources[targetIndex].sqlAlias;
  }
  if (table->xtype == "S ") throw ServerErrorByNumber(259);
  if (table->xtype == "V ") throw DatabaseError(NotSupported("UPDATE of a view"));
  std::string sql = "UPDATE " + QuoteId(table->name) + " AS " + QuoteId(targetAlias) + " SET ";
  for (std::size_t i = 0; i < update.assignments.size(); ++i) {
    const Assignment& a = update.assignments[i];
    if (!a.variable.empty()) throw DatabaseError(NotSupported("UPDATE … SET @variable"));
    const ColumnInfo* c = table->Find(coll, a.column.back());
    if (!c) InvalidColumn(a.column.back());
    if (c->identity) {
      throw ServerErrorByNumber(8102, {c->name});
    }
    Emitted value = Emit(*a.value, &scope);
    std::string v = value.sql;
    if (a.op != "=") {
      const std::string current = QuoteId(targetAlias) + "." + QuoteId(c->name);
      const char op = a.op[0];
      if ((op == '+' && CatOf(c->type) != Cat::Number) || CatOf(c->type) == Cat::Exact ||
          value.cat == Cat::Exact || value.cat == Cat::Unknown) {
        v = std::string(ArithmeticFunction(op)) + "(" + current + ", " + v + ")";
      } else {
        v = "(" + current + " " + std::string(1, op) + " " + v + ")";
      }
    }
    if (i) sql += ", ";
    sql += QuoteId(c->name) + " = " + StoreCall(v, *c, *table, true);
  }
  if (update.from.size() > (targetIndex == SIZE_MAX ? 0u : 1u)) {
    sql += " FROM " + EmitFrom(update.from, scope, targetIndex);
  }
  std::string where;
  if (targetIndex != SIZE_MAX && update.from[targetIndex].on) {
    where = Emit(*update.from[targetIndex].on, &scope).sql;
  }
  if (update.where) {
    std::string w = Emit(*update.where, &scope).sql;
    where = where.empty() ? w : "(" + where + " AND " + w + ")";
  }
  if (!where.empty()) sql += " WHERE " + where;
  Translation t;
  t.sql = std::move(sql);
  t.bindings = std::move(bindings_);
  return t;
}

Translation Translator::DeleteOnce(const DeleteStatement& del) {
  if (del.top) throw DatabaseError(NotSupported("DELETE TOP"));
  const Collation& coll = catalog_.Coll();
  Translation t;
  if (del.from.empty()) {
    const TableInfo* table = RequireTable(del.table);
    if (table->xtype == "S ") throw ServerErrorByNumber(259);
    if (table->xtype == "V ") throw DatabaseError(NotSupported("DELETE from a view"));
    Scope scope;
    Source target;
    target.tableName = del.table.name;
    target.table = table;
    target.sqlAlias = "t" + std::to_string(aliasCounter_++);
    scope.sources.push_back(target);
    t.sql = "DELETE FROM " + QuoteId(table->name) + " AS " + QuoteId(target.sqlAlias);
    if (del.where) t.sql += " WHERE " + Emit(*del.where, &scope).sql;
  } else {
    // DELETE t FROM t JOIN …: the rows of the target the join finds.
    Scope scope;
    for (const TableRef& ref : del.from) scope.sources.push_back(MakeSource(ref));
    const Source* target = nullptr;
    for (const Source& src : scope.sources) {
      const bool match = src.alias.empty()
                             ? (src.table && coll.Equal(src.tableName, del.table.name))
                             : coll.Equal(src.alias, del.table.name);
      if (match && src.table) target = &src;
    }
    if (!target)
      throw DatabaseError(NotSupported("DELETE of a table not named in its FROM clause"));
    std::string inner = "SELECT " + QuoteId(target->sqlAlias) + ".rowid FROM " +
                        EmitFrom(del.from, scope, SIZE_MAX);
    if (del.where) inner += " WHERE " + Emit(*del.where, &scope).sql;
    t.sql = "DELETE FROM " + QuoteId(target->table->name) + " WHERE rowid IN (" + inner + ")";
  }
  t.bindings = std::move(bindings_);
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

template <class Translate>
Translation Translator::WithNumberVariant(Translate translate) {
  textComparedParameters_.clear();
  parametersAreNumbers_ = false;
  Translation t = translate();
  if (textComparedParameters_.empty()) return t;
  std::vector<int> parameters = std::move(textComparedParameters_);
  bindings_.clear();
  aliasCounter_ = 0;
  parametersAreNumbers_ = true;
  Translation numbers = translate();
  parametersAreNumbers_ = false;
  t.numberSql = std::move(numbers.sql);
  t.numberParameters = std::move(parameters);
  return t;
}

Translation Translator::Query(const Select& select) {
  return WithNumberVariant([&] { return QueryOnce(select); });
}
Translation Translator::Value(const Expr& expr) {
  return WithNumberVariant([&] { return ValueOnce(expr); });
}
Translation Translator::Insert(const InsertStatement& insert) {
  return WithNumberVariant([&] { return InsertOnce(insert); });
}
Translation Translator::Update(const UpdateStatement& update) {
  return WithNumberVariant([&] { return UpdateOnce(update); });
}
Translation Translator::Delete(const DeleteStatement& del) {
  return WithNumberVariant([&] { return DeleteOnce(del); });
}

}  // namespace moltaro::db::embedded
