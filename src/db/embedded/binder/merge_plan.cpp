#include "db/embedded/binder/merge_plan.h"

#include <algorithm>
#include <string>
#include <utility>

#include "db/embedded/parser/tsql_clone.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

ExprPtr Node(ExprKind kind) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  return e;
}

ExprPtr Column(const std::string& qualifier, const std::string& name) {
  ExprPtr e = Node(ExprKind::Column);
  e->parts = {qualifier, name};
  return e;
}

ExprPtr RowIdOf(const std::string& qualifier) {
  ExprPtr e = Node(ExprKind::RowId);
  e->parts = {qualifier};
  return e;
}

ExprPtr Integer(int n) {
  ExprPtr e = Node(ExprKind::Integer);
  e->text = std::to_string(n);
  return e;
}

ExprPtr Binary(std::string op, ExprPtr a, ExprPtr b) {
  ExprPtr e = Node(ExprKind::Binary);
  e->text = std::move(op);
  e->args.push_back(std::move(a));
  e->args.push_back(std::move(b));
  return e;
}

ExprPtr IsNullOf(ExprPtr a) {
  ExprPtr e = Node(ExprKind::IsNull);
  e->args.push_back(std::move(a));
  return e;
}

// The rows of the match table that clause `numbers` act on.
ExprPtr ClauseIs(const std::string& source, const std::vector<int>& numbers) {
  if (numbers.size() == 1) return Binary("=", Column(source, kMergeClause), Integer(numbers[0]));
  ExprPtr e = Node(ExprKind::In);
  e->args.push_back(Column(source, kMergeClause));
  for (int n : numbers) e->args.push_back(Integer(n));
  return e;
}

// Which clause of one kind (WHEN MATCHED …) acts on a row: the first whose
// condition holds, else the one without a condition; NULL for none.
ExprPtr ClauseOfKind(const MergeStatement& merge, MergeMatch kind) {
  ExprPtr e = Node(ExprKind::Case);
  e->args.push_back(nullptr);
  ExprPtr otherwise;
  for (std::size_t i = 0; i < merge.clauses.size(); ++i) {
    const MergeClause& clause = merge.clauses[i];
    if (clause.match != kind) continue;
    const int number = static_cast<int>(i + 1);
    if (clause.condition) {
      e->args.push_back(CloneExpr(*clause.condition));
      e->args.push_back(Integer(number));
    } else {
      otherwise = Integer(number);
    }
  }
  if (e->args.size() == 1) return otherwise ? std::move(otherwise) : Node(ExprKind::Null);
  e->args.push_back(std::move(otherwise));
  return e;
}

std::string Written(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ".") + part;
  return text;
}

// A column of the side a clause cannot see (the target in WHEN NOT MATCHED,
// the source in BY SOURCE); subqueries have scopes of their own.
void RefuseSide(const Expr& e, const std::string& qualifier, int number,
                const Collation& collation) {
  if (e.kind == ExprKind::Column && e.parts.size() >= 2 &&
      collation.Equal(e.parts[e.parts.size() - 2], qualifier)) {
    throw ServerErrorByNumber(number, {Written(e.parts)});
  }
  for (const ExprPtr& arg : e.args) {
    if (arg) RefuseSide(*arg, qualifier, number, collation);
  }
}

void CheckClauseScopes(const MergeStatement& merge, const std::string& target,
                       const std::string& source, const Collation& collation) {
  for (const MergeClause& clause : merge.clauses) {
    if (clause.match == MergeMatch::Matched) continue;
    const bool insert = clause.match == MergeMatch::NotMatchedByTarget;
    const std::string& hidden = insert ? target : source;
    const int number = insert ? 5333 : 5334;
    if (clause.condition) RefuseSide(*clause.condition, hidden, number, collation);
    for (const ExprPtr& v : clause.values) RefuseSide(*v, hidden, number, collation);
    for (const Assignment& a : clause.assignments) RefuseSide(*a.value, hidden, number, collation);
  }
}

TableRef TargetRef(const MergeStatement& merge) {
  TableRef ref;
  ref.name = merge.target;
  ref.alias = merge.targetAlias;
  return ref;
}

// The match table under the source's name, joined to the target row it
// holds.
TableRef MatchRef(const std::string& target, const std::string& source, JoinKind join) {
  TableRef ref;
  ref.name.name = kMergeMatchTable;
  ref.alias = source;
  ref.join = join;
  if (join != JoinKind::First) {
    ref.on = Binary("=", RowIdOf(target), Column(source, kMergeTargetRow));
  }
  return ref;
}

