// The syntax tree of the T-SQL subset the embedded server runs.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace moltaro::db::embedded {

struct Select;
struct Expr;
struct WindowSpec;
using ExprPtr = std::unique_ptr<Expr>;

// A declared data type: name as written (lower case), length (-1 none,
// -2 "max"), precision and scale (-1 when not given).
struct TypeSpec {
  std::string name;
  int length = -1;
  int precision = -1;
  int scale = -1;
};

// The functions an xml value() call becomes: the document's string value
// ('.'), and its first text node at the top ('(./text())[1]'). No name
// written in T-SQL can reach them.
inline constexpr std::string_view kXmlStringValueFunction = "XML.VALUE";
inline constexpr std::string_view kXmlFirstTextFunction = "XML.TEXT";

enum class ExprKind {
  Null,
  Integer,         // text holds the digits
  Float,           // text holds the number as written
  String,          // text holds the value
  Parameter,       // :name, index = order of appearance
  Variable,        // @name / @@name
  Column,          // parts: [qualifier…, column]
  Star,            // parts: qualifier (may be empty)
  Unary,           // text: "-", "+", "~", "NOT"
  Binary,          // text: operator ("+", "=", "AND", …); args[0], args[1]
  Function,        // text: name as written; args; distinct; star for count(*)
  Case,            // args: [operand or null, when1, then1, …, else or null]
  In,              // args[0] expr, args[1..] list, or select; negated
  Between,         // args: expr, low, high; negated
  Like,            // args: expr, pattern[, escape]; negated
  IsNull,          // args[0]; negated = IS NOT NULL
  Exists,          // select
  Subquery,        // select (scalar)
  Cast,            // args[0]; type
  BinaryConstant,  // text: the hex digits of 0x…
  // The row identity of the table a qualifier names (parts[0]): never
  // parsed, only made by the server's own rewrites (MERGE).
  RowId,
};

struct Expr {
  ExprKind kind = ExprKind::Null;
  std::string text;
  std::vector<std::string> parts;
  std::vector<ExprPtr> args;
  std::unique_ptr<Select> select;
  std::unique_ptr<WindowSpec> over;  // a function's OVER (…) clause
  TypeSpec type;
  int style = -1;  // CONVERT style
  // STRING_AGG … WITHIN GROUP (ORDER BY …): the keys follow the arguments in
  // `args`, one direction each.
  std::vector<bool> orderDescending;
  bool negated = false;
  bool distinct = false;
  bool star = false;
  bool national = false;
  int index = 0;
  std::size_t offset = 0;
  std::size_t endOffset = 0;
};

// db.schema.name, any part may be missing; `name` is always set.
struct ObjectName {
  std::string database;
  std::string schema;
  std::string name;
};

struct SelectItem {
  ExprPtr expr;
  std::string alias;
  bool hasAlias = false;
  std::string variable;  // SELECT @v = expr
};

// CrossApply / OuterApply: the source on the right is evaluated for each row
// of those on its left, and may read their columns.
enum class JoinKind { First, Comma, Inner, Left, Right, Full, Cross, CrossApply, OuterApply };

struct TableRef {
  ObjectName name;
  // A table-valued function: name(arguments).
  bool function = false;
  std::vector<ExprPtr> arguments;
  std::unique_ptr<Select> derived;
  // A parenthesised operand of UNION, EXCEPT or INTERSECT read as a derived
  // table: its columns need no names, as the chain takes them by position.
  bool setOperand = false;
  std::vector<TableRef> nested;  // a parenthesised join: (a JOIN b ON …)
  std::string alias;
  JoinKind join = JoinKind::First;
  ExprPtr on;
};

