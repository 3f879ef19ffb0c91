#include "db/embedded/execution/interpreter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/catalog/metadata_functions.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

constexpr int kMaxProcedureNesting = 32;

std::string Key(const std::string& name) {
  return ToUpperAscii(name);
}

// A value as a number for compound assignment (SET @v += …).
double AsDouble(const Value& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  const std::string text = ToText(v);
  auto number = ParseNumberText(text);
  if (!number) {
    throw ServerErrorByNumber(245, {"varchar", text, "int"});
  }
  return *number;
}

// A value as text, as SQL Server converts it for PRINT, RAISERROR and "+".
std::string TextOf(const StoredValue& v) {
  if (const auto* d = std::get_if<Decimal>(&v)) return DecimalCastText(*d);
  return ToText(ToApiValue(v));
}

// SET @v += … on exact numbers.
StoredValue ExactCompound(char op, const StoredValue& current, const StoredValue& operand) {
  Decimal a, b, r;
  SqlError error;
  if (!ToDecimal(SourceValue{current, false}, a, error) ||
      !ToDecimal(SourceValue{operand, false}, b, error)) {
    throw DatabaseError(error.message, error.number);
  }
  const ExactOp exact = op == '+'   ? ExactOp::Add
                        : op == '-' ? ExactOp::Subtract
                        : op == '*' ? ExactOp::Multiply
                        : op == '/' ? ExactOp::Divide
                                    : ExactOp::Modulo;
  if (!DecimalArithmetic(exact, a, b, r, error)) throw DatabaseError(error.message, error.number);
  return r;
}

// The table a translated INSERT, UPDATE or DELETE writes ("dbo.T"), for
// messages that name it; empty for other statements.
std::string TargetOf(std::string_view sql) {
  for (std::string_view head : {"INSERT INTO \"", "UPDATE \"", "DELETE FROM \""}) {
    if (sql.substr(0, head.size()) != head) continue;
    std::string name;
    for (std::size_t i = head.size(); i < sql.size(); ++i) {
      if (sql[i] == '"') {
        if (i + 1 < sql.size() && sql[i + 1] == '"') {
          name += '"';
          ++i;
          continue;
        }
        return "dbo." + name;
      }
      name += sql[i];
    }
  }
  return "";
}

// SQL Server's message for SQLite's failures: unique indexes here, the
// server's conditions (locks, space, I/O) by the connection.
[[noreturn]] void ThrowStepError(SessionHost& host, sqlite3_stmt* stmt) {
  sqlite3* db = sqlite3_db_handle(stmt);
  const int code = sqlite3_extended_errcode(db);
  const std::string message = sqlite3_errmsg(db);
  if (code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY) {
    // "UNIQUE constraint failed: T.a, T.b"
    std::string list = message.substr(message.find(':') + 1);
    std::string table = Trim(list.substr(0, list.find('.')));
    std::string constraint, kind = "UNIQUE KEY";
    bool plainIndex = false;
    try {
      Catalog& catalog = host.CurrentCatalog();
      auto stmt = catalog.Db().Prepare(
          "SELECT i.name, i.status, (SELECT group_concat(c.name, ', ') FROM (SELECT k.colid FROM "
          "sysindexkeys k WHERE k.id = i.id AND k.indid = i.indid ORDER BY k.keyno) kk JOIN "
          "syscolumns c ON c.id = i.id AND c.colid = kk.colid) FROM sysindexes i JOIN sysobjects "
          "o ON o.id = i.id WHERE o.name = ? AND (i.status & 2) = 2");
      sqlite3_bind_text(stmt.get(), 1, table.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
        std::string cols = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 2));
        std::string expected;
        std::size_t pos = 0;
        while (pos < list.size()) {
          std::size_t end = list.find(',', pos);
          if (end == std::string::npos) end = list.size();
          std::string item = Trim(list.substr(pos, end - pos));
          item = item.substr(item.find('.') + 1);
          expected += (expected.empty() ? "" : ", ") + item;
          pos = end + 1;
        }
        if (ToUpperAscii(cols) == ToUpperAscii(expected)) {
          constraint = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), 0));
          const int status = sqlite3_column_int(stmt.get(), 1);
          if (status & 0x800) kind = "PRIMARY KEY";
          plainIndex = (status & 0x1800) == 0;
        }
      }
    } catch (const std::exception&) {
    }
    if (plainIndex) {
      throw ServerErrorByNumber(2601, {"dbo." + table, constraint});
    }
    throw ServerErrorByNumber(2627, {kind, constraint, "dbo." + table});
  }
  throw host.CurrentDb().Failure(TargetOf(sqlite3_sql(stmt)));
}

}  // namespace

