// Runs parsed T-SQL batches and stored procedures: DML through the
// translator, DDL through the catalogue, and the procedural subset (DECLARE,
// SET, SELECT @v = …, IF/ELSE, BEGIN/END, WHILE, BREAK/CONTINUE, RETURN,
// EXEC, PRINT, RAISERROR, THROW, TRY/CATCH, save points) on variables of
// their own.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/embedded/binder/merge_plan.h"
#include "db/embedded/catalog/catalog.h"
#include "db/embedded/execution/app_locks.h"
#include "db/embedded/execution/cursors.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/server/server.h"
#include "db/embedded/translator/stored_code.h"
#include "db/embedded/translator/translator.h"
#include "db/procedure.h"
#include "db/session.h"

namespace moltaro::db::embedded {

// The session's open transaction beyond its nesting count (it outlives a
// batch): BEGIN TRAN's name for the outermost one, SAVE TRAN's names in the
// order saved, and whether an error caught under XACT_ABORT left it
// uncommittable (XACT_STATE() -1: it can only be rolled back).
struct TransactionState {
  std::string name;
  std::vector<std::string> savePoints;
  bool doomed = false;
};

// The table of a session that takes explicit identity values (SET
// IDENTITY_INSERT … ON).
struct IdentityInsertTable {
  std::string database;
  int tableId = 0;  // 0: none
  std::string table;
};

// What the interpreter needs of the session it runs in.
class SessionHost {
 public:
  virtual ~SessionHost() = default;
  virtual Catalog& CurrentCatalog() = 0;
  virtual Server& GetServer() = 0;
  virtual void Use(const std::string& database) = 0;
  // A prepared statement for SQLite text, reset and ready to bind.
  virtual sqlite3_stmt* Statement(const std::string& sql) = 0;
  virtual void CheckDeadline() = 0;
  virtual const std::string& Login() const = 0;
  virtual FunctionResolver* Functions() = 0;
  // The connection to the current database.
  virtual SqliteDb& CurrentDb() = 0;
  // SET LOCK_TIMEOUT, in milliseconds (-1: wait as long as it takes).
  virtual void SetLockTimeout(int milliseconds) = 0;
  // SET LOCK_TIMEOUT's value: -1 waits for ever.
  virtual int LockTimeout() const = 0;
  // Open BEGIN TRANSACTIONs of the session (they outlive a batch).
  virtual int& TranCount() = 0;
  virtual TransactionState& OpenTransaction() = 0;
  // SET XACT_ABORT ON.
  virtual bool& XactAbort() = 0;
  // @@ERROR: the number of the last statement's error, 0 after success; a
  // batch that failed leaves its error for the next one to read.
  virtual int& LastError() = 0;
  // The last identity value an INSERT of this session generated (@@IDENTITY).
  virtual Value& LastIdentity() = 0;
  // The application locks the session holds (sp_getapplock).
  virtual AppLocks& ApplicationLocks() = 0;
  // The compiled stored T-SQL of the current database at its schema version
  // as this session sees it.
  virtual std::shared_ptr<StoredCode> Code() = 0;
  // The table taking explicit identity values (one per session).
  virtual IdentityInsertTable& IdentityInsert() = 0;
  // After COMMIT or ROLLBACK of the session's transaction.
  virtual void TransactionEnded() = 0;
  // SET ROWCOUNT n: queries stop after n rows (0: no limit).
  virtual long long& RowCountLimit() = 0;
  // The session's global cursors, and @@FETCH_STATUS (its last FETCH).
  virtual CursorSet& GlobalCursors() = 0;
  virtual int& FetchStatus() = 0;
  // SET LANGUAGE, SET DATEFORMAT and SET DATEFIRST: how the session reads
  // text as dates and counts the days of the week (kept across batches).
  virtual DateSettings& Dates() = 0;
};

// Runs a translated statement: binds, steps, and collects rows when asked.
// Throws DatabaseError with SQL Server's wording for SQLite's failures.
struct StatementOutcome {
  std::vector<std::vector<Value>> rows;
  // With `keepExact`: the rows as SQLite gave them, exact numbers as numbers
  // (`rows` stays empty).
  std::vector<std::vector<StoredValue>> exactRows;
  long long changes = 0;
};
// SET ROWCOUNT: a query's rows are cut to the session's limit; a change is
// refused while one is set, before it runs (SQLite cannot stop an UPDATE or
// DELETE after n rows).
void CutToRowCount(SessionHost& host, StatementOutcome& outcome);
void RefuseChangeUnderRowCount(SessionHost& host);
StatementOutcome RunTranslation(SessionHost& host, const Translation& t, const Params& params,
                                const std::function<Value(const std::string&)>& variable,
                                bool keepExact = false);

// Whether `name` is one of SQL Server's own procedures that this server does
// not have (security, server configuration, full-text …): calling it is
// refused by name rather than reported missing.
bool IsUnsupportedSystemProcedure(std::string_view name);

// The declared type of a column made from a query's column (SELECT … INTO,
// a MERGE's match of source and target): the value's own type where the
// binder knows it, else what its class holds.
TypeSpec IntoColumnType(const TypedValue& value);

class Interpreter {
 public:
  explicit Interpreter(SessionHost& host) : host_(host) {}