// WITH name [(columns)] AS (query): a query the statement names.
struct CommonTableExpr {
  std::string name;
  std::vector<std::string> columns;  // empty: the query's own names
  std::unique_ptr<Select> query;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

// OVER ([PARTITION BY …] [ORDER BY …] [ROWS|RANGE …]).
struct WindowSpec {
  std::vector<ExprPtr> partitionBy;
  std::vector<OrderItem> orderBy;
  std::vector<std::string> frame;  // ROWS/RANGE and its words, upper case
};

struct Select {
  std::vector<CommonTableExpr> with;  // the statement's WITH clause (outermost query)
  bool distinct = false;
  ExprPtr top;
  bool topPercent = false;
  std::vector<SelectItem> items;
  std::optional<ObjectName> into;
  std::vector<TableRef> from;
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  // GROUP BY … WITH ROLLUP / CUBE (or ROLLUP(…) / CUBE(…)): subtotal rows too.
  enum class Grouping { Plain, Rollup, Cube };
  Grouping grouping = Grouping::Plain;
  // OPTION (MAXRECURSION n) of the statement: how deep its recursive common
  // table expressions may go (0: no limit).
  int maxRecursion = 100;
  ExprPtr having;
  std::vector<OrderItem> orderBy;
  // FOR XML RAW|AUTO|PATH [('row')] [, TYPE] [, ELEMENTS] [, ROOT [('root')]]:
  // the rows as one XML text.
  struct ForXml {
    enum class Mode { Raw, Auto, Path };
    Mode mode = Mode::Raw;
    std::optional<std::string> rowName;
    bool type = false;
    bool elements = false;
    std::optional<std::string> root;
  };
  std::optional<ForXml> forXml;
  // The next query of a UNION, EXCEPT or INTERSECT chain and how it joins
  // this one (ALL only with UNION).
  enum class Combine { Union, Except, Intersect };
  std::unique_ptr<Select> unionNext;
  Combine combine = Combine::Union;
  bool unionAll = false;
};

enum class StatementKind {
  Select,
  Insert,
  Update,
  Delete,
  Truncate,
  CreateDatabase,
  AlterDatabase,
  DropDatabase,
  CreateTable,
  DropTable,
  AlterTable,
  CreateIndex,
  DropIndex,
  CreateRoutine,  // procedure, function, view (also ALTER)
  DropRoutine,
  Exec,
  Declare,
  SetVariable,
  SetOption,  // SET NOCOUNT ON and the like: accepted
  If,
  While,
  Block,
  Break,
  Continue,
  Return,
  Label,  // name:
  Goto,   // GOTO name
  Print,
  Raiserror,
  Use,
  Transaction,  // BEGIN TRAN / COMMIT / ROLLBACK / SAVE TRAN
  Dbcc,
  DeclareCursor,
  Cursor,   // OPEN, FETCH, CLOSE, DEALLOCATE
  Try,      // BEGIN TRY … END TRY BEGIN CATCH … END CATCH
  Throw,    // THROW [number, message, state]
  Waitfor,  // WAITFOR DELAY | TIME
  Checkpoint,
  UpdateStatistics,
  Permission,  // GRANT / DENY / REVOKE
  CreateSchema,
  DropSchema,
  Unsupported,        // a construct the server does not run: fails when reached
  CreateType,         // CREATE TYPE name FROM base [NULL | NOT NULL]
  DropType,           // DROP TYPE [IF EXISTS] name
  CreateBoundObject,  // CREATE RULE | DEFAULT name AS expression
  DropBoundObject,    // DROP RULE | DEFAULT [IF EXISTS] name, …
  Statistics,         // CREATE STATISTICS name ON t (c, …) / DROP STATISTICS t.name, …
  Reconfigure,        // RECONFIGURE [WITH OVERRIDE]
  Principal,          // CREATE/DROP ROLE, USER, LOGIN; ALTER ROLE; ALTER AUTHORIZATION
  Merge,
};

struct Statement {
  explicit Statement(StatementKind k) : kind(k) {}
  virtual ~Statement() = default;
  StatementKind kind;
  std::size_t offset = 0;     // where its text starts in the batch
  std::size_t endOffset = 0;  // where it ends
};
using StatementPtr = std::unique_ptr<Statement>;

struct SelectStatement : Statement {
  SelectStatement() : Statement(StatementKind::Select) {}
  std::unique_ptr<Select> select;
};

// OUTPUT items [INTO table [(columns)]] of INSERT, UPDATE, DELETE and
// MERGE: the items read `inserted` and `deleted` (and $action, a Column
// named "$action", in a MERGE).
struct OutputClause {
  std::vector<SelectItem> items;
  std::optional<ObjectName> into;
  std::vector<std::string> intoColumns;
};

struct InsertStatement : Statement {
  InsertStatement() : Statement(StatementKind::Insert) {}
  ObjectName table;
  std::vector<std::string> columns;
  std::vector<std::vector<ExprPtr>> rows;      // VALUES (…), (…)
  std::unique_ptr<Select> select;              // INSERT … SELECT
  std::unique_ptr<struct ExecStatement> exec;  // INSERT … EXEC: the rows of its result sets
  bool defaultValues = false;
  std::unique_ptr<OutputClause> output;
};

struct Assignment {
  std::vector<std::string> column;  // qualifier parts + column, or variable name in `variable`
  std::string variable;
  std::string op = "=";  // = += -= …
  ExprPtr value;
};

struct UpdateStatement : Statement {
  UpdateStatement() : Statement(StatementKind::Update) {}
  std::vector<CommonTableExpr> with;
  ObjectName table;  // may be an alias of a FROM table
  std::vector<Assignment> assignments;
  std::vector<TableRef> from;
  ExprPtr where;
  ExprPtr top;
  std::unique_ptr<OutputClause> output;
};

struct DeleteStatement : Statement {
  DeleteStatement() : Statement(StatementKind::Delete) {}
  std::vector<CommonTableExpr> with;
  ObjectName table;
  std::vector<TableRef> from;
  ExprPtr where;
  ExprPtr top;
  std::unique_ptr<OutputClause> output;
};

// WHEN MATCHED | WHEN NOT MATCHED [BY TARGET] | WHEN NOT MATCHED BY SOURCE
// [AND condition] THEN action.
enum class MergeMatch { Matched, NotMatchedByTarget, NotMatchedBySource };
enum class MergeAction { Update, Delete, Insert };

struct MergeClause {
  MergeMatch match = MergeMatch::Matched;
  ExprPtr condition;  // null: none
  MergeAction action = MergeAction::Update;
  std::vector<Assignment> assignments;  // UPDATE SET
  std::vector<std::string> columns;     // INSERT (columns): empty for all
  std::vector<ExprPtr> values;          // INSERT VALUES (…); DEFAULT as in InsertStatement
  bool defaultValues = false;           // INSERT DEFAULT VALUES
};

// [WITH …] MERGE [TOP (n)] [INTO] target [[AS] alias] USING source [[AS]
// alias] ON condition WHEN … ;
struct MergeStatement : Statement {
  MergeStatement() : Statement(StatementKind::Merge) {}
  std::vector<CommonTableExpr> with;
  ExprPtr top;
  ObjectName target;
  std::string targetAlias;
  TableRef source;  // a table or a derived table (VALUES become one)
  ExprPtr on;
  std::vector<MergeClause> clauses;
  std::unique_ptr<OutputClause> output;
};

struct TruncateStatement : Statement {
  TruncateStatement() : Statement(StatementKind::Truncate) {}
  ObjectName table;
};

struct DatabaseFile {
  std::string logicalName;
  std::string fileName;
};

struct CreateDatabaseStatement : Statement {
  CreateDatabaseStatement() : Statement(StatementKind::CreateDatabase) {}
  std::string name;
  std::vector<DatabaseFile> dataFiles;
  std::vector<DatabaseFile> logFiles;
  std::string collation;
};

struct DatabaseOption {
  std::string option;  // e.g. "RECOVERY"
  std::string value;   // e.g. "FULL"; empty for SINGLE_USER and the like
};

struct AlterDatabaseStatement : Statement {
  AlterDatabaseStatement() : Statement(StatementKind::AlterDatabase) {}
  std::string name;
  std::vector<DatabaseOption> options;  // SET a ON, b OFF …
  std::string collation;                // ALTER DATABASE … COLLATE
};

struct DropDatabaseStatement : Statement {
  DropDatabaseStatement() : Statement(StatementKind::DropDatabase) {}
  std::vector<std::string> names;
};

enum class ConstraintKind { PrimaryKey, Unique, Default, Check, ForeignKey };

// What a foreign key does to the referencing rows when the referenced row is
// deleted or its key updated; the numbers are SQL Server's
// (delete_referential_action / update_referential_action).
enum class ReferentialAction { NoAction = 0, Cascade = 1, SetNull = 2, SetDefault = 3 };

struct TableConstraint {
  ConstraintKind kind = ConstraintKind::PrimaryKey;
  std::string name;
  std::vector<std::string> columns;  // key columns, or the one column of a default
  ExprPtr defaultExpr;
  std::string defaultText;
  bool clustered = false;
  bool clusteredWritten = false;               // CLUSTERED or NONCLUSTERED was written
  ObjectName references;                       // FOREIGN KEY: the referenced table
  std::vector<std::string> referencedColumns;  // empty: its primary key
  ReferentialAction onDelete = ReferentialAction::NoAction;
  ReferentialAction onUpdate = ReferentialAction::NoAction;
};

struct ColumnDef {
  std::string name;
  TypeSpec type;
  std::optional<bool> nullable;
  ExprPtr defaultExpr;
  std::string defaultText;  // as the DDL wrote it, outer parentheses kept/added
  std::string defaultName;  // CONSTRAINT name DEFAULT …
  bool identity = false;
  long long identitySeed = 1;
  long long identityIncrement = 1;
  bool primaryKey = false;
  bool unique = false;
  std::string keyConstraintName;
  std::optional<bool> keyClustered;  // CLUSTERED / NONCLUSTERED as written
  std::string collation;
  bool computed = false;  // name AS (expression): computedExpr, computedText
  ExprPtr computedExpr;
  std::string computedText;
  bool persisted = false;
  std::vector<TableConstraint> checks;  // column-level CHECKs
};

struct CreateTableStatement : Statement {
  CreateTableStatement() : Statement(StatementKind::CreateTable) {}
  ObjectName table;
  std::vector<ColumnDef> columns;
  std::vector<TableConstraint> constraints;
};

struct CreateTypeStatement : Statement {
  CreateTypeStatement() : Statement(StatementKind::CreateType) {}
  ObjectName name;
  TypeSpec base;
  std::optional<bool> nullable;  // as written; NULL when not
};

// A rule or default of the old kind: an object of its own, bound to
// columns and user types by sp_bindrule / sp_bindefault.
struct CreateBoundObjectStatement : Statement {
  CreateBoundObjectStatement() : Statement(StatementKind::CreateBoundObject) {}
  bool rule = false;  // else a default
  ObjectName name;
  ExprPtr expr;      // a rule's condition names its value as a variable (@value)
  std::string text;  // the expression as written
};

struct DropBoundObjectStatement : Statement {
  DropBoundObjectStatement() : Statement(StatementKind::DropBoundObject) {}
  bool rule = false;
  bool ifExists = false;
  std::vector<ObjectName> names;
};

struct StatisticsStatement : Statement {
  StatisticsStatement() : Statement(StatementKind::Statistics) {}
  bool drop = false;
  // CREATE: one table and its columns; DROP: each table with its statistics' name.
  std::vector<std::pair<ObjectName, std::string>> statistics;
  std::vector<std::string> columns;
};

struct DropTypeStatement : Statement {
  DropTypeStatement() : Statement(StatementKind::DropType) {}
  ObjectName name;
  bool ifExists = false;
};

struct DropTableStatement : Statement {
  DropTableStatement() : Statement(StatementKind::DropTable) {}
  std::vector<ObjectName> tables;
  bool ifExists = false;  // DROP TABLE IF EXISTS: a missing table is skipped
};

enum class AlterTableAction {
  AddColumns,
  AlterColumn,
  DropColumns,
  DropConstraint,
  AddConstraint,
  CheckConstraints,    // CHECK CONSTRAINT ALL | names: enforced again
  NoCheckConstraints,  // NOCHECK CONSTRAINT ALL | names: no longer enforced
};

struct AlterTableStatement : Statement {
  AlterTableStatement() : Statement(StatementKind::AlterTable) {}
  ObjectName table;
  AlterTableAction action = AlterTableAction::AddColumns;
  std::vector<ColumnDef> columns;            // ADD / ALTER COLUMN (one)
  std::vector<std::string> names;            // DROP COLUMN / DROP CONSTRAINT
  std::vector<TableConstraint> constraints;  // ADD CONSTRAINT
  bool noCheck = false;                      // WITH NOCHECK: existing rows not checked
  bool withCheck = false;                    // WITH CHECK written
  bool allConstraints = false;               // CHECK / NOCHECK CONSTRAINT ALL
};

struct CreateIndexStatement : Statement {
  CreateIndexStatement() : Statement(StatementKind::CreateIndex) {}
  std::string name;
  ObjectName table;
  std::vector<std::string> columns;
  std::vector<bool> descending;
  bool unique = false;
  bool clustered = false;
  std::vector<std::string> included;  // INCLUDE (…)
  ExprPtr where;                      // a filtered index's predicate
  // WITH (name = value, …) / WITH name, …: upper case, "ON" for a bare name.
  std::vector<std::pair<std::string, std::string>> options;
};

struct DropIndexStatement : Statement {
  DropIndexStatement() : Statement(StatementKind::DropIndex) {}
  std::vector<std::pair<ObjectName, std::string>> indexes;  // table, index
  bool ifExists = false;
};

enum class RoutineKind { Procedure, ScalarFunction, InlineFunction, TableFunction, View, Trigger };

struct RoutineParameter {
  std::string name;  // with "@"
  TypeSpec type;
  ExprPtr defaultValue;
  bool output = false;
};

struct CreateRoutineStatement : Statement {
  CreateRoutineStatement() : Statement(StatementKind::CreateRoutine) {}
  bool alter = false;
  bool createOrAlter = false;  // CREATE OR ALTER: alters the object when it exists
  RoutineKind routine = RoutineKind::Procedure;
  ObjectName name;
  std::vector<RoutineParameter> parameters;
  TypeSpec returns;                                   // scalar function
  std::string returnTable;                            // TF: @table variable name
  std::shared_ptr<CreateTableStatement> returnShape;  // TF: the table's columns and keys
  std::vector<StatementPtr> body;                     // procedure, scalar or TF function
  std::unique_ptr<Select> query;                      // view, inline function
  // Trigger: the table or view it is on, its statements (INSERT, UPDATE,
  // DELETE) and whether it runs instead of them.
  ObjectName triggerTable;
  std::vector<std::string> triggerEvents;
  bool insteadOf = false;
};

struct DropRoutineStatement : Statement {
  DropRoutineStatement() : Statement(StatementKind::DropRoutine) {}
  RoutineKind routine = RoutineKind::Procedure;
  std::vector<ObjectName> names;
  bool ifExists = false;
};

struct ExecArgument {
  std::string name;  // "@p" when named
  ExprPtr value;     // null with DEFAULT
  bool output = false;
};

struct ExecStatement : Statement {
  ExecStatement() : Statement(StatementKind::Exec) {}
  std::string returnVariable;  // EXEC @r = proc
  ObjectName procedure;
  std::vector<ExecArgument> arguments;
  ExprPtr dynamicSql;  // EXEC ('…') / EXEC (@sql)
};

struct CreateTableStatement;

struct DeclareItem {
  std::string name;
  TypeSpec type;
  ExprPtr initial;
  // DECLARE @t TABLE (…): its columns and keys, under the variable's name.
  std::shared_ptr<CreateTableStatement> table;
};

struct DeclareStatement : Statement {
  DeclareStatement() : Statement(StatementKind::Declare) {}
  std::vector<DeclareItem> items;
};

struct SetVariableStatement : Statement {
  SetVariableStatement() : Statement(StatementKind::SetVariable) {}
  std::string variable;
  std::string op = "=";
  ExprPtr value;
};

struct SetOptionStatement : Statement {
  SetOptionStatement() : Statement(StatementKind::SetOption) {}
  std::string option;
  std::string value;
  bool variable = false;  // the value is a variable's name (SET LANGUAGE @name)
  ObjectName table;       // SET IDENTITY_INSERT table ON|OFF
};

struct IfStatement : Statement {
  IfStatement() : Statement(StatementKind::If) {}
  ExprPtr condition;
  StatementPtr then;
  StatementPtr otherwise;
};

struct WhileStatement : Statement {
  WhileStatement() : Statement(StatementKind::While) {}
  ExprPtr condition;
  StatementPtr body;
};

struct BlockStatement : Statement {
  BlockStatement() : Statement(StatementKind::Block) {}
  std::vector<StatementPtr> statements;
};

struct SimpleStatement : Statement {  // BREAK, CONTINUE
  explicit SimpleStatement(StatementKind k) : Statement(k) {}
};

// A label (`name:`) or GOTO name.
struct LabelStatement : Statement {
  explicit LabelStatement(StatementKind k) : Statement(k) {}
  std::string label;
};

struct ReturnStatement : Statement {
  ReturnStatement() : Statement(StatementKind::Return) {}
  ExprPtr value;
};

// DBCC command [(arguments)] [WITH options]
struct DbccStatement : Statement {
  DbccStatement() : Statement(StatementKind::Dbcc) {}
  std::string command;  // upper case
  std::vector<ExprPtr> arguments;
  std::vector<std::string> options;  // upper case
};

struct UpdateStatisticsStatement : Statement {
  UpdateStatisticsStatement() : Statement(StatementKind::UpdateStatistics) {}
  ObjectName table;
  std::string statistics;  // an index or statistics name; empty for all
};

// GRANT / DENY / REVOKE permissions [ON [class::]securable] TO|FROM principals
struct PermissionStatement : Statement {
  PermissionStatement() : Statement(StatementKind::Permission) {}
  std::string action;                    // GRANT, DENY, REVOKE
  std::vector<std::string> permissions;  // upper case, e.g. "SELECT", "VIEW DEFINITION"
  std::string securableClass;            // OBJECT, SCHEMA, DATABASE …; empty when not given
  std::optional<ObjectName> securable;   // none: a permission of the database
  std::vector<std::string> principals;
};

struct SchemaStatement : Statement {  // CREATE SCHEMA / DROP SCHEMA
  explicit SchemaStatement(StatementKind k) : Statement(k) {}
  std::string name;
  std::string owner;  // AUTHORIZATION; empty: dbo
};

// The statements of database principals and logins.
struct PrincipalStatement : Statement {
  enum class Action {
    CreateRole,
    DropRole,
    AddRoleMember,
    DropRoleMember,
    CreateUser,
    DropUser,
    CreateLogin,
    DropLogin,
    AlterAuthorization,
  };
  explicit PrincipalStatement(Action a) : Statement(StatementKind::Principal), action(a) {}
  Action action;
  std::string name;            // the role, user or login; ALTER AUTHORIZATION: the securable
  std::string owner;           // CREATE ROLE … AUTHORIZATION, ALTER AUTHORIZATION … TO
  std::string member;          // ALTER ROLE … ADD|DROP MEMBER
  std::string login;           // CREATE USER … FOR|FROM LOGIN
  bool withoutLogin = false;   // CREATE USER … WITHOUT LOGIN
  bool fromWindows = false;    // CREATE LOGIN … FROM WINDOWS
  std::string defaultSchema;   // CREATE USER … WITH DEFAULT_SCHEMA
  std::string securableClass;  // ALTER AUTHORIZATION ON class::name; empty: an object
  bool toSchemaOwner = false;  // ALTER AUTHORIZATION … TO SCHEMA OWNER
  bool ifExists = false;
};

// A statement of a construct the server does not run, kept in its place so
// that the statements around it run (and a routine holding it can be
// created); running it fails with `message`.
struct UnsupportedStatement : Statement {
  UnsupportedStatement() : Statement(StatementKind::Unsupported) {}
  std::string message;
};

struct PrintStatement : Statement {
  PrintStatement() : Statement(StatementKind::Print) {}
  ExprPtr value;
};

struct RaiserrorStatement : Statement {
  RaiserrorStatement() : Statement(StatementKind::Raiserror) {}
  std::vector<ExprPtr> args;         // message, severity, state, substitutions…
  std::vector<std::string> options;  // WITH LOG, NOWAIT, SETERROR (upper case)
};

struct TryStatement : Statement {
  TryStatement() : Statement(StatementKind::Try) {}
  std::vector<StatementPtr> body;
  std::vector<StatementPtr> handler;  // the CATCH block
};

struct ThrowStatement : Statement {
  ThrowStatement() : Statement(StatementKind::Throw) {}
  std::vector<ExprPtr> args;  // number, message, state; none to rethrow
};

struct WaitforStatement : Statement {
  WaitforStatement() : Statement(StatementKind::Waitfor) {}
  std::string kind;  // DELAY or TIME
  ExprPtr value;
};

struct UseStatement : Statement {
  UseStatement() : Statement(StatementKind::Use) {}
  std::string database;
};

struct TransactionStatement : Statement {
  TransactionStatement() : Statement(StatementKind::Transaction) {}
  std::string action;  // BEGIN, COMMIT, ROLLBACK, SAVE
  ExprPtr name;        // the transaction's or save point's name: a String or a Variable
};

// DECLARE name CURSOR [LOCAL|GLOBAL] [FORWARD_ONLY|SCROLL] [STATIC|…] FOR query
struct DeclareCursorStatement : Statement {
  DeclareCursorStatement() : Statement(StatementKind::DeclareCursor) {}
  std::string name;
  bool local = false;     // LOCAL: ends with its batch or procedure; else the session's
  bool scroll = false;    // SCROLL, STATIC, KEYSET, DYNAMIC: any direction of FETCH
  std::string queryText;  // the SELECT as written: run when the cursor is opened
};

struct CursorStatement : Statement {
  CursorStatement() : Statement(StatementKind::Cursor) {}
  std::string action;  // OPEN, FETCH, CLOSE, DEALLOCATE
  std::string name;
  bool global = false;             // the GLOBAL keyword: the session's cursor of that name
  std::string direction = "NEXT";  // FETCH: NEXT, PRIOR, FIRST, LAST, ABSOLUTE, RELATIVE
  ExprPtr offset;                  // ABSOLUTE n, RELATIVE n
  std::vector<std::string> into;   // FETCH … INTO @a, @b
};

}  // namespace moltaro::db::embedded
