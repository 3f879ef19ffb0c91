#include "db/embedded/execution/interpreter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "common/text.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/catalog/metadata_functions.h"
#include "db/embedded/execution/identity_commands.h"
#include "db/embedded/execution/raiserror_message.h"
#include "db/embedded/execution/statement_error.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/variant.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

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

// SQLite binds at most 32,766 values to one statement.
constexpr std::size_t kMaxBoundValues = 32766;

int LineOf(std::string_view text, std::size_t offset) {
  const std::string_view before = text.substr(0, std::min(offset, text.size()));
  return 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
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

// What the server reports of itself: SQL Server's own connection limit and
// ODBC's text size (the whole value).
constexpr int kMaxConnections = 32767;
constexpr int kTextSize = 2147483647;

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
        throw ServerErrorByNumber(8178, {t.sql, "#" + std::to_string(b.parameter + 1)});
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
  if (t.identityTable) RequireIdentityInsertAllows(host, t);
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

void RefuseChangeUnderRowCount(SessionHost& host) {
  const long long limit = host.RowCountLimit();
  if (limit > 0) {
    throw DatabaseError(NotSupported("SET ROWCOUNT " + std::to_string(limit) +
                                     " with INSERT, UPDATE or DELETE (SET ROWCOUNT 0 first)"));
  }
}

void CutToRowCount(SessionHost& host, StatementOutcome& outcome) {
  const long long limit = host.RowCountLimit();
  if (limit <= 0) return;
  const auto n = static_cast<std::size_t>(limit);
  if (outcome.rows.size() > n) outcome.rows.resize(n);
  if (outcome.exactRows.size() > n) outcome.exactRows.resize(n);
  outcome.changes = std::min(outcome.changes, limit);
}

// ---- variables -------------------------------------------------------------

std::optional<SqlType> Interpreter::Frame::TypeOf(const std::string& name) const {
  const std::string key = Key(name);
  // numeric(38,0) in SQL Server; identities here are integers, and a
  // numeric(18,0) stays one, so "id = @@IDENTITY" keeps using the key.
  if (key == "@@IDENTITY") return SqlType{BaseType::Numeric, 0, 18, 0};
  if (key == "@@ROWCOUNT" || key == "@@ERROR" || key == "@@TRANCOUNT" || key == "@@NESTLEVEL" ||
      key == "@@FETCH_STATUS" || key == "@@PROCID" || key == "@@MICROSOFTVERSION" ||
      key == "@@MAX_CONNECTIONS" || key == "@@TEXTSIZE" || key == "@@OPTIONS" ||
      key == "@@LOCK_TIMEOUT") {
    return SqlType{BaseType::Int, 0, 0, 0};
  }
  if (key == "@@DATEFIRST") return SqlType{BaseType::TinyInt, 0, 0, 0};
  if (key == "@@LANGID") return SqlType{BaseType::SmallInt, 0, 0, 0};
  if (key == "@@MAX_PRECISION") return SqlType{BaseType::TinyInt, 0, 0, 0};
  if (key == "@@VERSION" || key == "@@SERVERNAME" || key == "@@SERVICENAME" ||
      key == "@@LANGUAGE") {
    return SqlType{BaseType::NVarChar, 128, 0, 0};
  }
  if (key == "ERROR_NUMBER()" || key == "ERROR_SEVERITY()" || key == "ERROR_STATE()" ||
      key == "ERROR_LINE()") {
    return SqlType{BaseType::Int, 0, 0, 0};
  }
  if (key == "XACT_STATE()") return SqlType{BaseType::SmallInt, 0, 0, 0};
  if (key == "@@DBTS") return SqlType{BaseType::VarBinary, 8, 0, 0};
  if (key == "MIN_ACTIVE_ROWVERSION()") return SqlType{BaseType::Binary, 8, 0, 0};
  if (key == "COLUMNS_UPDATED()") return SqlType{BaseType::VarBinary, 8000, 0, 0};
  if (key.rfind("UPDATE(", 0) == 0) return SqlType{BaseType::Bit, 0, 0, 0};
  if (key == "ERROR_MESSAGE()") return SqlType{BaseType::NVarChar, 4000, 0, 0};
  if (key == "ERROR_PROCEDURE()") return SqlType{BaseType::NVarChar, 128, 0, 0};
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
    if (key.rfind("UPDATE(", 0) == 0) return ColumnUpdated(name, c);
    if (key == "COLUMNS_UPDATED()") return ColumnsUpdated(c);
    // Every value handed out is committed or rolled back before another
    // session can write (one writer at a time), so none is active but the
    // next one.
    if (key == "@@DBTS" || key == "MIN_ACTIVE_ROWVERSION()") {
      const std::int64_t last = host_.CurrentCatalog().DatabaseTimestamp();
      return BinaryHexText(RowversionBinary(key == "@@DBTS" ? last : last + 1));
    }
    if (key == "@@IDENTITY") return host_.LastIdentity();
    if (key == "@@ERROR") return std::int64_t{host_.LastError()};
    if (key.back() == ')') return SessionFunction(key);
    if (key == "@@TRANCOUNT") return std::int64_t{host_.TranCount()};
    if (key == "@@MAX_CONNECTIONS") return std::int64_t{kMaxConnections};
    if (key == "@@TEXTSIZE") return std::int64_t{kTextSize};
    if (key == "@@OPTIONS") return std::int64_t{SessionOptions()};
    if (key == "@@LOCK_TIMEOUT") return std::int64_t{host_.LockTimeout()};
    if (key == "@@MAX_PRECISION") return std::int64_t{kMaxPrecision};
    if (key == "@@NESTLEVEL") return std::int64_t{c.depth};
    if (key == "@@PROCID") return ProcedureId(c);
    if (key == "@@MICROSOFTVERSION") return std::int64_t{MicrosoftVersion()};
    if (key == "@@FETCH_STATUS") return std::int64_t{host_.FetchStatus()};
    if (key == "@@VERSION") return VersionText();
    if (key == "@@SERVERNAME") return std::string(kServerName);
    if (key == "@@SERVICENAME") return std::string("MSSQLSERVER");
    if (key == "@@LANGUAGE") return std::string(host_.Dates().language->name);
    if (key == "@@LANGID") return std::int64_t{host_.Dates().language->langid};
    if (key == "@@DATEFIRST") return std::int64_t{host_.Dates().firstDay};
    Variable* v = c.frame->Find(name);
    if (!v) throw ServerErrorByNumber(137, {name});
    // A sql_variant travels as the 0x… text of its stored form, with its type.
    if (const auto* variant = std::get_if<VariantPtr>(&v->value)) {
      return BinaryHexText(Binary{EncodeVariant(**variant)});
    }
    return ToApiValue(v->value);
  };
}