  void RunBatch(std::string_view text, const Batch& batch, const Params& params, BatchResult& out);
  // A scalar user function (xtype FN) called from a statement; its value in
  // the function's declared type.
  StoredValue CallFunction(const std::string& name, const std::vector<StoredValue>& args);
  // A table-valued function called from a statement: the rows a
  // multi-statement function (xtype TF) left in its return table, in the
  // order they were inserted, or an inline one's (IF) query's.
  std::vector<std::vector<StoredValue>> CallTableFunction(const std::string& name,
                                                          const std::vector<StoredValue>& args);
  void CallProcedure(std::string_view name, ProcedureParameters& params, BatchResult& out);

 private:
  // Procedures, functions and triggers call each other at most this deep.
  static constexpr int kMaxNesting = 32;
  // Variables keep exact numbers as numbers, so that an assignment converts
  // them as SQL Server does (numeric to int truncates, text to int must be
  // digits).
  struct Variable {
    SqlType type;
    StoredValue value;
  };
  // The statement a trigger runs for: its kind (INSERT, UPDATE, DELETE),
  // the table's columns and those an UPDATE set (UPDATE(column)).
  struct TriggerEvent {
    std::string event;
    std::vector<ColumnInfo> columns;
    std::vector<std::string> setColumns;
  };
  class Frame : public VariableTypes {
   public:
    std::optional<SqlType> TypeOf(const std::string& name) const override;
    Variable* Find(const std::string& name);
    void Declare(const std::string& name, const SqlType& type, StoredValue value);
    long long rowCount = 0;
    std::optional<StoredValue> returnValue;
    const TriggerEvent* trigger = nullptr;  // in a trigger's body
    CursorSet cursors;                      // LOCAL cursors of the batch or procedure

   private:
    std::map<std::string, Variable> vars_;
  };
  // Goto: a GOTO left this list for the label in `gotoLabel_`.
  enum class Flow { Normal, Break, Continue, Return, Goto };
  struct Context {
    std::string_view text;
    const Params* params;
    BatchResult* out;
    Frame* frame;
    int depth;
    // The compiled code a routine's body comes from; null in batches.
    StoredCode* code = nullptr;
    // The procedure or function running (ERROR_PROCEDURE()); empty in batches.
    std::string procedure{};
    // Each batch, EXEC ('…') and routine call runs in a scope of its own: a
    // TRY does not catch its own scope's compile errors, only those of the
    // scopes it calls.
    int scope = 0;
  };
  // The error a CATCH block handles, as ERROR_NUMBER() … report it.
  struct Caught {
    DatabaseError error;  // rethrown by THROW without arguments
    int number;
    std::string message;
    int severity;
    int state;
    int line;
    std::string procedure{};
  };