namespace {

// Binds and steps one prepared statement; the statement is reset on return.
StatementOutcome Step(SessionHost& host, const Translation& t, const Params& params,
                      const std::function<Value(const std::string&)>& variable, bool keepExact) {
  sqlite3_stmt* stmt = host.Statement(SqlFor(t, params));
  sqlite3* db = sqlite3_db_handle(stmt);
  struct Reset {
    sqlite3_stmt* s;
    ~Reset() {
      sqlite3_reset(s);
      sqlite3_clear_bindings(s);
    }
  } reset{stmt};
  for (std::size_t i = 0; i < t.bindings.size(); ++i) {
    const Binding& b = t.bindings[i];
    if (b.isVariable) {
      BindValue(stmt, static_cast<int>(i + 1), variable(b.variable));
    } else {
      if (b.parameter >= static_cast<int>(params.size())) {
        throw DatabaseError("The statement has " + std::to_string(b.parameter + 1) +
                                " or more parameters but only " + std::to_string(params.size()) +
                                " values were supplied.",
                            8178);
      }
      BindValue(stmt, static_cast<int>(i + 1), params[static_cast<std::size_t>(b.parameter)]);
    }
  }
  StatementOutcome outcome;
  const int columns = sqlite3_column_count(stmt);
  SqliteDb& connection = host.CurrentDb();
  connection.StartStatement();
  while (true) {
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      if (t.returnsRows && keepExact) {
        std::vector<StoredValue> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i) row.push_back(ColumnStoredValue(stmt, i));
        outcome.exactRows.push_back(std::move(row));
      } else if (t.returnsRows) {
        std::vector<Value> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i) row.push_back(ColumnValue(stmt, i));
        outcome.rows.push_back(std::move(row));
      }
      continue;
    }
    if (rc == SQLITE_DONE) break;
    if (connection.WaitAndRetry(rc)) {
      sqlite3_reset(stmt);
      outcome.rows.clear();
      continue;
    }
    ThrowStepError(host, stmt);
  }
  outcome.changes = t.returnsRows
                        ? static_cast<long long>(outcome.rows.size() + outcome.exactRows.size())
                        : sqlite3_changes(db);
  return outcome;
}

}  // namespace

StatementOutcome RunTranslation(SessionHost& host, const Translation& t, const Params& params,
                                const std::function<Value(const std::string&)>& variable,
                                bool keepExact) {
  StatementOutcome outcome = Step(host, t, params, variable, keepExact);
  if (t.identityTable && outcome.changes > 0) {
    // After the insert's statement is reset: fetching another statement may
    // recycle the statement cache.
    sqlite3_stmt* last =
        host.Statement("SELECT last FROM moltaro_identity WHERE id = ?1 AND used = 1");
    sqlite3_bind_int(last, 1, t.identityTable);
    if (sqlite3_step(last) == SQLITE_ROW) host.LastIdentity() = ColumnValue(last, 0);
    sqlite3_reset(last);
  }
  return outcome;
}

// ---- variables -------------------------------------------------------------

std::optional<SqlType> Interpreter::Frame::TypeOf(const std::string& name) const {
  const std::string key = Key(name);
  // numeric(38,0) in SQL Server; identities here are integers, and a
  // numeric(18,0) stays one, so "id = @@IDENTITY" keeps using the key.
  if (key == "@@IDENTITY") return SqlType{BaseType::Numeric, 0, 18, 0};
  if (key == "@@ROWCOUNT" || key == "@@ERROR" || key == "@@TRANCOUNT" || key == "@@SPID" ||
      key == "@@NESTLEVEL") {
    return SqlType{BaseType::Int, 0, 0, 0};
  }
  if (key == "@@VERSION" || key == "@@SERVERNAME" || key == "@@SERVICENAME" ||
      key == "@@LANGUAGE") {
    return SqlType{BaseType::NVarChar, 128, 0, 0};
  }
  auto it = vars_.find(key);
  if (it == vars_.end()) return std::nullopt;
  return it->second.type;
}