// The object id of the running procedure, function or trigger; 0 in a batch.
Value Interpreter::ProcedureId(const Context& c) {
  if (c.procedure.empty()) return std::int64_t{0};
  const std::optional<ObjectInfo> object = host_.CurrentCatalog().FindObject(c.procedure);
  return std::int64_t{object ? object->id : 0};
}

// @@OPTIONS: the SET options as SQL Server's user options bits. The server
// always behaves as ANSI_WARNINGS, ANSI_PADDING, ANSI_NULLS, ARITHABORT,
// QUOTED_IDENTIFIER, ANSI_NULL_DFLT_ON and CONCAT_NULL_YIELDS_NULL say ON
// (5496); XACT_ABORT is the session's own.
int Interpreter::SessionOptions() {
  constexpr int kAlwaysOn = 8 | 16 | 32 | 64 | 256 | 1024 | 4096;
  constexpr int kXactAbort = 16384;
  return kAlwaysOn | (host_.XactAbort() ? kXactAbort : 0);
}

Value Interpreter::SessionFunction(const std::string& key) {
  if (key == "XACT_STATE()") {
    if (host_.TranCount() == 0) return std::int64_t{0};
    return std::int64_t{host_.OpenTransaction().doomed ? -1 : 1};
  }
  if (handling_.empty()) return std::monostate{};
  const Caught& h = handling_.back();
  if (key == "ERROR_NUMBER()") return std::int64_t{h.number};
  if (key == "ERROR_MESSAGE()") return h.message;
  if (key == "ERROR_SEVERITY()") return std::int64_t{h.severity};
  if (key == "ERROR_STATE()") return std::int64_t{h.state};
  if (key == "ERROR_LINE()") return std::int64_t{h.line};
  if (h.procedure.empty()) return std::monostate{};
  return h.procedure;
}

void Interpreter::Assign(Context& c, const std::string& name, const StoredValue& value,
                         bool character) {
  Variable* v = c.frame->Find(name);
  if (!v) throw ServerErrorByNumber(137, {name});
  if (std::holds_alternative<VariantPtr>(value) && v->type.base != BaseType::SqlVariant) {
    throw ServerErrorByNumber(257, {"sql_variant", std::string(TypeName(v->type.base))});
  }
  SourceValue in;
  in.value = value;
  in.character = character;
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, v->type, false, host_.Dates().order, out, error)) {
    throw DatabaseError(error.message, error.number);
  }
  v->value = std::move(out);
}

