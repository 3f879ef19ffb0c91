// What the binder knows of a statement: the parse tree's nodes annotated
// with their resolved names, types and the decisions the types imply. The
// annotations live beside the tree (by node), so the parse tree stays as
// the parser made it and a tree kept by the compiled stored code can be
// bound again under another schema.
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/embedded/catalog/catalog.h"
#include "db/embedded/parser/tsql_ast.h"
#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

struct CompiledExpression;
struct CompiledRoutine;

// How a value is held while SQLite computes with it: Number is SQLite's own
// integer or float, Exact a decimal blob, Unknown any of them (parameters,
// view columns), Null the NULL constant.
enum class ValueClass { Unknown, Number, Exact, Text, Date, Null };

ValueClass ClassOf(const SqlType& type);

// The type a value of this class and type takes when a set of values
// converts to one decimal type (CASE branches, UNION columns); nullopt when
// they keep their own.
struct TypedValue {
  ValueClass cls = ValueClass::Unknown;
  std::optional<SqlType> type;
};
std::optional<SqlType> CommonTypeOf(const std::vector<TypedValue>& values);
// Whether a value must be converted to `target`.
bool NeedsConversion(const TypedValue& value, const std::optional<SqlType>& target);

// A column of a derived table or of a query's output.
struct OutputColumn {
  std::string name;  // empty when the expression has none
  ValueClass cls = ValueClass::Unknown;
  std::optional<SqlType> type;
  std::string variable;  // SELECT @v = …
};

// A common table expression of the statement's WITH clause.
struct BoundCte {
  const CommonTableExpr* cte = nullptr;
  std::string sqlName;               // the name the SQLite text gives it
  std::vector<OutputColumn> output;  // its columns, read as c0, c1, …
  bool ready = false;                // its columns are known (a recursive
                                     // one's after its anchor part)
};

// A table, view, derived table or common table expression of a FROM clause.
struct BoundSource {
  std::string alias;      // as written; empty when none
  std::string tableName;  // as written
  const TableInfo* table = nullptr;
  const Select* query = nullptr;      // a derived table
  const BoundCte* cte = nullptr;      // a common table expression
  std::vector<OutputColumn> derived;  // its columns, read as c0, c1, …
  std::vector<BoundSource> nested;    // a parenthesised join's tables
  std::string viewSql;                // a catalog view: its SQLite SELECT
  // A table-valued function: the SQLite table-valued function its rows come
  // from (tsql_string_split), or for an inline user function `query` is its
  // body, read with its parameters as the converted arguments.
  std::string tableFunction;
  std::string functionName;  // tsql_tvf: the user function, its first argument
  // The call's arguments, bound in the caller's scope; DEFAULT is the
  // parameter's default.
  std::vector<const Expr*> arguments;
  const CompiledRoutine* routine = nullptr;  // a user function
  std::string sqlAlias;                      // the name the SQLite text gives it
};

// Calls `visit` with each table, view, derived table or CTE of `sources`,
// those inside parenthesised joins too.
template <class Visit>
void ForEachTableSource(const std::vector<BoundSource>& sources, Visit&& visit) {
  for (const BoundSource& src : sources) {
    if (src.nested.empty()) {
      visit(src);
    } else {
      ForEachTableSource(src.nested, visit);
    }
  }
}

struct BoundScope {
  std::vector<BoundSource> sources;
  const BoundScope* outer = nullptr;
};

struct ExprBindings;

// What the binder found for one expression node.
struct BoundExpr {
  ValueClass cls = ValueClass::Unknown;
  std::optional<SqlType> type;         // where known
  const ColumnInfo* column = nullptr;  // a table's column, read as stored
  int literalDigits = 0;               // an integer literal: its digits
  bool exactLiteral = false;           // a literal written with a point: numeric
  // A binary constant read as the integer it spells, where it meets a number
  // (arithmetic, bitwise operators, comparisons) as SQL Server converts it.
  std::optional<std::string> binaryInteger;

  // Column references: where the value comes from.
  const BoundSource* source = nullptr;
  std::size_t derivedIndex = 0;   // in source->derived, when it has no table
  bool currentTimestamp = false;  // the bare word CURRENT_TIMESTAMP
  bool rowId = false;             // the row identity of `source` (ExprKind::RowId)

  // Comparisons, IN, BETWEEN and CASE x WHEN: compared value by value
  // (exact numbers, text against numbers), not by SQLite's operators.
  bool byValue = false;
  // A comparison, IN or BETWEEN against a date column: the other values
  // convert into the column's type (1: the left operand converts, 2: the
  // right one and the list items).
  int convertToDate = 0;
  std::optional<SqlType> dateType;
  bool collate = false;  // compared in the database's collation
  // A comparison with a sql_variant: both sides as sql_variants (tsql_vcmp).
  bool variantCompare = false;