Interpreter::Variable* Interpreter::Frame::Find(const std::string& name) {
  auto it = vars_.find(Key(name));
  return it == vars_.end() ? nullptr : &it->second;
}

void Interpreter::Frame::Declare(const std::string& name, const SqlType& type, StoredValue value) {
  const std::string key = Key(name);
  if (vars_.count(key)) {
    throw ServerErrorByNumber(134, {name});
  }
  vars_[key] = Variable{type, std::move(value)};
}

std::function<Value(const std::string&)> Interpreter::Reader(Context& c) {
  return [this, &c](const std::string& name) -> Value {
    const std::string key = Key(name);
    if (key == "@@ROWCOUNT") return std::int64_t{c.frame->rowCount};
    if (key == "@@IDENTITY") return host_.LastIdentity();
    if (key == "@@ERROR") return std::int64_t{0};
    if (key == "@@TRANCOUNT") return std::int64_t{host_.TranCount()};
    if (key == "@@SPID") return std::int64_t{51};
    if (key == "@@NESTLEVEL") return std::int64_t{c.depth};
    if (key == "@@VERSION") return VersionText();
    if (key == "@@SERVERNAME") return std::string(kServerName);
    if (key == "@@SERVICENAME") return std::string("MSSQLSERVER");
    if (key == "@@LANGUAGE") return std::string("us_english");
    Variable* v = c.frame->Find(name);
    if (!v) throw ServerErrorByNumber(137, {name});
    return ToApiValue(v->value);
  };
}

void Interpreter::Assign(Context& c, const std::string& name, const StoredValue& value) {
  Variable* v = c.frame->Find(name);
  if (!v) throw ServerErrorByNumber(137, {name});
  SourceValue in;
  in.value = value;
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, v->type, false, out, error)) {
    throw DatabaseError(error.message, error.number);
  }
  v->value = std::move(out);
}

StoredValue Interpreter::Evaluate(const Expr& e, Context& c) {
  // Constants need no round trip through SQLite.
  switch (e.kind) {
    case ExprKind::Null:
      return std::monostate{};
    case ExprKind::Integer:
      return std::int64_t{std::stoll(e.text)};
    case ExprKind::String:
      return e.text;
    case ExprKind::Variable:
      if (Variable* v = c.frame->Find(e.text)) return v->value;
      return FromApiValue(Reader(c)(e.text));
    case ExprKind::Parameter:
      if (e.index < static_cast<int>(c.params->size()))
        return FromApiValue((*c.params)[static_cast<std::size_t>(e.index)]);
      break;
    default:
      break;
  }
  const std::shared_ptr<const Translation> tr = Translate(e, c, false);
  StatementOutcome o = RunTranslation(host_, *tr, *c.params, Reader(c), true);
  return o.exactRows.empty() ? StoredValue{} : o.exactRows[0][0];
}

bool Interpreter::Condition(const Expr& e, Context& c) {
  const std::shared_ptr<const Translation> tr = Translate(e, c, true);
  StatementOutcome o = RunTranslation(host_, *tr, *c.params, Reader(c));
  return !o.rows.empty() && std::holds_alternative<std::int64_t>(o.rows[0][0]) &&
         std::get<std::int64_t>(o.rows[0][0]) == 1;
}

std::shared_ptr<const Translation> Interpreter::Translate(const Expr& e, Context& c,
                                                          bool condition) {
  // A body's expression is kept with the code it belongs to while the
  // schema is still the one it was compiled under (a routine may change
  // the schema as it runs). Its variables' types are those of their
  // DECLAREs, the same on every call. Subqueries are translated each time:
  // they may name the session's temporary tables.
  StoredCode* code = nullptr;
  if (c.code && !HasSubquery(e) && host_.Code().get() == c.code) code = c.code;
  if (code) {
    if (auto kept = code->BodyTranslation(&e, condition)) return kept;
  }
  Translator t(host_.CurrentCatalog(), c.frame, host_.Functions());
  Translation tr = t.Value(e);
  if (condition) {
    for (std::string* sql : {&tr.sql, &tr.numberSql}) {
      if (!sql->empty()) *sql = "SELECT CASE WHEN " + sql->substr(7) + " THEN 1 ELSE 0 END";
    }
  }
  if (code) {
    code->KeepBodyTranslation(&e, condition, tr);
    return code->BodyTranslation(&e, condition);
  }
  return std::make_shared<const Translation>(std::move(tr));
}

