// Rewrites the DML of the T-SQL subset (SELECT, INSERT, UPDATE, DELETE and
// expressions) to SQLite SQL: names resolved through the catalogue in the
// database collation, values converted into their columns' types, T-SQL
// functions and "+" mapped to their SQLite counterparts.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/embedded/catalog/catalog.h"
#include "db/embedded/parser/tsql_ast.h"

namespace moltaro::db::embedded {

// What one "?" of the translated text is bound to.
struct Binding {
  bool isVariable = false;
  int parameter = 0;     // index among the batch's `:name` markers
  std::string variable;  // "@x" / "@@ROWCOUNT"
};

struct Translation {
  std::string sql;
  std::vector<Binding> bindings;
  std::vector<std::string> columns;    // result column names (queries)
  std::vector<std::string> variables;  // SELECT @v = …: the variable of each column
  bool returnsRows = false;
  int identityTable = 0;  // INSERT into a table with an identity column: its id
  // A parameter compared with text converts the text when it is bound to a
  // number (SQL Server's data type precedence), but keeps the text column's
  // index when it is text: the statement for bound numbers is a second text,
  // used when any of `numberParameters` holds a number.
  std::string numberSql;
  std::vector<int> numberParameters;
};

// The text of `t` to run with these parameters.
const std::string& SqlFor(const Translation& t, const std::vector<Value>& params);

// The column names an expression refers to (the last part of each name), as
// written; subqueries are not looked into.
std::vector<std::string> ColumnNames(const Expr& expr);

// Types of the variables in scope, for conversions and "+".
class VariableTypes {
 public:
  virtual ~VariableTypes() = default;
  virtual std::optional<SqlType> TypeOf(const std::string& name) const = 0;
};

struct CompiledRoutine;
struct CompiledExpression;

// The compiled stored T-SQL a translation reads: user-defined scalar
// functions (dbo.fn(…)) and defaults.
class FunctionResolver {
 public:
  virtual ~FunctionResolver() = default;
  // A default's text ("(0)") as an expression.
  virtual std::shared_ptr<const CompiledExpression> StoredExpression(const std::string& text) = 0;
  // The compiled scalar function (xtype FN) of that name as written; null
  // when there is none.
  virtual std::shared_ptr<const CompiledRoutine> ScalarFunction(const std::string& name) = 0;
};

class Translator {
 public:
  Translator(Catalog& catalog, const VariableTypes* variables, FunctionResolver* functions);

  Translation Query(const Select& select);
  Translation Insert(const InsertStatement& insert);
  Translation Update(const UpdateStatement& update);
  Translation Delete(const DeleteStatement& del);
  // "SELECT <expr>": evaluates an expression with no tables in scope.
  Translation Value(const Expr& expr);
  // A condition on one row of `table`, its columns read as NEW.<column>
  // (for the triggers that enforce CHECK constraints).
  std::string RowCondition(const Expr& condition, const TableInfo& table);
  // The SQLite text of a SELECT, for views.
  std::string ViewSql(const Select& select);

 private:
  // What the translator knows of an expression's type: Number is an
  // integer or float (SQLite's own numbers), Exact a decimal blob, Unknown
  // anything (parameters, user functions).
  enum class Cat { Unknown, Number, Exact, Text, Date, Null };
  struct Emitted {
    std::string sql;
    Cat cat = Cat::Unknown;
    const ColumnInfo* column = nullptr;
    int literalDigits = 0;  // an integer literal: its digits (T-SQL types 3 as numeric(1,0))
    // The SQL Server type, where the expression fixes it (literals, casts,
    // variables); columns give theirs through `column`.
    std::optional<SqlType> type = std::nullopt;
  };
  struct DerivedColumn {
    std::string name;
    Cat cat;
    std::string sqlName;
    std::optional<SqlType> type;
  };
  struct Source {
    std::string alias;      // as written; empty when none
    std::string tableName;  // as written
    const TableInfo* table = nullptr;
    std::vector<DerivedColumn> derived;
    std::string sqlAlias;
  };
  struct Scope {
    std::vector<Source> sources;
    const Scope* outer = nullptr;
  };
  struct SelectOutput {
    std::vector<std::string> names;
    std::vector<Cat> cats;
    std::vector<std::optional<SqlType>> types;  // where known
    std::vector<std::string> variables;
    // Filled before a UNION's parts are emitted again: the decimal type each
    // column takes across the parts (nullopt: the values keep their own).
    std::vector<std::optional<SqlType>> castTo;
  };

