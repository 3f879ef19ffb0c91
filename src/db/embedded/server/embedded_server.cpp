#include "db/embedded/server/embedded_server.h"

#include <atomic>
#include <chrono>
#include <unordered_map>

#include <unistd.h>

#include "common/text.h"
#include "db/embedded/catalog/catalog.h"
#include "db/embedded/execution/interpreter.h"
#include "db/embedded/execution/sql_functions.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/server/connection_pool.h"
#include "db/embedded/server/database_lock.h"
#include "db/embedded/server/server.h"
#include "db/embedded/storage/legacy_exact_values.h"
#include "db/embedded/storage/sqlite_db.h"
#include "db/embedded/storage/sqlite_table_functions.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/translator/stored_code.h"
#include "db/embedded/translator/translator.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

constexpr std::size_t kMaxCachedTranslations = 2000;
constexpr std::size_t kMaxCachedStatements = 512;

// The database a session is on. Its connection (with the catalogue and the
// prepared statements) is held while a command runs, or while it carries the
// session's open transaction or temporary tables; between commands it goes
// back to the process's pool for the next session on the file.
struct OpenDatabase {
  DatabaseEntry entry;
  std::optional<DatabaseLock> inUse;  // before the connection, released after it
  // The process's compiled code of this database, held while it is open
  // (released before its in-use lock), and the version last used.
  std::shared_ptr<DatabaseCode> code;
  std::shared_ptr<StoredCode> codeNow;
  std::optional<ConnectionPool::Membership> pool;
  std::unique_ptr<PooledConnection> connection;
  std::vector<StmtHandle> spare;  // copies for nested use, dropped after each call

  OpenDatabase() = default;
  OpenDatabase(const OpenDatabase&) = delete;
  OpenDatabase& operator=(const OpenDatabase&) = delete;
  ~OpenDatabase() { Release(); }
  // Gives the connection back, or closes it (rolling back) when it carries
  // state of the session.
  void Release() {
    spare.clear();
    if (connection && pool) pool->Give(std::move(connection));
    connection.reset();
  }
  // Single DML statements by their T-SQL text, valid for one schema version.
  struct Cached {
    int schemaVersion;
    Translation translation;
  };
  std::unordered_map<std::string, Cached> translations;
};

// @@SPID: user sessions are numbered from 51, as SQL Server numbers them,
// one number for each session the process opens.
int NextSessionId() {
  static std::atomic<int> next{51};
  const int id = next.fetch_add(1);
  // SQL Server's numbers are smallint; past them, start again.
  return id <= 32767 ? id : 51 + id % 32000;
}

class EmbeddedSession final : public Session, public SessionHost, public FunctionResolver {
 public:
  EmbeddedSession(std::unique_ptr<Server> server, std::string login, std::string application,
                  const DatabaseEntry& entry)
      : server_(std::move(server)),
        login_(std::move(login)),
        application_(std::move(application)),
        sessionId_(NextSessionId()),
        appLocks_(server_->DataDirectory() / "locks") {
    server_->SetLockPolicy(&lockPolicy_);
    Open(entry);
  }
  ~EmbeddedSession() override { server_->SetLockPolicy(nullptr); }
  EmbeddedSession(const EmbeddedSession&) = delete;
  EmbeddedSession& operator=(const EmbeddedSession&) = delete;

  BatchResult Execute(std::string_view sql, const Params& params) override {
    try {
      return ExecuteBatch(sql, params);
    } catch (const DatabaseError& e) {
      // Whatever failed the batch, from its parse on, is the next one's @@ERROR.
      lastError_ = e.Number();
      throw;
    }
  }

  void CallProcedure(std::string_view name, ProcedureParameters& params) override {
    StartDeadline();
    const Command command(*this);
    BatchResult ignored;
    Interpreter(*this).CallProcedure(name, params, ignored);
  }

  void SetCommandTimeout(int seconds) override { timeoutSeconds_ = seconds; }