// ---- statements ------------------------------------------------------------

void Interpreter::RunBatch(std::string_view text, const Batch& batch, const Params& params,
                           BatchResult& out) {
  Frame frame;
  Context c{text, &params, &out, &frame, 0};
  try {
    RunList(batch.statements, c);
  } catch (const DatabaseError&) {
    // A failing batch does not leave a transaction open behind the caller's
    // back (as with XACT_ABORT ON): what it began is rolled back.
    if (host_.TranCount() > 0) {
      try {
        EndTransaction("ROLLBACK");
      } catch (const DatabaseError&) {
      }
    }
    throw;
  }
}

Interpreter::Flow Interpreter::RunList(const std::vector<StatementPtr>& list, Context& c) {
  for (const StatementPtr& s : list) {
    const Flow f = Run(*s, c);
    if (f != Flow::Normal) return f;
  }
  return Flow::Normal;
}

void Interpreter::RunQuery(const SelectStatement& s, Context& c) {
  Translator t(host_.CurrentCatalog(), c.frame, host_.Functions());
  Translation tr = t.Query(*s.select);
  const bool assigns = !tr.variables.empty();
  StatementOutcome o = RunTranslation(host_, tr, *c.params, Reader(c), assigns);
  c.frame->rowCount = o.changes;
  if (assigns) {
    // SELECT @v = …: every row assigns; the last one stays.
    for (const auto& row : o.exactRows) {
      for (std::size_t i = 0; i < row.size(); ++i) Assign(c, tr.variables[i], row[i]);
    }
    return;
  }
  c.out->results.emplace_back(tr.columns, std::move(o.rows));
}

void Interpreter::RunChange(const Translation& t, Context& c) {
  StatementOutcome o = RunTranslation(host_, t, *c.params, Reader(c));
  c.frame->rowCount = o.changes;
  c.out->rowsAffected = o.changes;
}

// Database statements work on master through connections of their own, which
// would wait for ever behind this session's own transaction.
void Interpreter::RefuseInTransaction(const char* statement) {
  if (host_.TranCount() > 0) {
    throw ServerErrorByNumber(226, {statement});
  }
}