bool Interpreter::IsCharacterData(const Expr& e, Context& c) {
  switch (e.kind) {
    case ExprKind::String:
    case ExprKind::Parameter:
      return true;
    case ExprKind::Variable: {
      const Variable* v = c.frame->Find(e.text);
      return v && (IsCharacter(v->type.base) || v->type.base == BaseType::Text ||
                   v->type.base == BaseType::NText);
    }
    default:
      return false;
  }
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
    case ExprKind::Variable: {
      if (Variable* v = c.frame->Find(e.text)) return v->value;
      StoredValue value = FromApiValue(Reader(c)(e.text));
      // A binary global (@@DBTS) is read as its 0x… text.
      const auto* text = std::get_if<std::string>(&value);
      if (const auto type = c.frame->TypeOf(e.text);
          text && type && IsBinary(type->base) && text->size() >= 2) {
        if (auto bytes = BinaryFromHex(std::string_view(*text).substr(2))) return *bytes;
      }
      return value;
    }
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

StoredValue Interpreter::VariantFor(const std::string& variable, StoredValue value,
                                    const std::optional<SqlType>& type, Context& c) {
  const Variable* target = c.frame->Find(variable);
  if (!target || target->type.base != BaseType::SqlVariant) return value;
  StoredValue out;
  SqlError error;
  const bool national = type && IsUnicode(type->base);
  if (!ToVariant(SourceValue{std::move(value), national}, type, out, error)) {
    throw DatabaseError(error.message, error.number);
  }
  return out;
}

StoredValue Interpreter::EvaluateFor(const std::string& variable, const Expr& e, Context& c) {
  const Variable* target = c.frame->Find(variable);
  if (!target || target->type.base != BaseType::SqlVariant) return Evaluate(e, c);
  if (e.kind == ExprKind::Variable) {
    if (const Variable* source = c.frame->Find(e.text)) {
      return VariantFor(variable, source->value, source->type, c);
    }
  }
  const std::shared_ptr<const Translation> tr = Translate(e, c, false);
  StatementOutcome o = RunTranslation(host_, *tr, *c.params, Reader(c), true);
  StoredValue value = o.exactRows.empty() ? StoredValue{} : o.exactRows[0][0];
  const std::optional<SqlType> type =
      tr->columnTypes.empty() ? std::nullopt : tr->columnTypes[0].type;
  return VariantFor(variable, std::move(value), type, c);
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
  Translation tr = Bound([&] { return t.Value(e); });
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
  if (params.size() < batch.parameterNames.size()) {
    throw ServerErrorByNumber(8178, {text, ":" + batch.parameterNames[params.size()]});
  }
  Frame frame;
  Context c{text, &params, &out, &frame, 0};
  host_.CurrentCatalog().ClearScopedTables();
  try {
    const TableScope tables(*this);
    RunBody(batch.statements, c);
    RollBackDoomed();
  } catch (const DatabaseError& e) {
    host_.LastError() = e.Number();
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
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Flow f = Run(*list[i], c);
    if (f == Flow::Normal) continue;
    if (f != Flow::Goto) return f;
    // The label is in this list (go on after it) or in one around it.
    const Collation& coll = host_.CurrentCatalog().Coll();
    const auto label = std::find_if(list.begin(), list.end(), [&](const StatementPtr& s) {
      return s->kind == StatementKind::Label &&
             coll.Equal(static_cast<const LabelStatement&>(*s).label, gotoLabel_);
    });
    if (label == list.end()) return f;
    i = static_cast<std::size_t>(label - list.begin());
  }
  return Flow::Normal;
}

// A batch's, routine's or trigger's statements: a GOTO whose label lies in a
// block it is not inside of is refused rather than ending the body early.
void Interpreter::RunBody(const std::vector<StatementPtr>& body, Context& c) {
  if (RunList(body, c) == Flow::Goto) {
    throw DatabaseError(NotSupported("GOTO into a block (label " + gotoLabel_ + ")"));
  }
}

TypeSpec IntoColumnType(const TypedValue& value) {
  SqlType type;
  if (value.type) {
    type = *value.type;
  } else {
    switch (value.cls) {
      case ValueClass::Number:
        type = SqlType{BaseType::Float, 0, 0, 0};
        break;
      case ValueClass::Exact:
        type = SqlType{BaseType::Numeric, 0, 38, 10};
        break;
      case ValueClass::Date:
        type = SqlType{BaseType::DateTime, 0, 0, 0};
        break;
      case ValueClass::Null:
        type = SqlType{BaseType::Int, 0, 0, 0};  // as SQL Server types a bare NULL
        break;
      default:
        type = SqlType{BaseType::NVarChar, 4000, 0, 0};
    }
  }
  TypeSpec spec;
  spec.name = std::string(TypeName(type.base));
  if (IsCharacter(type.base)) spec.length = type.length < 0 ? -2 : type.length;
  if (type.base == BaseType::Decimal || type.base == BaseType::Numeric) {
    spec.precision = type.precision;
    spec.scale = type.scale;
  }
  // time, datetime2 and datetimeoffset keep their fraction digits.
  if (type.base == BaseType::Time || type.base == BaseType::DateTime2 ||
      type.base == BaseType::DateTimeOffset) {
    spec.precision = type.scale;
  }
  return spec;
}

// SELECT … INTO t: a new table of the query's columns, then its rows.
void Interpreter::SelectInto(const SelectStatement& s, const Translation& tr, Context& c) {
  CreateTableStatement create;
  create.table = *s.select->into;
  for (std::size_t i = 0; i < tr.columns.size(); ++i) {
    if (tr.columns[i].empty()) throw ServerErrorByNumber(1038);
    ColumnDef column;
    column.name = tr.columns[i];
    column.type = IntoColumnType(tr.columnTypes[i]);
    column.nullable = true;
    create.columns.push_back(std::move(column));
  }
  // One statement: a failing query leaves no table behind.
  Transaction tx(host_.CurrentDb());
  Ddl(host_.CurrentCatalog(), c.text, host_.Code().get()).CreateTable(create);
  Translation insert = tr;
  const std::string target = "INSERT INTO " + QuoteId(create.table.name) + " ";
  insert.sql = target + tr.sql;
  if (!tr.numberSql.empty()) insert.numberSql = target + tr.numberSql;
  insert.returnsRows = false;
  insert.columns.clear();
  RunChange(insert, c, "INSERT");
  tx.Commit();
}

void Interpreter::RunQuery(const SelectStatement& s, Context& c) {
  Translator t(host_.CurrentCatalog(), c.frame, host_.Functions());
  Translation tr = Bound([&] { return t.Query(*s.select); });
  if (s.select->into) return SelectInto(s, tr, c);
  const bool assigns = !tr.variables.empty();
  StatementOutcome o = RunTranslation(host_, tr, *c.params, Reader(c), assigns);
  CutToRowCount(host_, o);
  c.frame->rowCount = o.changes;
  if (assigns) {
    // SELECT @v = …: every row assigns; the last one stays.
    for (const auto& row : o.exactRows) {
      for (std::size_t i = 0; i < row.size(); ++i) {
        const std::optional<SqlType> type =
            i < tr.columnTypes.size() ? tr.columnTypes[i].type : std::nullopt;
        Assign(c, tr.variables[i], VariantFor(tr.variables[i], row[i], type, c));
      }
    }
    return;
  }
  c.out->results.emplace_back(tr.columns, std::move(o.rows));
  if (c.out == keptResults_) keptTypes_[c.out->results.size() - 1] = tr.columnTypes;
}

// ---- cursors ---------------------------------------------------------------

void Interpreter::DeclareCursor(const DeclareCursorStatement& s, Context& c) {
  CursorSet& set = s.local ? c.frame->cursors : host_.GlobalCursors();
  const std::string key = Key(s.name);
  if (set.count(key)) throw ServerErrorByNumber(16915, {s.name});
  auto cursor = std::make_shared<Cursor>();
  cursor->name = s.name;
  cursor->scroll = s.scroll;
  cursor->queryText = s.queryText;
  set[key] = std::move(cursor);
}

std::shared_ptr<Cursor> Interpreter::FindCursor(const std::string& name, bool global, Context& c) {
  const std::string key = Key(name);
  if (!global) {
    if (auto local = c.frame->cursors.find(key); local != c.frame->cursors.end()) {
      return local->second;
    }
  }
  CursorSet& set = host_.GlobalCursors();
  if (auto found = set.find(key); found != set.end()) return found->second;
  throw ServerErrorByNumber(16916, {name});
}

void Interpreter::OpenCursor(Cursor& cursor, Context& c) {
  if (cursor.open) throw ServerErrorByNumber(16905);
  // The query is bound now, with the variables' values of this moment.
  const Batch batch = ParseBatch(cursor.queryText);
  const auto& select = static_cast<const SelectStatement&>(*batch.statements.at(0));
  Translator t(host_.CurrentCatalog(), c.frame, host_.Functions());
  const Translation tr = t.Query(*select.select);
  if (!tr.variables.empty()) throw DatabaseError(NotSupported("SELECT @variable = … in a cursor"));
  StatementOutcome o = RunTranslation(host_, tr, *c.params, Reader(c), true);
  cursor.columns = tr.columns;
  cursor.rows = std::move(o.exactRows);
  cursor.position = -1;
  cursor.open = true;
}

void Interpreter::Fetch(const CursorStatement& s, Cursor& cursor, Context& c) {
  if (!cursor.open) throw ServerErrorByNumber(16917);
  if (!cursor.scroll && s.direction != "NEXT") {
    throw ServerErrorByNumber(16911, {"fetch", s.direction});
  }
  long long offset = 0;
  if (s.offset) {
    const Value v = ToApiValue(Evaluate(*s.offset, c));
    if (const auto* i = std::get_if<std::int64_t>(&v)) offset = *i;
    if (const auto* d = std::get_if<double>(&v)) offset = static_cast<long long>(*d);
  }
  const auto count = static_cast<long long>(cursor.rows.size());
  cursor.position = FetchTarget(s.direction, offset, cursor.position, count);
  if (cursor.position < 0 || cursor.position >= count) {
    host_.FetchStatus() = -1;
    return;
  }
  const auto& row = cursor.rows[static_cast<std::size_t>(cursor.position)];
  if (!s.into.empty()) {
    if (s.into.size() != row.size()) throw ServerErrorByNumber(16924);
    for (std::size_t i = 0; i < row.size(); ++i) Assign(c, s.into[i], row[i]);
  } else {
    std::vector<Value> values;
    for (const StoredValue& v : row) values.push_back(ToApiValue(v));
    c.out->results.emplace_back(cursor.columns, std::vector<std::vector<Value>>{values});
  }
  host_.FetchStatus() = 0;
}

void Interpreter::RunCursor(const CursorStatement& s, Context& c) {
  const std::shared_ptr<Cursor> cursor = FindCursor(s.name, s.global, c);
  if (s.action == "OPEN") return OpenCursor(*cursor, c);
  if (s.action == "FETCH") return Fetch(s, *cursor, c);
  if (s.action == "CLOSE") {
    if (!cursor->open) throw ServerErrorByNumber(16917);
    cursor->open = false;
    cursor->rows.clear();
    return;
  }
  // DEALLOCATE: the name is free again, open or not.
  CursorSet& local = c.frame->cursors;
  const std::string key = Key(s.name);
  if (!s.global && local.count(key)) {
    local.erase(key);
  } else {
    host_.GlobalCursors().erase(key);
  }
}

void Interpreter::RunChangeWithOutput(const Translation& t, Context& c, const char* event,
                                      const OutputClause* clause) {
  if (!clause) return RunChange(t, c, event);
  OutputRows output;
  output.clause = clause;
  RunChange(t, c, event, &output);
  if (!clause->into) c.out->results.emplace_back(output.columns, std::move(output.rows));
}

void Interpreter::RunChange(const Translation& t, Context& c, const char* event,
                            OutputRows* output) {
  RefuseWhenDoomed();
  RefuseChangeUnderRowCount(host_);
  if (t.target) {
    std::vector<std::shared_ptr<const CompiledRoutine>> after, instead;
    for (auto& trigger : host_.Code()->Triggers(host_.CurrentCatalog(), t.target->id)) {
      const auto& events = trigger->definition->triggerEvents;
      if (std::find(events.begin(), events.end(), event) == events.end()) continue;
      // A trigger's changes to its own table do not fire it again: an
      // AFTER trigger is not called recursively (RECURSIVE_TRIGGERS OFF),
      // and the table of an INSTEAD OF trigger changes as if it had none.
      const bool running =
          trigger->definition->insteadOf
              ? std::find(firingTriggers_.begin(), firingTriggers_.end(), trigger->object.id) !=
                    firingTriggers_.end()
              : !firingTriggers_.empty() && firingTriggers_.back() == trigger->object.id;
      if (running) continue;
      (trigger->definition->insteadOf ? instead : after).push_back(trigger);
    }
    if (t.target->xtype == "V " && instead.empty()) {
      throw DatabaseError(NotSupported(std::string(event) + " of a view without an INSTEAD OF " +
                                       event + " trigger"));
    }
    if (output && !instead.empty()) {
      throw DatabaseError(NotSupported("OUTPUT of a statement an INSTEAD OF trigger replaces"));
    }
    // The client would get the trigger's rows and the OUTPUT's at once.
    if (output && !output->clause->into && !after.empty()) {
      throw ServerErrorByNumber(334, {t.target->name});
    }
    // An INSTEAD OF trigger replaces the statement, and with it the AFTER
    // triggers it would have fired.
    if (!instead.empty()) {
      ChangeWithTriggers(t, c, event, instead, true);
      return;
    }
    if (!after.empty() || output) {
      ChangeWithTriggers(t, c, event, after, false, output);
      return;
    }
  }
  StatementOutcome o = RunTranslation(host_, t, *c.params, Reader(c));
  c.frame->rowCount = o.changes;
  c.out->rowsAffected = o.changes;
}

// A date a query sent comes back as its year-first text, which datetime
// would read under the session's DATEFORMAT: it is read as datetime2 (or
// datetimeoffset), whose ISO form no date order changes, then converts to
// the column as a date value.
ExprPtr AsWrittenDate(ExprPtr value, const TypedValue& type) {
  if (type.cls != ValueClass::Date || !type.type) return value;
  auto cast = std::make_unique<Expr>();
  cast->kind = ExprKind::Cast;
  cast->text = "CAST";
  cast->type.name = type.type->base == BaseType::DateTimeOffset ? "datetimeoffset" : "datetime2";
  cast->type.length = 7;
  cast->type.precision = 7;
  cast->args.push_back(std::move(value));
  return cast;
}

// The procedure (or text) runs with its result sets kept instead of sent;
// their rows then go in as one INSERT … VALUES with every value bound, so
// each converts to its column as any inserted value does, and the table's
// triggers see one statement.
void Interpreter::InsertFromExec(const InsertStatement& s, Context& c) {
  if (insertingFromExec_) throw ServerErrorByNumber(8164);
  BatchResult kept;
  {
    Context inner = c;
    inner.out = &kept;
    insertingFromExec_ = true;
    keptResults_ = &kept;
    keptTypes_.clear();
    struct Done {
      Interpreter& self;
      ~Done() {
        self.insertingFromExec_ = false;
        self.keptResults_ = nullptr;
      }
    } done{*this};
    Exec(*s.exec, inner);
  }
  for (std::string& message : kept.messages) c.out->messages.push_back(std::move(message));

  InsertStatement insert;
  insert.offset = s.offset;
  insert.endOffset = s.endOffset;
  insert.table = s.table;
  insert.columns = s.columns;
  Params values;
  for (std::size_t k = 0; k < kept.results.size(); ++k) {
    const auto types = keptTypes_.find(k);
    for (const auto& row : kept.results[k].Rows()) {
      std::vector<ExprPtr> exprs;
      for (std::size_t i = 0; i < row.size(); ++i) {
        auto parameter = std::make_unique<Expr>();
        parameter->kind = ExprKind::Parameter;
        parameter->index = static_cast<int>(values.size());
        values.push_back(row[i]);
        const TypedValue* type =
            types != keptTypes_.end() && i < types->second.size() ? &types->second[i] : nullptr;
        exprs.push_back(type ? AsWrittenDate(std::move(parameter), *type) : std::move(parameter));
      }
      insert.rows.push_back(std::move(exprs));
    }
  }
  if (insert.rows.empty()) {
    c.frame->rowCount = 0;
    c.out->rowsAffected = 0;
    return;
  }
  if (values.size() > kMaxBoundValues) {
    throw DatabaseError(
        NotSupported("INSERT … EXEC of more than " + std::to_string(kMaxBoundValues) + " values"));
  }
  Translator t(host_.CurrentCatalog(), c.frame, host_.Functions());
  const Translation translation = Bound([&] { return t.Insert(insert); });
  Context withValues = c;
  withValues.params = &values;
  RunChange(translation, withValues, "INSERT");
}

// Database statements work on master through connections of their own, which
// would wait for ever behind this session's own transaction.
void Interpreter::RefuseInTransaction(const char* statement) {
  if (host_.TranCount() > 0) {
    throw ServerErrorByNumber(226, {statement});
  }
}

Interpreter::Flow Interpreter::Run(const Statement& s, Context& c) {
  Flow flow = Flow::Normal;
  try {
    flow = RunStatement(s, c);
  } catch (const StatementError& e) {
    if (e.located) throw;
    StatementError located = e;
    located.located = true;
    located.line = LineOf(c.text, s.offset);
    located.procedure = c.procedure;
    located.scope = c.scope;
    throw located;
  } catch (const DatabaseError& e) {
    StatementError located(e, 1);
    located.located = true;
    located.line = LineOf(c.text, s.offset);
    located.procedure = c.procedure;
    located.scope = c.scope;
    throw located;
  }
  // A compound statement leaves @@ERROR as its last statement did;
  // RAISERROR sets it itself.
  switch (s.kind) {
    case StatementKind::If:
    case StatementKind::While:
    case StatementKind::Block:
    case StatementKind::Try:
    case StatementKind::Raiserror:
    case StatementKind::Label:
    case StatementKind::Goto:
      break;
    default:
      host_.LastError() = 0;
  }
  return flow;
}

Interpreter::Flow Interpreter::RunStatement(const Statement& s, Context& c) {
  host_.CheckDeadline();
  Catalog& catalog = host_.CurrentCatalog();
  switch (s.kind) {
    case StatementKind::Select:
      RunQuery(static_cast<const SelectStatement&>(s), c);
      return Flow::Normal;
    case StatementKind::Insert: {
      const auto& change = static_cast<const InsertStatement&>(s);
      if (change.exec) {
        if (change.output) throw DatabaseError(NotSupported("OUTPUT of INSERT … EXEC"));
        InsertFromExec(change, c);
        return Flow::Normal;
      }
      Translator t(catalog, c.frame, host_.Functions());
      RunChangeWithOutput(Bound([&] { return t.Insert(change); }), c, "INSERT",
                          change.output.get());
      return Flow::Normal;
    }
    case StatementKind::Update: {
      const auto& change = static_cast<const UpdateStatement&>(s);
      Translator t(catalog, c.frame, host_.Functions());
      RunChangeWithOutput(Bound([&] { return t.Update(change); }), c, "UPDATE",
                          change.output.get());
      return Flow::Normal;
    }
    case StatementKind::Delete: {
      const auto& change = static_cast<const DeleteStatement&>(s);
      Translator t(catalog, c.frame, host_.Functions());
      RunChangeWithOutput(Bound([&] { return t.Delete(change); }), c, "DELETE",
                          change.output.get());
      return Flow::Normal;
    }
    case StatementKind::Merge:
      RunMerge(static_cast<const MergeStatement&>(s), c);
      return Flow::Normal;
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
    case StatementKind::CreateType:
      Ddl(catalog, c.text, host_.Code().get())
          .CreateType(static_cast<const CreateTypeStatement&>(s));
      return Flow::Normal;
    case StatementKind::DropType:
      Ddl(catalog, c.text, host_.Code().get()).DropType(static_cast<const DropTypeStatement&>(s));
      return Flow::Normal;
    case StatementKind::Reconfigure:
      // sp_configure changes no option whose value matters here.
      return Flow::Normal;
    case StatementKind::Statistics:
      Statistics(static_cast<const StatisticsStatement&>(s));
      return Flow::Normal;
    case StatementKind::CreateBoundObject:
      Ddl(catalog, c.text, host_.Code().get())
          .CreateBoundObject(static_cast<const CreateBoundObjectStatement&>(s));
      return Flow::Normal;
    case StatementKind::DropBoundObject:
      Ddl(catalog, c.text, host_.Code().get())
          .DropBoundObject(static_cast<const DropBoundObjectStatement&>(s));
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
        if (item.table) {
          DeclareTableVariable(item, c);
          continue;
        }
        SqlType type = catalog.ResolveDeclaredType(item.type, 1);
        c.frame->Declare(item.name, type, StoredValue{});
        if (item.initial) {
          Assign(c, item.name, EvaluateFor(item.name, *item.initial, c),
                 IsCharacterData(*item.initial, c));
        }
      }
      return Flow::Normal;
    }
    case StatementKind::SetVariable: {
      const auto& set = static_cast<const SetVariableStatement&>(s);
      StoredValue v = EvaluateFor(set.variable, *set.value, c);
      if (set.op != "=") {
        Variable* var = c.frame->Find(set.variable);
        if (!var) throw ServerErrorByNumber(137, {set.variable});
        if (var->type.base == BaseType::SqlVariant) {
          throw DatabaseError(NotSupported(set.op + " on a sql_variant variable"));
        }
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
      Assign(c, set.variable, v, set.op == "=" && IsCharacterData(*set.value, c));
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
        if (f == Flow::Return || f == Flow::Goto) return f;
      }
      return Flow::Normal;
    }
    case StatementKind::Block:
      return RunList(static_cast<const BlockStatement&>(s).statements, c);
    case StatementKind::Break:
      return Flow::Break;
    case StatementKind::Label:
      return Flow::Normal;
    case StatementKind::Goto:
      gotoLabel_ = static_cast<const LabelStatement&>(s).label;
      return Flow::Goto;
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
    case StatementKind::Principal:
      RunPrincipalStatement(static_cast<const PrincipalStatement&>(s));
      return Flow::Normal;
    case StatementKind::CreateSchema:
      Ddl(catalog, c.text, host_.Code().get()).CreateSchema(static_cast<const SchemaStatement&>(s));
      return Flow::Normal;
    case StatementKind::DropSchema:
      Ddl(catalog, c.text, host_.Code().get()).DropSchema(static_cast<const SchemaStatement&>(s));
      return Flow::Normal;
    case StatementKind::Unsupported:
      throw DatabaseError(static_cast<const UnsupportedStatement&>(s).message);
    case StatementKind::DeclareCursor:
      DeclareCursor(static_cast<const DeclareCursorStatement&>(s), c);
      return Flow::Normal;
    case StatementKind::Cursor:
      RunCursor(static_cast<const CursorStatement&>(s), c);
      return Flow::Normal;
    case StatementKind::Print:
      c.out->messages.push_back(TextOf(Evaluate(*static_cast<const PrintStatement&>(s).value, c)));
      return Flow::Normal;
    case StatementKind::Raiserror:
      Raiserror(static_cast<const RaiserrorStatement&>(s), c);
      return Flow::Normal;
    case StatementKind::Try:
      return RunTry(static_cast<const TryStatement&>(s), c);
    case StatementKind::Throw:
      Throw(static_cast<const ThrowStatement&>(s), c);
    case StatementKind::Waitfor:
      throw DatabaseError(NotSupported("WAITFOR " + static_cast<const WaitforStatement&>(s).kind));
    case StatementKind::Transaction:
      RunTransaction(static_cast<const TransactionStatement&>(s), c);
      return Flow::Normal;
  }
  return Flow::Normal;
}