  // SessionHost
  Catalog& CurrentCatalog() override {
    Catalog& catalog = *current_->connection->catalog;
    catalog.CheckSchemaVersion();
    return catalog;
  }
  Server& GetServer() override { return *server_; }
  const std::string& Login() const override { return login_; }
  void Use(const std::string& database) override {
    if (nesting_ > 0) {
      throw ServerErrorByNumber(154,
                                {"a USE database statement", "a procedure, function or trigger"});
    }
    if (tranCount_ > 0) throw DatabaseError(NotSupported("USE inside an open transaction"));
    auto entry = server_->FindDatabase(Trim(database));
    if (!entry) {
      throw ServerErrorByNumber(911, {database});
    }
    Open(*entry);
  }
  sqlite3_stmt* Statement(const std::string& sql) override {
    PooledConnection& connection = *current_->connection;
    auto& cache = connection.statements;
    auto it = cache.find(sql);
    if (it == cache.end()) {
      if (cache.size() > kMaxCachedStatements && nesting_ == 0) cache.clear();
      it = cache.emplace(sql, connection.db->Prepare(sql)).first;
    }
    if (sqlite3_stmt_busy(it->second.get())) {
      // The same statement runs further out (a function called from it):
      // this call gets its own copy.
      current_->spare.push_back(connection.db->Prepare(sql));
      return current_->spare.back().get();
    }
    return it->second.get();
  }
  FunctionResolver* Functions() override { return this; }
  std::shared_ptr<StoredCode> Code() override {
    OpenDatabase& d = *current_;
    const int version = d.connection->db->SchemaVersion();
    if (sqlite3_get_autocommit(d.connection->db->Handle())) {
      if (!d.codeNow || d.codeNow->SchemaVersion() != version) d.codeNow = d.code->At(version);
      return d.codeNow;
    }
    // Inside a transaction the schema may hold what other sessions never
    // see, and a rollback gives its version number to the next change.
    if (!uncommittedCode_ || uncommittedCode_->SchemaVersion() != version) {
      uncommittedCode_ = std::make_shared<StoredCode>(version);
    }
    return uncommittedCode_;
  }
  void TransactionEnded() override {
    // What was compiled or translated under the transaction's schema
    // versions may not hold after it: a rolled-back change gives its
    // version number to the next one.
    uncommittedCode_.reset();
    current_->translations.clear();
    current_->connection->catalog->Invalidate();
  }
  SqliteDb& CurrentDb() override { return *current_->connection->db; }
  void SetLockTimeout(int milliseconds) override { lockPolicy_.timeoutMs = milliseconds; }
  int LockTimeout() const override { return lockPolicy_.timeoutMs; }
  DateSettings& Dates() override { return dates_; }
  int& TranCount() override { return tranCount_; }
  TransactionState& OpenTransaction() override { return transaction_; }
  bool& XactAbort() override { return xactAbort_; }
  int& LastError() override { return lastError_; }
  Value& LastIdentity() override { return lastIdentity_; }
  IdentityInsertTable& IdentityInsert() override { return identityInsert_; }
  AppLocks& ApplicationLocks() override { return appLocks_; }
  CursorSet& GlobalCursors() override { return cursors_; }
  long long& RowCountLimit() override { return rowCountLimit_; }
  int& FetchStatus() override { return fetchStatus_; }

  // FunctionResolver
  std::shared_ptr<const CompiledRoutine> ScalarFunction(const std::string& name) override {
    std::string bare = name;
    if (const auto dot = bare.rfind('.'); dot != std::string::npos) bare = bare.substr(dot + 1);
    auto routine = Code()->Routine(*current_->connection->catalog, bare);
    return routine && routine->object.xtype == "FN" ? routine : nullptr;
  }
  std::shared_ptr<const CompiledRoutine> TableFunction(const std::string& name) override {
    auto routine = Code()->Routine(*current_->connection->catalog, name);
    return routine && (routine->object.xtype == "IF" || routine->object.xtype == "TF") ? routine
                                                                                       : nullptr;
  }
  std::shared_ptr<const CompiledExpression> StoredExpression(const std::string& text) override {
    return Code()->Expression(text);
  }
  void CheckDeadline() override {
    if (deadline_ && std::chrono::steady_clock::now() > *deadline_) {
      throw DatabaseError("Query timeout expired", -2);
    }
  }