Interpreter::Flow Interpreter::Run(const Statement& s, Context& c) {
  host_.CheckDeadline();
  Catalog& catalog = host_.CurrentCatalog();
  switch (s.kind) {
    case StatementKind::Select:
      RunQuery(static_cast<const SelectStatement&>(s), c);
      return Flow::Normal;
    case StatementKind::Insert: {
      Translator t(catalog, c.frame, host_.Functions());
      RunChange(t.Insert(static_cast<const InsertStatement&>(s)), c);
      return Flow::Normal;
    }
    case StatementKind::Update: {
      Translator t(catalog, c.frame, host_.Functions());
      RunChange(t.Update(static_cast<const UpdateStatement&>(s)), c);
      return Flow::Normal;
    }
    case StatementKind::Delete: {
      Translator t(catalog, c.frame, host_.Functions());
      RunChange(t.Delete(static_cast<const DeleteStatement&>(s)), c);
      return Flow::Normal;
    }
    case StatementKind::Truncate:
      Ddl(catalog, c.text, host_.Code().get()).Truncate(static_cast<const TruncateStatement&>(s));
      return Flow::Normal;
    case StatementKind::CreateTable:
      Ddl(catalog, c.text, host_.Code().get())
          .CreateTable(static_cast<const CreateTableStatement&>(s));
      return Flow::Normal;
    case StatementKind::DropTable:
      Ddl(catalog, c.text, host_.Code().get()).DropTable(static_cast<const DropTableStatement&>(s));
      return Flow::Normal;
    case StatementKind::AlterTable:
      Ddl(catalog, c.text, host_.Code().get())
          .AlterTable(static_cast<const AlterTableStatement&>(s));
      return Flow::Normal;
    case StatementKind::CreateIndex:
      Ddl(catalog, c.text, host_.Code().get())
          .CreateIndex(static_cast<const CreateIndexStatement&>(s));
      return Flow::Normal;
    case StatementKind::DropIndex:
      Ddl(catalog, c.text, host_.Code().get()).DropIndex(static_cast<const DropIndexStatement&>(s));
      return Flow::Normal;
    case StatementKind::CreateRoutine:
      Ddl(catalog, c.text, host_.Code().get())
          .CreateRoutine(static_cast<const CreateRoutineStatement&>(s));
      return Flow::Normal;
    case StatementKind::DropRoutine:
      Ddl(catalog, c.text, host_.Code().get())
          .DropRoutine(static_cast<const DropRoutineStatement&>(s));
      return Flow::Normal;
    case StatementKind::CreateDatabase:
      RefuseInTransaction("CREATE DATABASE");
      host_.GetServer().CreateDatabase(static_cast<const CreateDatabaseStatement&>(s));
      return Flow::Normal;
    case StatementKind::AlterDatabase:
      RefuseInTransaction("ALTER DATABASE");
      host_.GetServer().AlterDatabase(static_cast<const AlterDatabaseStatement&>(s));
      return Flow::Normal;
    case StatementKind::DropDatabase:
      RefuseInTransaction("DROP DATABASE");
      host_.GetServer().DropDatabase(static_cast<const DropDatabaseStatement&>(s),
                                     catalog.DatabaseName());
      return Flow::Normal;
    case StatementKind::Use:
      if (c.depth > 0) {
        throw ServerErrorByNumber(154,
                                  {"a USE database statement", "a procedure, function or trigger"});
      }
      host_.Use(static_cast<const UseStatement&>(s).database);
      return Flow::Normal;
    case StatementKind::Exec:
      Exec(static_cast<const ExecStatement&>(s), c);
      return Flow::Normal;
    case StatementKind::Declare: {
      for (const DeclareItem& item : static_cast<const DeclareStatement&>(s).items) {
        SqlType type = ResolveType(item.type, 1);
        c.frame->Declare(item.name, type, StoredValue{});
        if (item.initial) Assign(c, item.name, Evaluate(*item.initial, c));
      }
      return Flow::Normal;
    }
    case StatementKind::SetVariable: {
      const auto& set = static_cast<const SetVariableStatement&>(s);
      StoredValue v = Evaluate(*set.value, c);
      if (set.op != "=") {
        Variable* var = c.frame->Find(set.variable);
        if (!var) throw ServerErrorByNumber(137, {set.variable});
        const std::string op(1, set.op[0]);
        const StoredValue current = var->value;
        if (IsNull(ToApiValue(current)) || IsNull(ToApiValue(v))) {
          v = StoredValue{};
        } else if (op == "+" && IsCharacter(var->type.base)) {
          v = TextOf(current) + TextOf(v);
        } else if (IsExact(var->type.base) || std::holds_alternative<Decimal>(v)) {
          v = ExactCompound(set.op[0], current, v);
        } else {
          const double a = AsDouble(ToApiValue(current));
          const double b = AsDouble(ToApiValue(v));
          if (op == "/" && b == 0) throw ServerErrorByNumber(8134);
          double r = op == "+" ? a + b : op == "-" ? a - b : op == "*" ? a * b : a / b;
          if (IsInteger(var->type.base) && op == "/") r = std::trunc(r);
          v = r;
        }
      }
      Assign(c, set.variable, v);
      return Flow::Normal;
    }
    case StatementKind::SetOption:
      SetOption(static_cast<const SetOptionStatement&>(s), c);
      return Flow::Normal;
    case StatementKind::If: {
      const auto& i = static_cast<const IfStatement&>(s);
      if (Condition(*i.condition, c)) return Run(*i.then, c);
      if (i.otherwise) return Run(*i.otherwise, c);
      return Flow::Normal;
    }
    case StatementKind::While: {
      const auto& w = static_cast<const WhileStatement&>(s);
      while (Condition(*w.condition, c)) {
        const Flow f = Run(*w.body, c);
        if (f == Flow::Break) break;
        if (f == Flow::Return) return f;
      }
      return Flow::Normal;
    }
    case StatementKind::Block:
      return RunList(static_cast<const BlockStatement&>(s).statements, c);
    case StatementKind::Break:
      return Flow::Break;
    case StatementKind::Continue:
      return Flow::Continue;
    case StatementKind::Return: {
      const auto& r = static_cast<const ReturnStatement&>(s);
      c.frame->returnValue = r.value ? Evaluate(*r.value, c) : StoredValue{};
      return Flow::Return;
    }
    case StatementKind::Dbcc:
      RunDbcc(static_cast<const DbccStatement&>(s), c);
      return Flow::Normal;
    case StatementKind::Checkpoint:
      Checkpoint();
      return Flow::Normal;
    case StatementKind::UpdateStatistics:
      UpdateStatistics(static_cast<const UpdateStatisticsStatement&>(s));
      return Flow::Normal;
    case StatementKind::Permission:
      CheckPermissionStatement(static_cast<const PermissionStatement&>(s));
      return Flow::Normal;
    case StatementKind::CreateSchema:
      Ddl(catalog, c.text, host_.Code().get()).CreateSchema(static_cast<const SchemaStatement&>(s));
      return Flow::Normal;
    case StatementKind::DropSchema:
      Ddl(catalog, c.text, host_.Code().get()).DropSchema(static_cast<const SchemaStatement&>(s));
      return Flow::Normal;
    case StatementKind::Unsupported:
      throw DatabaseError(static_cast<const UnsupportedStatement&>(s).message);
    case StatementKind::Print:
      c.out->messages.push_back(TextOf(Evaluate(*static_cast<const PrintStatement&>(s).value, c)));
      return Flow::Normal;
    case StatementKind::Raiserror: {
      const auto& r = static_cast<const RaiserrorStatement&>(s);
      std::string message = TextOf(Evaluate(*r.args.at(0), c));
      const long long severity =
          r.args.size() > 1 ? ToInteger(ToApiValue(Evaluate(*r.args[1], c))) : 16;
      // printf-style substitutions %s / %d / %i.
      std::string formatted;
      std::size_t arg = 3;
      for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '%' && i + 1 < message.size()) {
          const char k = message[i + 1];
          if (k == '%') {
            formatted += '%';
            ++i;
            continue;
          }
          if (k == 's' || k == 'd' || k == 'i' || k == 'u') {
            formatted +=
                arg < r.args.size() ? TextOf(Evaluate(*r.args[arg++], c)) : std::string("(null)");
            ++i;
            continue;
          }
        }
        formatted += message[i];
      }
      if (severity > 10) {
        throw DatabaseError(formatted, 50000, static_cast<int>(std::min(severity, 25LL)));
      }
      c.out->messages.push_back(formatted);
      return Flow::Normal;
    }
    case StatementKind::Transaction: {
      const std::string& action = static_cast<const TransactionStatement&>(s).action;
      SqliteDb& db = catalog.Db();
      if (action == "BEGIN") {
        // The write lock is taken here and waited for under LOCK_TIMEOUT: a
        // transaction that read first could not get it later without
        // giving up what it read.
        if (host_.TranCount() == 0) db.BeginImmediate();
        ++host_.TranCount();
      } else if (action == "COMMIT") {
        if (host_.TranCount() == 0) {
          throw ServerErrorByNumber(3902);
        }
        if (host_.TranCount() == 1) {
          EndTransaction("COMMIT");
        } else {
          --host_.TranCount();
        }
      } else {
        if (host_.TranCount() == 0) {
          throw ServerErrorByNumber(3903);
        }
        EndTransaction("ROLLBACK");
      }
      return Flow::Normal;
    }
  }
  return Flow::Normal;
}