std::unique_ptr<Select> MatchQuery(const MergeStatement& merge, const std::string& target,
                                   const std::string& source) {
  bool inserts = false, bySource = false;
  for (const MergeClause& clause : merge.clauses) {
    inserts = inserts || clause.match == MergeMatch::NotMatchedByTarget;
    bySource = bySource || clause.match == MergeMatch::NotMatchedBySource;
  }
  // The source's rows, each marked, so that a target row without one shows.
  auto marked = std::make_unique<Select>();
  SelectItem all;
  all.expr = Node(ExprKind::Star);
  marked->items.push_back(std::move(all));
  SelectItem mark;
  mark.expr = Integer(1);
  mark.alias = "moltaro_source_row";
  mark.hasAlias = true;
  marked->items.push_back(std::move(mark));
  marked->from.push_back(CloneTableRef(merge.source));
  marked->from.back().join = JoinKind::First;

  auto query = std::make_unique<Select>();
  for (const CommonTableExpr& cte : merge.with) query->with.push_back(CloneCte(cte));
  SelectItem sourceColumns;
  sourceColumns.expr = Node(ExprKind::Star);
  sourceColumns.expr->parts = {source};
  query->items.push_back(std::move(sourceColumns));
  SelectItem row;
  row.expr = RowIdOf(target);
  row.alias = kMergeTargetRow;
  row.hasAlias = true;
  query->items.push_back(std::move(row));
  ExprPtr clause = Node(ExprKind::Case);
  clause->args.push_back(nullptr);
  clause->args.push_back(IsNullOf(RowIdOf(target)));
  clause->args.push_back(ClauseOfKind(merge, MergeMatch::NotMatchedByTarget));
  clause->args.push_back(IsNullOf(Column(source, "moltaro_source_row")));
  clause->args.push_back(ClauseOfKind(merge, MergeMatch::NotMatchedBySource));
  clause->args.push_back(ClauseOfKind(merge, MergeMatch::Matched));
  SelectItem clauseItem;
  clauseItem.expr = std::move(clause);
  clauseItem.alias = kMergeClause;
  clauseItem.hasAlias = true;
  query->items.push_back(std::move(clauseItem));
  TableRef sourceRef;
  sourceRef.derived = std::move(marked);
  sourceRef.alias = source;
  query->from.push_back(std::move(sourceRef));
  TableRef targetRef = TargetRef(merge);
  targetRef.join = inserts && bySource ? JoinKind::Full
                   : inserts           ? JoinKind::Left
                   : bySource          ? JoinKind::Right
                                       : JoinKind::Inner;
  targetRef.on = CloneExpr(*merge.on);
  query->from.push_back(std::move(targetRef));
  return query;
}

// The value an UPDATE clause gives a column, compound assignments spelled
// out: `a += x` is `a + x`.
ExprPtr AssignedValue(const Assignment& a, const std::string& target, const std::string& column) {
  if (a.op == "=") return CloneExpr(*a.value);
  return Binary(a.op.substr(0, 1), Column(target, column), CloneExpr(*a.value));
}

std::unique_ptr<UpdateStatement> UpdateOf(const MergeStatement& merge,
                                          const std::vector<int>& clauses,
                                          const std::string& target, const std::string& source,
                                          const Collation& collation) {
  auto update = std::make_unique<UpdateStatement>();
  update->table.name = target;
  update->from.push_back(TargetRef(merge));
  update->from.push_back(MatchRef(target, source, JoinKind::Inner));
  update->where = ClauseIs(source, clauses);
  if (clauses.size() == 1) {
    for (const Assignment& a :
         merge.clauses[static_cast<std::size_t>(clauses[0] - 1)].assignments) {
      Assignment copy;
      copy.column = a.column;
      copy.op = a.op;
      copy.value = CloneExpr(*a.value);
      update->assignments.push_back(std::move(copy));
    }
    return update;
  }
  // Two clauses (WHEN MATCHED and BY SOURCE) update: one UPDATE, so that
  // the target's UPDATE triggers fire once; each column takes the value of
  // the clause acting on the row, or keeps its own.
  std::vector<std::string> columns;
  for (int number : clauses) {
    for (const Assignment& a : merge.clauses[static_cast<std::size_t>(number - 1)].assignments) {
      bool known = false;
      for (const std::string& c : columns) known = known || collation.Equal(c, a.column.back());
      if (!known) columns.push_back(a.column.back());
    }
  }
  for (const std::string& column : columns) {
    ExprPtr value = Node(ExprKind::Case);
    value->args.push_back(nullptr);
    for (int number : clauses) {
      for (const Assignment& a : merge.clauses[static_cast<std::size_t>(number - 1)].assignments) {
        if (!collation.Equal(a.column.back(), column)) continue;
        value->args.push_back(Binary("=", Column(source, kMergeClause), Integer(number)));
        value->args.push_back(AssignedValue(a, target, column));
      }
    }
    value->args.push_back(Column(target, column));
    Assignment assignment;
    assignment.column = {column};
    assignment.value = std::move(value);
    update->assignments.push_back(std::move(assignment));
  }
  return update;
}

