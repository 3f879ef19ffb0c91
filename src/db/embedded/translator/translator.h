// Writes the DML of the T-SQL subset (SELECT, INSERT, UPDATE, DELETE and
// expressions) as SQLite SQL, from the statement the binder has bound:
// values converted into their columns' types, T-SQL functions and "+"
// mapped to their SQLite counterparts. Names and types are the binder's;
// nothing here resolves or types anything.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/embedded/binder/binder.h"
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
  std::vector<std::string> columns;     // result column names (queries)
  std::vector<TypedValue> columnTypes;  // and what the binder knows of their types
  std::vector<std::string> variables;   // SELECT @v = …: the variable of each column
  bool returnsRows = false;
  int identityTable = 0;  // INSERT into a table with an identity column: its id
  std::string identityTableName;
  bool explicitIdentity = false;  // the INSERT gives the identity column its values
  // INSERT, UPDATE, DELETE: the table or view changed (its triggers fire),
  // and the columns an UPDATE sets (UPDATE(column) in its triggers).
  const TableInfo* target = nullptr;
  std::vector<std::string> setColumns;
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
  // An expression or condition over one row of `table`, its columns named
  // bare (computed columns, filtered indexes); `type` is its type where known.
  std::string RowExpression(const Expr& value, const TableInfo& table,
                            std::optional<SqlType>& type);
  // The SQLite text of a SELECT, for views.
  std::string ViewSql(const Select& select);

 private:
  // Binds, translates, and again with the text-compared parameters bound
  // as numbers.
  template <class BindStatement, class EmitStatement>
  Translation WithNumberVariant(BindStatement bind, EmitStatement emit);
  Binder NewBinder() const;

  Translation EmitSelectStatement(const Select& select);
  Translation EmitValue(const Expr& expr);
  Translation EmitInsert(const InsertStatement& insert);
  Translation EmitUpdate(const UpdateStatement& update);
  Translation EmitDelete(const DeleteStatement& del);

  std::string EmitWith(const std::vector<CommonTableExpr>& with, int maxRecursion);
  std::string EmitQuery(const Select& select, bool aliasItems);
  // FOR XML: the query's rows written as XML and joined into one text.
  std::string EmitForXml(const Select& select, const BoundSelect& query);
  // `extraColumn`: SQL appended to the select list (a recursive CTE's depth).
  std::string EmitPart(const BoundSelectPart& part, const BoundSelect& query, bool aliasItems,
                       const std::string& extraColumn = {});
  std::string EmitFrom(const std::vector<TableRef>& from, const std::vector<BoundSource>& sources,
                       std::size_t skip);
  std::string Emit(const Expr& e);
  std::string EmitNode(const Expr& e);
  std::string EmitSelectList(const BoundSelectPart& part, const BoundSelect& query,
                             bool aliasItems);
  std::string EmitGroupingSets(const Select& select, const BoundSelect& query, bool aliasItems);
  std::string EmitGrouping(const Expr& e);
  std::string EmitColumn(const BoundExpr& column);
  std::string EmitVariable(const Expr& e);
  std::string EmitVariableNamed(const std::string& name, const BoundExpr& bound);
  std::string EmitCase(const Expr& e);
  std::string EmitIn(const Expr& e);
  std::string EmitBetween(const Expr& e);
  std::string EmitBinary(const Expr& e);
  std::string EmitCast(const Expr& e);
  std::string EmitFunction(const Expr& e);
  std::string EmitInlined(const Expr& call, const BoundExpr& bound);
  // A source that is an SQLite table-valued function: name(arguments).
  std::string EmitFunctionCall(const BoundSource& src);
  // An inline table-valued function's query, its parameters read as the
  // call's converted arguments.
  std::string EmitInlineFunctionQuery(const BoundSource& src);
  std::string EmitOver(const WindowSpec& over);
  // An ORDER BY term: the value, in the database's collation when it is text.
  std::string SortKey(const Expr& e);
  // The value of `e` converted to `type` when the binder found it must be.
  std::string ConvertTo(const Expr& e, const std::optional<SqlType>& type);
  std::string Slot(Binding binding);
  std::string Collate() const;
  // A value as a sql_variant of its type (`source`), or of the type its
  // value shows when the statement cannot tell.
  std::string VariantSql(const std::string& value, const std::optional<SqlType>& source);
  std::optional<SqlType> DefaultType(const ColumnInfo& column);
  // `character`: the value is character data (kStoreText). `source` is the
  // type of the value where known: a sql_variant column keeps it as the
  // value's base type.
  std::string StoreCall(const std::string& value, const ColumnInfo& column, const TableInfo& table,
                        bool update, bool character,
                        const std::optional<SqlType>& source = std::nullopt);
  std::string DefaultSql(const ColumnInfo& column);
  const BoundExpr& Bound(const Expr& e) const { return exprs_->Of(e); }

  Catalog& catalog_;
  const VariableTypes* variables_;
  FunctionResolver* functions_;
  bool parametersAreNumbers_ = false;
  const BoundStatement* statement_ = nullptr;
  // The FOR XML query whose rows are being written (as plain rows), and the
  // statement's own query (its FOR XML gives no row when there are none).
  const Select* xmlRowsOf_ = nullptr;
  const Select* topLevelQuery_ = nullptr;
  const ExprBindings* exprs_ = nullptr;  // an inlined function's body has its own
  std::vector<Binding> bindings_;
  // The functions being taken in, innermost last: their parameters read as
  // the caller's converted arguments.
  struct InlineFrame {
    std::vector<std::pair<std::string, std::string>> arguments;  // by parameter name, upper case
  };
  std::vector<InlineFrame> inlining_;
  // A function's arguments, each converted into its parameter's type.
  InlineFrame InlineArguments(const CompiledRoutine& function,
                              const std::vector<const Expr*>& args);
  // ROLLUP/CUBE: the grouped expressions (as SQL) and those summed over in
  // the grouping set being written; inside aggregates nothing is replaced.
  std::vector<std::string> groupSql_;
  const std::vector<std::string>* summedOver_ = nullptr;
  int aggregateDepth_ = 0;
};

}  // namespace moltaro::db::embedded