void Interpreter::EndTransaction(const char* sqliteStatement) {
  host_.TranCount() = 0;
  host_.ApplicationLocks().ReleaseTransactionLocks();
  host_.CurrentCatalog().Db().Exec(sqliteStatement);
  host_.TransactionEnded();
}

// ---- procedures ------------------------------------------------------------

void Interpreter::Exec(const ExecStatement& s, Context& c) {
  if (s.dynamicSql) {
    const std::string text = TextOf(Evaluate(*s.dynamicSql, c));
    Batch batch = ParseBatch(text);
    Frame frame;
    Params none;
    Context inner{text, &none, c.out, &frame, c.depth};
    // A USE inside EXEC ('…') lasts until the EXEC ends, as in SQL Server.
    const std::string database = host_.CurrentCatalog().DatabaseName();
    auto restore = [&] {
      if (host_.CurrentCatalog().DatabaseName() != database) host_.Use(database);
    };
    try {
      RunList(batch.statements, inner);
    } catch (const DatabaseError&) {
      try {
        restore();
      } catch (const DatabaseError&) {
      }
      throw;
    }
    restore();
    c.frame->rowCount = frame.rowCount;
    return;
  }
  std::vector<CallArgument> args;
  for (const ExecArgument& a : s.arguments) {
    CallArgument arg;
    arg.name = a.name;
    arg.output = a.output;
    if (a.value) {
      arg.value = Evaluate(*a.value, c);
      if (a.output) {
        if (a.value->kind != ExprKind::Variable) {
          throw ServerErrorByNumber(8162, {a.name});
        }
        const std::string var = a.value->text;
        arg.writeBack = [this, &c, var](const StoredValue& v) { Assign(c, var, v); };
      }
    }
    args.push_back(std::move(arg));
  }
  Value result = InvokeProcedure(s.procedure.name, args, c);
  if (!s.returnVariable.empty()) Assign(c, s.returnVariable, FromApiValue(result));
}