// DBCC CHECKIDENT ('table' [, NORESEED | RESEED [, value]]): the table as
// text or a bare name, the mode as a bare word.
void Interpreter::RunCheckIdent(const DbccStatement& s, Context& c, bool quiet) {
  const auto word = [&](std::size_t i) {
    const Expr* e = i < s.arguments.size() ? s.arguments[i].get() : nullptr;
    return e && e->kind == ExprKind::Column && e->parts.size() == 1 ? ToUpperAscii(e->parts[0])
                                                                    : std::string();
  };
  if (s.arguments.empty() || s.arguments.size() > 3) {
    throw ServerErrorByNumber(2560, {std::to_string(s.arguments.empty() ? 1 : 4)});
  }
  std::string table =
      word(0).empty() ? ToText(ToApiValue(Evaluate(*s.arguments[0], c))) : s.arguments[0]->parts[0];
  if (const auto dot = table.rfind('.'); dot != std::string::npos) table = table.substr(dot + 1);
  if (table.size() > 2 && table.front() == '[' && table.back() == ']') {
    table = table.substr(1, table.size() - 2);
  }
  CheckIdentMode mode = CheckIdentMode::Reseed;
  std::optional<long long> value;
  if (s.arguments.size() > 1) {
    const std::string m = word(1);
    if (m == "NORESEED" && s.arguments.size() == 2) {
      mode = CheckIdentMode::NoReseed;
    } else if (m != "RESEED") {
      throw ServerErrorByNumber(2560, {"2"});
    }
  }
  if (s.arguments.size() == 3) {
    const Value v = ToApiValue(Evaluate(*s.arguments[2], c));
    if (!std::holds_alternative<std::int64_t>(v)) throw ServerErrorByNumber(2560, {"3"});
    value = std::get<std::int64_t>(v);
  }
  const std::vector<std::string> messages = CheckIdent(host_, table, mode, value);
  if (!quiet) {
    for (const std::string& m : messages) c.out->messages.push_back(m);
  }
}