  Translation QueryOnce(const Select& select);
  Translation InsertOnce(const InsertStatement& insert);
  Translation UpdateOnce(const UpdateStatement& update);
  Translation DeleteOnce(const DeleteStatement& del);
  Translation ValueOnce(const Expr& expr);
  // Translates, and again with the text-compared parameters as numbers.
  template <class Translate>
  Translation WithNumberVariant(Translate translate);

  std::string EmitQuery(const Select& select, const Scope* outer, SelectOutput& out,
                        bool aliasItems);
  std::string EmitCore(const Select& select, const Scope* outer, SelectOutput& out, bool aliasItems,
                       Scope& scope);
  // The parts of a UNION, each one's output kept in `parts`.
  std::string EmitUnion(const Select& select, const Scope* outer, SelectOutput& out,
                        bool aliasItems, Scope& firstScope, std::vector<SelectOutput>& parts);
  std::string EmitFrom(const std::vector<TableRef>& from, Scope& scope, std::size_t skip);
  Source MakeSource(const TableRef& ref);
  const TableInfo* RequireTable(const ObjectName& name);
  Emitted Emit(const Expr& e, const Scope* scope);
  Emitted EmitColumn(const Expr& e, const Scope* scope);
  Emitted EmitFunction(const Expr& e, const Scope* scope);
  // A call of a function whose body is one RETURN expression, as that
  // expression; none when the function cannot be taken in (it then runs as
  // a call per row).
  std::optional<Emitted> InlineFunction(const CompiledRoutine& function, const Expr& call,
                                        const Scope* scope);
  Emitted EmitBinary(const Expr& e, const Scope* scope);
  Emitted EmitCast(const Expr& e, const Scope* scope);
  Emitted EmitComparison(const Expr& e, const std::string& op, Emitted a, Emitted b);
  Emitted EmitArithmetic(const std::string& op, Emitted a, Emitted b);
  // The values of `branches` (CASE results, COALESCE arguments) converted to
  // the decimal type SQL Server gives their result, when it is one.
  static std::optional<SqlType> CommonType(const std::vector<const Emitted*>& branches);
  // The same rule over values known only by category and type (UNION columns).
  using TypedValue = std::pair<Cat, std::optional<SqlType>>;
  static std::optional<SqlType> CommonTypeOf(const std::vector<TypedValue>& values);
  // Whether a value of that category and type must be converted to `target`.
  static bool NeedsConversion(const TypedValue& value, const std::optional<SqlType>& target);
  static std::string ConvertTo(const Emitted& value, const std::optional<SqlType>& type);
  static std::optional<SqlType> KnownType(const Emitted& e);
  // The type of exact arithmetic on operands of known types.
  static std::optional<SqlType> ExactResultType(char op, const Emitted& a, const Emitted& b);
  std::string Collate() const;
  std::string StoreCall(const std::string& value, const ColumnInfo& column, const TableInfo& table,
                        bool update);
  std::string DefaultSql(const ColumnInfo& column);
  static Cat CatOf(const SqlType& type);
  static Cat ColumnCat(const TableInfo& table, const ColumnInfo& column);
  static std::string WrittenName(const ObjectName& name);

  Catalog& catalog_;
  const VariableTypes* variables_;
  FunctionResolver* functions_;
  std::vector<Binding> bindings_;
  // The functions being taken in, innermost last: their parameters read as
  // the caller's converted arguments.
  struct InlineFrame {
    const CompiledRoutine* function;
    std::vector<std::pair<std::string, Emitted>> arguments;  // by parameter name, upper case
  };
  std::vector<InlineFrame> inlining_;
  // Thrown out to the frame of a function found calling itself.
  struct RecursiveCall {
    const CompiledRoutine* function;
  };
  int aliasCounter_ = 0;
  std::vector<int> textComparedParameters_;
  bool parametersAreNumbers_ = false;
};

}  // namespace moltaro::db::embedded