  Flow Run(const Statement& s, Context& c);
  Flow RunStatement(const Statement& s, Context& c);
  Flow RunTry(const TryStatement& s, Context& c);
  void Raiserror(const RaiserrorStatement& s, Context& c);
  [[noreturn]] void Throw(const ThrowStatement& s, Context& c);
  void RunTransaction(const TransactionStatement& s, Context& c);
  // An uncommittable transaction accepts no change (3930).
  void RefuseWhenDoomed();
  // A batch or call that leaves an uncommittable transaction rolls it back
  // and says so (3998).
  void RollBackDoomed();
  // A value of the error being handled ("ERROR_NUMBER()" …) or XACT_STATE().
  Value SessionFunction(const std::string& key);
  Value ProcedureId(const Context& c);
  int SessionOptions();
  Flow RunList(const std::vector<StatementPtr>& list, Context& c);
  void RunBody(const std::vector<StatementPtr>& body, Context& c);
  StoredValue Evaluate(const Expr& e, Context& c);
  // The value of `e` for the variable: a sql_variant variable keeps the
  // expression's type as the value's base type.
  StoredValue EvaluateFor(const std::string& variable, const Expr& e, Context& c);
  StoredValue VariantFor(const std::string& variable, StoredValue value,
                         const std::optional<SqlType>& type, Context& c);
  // The translation of an expression ("SELECT <expr>", or as a condition
  // "SELECT CASE WHEN <expr> THEN 1 ELSE 0 END"); in a routine body made
  // once per schema version.
  std::shared_ptr<const Translation> Translate(const Expr& e, Context& c, bool condition);
  bool Condition(const Expr& e, Context& c);
  // `character`: the value is character data as written (a string literal,
  // a character variable, a client's parameter), which a date variable reads
  // in the session's DATEFORMAT in full (SourceValue::character).
  void Assign(Context& c, const std::string& name, const StoredValue& value,
              bool character = false);
  bool IsCharacterData(const Expr& e, Context& c);
  void RunQuery(const SelectStatement& s, Context& c);
  void SelectInto(const SelectStatement& s, const Translation& tr, Context& c);
  // INSERT … EXEC: the rows of the procedure's result sets inserted.
  void InsertFromExec(const InsertStatement& s, Context& c);
  // The rows an OUTPUT clause gives: its result set, or none when it writes
  // them INTO a table; `action` is what $action reads (a MERGE's action).
  struct OutputRows {
    const OutputClause* clause = nullptr;
    std::string action{};
    std::vector<std::string> columns{};
    std::vector<std::vector<Value>> rows{};
  };
  // INSERT, UPDATE or DELETE (`event`), with the triggers of its table and
  // the rows of its OUTPUT clause, if any.
  void RunChange(const Translation& t, Context& c, const char* event, OutputRows* output = nullptr);
  // A plain INSERT, UPDATE or DELETE with its OUTPUT clause (null: none).
  void RunChangeWithOutput(const Translation& t, Context& c, const char* event,
                           const OutputClause* clause);
  // The statement run with the table's triggers of `event`: the rows it
  // changes captured, then each trigger's body run once over them.
  void ChangeWithTriggers(const Translation& t, Context& c, const char* event,
                          const std::vector<std::shared_ptr<const CompiledRoutine>>& triggers,
                          bool insteadOf, OutputRows* output = nullptr);
  // The OUTPUT clause's rows over the captured inserted and deleted rows
  // (output_clause.cpp).
  void WriteOutput(OutputRows& output, const std::vector<ColumnInfo>& columns,
                   const std::string& insertedTable, const std::string& deletedTable, Context& c);
  void FireTrigger(const CompiledRoutine& trigger, const TriggerEvent& event,
                   const std::string& insertedTable, const std::string& deletedTable,
                   long long rows, Context& c);
  // MERGE (merge.cpp): its DELETE, UPDATE and INSERT over the match of
  // source and target, as one statement.
  void RunMerge(const MergeStatement& s, Context& c);
  long long MergeRows(const MergeStatement& s, const MergePlan& plan, int n, OutputRows* output,
                      Context& c);
  void CheckMergeTarget(const MergeStatement& s, const MergePlan& plan);
  // UPDATE(column) in a trigger's body.
  Value ColumnUpdated(const std::string& name, Context& c);
  // COLUMNS_UPDATED() in a trigger's body: a bit a column, by colid.
  Value ColumnsUpdated(Context& c);

  // A scope of table names: a batch, routine or trigger body, which alone
  // sees its table variables (and a trigger's inserted and deleted); they
  // end with it.
  class TableScope {
   public:
    explicit TableScope(Interpreter& interpreter, Catalog::ScopedTables tables = {});
    ~TableScope();
    TableScope(const TableScope&) = delete;
    TableScope& operator=(const TableScope&) = delete;