void Interpreter::EndTransaction(const char* sqliteStatement) {
  host_.TranCount() = 0;
  host_.OpenTransaction() = TransactionState{};
  host_.ApplicationLocks().ReleaseTransactionLocks();
  if (sqliteStatement && std::string_view(sqliteStatement) == "ROLLBACK") {
    RollBackKeepingTableVariables([&] { host_.CurrentCatalog().Db().Exec(sqliteStatement); });
  } else if (sqliteStatement) {
    host_.CurrentCatalog().Db().Exec(sqliteStatement);
  }
  host_.TransactionEnded();
}

// ---- errors and transactions -------------------------------------------------

Interpreter::Flow Interpreter::RunTry(const TryStatement& s, Context& c) {
  std::optional<Caught> caught;
  try {
    return RunList(s.body, c);
  } catch (const StatementError& e) {
    // Severity 20 and up ends the connection, a cancelled command is no
    // error of the batch, and a statement of this scope that cannot be
    // compiled fails the scope as a whole: CATCH sees none of them.
    const bool catchable = e.Severity() > 10 && e.Severity() < 20 && e.Number() != -2 &&
                           !(e.compile && e.scope == c.scope);
    if (!catchable) throw;
    std::string message = e.what();
    int number = e.Number();
    int severity = e.Severity();
    if (const ServerMessage* m = FindServerMessage(number); m && m->closedBy != 0) {
      // CATCH reports the last of the messages SQL Server sent.
      number = m->closedBy;
      severity = FindServerMessage(number)->severity;
      message = message.substr(message.rfind('\n') + 1);
    }
    caught = Caught{e, number, message, severity, e.state, e.line, e.procedure};
  }
  // A failure SQLite answers by rolling back (a full disk, a lock) ends
  // the session's transaction with it.
  if (host_.TranCount() > 0 && sqlite3_get_autocommit(host_.CurrentCatalog().Db().Handle())) {
    EndTransaction(nullptr);
  }
  if (host_.TranCount() > 0 && host_.XactAbort()) host_.OpenTransaction().doomed = true;
  host_.LastError() = caught->number;
  handling_.push_back(std::move(*caught));
  struct Handled {
    std::vector<Caught>& errors;
    ~Handled() { errors.pop_back(); }
  } handled{handling_};
  return RunList(s.handler, c);
}