Value Interpreter::InvokeProcedure(const std::string& rawName, std::vector<CallArgument>& args,
                                   Context& caller) {
  if (caller.depth >= kMaxProcedureNesting) {
    throw ServerErrorByNumber(217, {"32"});
  }
  std::string name = rawName;
  if (const auto semi = name.find(';'); semi != std::string::npos) name = name.substr(0, semi);
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name = name.substr(dot + 1);
  if (name.size() > 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  if (std::optional<Value> result = SystemProcedure(name, args, caller)) return *result;
  Catalog& catalog = host_.CurrentCatalog();
  const std::shared_ptr<StoredCode> code = host_.Code();
  const std::shared_ptr<const CompiledRoutine> routine = code->Routine(catalog, name);
  if (!routine || routine->object.xtype != "P ") {
    if (IsUnsupportedSystemProcedure(name)) {
      throw DatabaseError(NotSupported("system procedure " + ToLowerAscii(name)));
    }
    throw ServerErrorByNumber(2812, {name});
  }
  const ObjectInfo* object = &routine->object;
  const CreateRoutineStatement& def = *routine->definition;
  Frame frame;
  Params none;
  Context inner{routine->text, &none, caller.out, &frame, caller.depth + 1, code.get()};
  std::vector<bool> given(def.parameters.size(), false);
  std::vector<std::function<void(const StoredValue&)>> writeBacks(def.parameters.size());
  std::size_t position = 0;
  for (std::size_t i = 0; i < def.parameters.size(); ++i) {
    frame.Declare(def.parameters[i].name, routine->parameterTypes[i], StoredValue{});
  }
  for (CallArgument& a : args) {
    std::size_t index = def.parameters.size();
    if (!a.name.empty()) {
      for (std::size_t i = 0; i < def.parameters.size(); ++i) {
        if (Key(def.parameters[i].name) == Key(a.name)) index = i;
      }
      if (index == def.parameters.size()) {
        throw ServerErrorByNumber(8144, {object->name});
      }
      if (Key(a.name) == "@RETURN_VALUE") continue;
    } else {
      index = position++;
      if (index >= def.parameters.size()) {
        throw ServerErrorByNumber(8144, {object->name});
      }
    }
    const RoutineParameter& p = def.parameters[index];
    if (a.value) {
      inner.frame = &frame;
      Assign(inner, p.name, *a.value);
      given[index] = true;
    }
    if (a.output) {
      if (!p.output) {
        throw ServerErrorByNumber(8162, {p.name});
      }
      writeBacks[index] = a.writeBack;
    }
  }
  for (std::size_t i = 0; i < def.parameters.size(); ++i) {
    if (given[i]) continue;
    const RoutineParameter& p = def.parameters[i];
    if (p.defaultValue) {
      Assign(inner, p.name, Evaluate(*p.defaultValue, inner));
    } else if (!writeBacks[i]) {
      throw ServerErrorByNumber(201, {object->name, p.name});
    }
  }
  // Temporary tables a procedure creates end with it.
  const std::vector<std::string> tempBefore = catalog.TempTableNames();
  auto dropOwnTempTables = [&] {
    Catalog& now = host_.CurrentCatalog();
    for (const std::string& t : now.TempTableNames()) {
      if (std::find(tempBefore.begin(), tempBefore.end(), t) == tempBefore.end()) {
        now.DropTempTable(t);
      }
    }
  };
  try {
    RunList(def.body, inner);
  } catch (...) {
    try {
      dropOwnTempTables();
    } catch (const DatabaseError&) {
    }
    throw;
  }
  dropOwnTempTables();
  for (std::size_t i = 0; i < def.parameters.size(); ++i) {
    if (writeBacks[i]) writeBacks[i](frame.Find(def.parameters[i].name)->value);
  }
  caller.frame->rowCount = frame.rowCount;
  // A procedure returns an int; no RETURN (or RETURN without a value) is 0.
  if (!frame.returnValue || std::holds_alternative<std::monostate>(*frame.returnValue)) {
    return Value{std::int64_t{0}};
  }
  SourceValue in;
  in.value = *frame.returnValue;
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, SqlType{BaseType::Int, 0, 0, 0}, false, out, error)) {
    throw DatabaseError(error.message, error.number);
  }
  return ToApiValue(out);
}