  // CAST and CONVERT: the type converted to; a date written as text in a
  // CONVERT style.
  std::optional<SqlType> castTo;
  bool dateStyle = false;

  // CASE, COALESCE, ISNULL: the type each branch converts to.
  std::optional<SqlType> commonType;

  // "+": what it means for its operands' classes.
  enum class Plus { Numbers, Concat, AddDays, Any };
  Plus plus = Plus::Any;
  // "-": a date minus days.
  bool subtractDays = false;
  // Arithmetic: both operands are SQLite numbers (its own operators).
  bool nativeArithmetic = false;
  // Arithmetic: an operand that divides as a decimal (numeric(p,0) kept as
  // an integer), and an integer literal read as the decimal of its digits.
  std::array<bool, 2> operandAsExact{};
  std::array<bool, 2> literalAsDecimal{};
  // Bitwise operators: a binary operand read as the integer of its last
  // bytes (COLUMNS_UPDATED() & 14), as SQL Server reads binary there.
  std::array<bool, 2> binaryAsInteger{};

  // SUM and AVG computed exactly; AVG of an integer column kept integer.
  bool exactAggregate = false;
  bool integerAverage = false;

  // A user function call: the function, and its body's bindings when the
  // call is taken in (null: called per row).
  const CompiledRoutine* function = nullptr;
  std::shared_ptr<const ExprBindings> inlined;
};

// A date value written as text in CONVERT's style 0 when it meets text
// (datetime, smalldatetime, or a date of unknown type); the newer date types
// are their own text.
bool WritesDateStyle(const BoundExpr& value);

struct ExprBindings {
  std::unordered_map<const Expr*, BoundExpr> nodes;
  const BoundExpr& Of(const Expr& e) const;
};

// One SELECT of a UNION, or the whole query when there is none.
struct BoundSelectPart {
  const Select* select = nullptr;
  BoundScope* scope = nullptr;
  // The select list with stars expanded: an expression, or a source's column.
  struct Item {
    const Expr* expr = nullptr;
    const BoundSource* source = nullptr;
    const ColumnInfo* column = nullptr;  // of source->table
    std::size_t derivedIndex = 0;        // of source->derived
  };
  std::vector<Item> items;
  std::vector<OutputColumn> output;
};

struct BoundSelect {
  std::deque<BoundSelectPart> parts;
  // The query's columns; their types are the common ones across a UNION.
  std::vector<OutputColumn> output;
  // The type each column converts to in every part (a UNION mixing decimals).
  std::vector<std::optional<SqlType>> castTo;
  // ORDER BY: the output column an item names (-1: an expression over the
  // first part's tables).
  std::vector<int> orderPositions;
  // FOR XML: `output` is the one column of XML text; the rows' own columns
  // are kept in `rowOutput`, each written as `xmlColumns` says, inside an
  // element named `xmlRow` (none when empty).
  struct XmlColumn {
    enum class As { Element, Attribute, Text };
    As as = As::Element;
    std::string name;  // as an XML name
    bool raw = false;  // an xml value: written as it is, not escaped
  };
  std::vector<OutputColumn> rowOutput;
  std::vector<XmlColumn> xmlColumns;
  std::string xmlRow;
  std::string xmlRoot;  // ROOT: the element around all rows (none when empty)
};

// A bound INSERT, UPDATE or DELETE: its target and columns.
struct BoundChange {
  const TableInfo* table = nullptr;
  BoundScope* scope = nullptr;
  const BoundSource* target = nullptr;
  std::size_t targetIndex = SIZE_MAX;      // in the FROM clause; SIZE_MAX when not named there
  std::vector<const ColumnInfo*> targets;  // INSERT: the columns given values; UPDATE: assigned
  std::vector<const ColumnInfo*> omitted;  // INSERT: the columns that take their defaults
  std::unordered_map<const ColumnInfo*, const Expr*> defaults;  // bound default expressions
  // INSERT: the identity column is given a value (allowed while the
  // session's IDENTITY_INSERT is on for the table, checked when run).
  bool explicitIdentity = false;
  // UPDATE: a compound assignment (+=, …) computed by SQLite's own operator
  // (integers and floats) rather than by the functions for any type.
  std::vector<bool> nativeCompound;
};

struct BoundStatement {
  ExprBindings exprs;
  std::unordered_map<const Select*, std::unique_ptr<BoundSelect>> selects;
  std::deque<BoundScope> scopes;
  std::deque<BoundCte> ctes;
  std::unordered_map<const CommonTableExpr*, const BoundCte*> cteOf;
  BoundChange change;
  BoundScope* rowScope = nullptr;  // RowCondition
  // Stored code the statement reads (defaults, user functions), kept alive
  // as long as the bindings that point into it.
  std::vector<std::shared_ptr<const CompiledExpression>> stored;
  std::vector<std::shared_ptr<const CompiledRoutine>> routines;

  const BoundSelect& Of(const Select& s) const;
};

}  // namespace moltaro::db::embedded