 private:
  BatchResult ExecuteBatch(std::string_view sql, const Params& params) {
    StartDeadline();
    const Command command(*this);
    BatchResult result;
    OpenDatabase& d = *current_;
    const std::string text(sql);
    const int version = d.connection->db->SchemaVersion();
    auto it = d.translations.find(text);
    if (it != d.translations.end() && it->second.schemaVersion == version) {
      RunCached(it->second.translation, params, result);
      return result;
    }
    Batch batch = ParseBatch(sql);
    if (batch.statements.size() == 1) {
      std::optional<Translation> t;
      try {
        t = TranslateSingle(*batch.statements[0]);
      } catch (const DatabaseError& e) {
        // Variables (@@ROWCOUNT …) need the interpreter's frame.
        if (e.Number() != 137) throw;
      }
      if (t) {
        // Temporary tables change outside the schema version the cache is
        // checked against: statements that may name one run uncached.
        if (text.find('#') != std::string::npos) {
          RunCached(*t, params, result);
          return result;
        }
        // Statements with literal values are each new: keep the cache bounded.
        if (d.translations.size() >= kMaxCachedTranslations) d.translations.clear();
        auto& slot = d.translations[text];
        slot = OpenDatabase::Cached{version, std::move(*t)};
        RunCached(slot.translation, params, result);
        return result;
      }
    }
    try {
      Interpreter(*this).RunBatch(sql, batch, params, result);
    } catch (DatabaseError& e) {
      if (!result.results.empty() || !result.messages.empty()) {
        e.SetPartial(std::make_shared<const BatchResult>(std::move(result)));
      }
      throw;
    }
    return result;
  }

  // Holds the current database's connection while a command (and what it
  // calls) runs.
  class Command {
   public:
    explicit Command(EmbeddedSession& session) : session_(session) {
      if (session_.commands_++ == 0) session_.Attach();
    }
    ~Command() {
      if (--session_.commands_ == 0) session_.Detach();
    }
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

   private:
    EmbeddedSession& session_;
  };

  // Takes a connection to the current database: the one the session still
  // holds, an idle one of the process, or a new one.
  void Attach() {
    OpenDatabase& d = *current_;
    if (!d.connection) d.connection = d.pool->Take();
    if (!d.connection) d.connection = Connect(d.entry);
    d.connection->session = this;
    d.connection->db->SetLockPolicy(&lockPolicy_);
    d.connection->db->SetDateSettings(&dates_);
  }

  // After the command: the connection goes back unless it carries the
  // session's transaction or temporary tables.
  void Detach() {
    OpenDatabase& d = *current_;
    d.spare.clear();
    if (d.connection) d.connection->catalog->DropUndroppedTables();
    if (!d.connection || tranCount_ > 0) return;
    sqlite3* handle = d.connection->db->Handle();
    if (sqlite3_get_autocommit(handle) == 0) return;
    if (sqlite3_txn_state(handle, nullptr) != SQLITE_TXN_NONE) {
      // A statement left unfinished would keep its read snapshot for the next session.
      for (sqlite3_stmt* s = sqlite3_next_stmt(handle, nullptr); s;
           s = sqlite3_next_stmt(handle, s)) {
        if (sqlite3_stmt_busy(s)) sqlite3_reset(s);
      }
    }
    if (d.connection->Reusable()) d.Release();
  }

