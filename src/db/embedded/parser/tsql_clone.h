// Deep copies of syntax trees, for statements the server writes from parts
// of another (a MERGE runs as a query, an UPDATE, a DELETE and an INSERT
// made from its clauses), which must not take the parts from a tree the
// compiled stored code may share.
#pragma once

#include <memory>

#include "db/embedded/parser/tsql_ast.h"

namespace moltaro::db::embedded {

ExprPtr CloneExpr(const Expr& e);
std::unique_ptr<Select> CloneSelect(const Select& s);
TableRef CloneTableRef(const TableRef& ref);
CommonTableExpr CloneCte(const CommonTableExpr& cte);

}  // namespace moltaro::db::embedded
