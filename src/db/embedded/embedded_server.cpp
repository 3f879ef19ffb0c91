#include "db/embedded/embedded_server.h"

#include <chrono>
#include <unordered_map>

#include "common/text.h"
#include "db/embedded/catalog.h"
#include "db/embedded/interpreter.h"
#include "db/embedded/server.h"
#include "db/embedded/sql_functions.h"
#include "db/embedded/sqlite_db.h"
#include "db/embedded/translator.h"
#include "db/embedded/tsql_parser.h"
#include "db/errors.h"

namespace moltaro::db::embedded {

namespace {

// One open database of a session: its SQLite connection, catalogue and the
// statements prepared on it.
struct OpenDatabase {
  DatabaseEntry entry;
  std::unique_ptr<SqliteDb> db;
  std::unique_ptr<Catalog> catalog;
  std::unordered_map<std::string, StmtHandle> statements;  // by SQLite text
  // Single DML statements by their T-SQL text, valid for one schema version.
  struct Cached {
    int schemaVersion;
    Translation translation;
  };
  std::unordered_map<std::string, Cached> translations;
};

class EmbeddedSession final : public Session, public SessionHost {
 public:
  EmbeddedSession(std::unique_ptr<Server> server, std::string login, const DatabaseEntry& entry)
      : server_(std::move(server)), login_(std::move(login)) {
    Open(entry);
  }

  BatchResult Execute(std::string_view sql, const Params& params) override {
    StartDeadline();
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
      std::optional<Translation> t = TranslateSingle(*batch.statements[0]);
      if (t) {
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
      if (cache.size() > 512) cache.clear();
      it = cache.emplace(sql, current_->db->Prepare(sql)).first;
    }
    return it->second.get();
  }
  void CheckDeadline() override {
    if (deadline_ && std::chrono::steady_clock::now() > *deadline_) {
      throw DatabaseError("Query timeout expired", -2);
    }
  }

 private:
  void Open(const DatabaseEntry& entry) {
    if (!std::filesystem::exists(entry.file)) {
      throw DatabaseError("Database '" + entry.name + "' cannot be opened: its file " +
                              entry.file.string() + " is missing.",
                          945);
    }
    auto d = std::make_unique<OpenDatabase>();
    d->entry = entry;
    d->db = std::make_unique<SqliteDb>(entry.file, false);
    RegisterCollatedFunctions(d->db->Handle(), entry.collation);
    sqlite3_progress_handler(d->db->Handle(), 4000, &EmbeddedSession::Progress, this);
    d->catalog = std::make_unique<Catalog>(*d->db, entry.name, entry.collation);
    current_ = std::move(d);
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
  }

  // A lone SELECT/INSERT/UPDATE/DELETE without variables is translated once
  // and reused until the schema changes.
  std::optional<Translation> TranslateSingle(const moltaro::db::embedded::Statement& s) {
    Catalog& catalog = CurrentCatalog();
    Translator t(catalog, nullptr, nullptr);
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
  std::unique_ptr<OpenDatabase> current_;
  int timeoutSeconds_ = 30;
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