   private:
    Interpreter& interpreter_;
    std::size_t mark_;
  };
  void DeclareTableVariable(const DeclareItem& item, Context& c);
  // Runs a rollback of the session's transaction or to a save point; table
  // variables keep their rows through it, as they are no part of any
  // transaction.
  void RollBackKeepingTableVariables(const std::function<void()>& rollback);
  void Exec(const ExecStatement& s, Context& c);
  void RefuseInTransaction(const char* statement);
  struct CallArgument {
    std::string name;                  // "@p" when passed by name
    std::optional<StoredValue> value;  // none: the parameter's default
    bool output = false;
    std::function<void(const StoredValue&)> writeBack;
    bool character = false;  // the value is character data (see Assign)
  };
  Value InvokeProcedure(const std::string& name, std::vector<CallArgument>& args, Context& caller);
  // T-SQL text run as a batch of its own scope, with `frame` as its
  // variables (EXEC ('…'), sp_executesql).
  void RunDynamic(const std::string& text, Frame& frame, Context& c);
  // sp_executesql @stmt [, @params [, @p = value …]]: the text with its
  // declared parameters, OUTPUT ones written back.
  Value ExecuteSql(std::vector<CallArgument>& args, Context& c);
  // The server's own procedures; none when `name` is not one of them.
  std::optional<Value> TypeProcedure(const std::string& key, const std::string& name,
                                     std::vector<CallArgument>& args, Context& c);
  std::optional<Value> SystemProcedure(const std::string& name, std::vector<CallArgument>& args,
                                       Context& c);
  // sp_helptrigger table [, 'INSERT' | 'UPDATE' | 'DELETE']: the table's
  // triggers, one row each.
  Value HelpTrigger(std::vector<CallArgument>& args, Context& c);
  // sp_bindrule and its kin, sp_dbcmptlevel, sp_tableoption, sp_configure,
  // sp_createstats, sp_fulltext_database, sp_MSforeachtable / db
  // (admin_procedures.cpp); none when `key` is not one of them.
  std::optional<Value> AdministrationProcedure(const std::string& key,
                                               std::vector<CallArgument>& args, Context& c);
  Value CompatibilityLevel(std::vector<CallArgument>& args, Context& c);
  Value DatabaseOptions(std::vector<CallArgument>& args, Context& c);
  Value ForEach(const std::string& key, std::vector<CallArgument>& args, Context& c);
  // sp_helplanguage [@language]: sys.syslanguages' rows, or the one named.
  Value HelpLanguage(std::vector<CallArgument>& args, Context& c);
  // Statements of the session's settings and of maintenance
  // (session_statements.cpp).
  void SetOption(const SetOptionStatement& s, Context& c);
  void SetDateOption(const SetOptionStatement& s, Context& c);
  void Statistics(const StatisticsStatement& s);
  // sp_rename, sp_help, sp_helptext, the extended properties
  // (catalog_procedures.cpp);
  // none when `name` is not one of them.
  std::optional<Value> CatalogProcedure(const std::string& name, std::vector<CallArgument>& args,
                                        Context& c);
  void HelpText(const std::string& objectName, Context& c);
  void Help(const std::string& objectName, Context& c);
  void IndexList(const ObjectInfo& object, Context& c);
  void SetExtendedPropertyFromCall(const std::string& procedure,
                                   const std::map<std::string, std::string>& bound);
  void RunDbcc(const DbccStatement& s, Context& c);
  void ReportUserOptions(Context& c);
  void ReportOpenTransaction(Context& c);
  void Checkpoint();
  void UpdateStatistics(const UpdateStatisticsStatement& s);
  // GRANT / DENY / REVOKE: the securable and the principals must exist; the
  // server keeps no permissions of its own (a login is checked at login).
  void CheckPermissionStatement(const PermissionStatement& s);
  // Users, roles and logins (principal_procedures.cpp): the statements and
  // the older procedures (sp_addrole …); none when `key` is not one of them.
  void RunPrincipalStatement(const PrincipalStatement& s);
  std::optional<Value> PrincipalProcedure(const std::string& key, const std::string& name,
                                          std::vector<CallArgument>& args);
  // The login of that name (any letter case); none when the server has none.
  std::optional<std::string> FindLogin(const std::string& name);
  void CreateLogin(const std::string& name, bool windows);
  void DropLogin(const std::string& name, int unknownNumber);
  void CreateUserForLogin(const std::string& user, const std::string& login,
                          const std::string& defaultSchema);
  void RunCheckIdent(const DbccStatement& s, Context& c, bool quiet);
  void DeclareCursor(const DeclareCursorStatement& s, Context& c);
  void RunCursor(const CursorStatement& s, Context& c);
  void OpenCursor(Cursor& cursor, Context& c);
  void Fetch(const CursorStatement& s, Cursor& cursor, Context& c);
  // The cursor a statement names: the frame's local one first, then the
  // session's; throws 16916 when there is none.
  std::shared_ptr<Cursor> FindCursor(const std::string& name, bool global, Context& c);
  // Ends the session's transaction: SQLite's and the locks it owned.
  void EndTransaction(const char* sqliteStatement);
  std::function<Value(const std::string&)> Reader(Context& c);

  SessionHost& host_;
  // The errors being handled, innermost CATCH last.
  std::vector<Caught> handling_;
  int lastScope_ = 0;
  // Names the tables that capture one statement's rows for its triggers.
  int lastCapture_ = 0;
  // Names the match table and save point of each MERGE.
  int lastMerge_ = 0;
  // The triggers running, innermost last: a trigger's own changes do not
  // fire it again (no direct recursion).
  std::vector<int> firingTriggers_;
  // The label a GOTO jumps to, while the lists around it look for it.
  std::string gotoLabel_;
  // An INSERT … EXEC is running: another inside it is refused (8164). The
  // result sets it keeps, and the types of those that come from queries (by
  // their place among them).
  bool insertingFromExec_ = false;
  const BatchResult* keptResults_ = nullptr;
  std::map<std::size_t, std::vector<TypedValue>> keptTypes_;
  // The table variables alive, innermost scope's last: their SQLite table
  // and how to make it again (a rollback undoes what it made).
  struct TableVariable {
    std::string sqlName;
    std::string createSql;
    bool droppedWithScope = true;  // not a trigger's inserted and deleted, shared by its triggers
  };
  std::vector<TableVariable> tableVariables_;
};

}  // namespace moltaro::db::embedded