StoredValue Interpreter::CallFunction(const std::string& rawName,
                                      const std::vector<StoredValue>& args) {
  std::string name = rawName;
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name = name.substr(dot + 1);
  Catalog& catalog = host_.CurrentCatalog();
  const std::shared_ptr<StoredCode> code = host_.Code();
  const std::shared_ptr<const CompiledRoutine> routine = code->Routine(catalog, name);
  if (!routine || routine->object.xtype != "FN") {
    throw ServerErrorByNumber(4121, {"dbo", "dbo." + name});
  }
  const ObjectInfo* object = &routine->object;
  const CreateRoutineStatement& def = *routine->definition;
  if (args.size() != def.parameters.size()) {
    throw ServerErrorByNumber(args.size() > def.parameters.size() ? 8144 : 313, {object->name});
  }
  Frame frame;
  Params none;
  BatchResult ignored;
  Context c{routine->text, &none, &ignored, &frame, 1, code.get()};
  for (std::size_t i = 0; i < def.parameters.size(); ++i) {
    frame.Declare(def.parameters[i].name, routine->parameterTypes[i], StoredValue{});
    Assign(c, def.parameters[i].name, args[i]);
  }
  RunList(def.body, c);
  if (!frame.returnValue) return StoredValue{};
  SourceValue in;
  in.value = *frame.returnValue;
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, routine->returns, false, out, error)) {
    throw DatabaseError(error.message, error.number);
  }
  return out;
}

void Interpreter::CallProcedure(std::string_view name, ProcedureParameters& params,
                                BatchResult& out) {
  Frame frame;
  Params none;
  Context c{std::string_view(), &none, &out, &frame, 0};
  std::vector<CallArgument> args;
  ProcedureParameter* returnValue = nullptr;
  for (ProcedureParameter& p : params) {
    if (p.direction == ParameterDirection::ReturnValue) {
      returnValue = &p;
      continue;
    }
    const bool sendsValue = p.direction != ParameterDirection::Output;
    const bool output = p.direction != ParameterDirection::Input;
    args.push_back(CallArgument{
        p.name, sendsValue ? std::optional<StoredValue>(FromApiValue(p.value)) : std::nullopt,
        output, nullptr});
    if (output) {
      ProcedureParameter* target = &p;
      args.back().writeBack = [target](const StoredValue& v) { target->value = ToApiValue(v); };
    }
  }
  Value result = InvokeProcedure(std::string(name), args, c);
  if (returnValue) returnValue->value = result;
}

}  // namespace moltaro::db::embedded
