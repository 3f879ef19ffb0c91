#include "db/embedded/translator/stored_code.h"

#include <system_error>

#include "common/text.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// The single RETURN of a body (bare or in one BEGIN … END).
const ReturnStatement* OnlyReturn(const std::vector<StatementPtr>& body) {
  if (body.size() != 1) return nullptr;
  const Statement& s = *body[0];
  if (s.kind == StatementKind::Return) return static_cast<const ReturnStatement*>(&s);
  if (s.kind == StatementKind::Block) {
    return OnlyReturn(static_cast<const BlockStatement&>(s).statements);
  }
  return nullptr;
}

// Counts in `reads` how often `expr` reads each parameter; false when it
// reads anything else (other variables, @@globals, batch parameters).
bool ReadsOnlyParameters(const Expr& expr, const std::vector<RoutineParameter>& parameters,
                         std::vector<int>& reads) {
  if (expr.kind == ExprKind::Parameter) return false;
  if (expr.kind == ExprKind::Variable) {
    bool found = false;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
      if (ToUpperAscii(parameters[i].name) == ToUpperAscii(expr.text)) {
        ++reads[i];
        found = true;
      }
    }
    if (!found) return false;
  }
  for (const ExprPtr& arg : expr.args) {
    if (arg && !ReadsOnlyParameters(*arg, parameters, reads)) return false;
  }
  return true;
}

// A body the calling statement can take in: one RETURN of an expression
// without tables that reads every parameter (so every argument converts, and
// fails, as it does when the function is called) and nothing else.
const Expr* InlineBody(const CreateRoutineStatement& def) {
  const ReturnStatement* only = OnlyReturn(def.body);
  if (!only || !only->value || HasSubquery(*only->value)) return nullptr;
  std::vector<int> reads(def.parameters.size(), 0);
  if (!ReadsOnlyParameters(*only->value, def.parameters, reads)) return nullptr;
  for (int n : reads) {
    if (n == 0) return nullptr;
  }
  return only->value.get();
}

std::shared_ptr<CompiledRoutine> CompileRoutine(Catalog& catalog, const ObjectInfo& object) {
  auto routine = std::make_shared<CompiledRoutine>();
  routine->object = object;
  routine->text = catalog.CommentText(object.id);
  const bool function = object.xtype == "FN";
  routine->batch = ParseBatch(routine->text);
  if (routine->batch.statements.size() != 1 ||
      routine->batch.statements[0]->kind != StatementKind::CreateRoutine) {
    // Only CREATE writes a definition: anything else is a damaged catalogue.
    throw ServerErrorByNumber(824, {catalog.Db().File().string()});
  }
  const auto& def = static_cast<const CreateRoutineStatement&>(*routine->batch.statements[0]);
  routine->definition = &def;
  for (std::size_t i = 0; i < def.parameters.size(); ++i) {
    routine->parameterTypes.push_back(
        catalog.ResolveDeclaredType(def.parameters[i].type, static_cast<int>(i + 1)));
  }
  if (function) {
    routine->returns = catalog.ResolveDeclaredType(def.returns, 1);
    routine->inlineBody = InlineBody(def);
  }
  if (def.returnShape) {
    for (std::size_t i = 0; i < def.returnShape->columns.size(); ++i) {
      const ColumnDef& column = def.returnShape->columns[i];
      routine->tableColumns.emplace_back(
          column.name, catalog.ResolveDeclaredType(column.type, static_cast<int>(i + 1)));
    }
  }
  return routine;
}

}  // namespace

bool HasSubquery(const Expr& expr) {
  if (expr.select) return true;
  for (const ExprPtr& arg : expr.args) {
    if (arg && HasSubquery(*arg)) return true;
  }
  return false;
}

std::shared_ptr<const CompiledExpression> CompileExpression(const std::string& text) {
  auto compiled = std::make_shared<CompiledExpression>();
  compiled->batch = ParseBatch("SELECT " + text);
  const auto& select = static_cast<const SelectStatement&>(*compiled->batch.statements.at(0));
  compiled->expr = select.select->items.at(0).expr.get();
  compiled->columns = ColumnNames(*compiled->expr);
  return compiled;
}