void Interpreter::RefuseWhenDoomed() {
  if (host_.TranCount() > 0 && host_.OpenTransaction().doomed) throw ServerErrorByNumber(3930);
}

void Interpreter::RollBackDoomed() {
  if (host_.TranCount() == 0 || !host_.OpenTransaction().doomed) return;
  EndTransaction("ROLLBACK");
  throw ServerErrorByNumber(3998);
}

void Interpreter::Raiserror(const RaiserrorStatement& s, Context& c) {
  const StoredValue first = Evaluate(*s.args.at(0), c);
  long long severity = s.args.size() > 1 ? ToInteger(ToApiValue(Evaluate(*s.args[1], c))) : 16;
  long long state = s.args.size() > 2 ? ToInteger(ToApiValue(Evaluate(*s.args[2], c))) : 1;
  std::vector<StoredValue> arguments;
  for (std::size_t i = 3; i < s.args.size(); ++i) arguments.push_back(Evaluate(*s.args[i], c));
  const auto with = [&](const char* option) {
    return std::find(s.options.begin(), s.options.end(), option) != s.options.end();
  };
  severity = std::clamp(severity, 0LL, 25LL);
  if (severity > 18 && !with("LOG")) throw ServerErrorByNumber(2754);
  state = state < 0 ? 1 : std::min(state, 255LL);
  int number = 50000;
  std::string message;
  if (const auto* id = std::get_if<std::int64_t>(&first)) {
    // By number: a message of the table, or SQL Server's refusal.
    if (*id < 13000 || *id == 50000 || *id > INT32_MAX) {
      throw ServerErrorByNumber(2732, {std::to_string(*id), "13000", "2147483647"});
    }
    const ServerMessage* known = FindServerMessage(static_cast<int>(*id));
    if (!known) {
      throw ServerErrorByNumber(
          18054, {std::to_string(*id), std::to_string(severity), std::to_string(state)});
    }
    number = known->number;
    message = FormatRaiserrorMessage(arguments, known->text);
  } else {
    message = FormatRaiserrorMessage(arguments, TextOf(first));
  }
  if (message.size() > kMaxRaiserrorMessage) {
    message = message.substr(0, kMaxRaiserrorMessage - 3) + "...";
  }
  if (severity <= 10) {
    // Informational: a message of the batch, not an error.
    c.out->messages.push_back(message);
    host_.LastError() = with("SETERROR") ? number : 0;
    return;
  }
  throw StatementError(DatabaseError(message, number, static_cast<int>(severity)),
                       static_cast<int>(state));
}