std::unique_ptr<InsertStatement> InsertOf(const MergeStatement& merge, int number,
                                          const std::string& source) {
  const MergeClause& clause = merge.clauses[static_cast<std::size_t>(number - 1)];
  auto insert = std::make_unique<InsertStatement>();
  insert->table = merge.target;
  insert->select = std::make_unique<Select>();
  Select& rows = *insert->select;
  rows.from.push_back(MatchRef(std::string(), source, JoinKind::First));
  rows.where = ClauseIs(source, {number});
  const auto isDefault = [](const ExprPtr& v) {
    return v->kind == ExprKind::Function && v->text == "DEFAULT";
  };
  if (!clause.columns.empty() && clause.values.size() != clause.columns.size()) {
    throw ServerErrorByNumber(clause.values.size() > clause.columns.size() ? 110 : 109);
  }
  for (std::size_t i = 0; i < clause.values.size(); ++i) {
    if (isDefault(clause.values[i])) {
      // A column given DEFAULT is one the INSERT leaves out.
      if (clause.columns.empty()) {
        throw DatabaseError(NotSupported("DEFAULT in a MERGE INSERT without a column list"));
      }
      continue;
    }
    if (!clause.columns.empty()) insert->columns.push_back(clause.columns[i]);
    SelectItem item;
    item.expr = CloneExpr(*clause.values[i]);
    rows.items.push_back(std::move(item));
  }
  if (rows.items.empty()) {
    // DEFAULT VALUES: a row of defaults for each source row.
    insert->defaultValues = true;
    insert->columns.clear();
    SelectItem one;
    one.expr = Integer(1);
    rows.items.push_back(std::move(one));
  }
  return insert;
}

bool Named(const std::vector<std::string>& names, const std::string& name,
           const Collation& collation) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return collation.Equal(n, name); });
}

void RefuseBareColumn(const Expr& e, const std::vector<std::string>& visible,
                      const std::vector<std::string>& hidden, int number,
                      const Collation& collation) {
  if (e.kind == ExprKind::Column && e.parts.size() == 1 && Named(hidden, e.parts[0], collation) &&
      !Named(visible, e.parts[0], collation)) {
    throw ServerErrorByNumber(number, {e.parts[0]});
  }
  for (const ExprPtr& arg : e.args) {
    if (arg) RefuseBareColumn(*arg, visible, hidden, number, collation);
  }
}

}  // namespace

void CheckMergeClauseColumns(const MergeStatement& merge,
                             const std::vector<std::string>& targetColumns,
                             const std::vector<std::string>& sourceColumns,
                             const Collation& collation) {
  for (const MergeClause& clause : merge.clauses) {
    if (clause.match == MergeMatch::Matched) continue;
    const bool insert = clause.match == MergeMatch::NotMatchedByTarget;
    const auto& visible = insert ? sourceColumns : targetColumns;
    const auto& hidden = insert ? targetColumns : sourceColumns;
    const int number = insert ? 5333 : 5334;
    const auto check = [&](const Expr& e) {
      RefuseBareColumn(e, visible, hidden, number, collation);
    };
    if (clause.condition) check(*clause.condition);
    for (const ExprPtr& v : clause.values) check(*v);
    for (const Assignment& a : clause.assignments) check(*a.value);
  }
}

MergePlan PlanMerge(const MergeStatement& merge, const Collation& collation) {
  const std::string target = merge.targetAlias.empty() ? merge.target.name : merge.targetAlias;
  const std::string source =
      merge.source.alias.empty() ? merge.source.name.name : merge.source.alias;
  if (collation.Equal(target, source)) throw ServerErrorByNumber(5318);
  CheckClauseScopes(merge, target, source, collation);
  MergePlan plan;
  plan.match = MatchQuery(merge, target, source);
  std::vector<int> updates, deletes;
  int insert = 0;
  for (std::size_t i = 0; i < merge.clauses.size(); ++i) {
    const MergeClause& clause = merge.clauses[i];
    const int number = static_cast<int>(i + 1);
    if (clause.match == MergeMatch::Matched) plan.matchedClauses.push_back(number);
    switch (clause.action) {
      case MergeAction::Update:
        updates.push_back(number);
        if (clause.match == MergeMatch::Matched) plan.matchedUpdates.push_back(number);
        break;
      case MergeAction::Delete:
        deletes.push_back(number);
        break;
      case MergeAction::Insert:
        insert = number;
        break;
    }
  }
  if (!deletes.empty()) {
    plan.del = std::make_unique<DeleteStatement>();
    plan.del->table.name = target;
    plan.del->from.push_back(TargetRef(merge));
    plan.del->from.push_back(MatchRef(target, source, JoinKind::Inner));
    plan.del->where = ClauseIs(source, deletes);
  }
  if (!updates.empty()) plan.update = UpdateOf(merge, updates, target, source, collation);
  if (insert) plan.insert = InsertOf(merge, insert, source);
  return plan;
}

}  // namespace moltaro::db::embedded
