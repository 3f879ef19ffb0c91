// The binder: the stage between the parser and the translator. It resolves
// every name of a DML statement against the catalogue once (tables, aliases,
// columns, variables, user functions), gives every expression what is known
// of its SQL Server type, and makes the decisions that follow from the types
// (which side of a comparison converts, the common type of a CASE, whether a
// user function is taken in). The translator then writes SQLite text from
// the bound statement without resolving or typing anything itself.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/embedded/binder/bound_tree.h"
#include "db/embedded/catalog/catalog.h"
#include "db/embedded/parser/tsql_ast.h"

namespace moltaro::db::embedded {

// Types of the variables in scope, for conversions and "+".
class VariableTypes {
 public:
  virtual ~VariableTypes() = default;
  virtual std::optional<SqlType> TypeOf(const std::string& name) const = 0;
};

struct CompiledRoutine;
struct CompiledExpression;

// The compiled stored T-SQL a statement reads: user-defined scalar
// functions (dbo.fn(…)) and defaults.
class FunctionResolver {
 public:
  virtual ~FunctionResolver() = default;
  // A default's text ("(0)") as an expression.
  virtual std::shared_ptr<const CompiledExpression> StoredExpression(const std::string& text) = 0;
  // The compiled scalar function (xtype FN) of that name as written; null
  // when there is none.
  virtual std::shared_ptr<const CompiledRoutine> ScalarFunction(const std::string& name) = 0;
  // The compiled table-valued function (xtype IF or TF) of that name; null
  // when there is none.
  virtual std::shared_ptr<const CompiledRoutine> TableFunction(const std::string& name) = 0;
};

class Binder {
 public:
  // `parametersAreNumbers`: the batch's :name parameters are bound to
  // numbers (see Translation::numberSql); otherwise their type is unknown.
  Binder(Catalog& catalog, const VariableTypes* variables, FunctionResolver* functions,
         bool parametersAreNumbers);

  BoundStatement Query(const Select& select);
  BoundStatement Value(const Expr& expr);
  BoundStatement Insert(const InsertStatement& insert);
  BoundStatement Update(const UpdateStatement& update);
  BoundStatement Delete(const DeleteStatement& del);
  // A condition on one row of `table`, its columns read under `rowAlias`.
  BoundStatement RowCondition(const Expr& condition, const TableInfo& table,
                              const std::string& rowAlias);

  // The parameters compared with text: their statement differs when they
  // are bound to numbers.
  const std::vector<int>& TextComparedParameters() const { return textComparedParameters_; }

 private:
  const BoundSelect& BindQuery(const Select& select, const BoundScope* outer, bool topLevel);
  void BindCore(const Select& select, const BoundScope* outer, BoundSelectPart& part);
  // FOR XML: how each column goes into a row; the query becomes one column.
  void BindForXml(const Select& select, BoundSelect& query);
  // `left`: the scope being built, whose sources so far an APPLY's
  // arguments may read.
  BoundSource MakeSource(const TableRef& ref, const BoundScope& left);
  // The sources of a FROM clause, in `scope`.
  void MakeSources(const std::vector<TableRef>& from, BoundScope& scope);
  BoundSource FunctionSource(const TableRef& ref, const BoundScope& left);
  BoundSource StringSplitSource(const TableRef& ref, const BoundScope* argumentScope);
  // The ON conditions of a FROM clause, parenthesised joins' too.
  void BindJoinConditions(const std::vector<TableRef>& from, const BoundScope& scope);
  const TableInfo* RequireTable(const ObjectName& name);
  const BoundExpr& Bind(const Expr& e, const BoundScope* scope);
  BoundExpr BindNode(const Expr& e, const BoundScope* scope);
  BoundExpr BindColumn(const Expr& e, const BoundScope* scope);
  BoundExpr BindRowId(const Expr& e, const BoundScope* scope);
  BoundExpr BindVariable(const Expr& e);
  BoundExpr BindVariableNamed(const std::string& name);
  BoundExpr BindCase(const Expr& e, const BoundScope* scope);
  BoundExpr BindLike(const Expr& e, const BoundScope* scope);
  BoundExpr BindIn(const Expr& e, const BoundScope* scope);
  BoundExpr BindBetween(const Expr& e, const BoundScope* scope);
  BoundExpr BindBinary(const Expr& e, const BoundScope* scope);
  BoundExpr BindArithmetic(char op, const BoundExpr& a, const BoundExpr& b);
  BoundExpr BindComparison(const Expr& e, const BoundExpr& a, const BoundExpr& b);
  BoundExpr BindFunction(const Expr& e, const BoundScope* scope);
  void RefuseDateArguments(const Expr& e, const std::string& name) const;
  std::optional<SqlType> ConstructedDateType(const Expr& e, const std::string& name) const;
  BoundExpr BindCast(const Expr& e, const BoundScope* scope);
  // A user function's call taken in as its body, or nothing when it runs
  // as a call per row.
  std::shared_ptr<const ExprBindings> InlineBody(const CompiledRoutine& function, const Expr& call,
                                                 const BoundScope* scope);
  const Expr* DefaultOf(const ColumnInfo& column);
  // Makes the statement's common table expressions visible to the rest of it.
  void BindWith(const std::vector<CommonTableExpr>& with);
  const BoundCte* FindCte(const ObjectName& name) const;
  BoundScope& NewScope();
  // Makes `statement` the one bindings are recorded in.
  void Start(BoundStatement& statement);
  // The FROM source an UPDATE or DELETE names as its target (by alias, or by
  // table name when it has none); SIZE_MAX when none.
  std::size_t TargetIndex(const BoundScope& scope, const std::string& name) const;
  std::string NextAlias();
  // The SQL alias of the table an UPDATE or DELETE changes.
  std::string SqlAliasOfTarget(const TableInfo& table);

  Catalog& catalog_;
  const VariableTypes* variables_;
  FunctionResolver* functions_;
  const bool parametersAreNumbers_;
  BoundStatement* statement_ = nullptr;
  ExprBindings* exprs_ = nullptr;  // where expressions are recorded now
  // A binary constant meeting `other` (not binary) becomes its integer.
  void BinaryAsInteger(const Expr& constant, const BoundExpr* other);
  // The functions being taken in, innermost last: their parameters' types.
  struct InlineFrame {
    const CompiledRoutine* function;
  };
  std::vector<InlineFrame> inlining_;
  struct RecursiveCall {
    const CompiledRoutine* function;
  };
  int aliasCounter_ = 0;
  std::vector<int> textComparedParameters_;
  std::vector<BoundCte*> visibleCtes_;  // in the order defined
  BoundCte* anchoring_ = nullptr;       // the CTE whose query is being bound
  const Select* intoQuery_ = nullptr;   // the query that may have SELECT … INTO
  // The whole default of a uniqueidentifier column being bound: the one
  // place NEWSEQUENTIALID() may stand.
  const Expr* sequentialIdDefault_ = nullptr;
};

// The written form of a name, parts joined by dots ("db..t").
std::string WrittenName(const ObjectName& name);

}  // namespace moltaro::db::embedded