std::shared_ptr<const CompiledRoutine> StoredCode::Routine(Catalog& catalog,
                                                           const std::string& name) {
  {
    std::lock_guard lock(mutex_);
    auto it = routines_.find(name);
    if (it != routines_.end()) return it->second;
  }
  // Compiled outside the lock: other sessions go on reading meanwhile, and
  // two that compile the same routine at once keep the first.
  std::shared_ptr<const CompiledRoutine> compiled;
  const auto object = catalog.FindObject(name);
  if (object && (object->xtype == "P " || object->xtype == "FN" || object->xtype == "IF" ||
                 object->xtype == "TF")) {
    compiled = CompileRoutine(catalog, *object);
  }
  std::lock_guard lock(mutex_);
  return routines_.emplace(name, std::move(compiled)).first->second;
}

std::vector<std::shared_ptr<const CompiledRoutine>> StoredCode::Triggers(Catalog& catalog,
                                                                         int tableId) {
  {
    std::lock_guard lock(mutex_);
    auto it = triggers_.find(tableId);
    if (it != triggers_.end()) return it->second;
  }
  std::vector<ObjectInfo> objects;
  auto stmt = catalog.Db().PrepareCached(
      "SELECT id, name FROM sysobjects WHERE parent_obj = ? AND xtype = 'TR' ORDER BY id");
  sqlite3_bind_int(stmt.get(), 1, tableId);
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    ObjectInfo o;
    o.id = sqlite3_column_int(stmt.get(), 0);
    o.name = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 1));
    o.xtype = "TR";
    o.parent = tableId;
    objects.push_back(std::move(o));
  }
  std::vector<std::shared_ptr<const CompiledRoutine>> compiled;
  for (const ObjectInfo& o : objects) compiled.push_back(CompileRoutine(catalog, o));
  std::lock_guard lock(mutex_);
  return triggers_.emplace(tableId, std::move(compiled)).first->second;
}

std::shared_ptr<const CompiledExpression> StoredCode::Expression(const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    auto it = expressions_.find(text);
    if (it != expressions_.end()) return it->second;
  }
  std::shared_ptr<const CompiledExpression> compiled = CompileExpression(text);
  std::lock_guard lock(mutex_);
  return expressions_.emplace(text, std::move(compiled)).first->second;
}

std::shared_ptr<const Translation> StoredCode::BodyTranslation(const Expr* node,
                                                               bool condition) const {
  std::lock_guard lock(mutex_);
  auto it = bodies_.find({node, condition});
  return it == bodies_.end() ? nullptr : it->second;
}

void StoredCode::KeepBodyTranslation(const Expr* node, bool condition, Translation translation) {
  auto kept = std::make_shared<const Translation>(std::move(translation));
  std::lock_guard lock(mutex_);
  bodies_.emplace(std::make_pair(node, condition), std::move(kept));
}

std::shared_ptr<StoredCode> DatabaseCode::At(int schemaVersion) {
  std::lock_guard lock(mutex_);
  if (current_ && current_->SchemaVersion() == schemaVersion) return current_;
  if (previous_ && previous_->SchemaVersion() == schemaVersion) return previous_;
  previous_ = std::move(current_);
  current_ = std::make_shared<StoredCode>(schemaVersion);
  return current_;
}

namespace {

// The databases whose code sessions of this process hold, by file.
class CodeRegistry {
 public:
  static CodeRegistry& Instance() {
    static CodeRegistry registry;
    return registry;
  }
  std::shared_ptr<DatabaseCode> For(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::path key = std::filesystem::weakly_canonical(file, error);
    if (error) key = std::filesystem::absolute(file);
    std::lock_guard lock(mutex_);
    // Drop what no session holds any more, so the map stays as small as
    // the set of open databases.
    for (auto it = databases_.begin(); it != databases_.end();) {
      it = it->second.expired() ? databases_.erase(it) : std::next(it);
    }
    std::weak_ptr<DatabaseCode>& slot = databases_[key.string()];
    std::shared_ptr<DatabaseCode> code = slot.lock();
    if (!code) {
      code = std::make_shared<DatabaseCode>();
      slot = code;
    }
    return code;
  }

 private:
  CodeRegistry() = default;
  std::mutex mutex_;
  std::map<std::string, std::weak_ptr<DatabaseCode>> databases_;
};

}  // namespace

std::shared_ptr<DatabaseCode> SharedDatabaseCode(const std::filesystem::path& file) {
  return CodeRegistry::Instance().For(file);
}

}  // namespace moltaro::db::embedded