void Interpreter::Throw(const ThrowStatement& s, Context& c) {
  if (s.args.empty()) {
    if (handling_.empty()) throw ServerErrorByNumber(10704);
    const Caught& h = handling_.back();
    throw StatementError(h.error, h.state);
  }
  const long long number = ToInteger(ToApiValue(Evaluate(*s.args[0], c)));
  const std::string message = TextOf(Evaluate(*s.args[1], c));
  const long long state = ToInteger(ToApiValue(Evaluate(*s.args[2], c)));
  if (number < 50000 || number > INT32_MAX) {
    throw ServerErrorByNumber(35100, {std::to_string(number)});
  }
  // The state is a tinyint.
  if (state < 0 || state > 255) throw ServerErrorByNumber(8115, {"expression", "tinyint"});
  throw StatementError(DatabaseError(message, static_cast<int>(number), 16),
                       static_cast<int>(state));
}

void Interpreter::RunTransaction(const TransactionStatement& s, Context& c) {
  SqliteDb& db = host_.CurrentCatalog().Db();
  TransactionState& names = host_.OpenTransaction();
  const std::string name = !s.name                              ? std::string()
                           : s.name->kind == ExprKind::Variable ? TextOf(Evaluate(*s.name, c))
                                                                : s.name->text;
  if (s.action == "BEGIN") {
    // The write lock is taken here and waited for under LOCK_TIMEOUT: a
    // transaction that read first could not get it later without giving
    // up what it read.
    if (host_.TranCount() == 0) {
      db.BeginImmediate();
      names = TransactionState{name, {}, false};
    }
    ++host_.TranCount();
  } else if (s.action == "COMMIT") {
    if (host_.TranCount() == 0) throw ServerErrorByNumber(3902);
    if (names.doomed) throw ServerErrorByNumber(3930);
    if (host_.TranCount() == 1) {
      EndTransaction("COMMIT");
    } else {
      --host_.TranCount();
    }
  } else if (s.action == "SAVE") {
    if (host_.TranCount() == 0) throw ServerErrorByNumber(628);
    if (names.doomed) throw ServerErrorByNumber(3931);
    // SQLite's save points are named by their place: SQL Server's names
    // are case sensitive and may repeat.
    db.Exec("SAVEPOINT moltaro_save_" + std::to_string(names.savePoints.size()));
    names.savePoints.push_back(name);
  } else {
    if (host_.TranCount() == 0) throw ServerErrorByNumber(3903);
    if (name.empty() ||
        (name == names.name && std::find(names.savePoints.begin(), names.savePoints.end(), name) ==
                                   names.savePoints.end())) {
      EndTransaction("ROLLBACK");
      return;
    }
    const auto saved = std::find(names.savePoints.rbegin(), names.savePoints.rend(), name);
    if (saved == names.savePoints.rend()) throw ServerErrorByNumber(6401, {name});
    if (names.doomed) throw ServerErrorByNumber(3931);
    // The save point stays: a later ROLLBACK TRAN may return to it again.
    const std::size_t index = static_cast<std::size_t>(names.savePoints.rend() - saved) - 1;
    RollBackKeepingTableVariables(
        [&] { db.Exec("ROLLBACK TO moltaro_save_" + std::to_string(index)); });
    names.savePoints.resize(index + 1);
    // What was compiled since may describe tables that are gone.
    host_.TransactionEnded();
  }
}

