#include "db/embedded/server/embedded_server.h"

#include <chrono>
#include <unordered_map>

#include "common/text.h"
#include "db/embedded/catalog/catalog.h"
#include "db/embedded/execution/interpreter.h"
#include "db/embedded/execution/sql_functions.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/server/database_lock.h"
#include "db/embedded/server/server.h"
#include "db/embedded/storage/legacy_exact_values.h"
#include "db/embedded/storage/sqlite_db.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/translator/translator.h"
#include "db/errors.h"

namespace moltaro::db::embedded {

namespace {

constexpr std::size_t kMaxCachedTranslations = 2000;
constexpr std::size_t kMaxCachedStatements = 512;

// One open database of a session: its SQLite connection, catalogue and the
// statements prepared on it.
struct OpenDatabase {
  DatabaseEntry entry;
  std::optional<DatabaseLock> inUse;  // before the connection, released after it
  std::unique_ptr<SqliteDb> db;
  std::unique_ptr<Catalog> catalog;
  std::unordered_map<std::string, StmtHandle> statements;  // by SQLite text
  std::vector<StmtHandle> spare;  // copies for nested use, dropped after each call
  // Single DML statements by their T-SQL text, valid for one schema version.
  struct Cached {
    int schemaVersion;
    Translation translation;
  };
  std::unordered_map<std::string, Cached> translations;
};

class EmbeddedSession final : public Session, public SessionHost, public FunctionResolver {
 public:
  EmbeddedSession(std::unique_ptr<Server> server, std::string login, const DatabaseEntry& entry)
      : server_(std::move(server)),
        login_(std::move(login)),
        appLocks_(server_->DataDirectory() / "locks") {
    server_->SetLockPolicy(&lockPolicy_);
    Open(entry);
  }
  ~EmbeddedSession() override { server_->SetLockPolicy(nullptr); }
  EmbeddedSession(const EmbeddedSession&) = delete;
  EmbeddedSession& operator=(const EmbeddedSession&) = delete;

  BatchResult Execute(std::string_view sql, const Params& params) override {
    StartDeadline();
    current_->spare.clear();
    BatchResult result;
    OpenDatabase& d = *current_;
    const std::string text(sql);
    const int version = d.db->SchemaVersion();
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
    Interpreter(*this).RunBatch(sql, batch, params, result);
    return result;
  }

  void CallProcedure(std::string_view name, ProcedureParameters& params) override {
    StartDeadline();
    current_->spare.clear();
    BatchResult ignored;
    Interpreter(*this).CallProcedure(name, params, ignored);
  }

  void SetCommandTimeout(int seconds) override { timeoutSeconds_ = seconds; }

  // SessionHost
  Catalog& CurrentCatalog() override {
    current_->catalog->CheckSchemaVersion();
    return *current_->catalog;
  }
  Server& GetServer() override { return *server_; }
  const std::string& Login() const override { return login_; }
  void Use(const std::string& database) override {
    if (nesting_ > 0) {
      throw DatabaseError(
          "a USE database statement is not allowed in a procedure, function or trigger.", 154);
    }
    if (tranCount_ > 0) throw DatabaseError(NotSupported("USE inside an open transaction"));
    auto entry = server_->FindDatabase(Trim(database));
    if (!entry) {
      throw DatabaseError("Database '" + database +
                              "' does not exist. Make sure that the name is entered correctly.",
                          911);
    }
    Open(*entry);
  }
  sqlite3_stmt* Statement(const std::string& sql) override {
    auto& cache = current_->statements;
    auto it = cache.find(sql);
    if (it == cache.end()) {
      if (cache.size() > kMaxCachedStatements && nesting_ == 0) cache.clear();
      it = cache.emplace(sql, current_->db->Prepare(sql)).first;
    }
    if (sqlite3_stmt_busy(it->second.get())) {
      // The same statement runs further out (a function called from it):
      // this call gets its own copy.
      current_->spare.push_back(current_->db->Prepare(sql));
      return current_->spare.back().get();
    }
    return it->second.get();
  }
  FunctionResolver* Functions() override { return this; }
  SqliteDb& CurrentDb() override { return *current_->db; }
  void SetLockTimeout(int milliseconds) override { lockPolicy_.timeoutMs = milliseconds; }
  int LockTimeout() const override { return lockPolicy_.timeoutMs; }
  int& TranCount() override { return tranCount_; }
  Value& LastIdentity() override { return lastIdentity_; }
  AppLocks& ApplicationLocks() override { return appLocks_; }

