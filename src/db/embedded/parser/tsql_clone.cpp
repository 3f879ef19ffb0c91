#include "db/embedded/parser/tsql_clone.h"

#include <utility>

namespace moltaro::db::embedded {

namespace {

ExprPtr CloneOrNull(const ExprPtr& e) {
  return e ? CloneExpr(*e) : nullptr;
}

OrderItem CloneOrder(const OrderItem& item) {
  return OrderItem{CloneOrNull(item.expr), item.descending};
}

}  // namespace

ExprPtr CloneExpr(const Expr& e) {
  auto copy = std::make_unique<Expr>();
  copy->kind = e.kind;
  copy->text = e.text;
  copy->parts = e.parts;
  for (const ExprPtr& arg : e.args) copy->args.push_back(CloneOrNull(arg));
  if (e.select) copy->select = CloneSelect(*e.select);
  if (e.over) {
    copy->over = std::make_unique<WindowSpec>();
    for (const ExprPtr& p : e.over->partitionBy) copy->over->partitionBy.push_back(CloneOrNull(p));
    for (const OrderItem& o : e.over->orderBy) copy->over->orderBy.push_back(CloneOrder(o));
    copy->over->frame = e.over->frame;
  }
  copy->type = e.type;
  copy->style = e.style;
  copy->orderDescending = e.orderDescending;
  copy->negated = e.negated;
  copy->distinct = e.distinct;
  copy->star = e.star;
  copy->national = e.national;
  copy->index = e.index;
  copy->offset = e.offset;
  copy->endOffset = e.endOffset;
  return copy;
}

CommonTableExpr CloneCte(const CommonTableExpr& cte) {
  CommonTableExpr copy;
  copy.name = cte.name;
  copy.columns = cte.columns;
  if (cte.query) copy.query = CloneSelect(*cte.query);
  return copy;
}

TableRef CloneTableRef(const TableRef& ref) {
  TableRef copy;
  copy.name = ref.name;
  if (ref.derived) copy.derived = CloneSelect(*ref.derived);
  for (const TableRef& inner : ref.nested) copy.nested.push_back(CloneTableRef(inner));
  copy.alias = ref.alias;
  copy.join = ref.join;
  copy.on = CloneOrNull(ref.on);
  return copy;
}

std::unique_ptr<Select> CloneSelect(const Select& s) {
  auto copy = std::make_unique<Select>();
  for (const CommonTableExpr& cte : s.with) copy->with.push_back(CloneCte(cte));
  copy->distinct = s.distinct;
  copy->top = CloneOrNull(s.top);
  copy->topPercent = s.topPercent;
  for (const SelectItem& item : s.items) {
    SelectItem itemCopy;
    itemCopy.expr = CloneOrNull(item.expr);
    itemCopy.alias = item.alias;
    itemCopy.hasAlias = item.hasAlias;
    itemCopy.variable = item.variable;
    copy->items.push_back(std::move(itemCopy));
  }
  copy->into = s.into;
  for (const TableRef& ref : s.from) copy->from.push_back(CloneTableRef(ref));
  copy->where = CloneOrNull(s.where);
  for (const ExprPtr& g : s.groupBy) copy->groupBy.push_back(CloneOrNull(g));
  copy->grouping = s.grouping;
  copy->maxRecursion = s.maxRecursion;
  copy->having = CloneOrNull(s.having);
  for (const OrderItem& o : s.orderBy) copy->orderBy.push_back(CloneOrder(o));
  if (s.unionNext) copy->unionNext = CloneSelect(*s.unionNext);
  copy->unionAll = s.unionAll;
  return copy;
}

}  // namespace moltaro::db::embedded