// ---- procedures ------------------------------------------------------------

void Interpreter::Exec(const ExecStatement& s, Context& c) {
  if (s.dynamicSql) {
    Frame frame;
    RunDynamic(TextOf(Evaluate(*s.dynamicSql, c)), frame, c);
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
      arg.character = IsCharacterData(*a.value, c);
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

void Interpreter::RunDynamic(const std::string& text, Frame& frame, Context& c) {
  Batch batch = ParseBatch(text);
  Params none;
  Context inner{text, &none, c.out, &frame, c.depth};
  inner.scope = ++lastScope_;
  // A USE inside the text lasts until it ends, as in SQL Server.
  const std::string database = host_.CurrentCatalog().DatabaseName();
  auto restore = [&] {
    if (host_.CurrentCatalog().DatabaseName() != database) host_.Use(database);
  };
  try {
    RunBody(batch.statements, inner);
  } catch (const DatabaseError&) {
    try {
      restore();
    } catch (const DatabaseError&) {
    }
    throw;
  }
  restore();
}

Value Interpreter::InvokeProcedure(const std::string& rawName, std::vector<CallArgument>& args,
                                   Context& caller) {
  if (caller.depth >= kMaxNesting) {
    throw ServerErrorByNumber(217, {"32"});
  }
  std::string name = rawName;
  if (const auto semi = name.find(';'); semi != std::string::npos) name = name.substr(0, semi);
  if (const auto dot = name.rfind('.'); dot != std::string::npos) name = name.substr(dot + 1);
  if (name.size() > 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  if (ToLowerAscii(name) == "sp_executesql") return ExecuteSql(args, caller);
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
  inner.procedure = routine->object.name;
  inner.scope = ++lastScope_;
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
      Assign(inner, p.name, *a.value, a.character);
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
      Assign(inner, p.name, Evaluate(*p.defaultValue, inner),
             IsCharacterData(*p.defaultValue, inner));
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
  // SET DATEFORMAT, LANGUAGE and DATEFIRST inside the procedure last until
  // it returns, as SQL Server restores them.
  struct RestoreDates {
    DateSettings& live;
    const DateSettings saved;
    ~RestoreDates() { live = saved; }
  } restoreDates{host_.Dates(), host_.Dates()};
  try {
    const TableScope tables(*this);
    RunBody(def.body, inner);
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
  c.procedure = routine->object.name;
  c.scope = ++lastScope_;
  for (std::size_t i = 0; i < def.parameters.size(); ++i) {
    frame.Declare(def.parameters[i].name, routine->parameterTypes[i], StoredValue{});
    Assign(c, def.parameters[i].name, args[i]);
  }
  {
    const TableScope tables(*this);
    RunBody(def.body, c);
  }
  if (!frame.returnValue) return StoredValue{};
  SourceValue in;
  in.value = *frame.returnValue;
  StoredValue out;
  SqlError error;
  if (!ConvertValue(in, routine->returns, false, host_.Dates().order, out, error)) {
    throw DatabaseError(error.message, error.number);
  }
  return out;
}

std::vector<std::vector<StoredValue>> Interpreter::CallTableFunction(
    const std::string& name, const std::vector<StoredValue>& args) {
  Catalog& catalog = host_.CurrentCatalog();
  const std::shared_ptr<StoredCode> code = host_.Code();
  const std::shared_ptr<const CompiledRoutine> routine = code->Routine(catalog, name);
  if (!routine || (routine->object.xtype != "TF" && routine->object.xtype != "IF")) {
    throw ServerErrorByNumber(208, {name});
  }
  const CreateRoutineStatement& def = *routine->definition;
  if (args.size() != def.parameters.size()) {
    throw ServerErrorByNumber(args.size() > def.parameters.size() ? 8144 : 313,
                              {routine->object.name});
  }
  Frame frame;
  Params none;
  BatchResult ignored;
  Context c{routine->text, &none, &ignored, &frame, 1, code.get()};
  c.procedure = routine->object.name;
  c.scope = ++lastScope_;
  for (std::size_t i = 0; i < def.parameters.size(); ++i) {
    frame.Declare(def.parameters[i].name, routine->parameterTypes[i], StoredValue{});
    Assign(c, def.parameters[i].name, args[i]);
  }
  if (routine->object.xtype == "IF") {
    // An inline function's query, its parameters read as variables.
    Translator t(catalog, &frame, host_.Functions());
    const Translation query = Bound([&] { return t.Query(*def.query); });
    return RunTranslation(host_, query, none, Reader(c), true).exactRows;
  }
  const TableScope tables(*this);
  DeclareItem returned;
  returned.name = def.returnTable;
  returned.table = def.returnShape;
  DeclareTableVariable(returned, c);
  const std::string sqlName = tableVariables_.back().sqlName;
  RunList(def.body, c);
  std::vector<std::vector<StoredValue>> rows;
  auto stmt = catalog.Db().Prepare("SELECT * FROM temp." + QuoteId(sqlName) + " ORDER BY rowid");
  const int columns = sqlite3_column_count(stmt.get());
  int rc = SQLITE_ROW;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    std::vector<StoredValue> row;
    for (int i = 0; i < columns; ++i) row.push_back(ColumnStoredValue(stmt.get(), i));
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) catalog.Db().Throw();
  return rows;
}

void Interpreter::CallProcedure(std::string_view name, ProcedureParameters& params,
                                BatchResult& out) {
  Frame frame;
  Params none;
  Context c{std::string_view(), &none, &out, &frame, 0};
  host_.CurrentCatalog().ClearScopedTables();
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
        output, nullptr, std::holds_alternative<std::string>(p.value)});
    if (output) {
      ProcedureParameter* target = &p;
      args.back().writeBack = [target](const StoredValue& v) { target->value = ToApiValue(v); };
    }
  }
  Value result;
  try {
    result = InvokeProcedure(std::string(name), args, c);
    RollBackDoomed();
  } catch (const DatabaseError&) {
    if (host_.TranCount() > 0 && host_.OpenTransaction().doomed) {
      try {
        EndTransaction("ROLLBACK");
      } catch (const DatabaseError&) {
      }
    }
    throw;
  }
  if (returnValue) returnValue->value = result;
}

}  // namespace moltaro::db::embedded