  // FunctionResolver
  bool IsScalarFunction(const std::string& name) override {
    std::string bare = name;
    if (const auto dot = bare.rfind('.'); dot != std::string::npos) bare = bare.substr(dot + 1);
    auto object = current_->catalog->FindObject(bare);
    return object && object->xtype == "FN";
  }
  void CheckDeadline() override {
    if (deadline_ && std::chrono::steady_clock::now() > *deadline_) {
      throw DatabaseError("Query timeout expired", -2);
    }
  }

 private:
  void Open(const DatabaseEntry& found) {
    // In use from here on: DROP DATABASE elsewhere is refused. A drop that
    // was under way has been waited for, so the entry is read again.
    DatabaseLock inUse = DatabaseLock::Shared(server_->DataDirectory(), found.id);
    const auto entry = server_->FindDatabase(found.name);
    if (!entry || entry->id != found.id) {
      throw DatabaseError("Database '" + found.name +
                              "' does not exist. Make sure that the name is entered correctly.",
                          911);
    }
    if (!std::filesystem::exists(entry->file)) {
      throw DatabaseError("Database '" + entry->name + "' cannot be opened: its file " +
                              entry->file.string() + " is missing.",
                          945);
    }
    auto d = std::make_unique<OpenDatabase>();
    d->entry = *entry;
    d->inUse = std::move(inUse);
    d->db = std::make_unique<SqliteDb>(entry->file, false, &lockPolicy_);
    d->db->SetName(entry->name);
    Catalog::UpgradeSystemTables(*d->db, entry->id == 1);
    if (entry->id == 1) server_->PresentSystemTables(*d->db);
    RegisterCollatedFunctions(d->db->Handle(), entry->collation);
    sqlite3_create_function_v2(d->db->Handle(), "tsql_udf", -1, SQLITE_UTF8, this,
                               &EmbeddedSession::UserFunction, nullptr, nullptr, nullptr);
    sqlite3_progress_handler(d->db->Handle(), 4000, &EmbeddedSession::Progress, this);
    d->catalog = std::make_unique<Catalog>(*d->db, entry->name, entry->collation);
    ConvertLegacyExactValues(*d->catalog);
    current_ = std::move(d);
  }

  // tsql_udf('name', args…): a scalar user function, run by the interpreter.
  static void UserFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    auto* self = static_cast<EmbeddedSession*>(sqlite3_user_data(ctx));
    try {
      const std::string name = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
      std::vector<StoredValue> args;
      for (int i = 1; i < argc; ++i) args.push_back(ReadArg(argv[i]).value);
      if (++self->nesting_ > 32) {
        --self->nesting_;
        throw DatabaseError(
            "Maximum stored procedure, function, trigger, or view nesting level exceeded (limit "
            "32).",
            217);
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

  static int Progress(void* self) {
    auto* s = static_cast<EmbeddedSession*>(self);
    return s->deadline_ && std::chrono::steady_clock::now() > *s->deadline_ ? 1 : 0;
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
        Translation tr = t.Query(*static_cast<const SelectStatement&>(s).select);
        if (!tr.variables.empty()) return std::nullopt;
        return tr;
      }
      case StatementKind::Insert:
        return t.Insert(static_cast<const InsertStatement&>(s));
      case StatementKind::Update:
        return t.Update(static_cast<const UpdateStatement&>(s));
      case StatementKind::Delete:
        return t.Delete(static_cast<const DeleteStatement&>(s));
      default:
        return std::nullopt;
    }
  }

  void RunCached(const Translation& t, const Params& params, BatchResult& result) {
    StatementOutcome o = RunTranslation(*this, t, params, [](const std::string& name) -> Value {
      throw DatabaseError("Must declare the scalar variable \"" + name + "\".", 137);
    });
    if (t.returnsRows) {
      result.results.emplace_back(t.columns, std::move(o.rows));
    } else {
      result.rowsAffected = o.changes;
    }
  }

  std::unique_ptr<Server> server_;
  std::string login_;
  LockPolicy lockPolicy_;  // before the connections that point to it
  std::unique_ptr<OpenDatabase> current_;
  int timeoutSeconds_ = 30;
  int nesting_ = 0;
  int tranCount_ = 0;
  Value lastIdentity_;
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
    throw DatabaseError(
        "Cannot open database \"" + catalogName + "\" requested by the login. The login failed.",
        4060);
  }
  return std::make_unique<EmbeddedSession>(std::move(server), login, *entry);
}

void InitializeServer(const std::filesystem::path& dataDirectory, const std::string& saPassword) {
  Server::Initialize(dataDirectory, saPassword);
}

}  // namespace moltaro::db::embedded