  // A new connection to the database, set up for every session of the process.
  std::unique_ptr<PooledConnection> Connect(const DatabaseEntry& entry) {
    auto c = std::make_unique<PooledConnection>();
    c->db = std::make_unique<SqliteDb>(entry.file, false, &lockPolicy_);
    c->db->SetName(entry.name);
    Catalog::UpgradeSystemTables(*c->db, entry.id == 1);
    if (entry.id == 1) server_->PresentSystemTables(*c->db);
    RegisterCollatedFunctions(c->db->Handle(), entry.collation);
    sqlite3_create_function_v2(c->db->Handle(), "tsql_udf", -1, SQLITE_UTF8, c.get(),
                               &EmbeddedSession::UserFunction, nullptr, nullptr, nullptr);
    for (int arguments = 0; arguments <= 1; ++arguments) {
      sqlite3_create_function_v2(c->db->Handle(), "tsql_db_id", arguments, SQLITE_UTF8, c.get(),
                                 &EmbeddedSession::DatabaseId, nullptr, nullptr, nullptr);
    }
    sqlite3_create_function_v2(c->db->Handle(), "tsql_db_name", 1, SQLITE_UTF8, c.get(),
                               &EmbeddedSession::DatabaseNameOf, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(c->db->Handle(), "tsql_databases", 0, SQLITE_UTF8, c.get(),
                               &EmbeddedSession::DatabaseList, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(c->db->Handle(), "tsql_logins", 0, SQLITE_UTF8, c.get(),
                               &EmbeddedSession::LoginList, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(c->db->Handle(), "tsql_login", 0, SQLITE_UTF8, c.get(),
                               &EmbeddedSession::SessionLogin, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(c->db->Handle(), "tsql_session", 1, SQLITE_UTF8, c.get(),
                               &EmbeddedSession::SessionValue, nullptr, nullptr, nullptr);
    RegisterUserTableFunctions(*c, entry.collation);
    sqlite3_progress_handler(c->db->Handle(), 4000, &EmbeddedSession::Progress, c.get());
    c->catalog = std::make_unique<Catalog>(*c->db, entry.name, entry.collation);
    ConvertLegacyExactValues(*c->catalog);
    return c;
  }

  // The session running on the connection a callback of SQLite came from.
  static EmbeddedSession* RunningOn(void* connection) {
    return static_cast<EmbeddedSession*>(static_cast<PooledConnection*>(connection)->session);
  }

  void Open(const DatabaseEntry& found) {
    // In use from here on: DROP DATABASE elsewhere is refused. A drop that
    // was under way has been waited for, so the entry is read again.
    DatabaseLock inUse = DatabaseLock::Shared(server_->DataDirectory(), found.id);
    const auto entry = server_->FindDatabase(found.name);
    if (!entry || entry->id != found.id) {
      throw ServerErrorByNumber(911, {found.name});
    }
    if (!std::filesystem::exists(entry->file)) {
      throw ServerErrorByNumber(945, {entry->name, entry->file.string()});
    }
    auto d = std::make_unique<OpenDatabase>();
    d->entry = *entry;
    d->inUse = std::move(inUse);
    d->code = SharedDatabaseCode(entry->file);
    d->pool.emplace(ConnectionPool::Instance(), entry->file);
    // Connected now, so that a file that cannot be opened fails the USE or
    // the login, not a later command.
    std::unique_ptr<OpenDatabase> previous = std::move(current_);
    current_ = std::move(d);
    try {
      Attach();
    } catch (...) {
      current_ = std::move(previous);
      throw;
    }
    previous.reset();
    uncommittedCode_.reset();
    if (commands_ == 0) Detach();
  }

  // tsql_tvf('name', args…): a multi-statement table-valued function, its
  // body run by the interpreter for each call.
  static void RegisterUserTableFunctions(PooledConnection& connection,
                                         const std::string& collation) {
    moltaro::db::embedded::TableFunction function;
    function.name = "tsql_tvf";
    function.resultColumns = kUserTableFunctionColumns;
    function.arguments = 1 + kUserTableFunctionArguments;
    function.collation = collation;
    function.rows = [&connection](const std::vector<sqlite3_value*>& argv) {
      EmbeddedSession* self = RunningOn(&connection);
      if (!self) throw DatabaseError("A user function ran outside any session's command.", 0);
      const std::string name = ArgText(argv.at(0));
      std::vector<StoredValue> args;
      for (std::size_t i = 1; i < argv.size() && argv[i]; ++i)
        args.push_back(ReadArg(argv[i]).value);
      if (++self->nesting_ > 32) {
        --self->nesting_;
        throw ServerErrorByNumber(217, {"32"});
      }
      struct Unnest {
        EmbeddedSession& session;
        ~Unnest() { --session.nesting_; }
      } unnest{*self};
      return Interpreter(*self).CallTableFunction(name, args);
    };
    RegisterTableFunction(connection.db->Handle(), std::move(function));
  }

  // tsql_session('NAME'): what the session tells of itself: @@SPID its
  // number, fixed while it lives; SYSTEM_USER the login it connected with;
  // its user in any database is dbo (as USER_NAME() says); the client's
  // computer is this one.
  static void SessionValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const EmbeddedSession* self = RunningOn(sqlite3_user_data(ctx));
    if (!self) {
      sqlite3_result_error(ctx, "The session's functions ran outside any session's command.", -1);
      return;
    }
    const std::string name = ArgText(argv[0]);
    if (name == "@@SPID") {
      sqlite3_result_int(ctx, self->sessionId_);
      return;
    }
    std::string value;
    if (name == "SYSTEM_USER") {
      value = self->login_;
    } else if (name == "SESSION_USER") {
      value = "dbo";
    } else if (name == "HOST_NAME") {
      char host[256] = {};
      if (gethostname(host, sizeof host - 1) == 0) value = host;
    } else if (name == "APP_NAME") {
      value = self->application_;
    } else {
      sqlite3_result_null(ctx);
      return;
    }
    sqlite3_result_text(ctx, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
  }

  // tsql_udf('name', args…): a scalar user function, run by the interpreter.
  static void UserFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    EmbeddedSession* self = RunningOn(sqlite3_user_data(ctx));
    if (!self) {
      sqlite3_result_error(ctx, "A user function ran outside any session's command.", -1);
      return;
    }
    try {
      const std::string name = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
      std::vector<StoredValue> args;
      for (int i = 1; i < argc; ++i) args.push_back(ReadArg(argv[i]).value);
      if (++self->nesting_ > 32) {
        --self->nesting_;
        throw ServerErrorByNumber(217, {"32"});
      }
      StoredValue v;
      try {
        v = Interpreter(*self).CallFunction(name, args);
      } catch (...) {
        --self->nesting_;
        throw;
      }
      --self->nesting_;
      ResultValue(ctx, v);
    } catch (const DatabaseError& e) {
      ResultError(ctx, SqlError{e.Number(), e.what()});
    } catch (const std::exception& e) {
      sqlite3_result_error(ctx, e.what(), -1);
    }
  }

  // tsql_db_id([name]): the dbid of the current or the named database, NULL
  // for a name no database has.
  static void DatabaseId(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    EmbeddedSession* self = RunningOn(sqlite3_user_data(ctx));
    if (!self) {
      sqlite3_result_error(ctx, "DB_ID ran outside any session's command.", -1);
      return;
    }
    try {
      if (argc == 0) {
        sqlite3_result_int(ctx, self->current_->entry.id);
        return;
      }
      if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
      }
      const auto entry =
          self->server_->FindDatabase(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
      if (entry) {
        sqlite3_result_int(ctx, entry->id);
      } else {
        sqlite3_result_null(ctx);
      }
    } catch (const DatabaseError& e) {
      ResultError(ctx, SqlError{e.Number(), e.what()});
    }
  }

  // tsql_db_name(id): the database's name, NULL for an id no database has.
  static void DatabaseNameOf(sqlite3_context* ctx, int, sqlite3_value** argv) {
    EmbeddedSession* self = RunningOn(sqlite3_user_data(ctx));
    if (!self) {
      sqlite3_result_error(ctx, "DB_NAME ran outside any session's command.", -1);
      return;
    }
    try {
      const auto name = sqlite3_value_type(argv[0]) == SQLITE_NULL
                            ? std::nullopt
                            : self->server_->DatabaseName(sqlite3_value_int(argv[0]));
      if (name) {
        sqlite3_result_text(ctx, name->c_str(), -1, SQLITE_TRANSIENT);
      } else {
        sqlite3_result_null(ctx);
      }
    } catch (const DatabaseError& e) {
      ResultError(ctx, SqlError{e.Number(), e.what()});
    }
  }

  // tsql_databases(): master's databases as sys.databases reads them.
  static void DatabaseList(sqlite3_context* ctx, int, sqlite3_value**) {
    EmbeddedSession* self = RunningOn(sqlite3_user_data(ctx));
    if (!self) {
      sqlite3_result_error(ctx, "sys.databases was read outside any session's command.", -1);
      return;
    }
    try {
      const std::string json = DatabasesJson(self->server_->Databases());
      sqlite3_result_text(ctx, json.c_str(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
    } catch (const DatabaseError& e) {
      ResultError(ctx, SqlError{e.Number(), e.what()});
    }
  }

  // tsql_login(): the login the session connected as.
  static void SessionLogin(sqlite3_context* ctx, int, sqlite3_value**) {
    const EmbeddedSession* self = RunningOn(sqlite3_user_data(ctx));
    if (!self) {
      sqlite3_result_error(ctx, "The login was read outside any session's command.", -1);
      return;
    }
    sqlite3_result_text(ctx, self->login_.c_str(), -1, SQLITE_TRANSIENT);
  }

  // tsql_logins(): master's logins as sys.server_principals reads them.
  static void LoginList(sqlite3_context* ctx, int, sqlite3_value**) {
    EmbeddedSession* self = RunningOn(sqlite3_user_data(ctx));
    if (!self) {
      sqlite3_result_error(ctx, "The server's logins were read outside any session's command.", -1);
      return;
    }
    try {
      const std::string json = LoginsJson(self->server_->Logins());
      sqlite3_result_text(ctx, json.c_str(), static_cast<int>(json.size()), SQLITE_TRANSIENT);
    } catch (const DatabaseError& e) {
      ResultError(ctx, SqlError{e.Number(), e.what()});
    }
  }

  static int Progress(void* connection) {
    const EmbeddedSession* s = RunningOn(connection);
    return s && s->deadline_ && std::chrono::steady_clock::now() > *s->deadline_ ? 1 : 0;
  }

  void StartDeadline() {
    if (timeoutSeconds_ > 0) {
      deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds_);
    } else {
      deadline_.reset();
    }
    lockPolicy_.deadline = deadline_;
  }

  // A lone SELECT/INSERT/UPDATE/DELETE without variables is translated once
  // and reused until the schema changes.
  std::optional<Translation> TranslateSingle(const moltaro::db::embedded::Statement& s) {
    Catalog& catalog = CurrentCatalog();
    Translator t(catalog, nullptr, this);
    switch (s.kind) {
      case StatementKind::Select: {
        const Select& select = *static_cast<const SelectStatement&>(s).select;
        if (select.into) return std::nullopt;  // makes a table: the interpreter's work
        Translation tr = t.Query(select);
        if (!tr.variables.empty()) return std::nullopt;
        return tr;
      }
      // OUTPUT rows come from the interpreter's capture of the changed rows.
      case StatementKind::Insert: {
        const auto& insert = static_cast<const InsertStatement&>(s);
        // runs a procedure first: the interpreter's work
        if (insert.exec || insert.output) return std::nullopt;
        return WithoutTriggers(t.Insert(insert));
      }
      case StatementKind::Update: {
        const auto& update = static_cast<const UpdateStatement&>(s);
        if (update.output) return std::nullopt;
        return WithoutTriggers(t.Update(update));
      }
      case StatementKind::Delete: {
        const auto& del = static_cast<const DeleteStatement&>(s);
        if (del.output) return std::nullopt;
        return WithoutTriggers(t.Delete(del));
      }
      default:
        return std::nullopt;
    }
  }

  // A change to a table with triggers runs in the interpreter, which fires
  // them; none: the translation, kept beyond the table's shape it names.
  std::optional<Translation> WithoutTriggers(Translation t) {
    if (t.target && !Code()->Triggers(CurrentCatalog(), t.target->id).empty()) {
      return std::nullopt;
    }
    t.target = nullptr;
    return t;
  }

  // A statement run without the interpreter clears @@ERROR as it would.
  void RunCached(const Translation& t, const Params& params, BatchResult& result) {
    if (!t.returnsRows) RefuseChangeUnderRowCount(*this);
    StatementOutcome o = RunTranslation(*this, t, params, [](const std::string& name) -> Value {
      throw ServerErrorByNumber(137, {name});
    });
    lastError_ = 0;
    if (t.returnsRows) {
      CutToRowCount(*this, o);
      result.results.emplace_back(t.columns, std::move(o.rows));
    } else {
      result.rowsAffected = o.changes;
    }
  }

  std::unique_ptr<Server> server_;
  std::string login_;
  std::string application_;
  int sessionId_;
  LockPolicy lockPolicy_;  // before the connections that point to it
  DateSettings dates_;     // likewise
  std::unique_ptr<OpenDatabase> current_;
  std::shared_ptr<StoredCode> uncommittedCode_;
  int timeoutSeconds_ = 30;
  int nesting_ = 0;
  int commands_ = 0;  // commands running (a USE inside one opens a database)
  int tranCount_ = 0;
  TransactionState transaction_;
  bool xactAbort_ = false;
  int lastError_ = 0;
  Value lastIdentity_;
  IdentityInsertTable identityInsert_;
  CursorSet cursors_;
  long long rowCountLimit_ = 0;
  int fetchStatus_ = -1;
  AppLocks appLocks_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
};

}  // namespace

std::unique_ptr<Session> OpenEmbeddedSession(const std::filesystem::path& dataDirectory,
                                             const ConnectionString& settings) {
  auto server = std::make_unique<Server>(dataDirectory);
  const std::string login = Trim(settings.GetOr("User ID", ""));
  const std::string password = settings.GetOr("Password", "");
  const std::string defaultDatabase = server->Authenticate(login, password);
  std::string catalogName = Trim(settings.GetOr("Initial Catalog", ""));
  if (catalogName.empty()) catalogName = defaultDatabase;
  auto entry = server->FindDatabase(catalogName);
  if (!entry) {
    throw ServerErrorByNumber(4060, {catalogName});
  }
  return std::make_unique<EmbeddedSession>(std::move(server), login,
                                           settings.GetOr("Application Name", ""), *entry);
}

void InitializeServer(const std::filesystem::path& dataDirectory, const std::string& saPassword) {
  Server::Initialize(dataDirectory, saPassword);
}

}  // namespace moltaro::db::embedded
