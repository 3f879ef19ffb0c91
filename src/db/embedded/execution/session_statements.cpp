// The statements of a session's settings and of maintenance: SET options,
// DBCC, CHECKPOINT, UPDATE STATISTICS and the permission statements.
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "common/text.h"
#include "db/embedded/execution/identity_commands.h"
#include "db/embedded/execution/interpreter.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

constexpr const char* kDbccCompleted =
    "DBCC execution completed. If DBCC printed error messages, contact your system "
    "administrator.";

bool NoInfoMessages(const DbccStatement& s) {
  return std::find(s.options.begin(), s.options.end(), "NO_INFOMSGS") != s.options.end();
}

// Options whose every value is how this server behaves anyway.
constexpr const char* kAcceptedOptions[] = {
    "NOCOUNT",           "ANSI_NULLS",      "QUOTED_IDENTIFIER",       "ANSI_PADDING",
    "ANSI_WARNINGS",     "ARITHABORT",      "CONCAT_NULL_YIELDS_NULL", "NUMERIC_ROUNDABORT",
    "ANSI_NULL_DFLT_ON", "TRANSACTION",     "DEADLOCK_PRIORITY",       "TEXTSIZE",
    "STATISTICS IO",     "STATISTICS TIME", "STATISTICS PROFILE",      "STATISTICS XML"};

// Options accepted OFF only: ON would change what statements do here.
constexpr const char* kOffOnlyOptions[] = {"IMPLICIT_TRANSACTIONS",
                                           "NOEXEC",
                                           "FMTONLY",
                                           "PARSEONLY",
                                           "ANSI_DEFAULTS",
                                           "CURSOR_CLOSE_ON_COMMIT",
                                           "FORCEPLAN",
                                           "SHOWPLAN_TEXT",
                                           "SHOWPLAN_ALL",
                                           "SHOWPLAN_XML",
                                           "REMOTE_PROC_TRANSACTIONS",
                                           "ANSI_NULL_DFLT_OFF"};

}  // namespace

void Interpreter::SetOption(const SetOptionStatement& opt, Context& c) {
  if (opt.option == "DATEFORMAT" || opt.option == "LANGUAGE" || opt.option == "DATEFIRST") {
    SetDateOption(opt, c);
    return;
  }
  if (opt.variable && opt.option == "ROWCOUNT") {
    // SET ROWCOUNT @n: the variable's value, NULL or negative counting as 0.
    Variable* v = c.frame->Find(opt.value);
    if (!v) throw ServerErrorByNumber(137, {opt.value});
    const Value n = ToApiValue(v->value);
    host_.RowCountLimit() = IsNull(n) ? 0 : std::max<long long>(0, ToInteger(n));
    return;
  }
  if (opt.variable) throw DatabaseError(NotSupported("SET " + opt.option + " from a variable"));
  if (opt.option == "LOCK_TIMEOUT") {
    long long milliseconds = 0;
    const char* end = opt.value.data() + opt.value.size();
    const auto [stop, error] = std::from_chars(opt.value.data(), end, milliseconds);
    if (error != std::errc() || stop != end || milliseconds > INT32_MAX) {
      throw ServerErrorByNumber(102, {opt.value});
    }
    host_.SetLockTimeout(static_cast<int>(std::max(-1LL, milliseconds)));
    return;
  }
  if (opt.option == "XACT_ABORT" && (opt.value == "ON" || opt.value == "OFF")) {
    host_.XactAbort() = opt.value == "ON";
    return;
  }
  if (opt.option == "IDENTITY_INSERT") {
    SetIdentityInsert(host_, opt);
    return;
  }
  for (const char* a : kAcceptedOptions) {
    if (opt.option == a) return;
  }
  for (const char* a : kOffOnlyOptions) {
    if (opt.option == a && opt.value == "OFF") return;
  }
  if (opt.option == "ROWCOUNT" && !opt.value.empty() &&
      opt.value.find_first_not_of("0123456789") == std::string::npos && opt.value.size() <= 10) {
    host_.RowCountLimit() = std::stoll(opt.value);
    return;
  }
  throw DatabaseError(NotSupported("SET " + opt.option + " " + opt.value));
}

// SET DATEFORMAT, SET LANGUAGE and SET DATEFIRST, with the value written
// out or in a variable. A language brings its own date order and first day
// of the week; the other two change only what they name.
void Interpreter::SetDateOption(const SetOptionStatement& opt, Context& c) {
  std::string value = opt.value;
  if (opt.variable) {
    Variable* v = c.frame->Find(opt.value);
    if (!v) throw ServerErrorByNumber(137, {opt.value});
    value = Trim(TextOf(v->value));
  }
  DateSettings& dates = host_.Dates();
  if (opt.option == "DATEFORMAT") {
    const std::optional<DateOrder> order = DateOrderNamed(value);
    if (!order) throw ServerErrorByNumber(2741, {ToLowerAscii(value)});
    dates.order = *order;
    return;
  }
  if (opt.option == "LANGUAGE") {
    // Only languages whose names and settings this server knows exactly;
    // SQL Server's others would read and name dates differently.
    const Language* language = FindLanguage(value);
    if (!language) throw DatabaseError(NotSupported("SET LANGUAGE " + ToUpperAscii(value)));
    dates.language = language;
    dates.order = language->dateFormat;
    dates.firstDay = language->dateFirst;
    c.out->messages.push_back(
        FormatServerMessage(FindServerMessage(5703)->text, {std::string(language->name)}));
    return;
  }
  if (value.size() != 1 || value[0] < '1' || value[0] > '7') {
    throw DatabaseError(NotSupported("SET DATEFIRST " + value));
  }
  dates.firstDay = value[0] - '0';
}

Value Interpreter::HelpLanguage(std::vector<CallArgument>& args, Context& c) {
  std::optional<std::string> named;
  for (const CallArgument& a : args) {
    const std::string parameter = ToUpperAscii(a.name);
    if (named || (!parameter.empty() && parameter != "@LANGUAGE")) {
      throw ServerErrorByNumber(8144, {"sp_helplanguage"});
    }
    if (a.value && !std::holds_alternative<std::monostate>(*a.value)) {
      named = Trim(TextOf(*a.value));
    } else {
      named = std::string();
    }
  }
  const Language* only = nullptr;
  if (named && !named->empty()) {
    only = FindLanguage(*named);
    if (!only) throw DatabaseError(NotSupported("sp_helplanguage " + *named));
  }
  std::vector<std::vector<Value>> rows;
  for (const Language& l : Languages()) {
    if (only && only != &l) continue;
    rows.push_back({std::int64_t{l.langid}, std::string(DateOrderName(l.dateFormat)),
                    std::int64_t{l.dateFirst}, std::int64_t{0}, std::string(l.name),
                    std::string(l.alias), std::string(l.months), std::string(l.shortMonths),
                    std::string(l.days), std::int64_t{l.lcid}, std::int64_t{l.msgLangid}});
  }
  c.out->results.emplace_back(
      std::vector<std::string>{"langid", "dateformat", "datefirst", "upgrade", "name", "alias",
                               "months", "shortmonths", "days", "lcid", "msglangid"},
      std::move(rows));
  return Value{std::int64_t{0}};
}

// The options as this server runs every session.
void Interpreter::ReportUserOptions(Context& c) {
  std::vector<std::vector<Value>> rows;
  auto row = [&](const char* option, Value value) {
    rows.push_back({Value(std::string(option)), std::move(value)});
  };
  row("textsize", Value(std::string("2147483647")));
  const DateSettings& dates = host_.Dates();
  row("language", Value(std::string(dates.language->name)));
  row("dateformat", Value(std::string(DateOrderName(dates.order))));
  row("datefirst", Value(std::to_string(dates.firstDay)));
  row("lock_timeout", Value(std::to_string(host_.LockTimeout())));
  for (const char* on : {"quoted_identifier", "arithabort", "ansi_null_dflt_on", "ansi_warnings",
                         "ansi_padding", "ansi_nulls", "concat_null_yields_null"}) {
    row(on, Value(std::string("SET")));
  }
  row("isolation level", Value(std::string("read committed")));
  c.out->results.emplace_back(std::vector<std::string>{"Set Option", "Value"}, std::move(rows));
  c.out->messages.emplace_back(kDbccCompleted);
}

void Interpreter::ReportOpenTransaction(Context& c) {
  if (host_.TranCount() == 0) {
    c.out->messages.emplace_back("No active open transactions.");
  } else {
    c.out->messages.emplace_back("Transaction information for database '" +
                                 host_.CurrentCatalog().DatabaseName() + "'.");
  }
  c.out->messages.emplace_back(kDbccCompleted);
}

// DBCC CHECKDB checks the current database's storage; USEROPTIONS and
// OPENTRAN report the session; the commands that only empty caches SQLite
// does not keep are accepted; the others are refused by name.
void Interpreter::RunDbcc(const DbccStatement& s, Context& c) {
  if (s.command == "CHECKIDENT") {
    RunCheckIdent(s, c, NoInfoMessages(s));
    return;
  }
  if (s.command == "USEROPTIONS") {
    ReportUserOptions(c);
    return;
  }
  if (s.command == "OPENTRAN") {
    ReportOpenTransaction(c);
    return;
  }
  if (s.command == "FREEPROCCACHE" || s.command == "DROPCLEANBUFFERS" ||
      s.command == "FREESYSTEMCACHE" || s.command == "FREESESSIONCACHE") {
    if (!NoInfoMessages(s)) c.out->messages.emplace_back(kDbccCompleted);
    return;
  }
  if (s.command != "CHECKDB") throw DatabaseError(NotSupported("DBCC " + s.command));
  Catalog& catalog = host_.CurrentCatalog();
  const std::string& database = catalog.DatabaseName();
  if (!s.arguments.empty()) {
    const Value named = ToApiValue(Evaluate(*s.arguments.front(), c));
    const bool current =
        (std::holds_alternative<std::int64_t>(named) && std::get<std::int64_t>(named) == 0) ||
        EqualsIgnoreCaseAscii(ToText(named), database);
    if (!current) throw DatabaseError(NotSupported("DBCC CHECKDB of another database"));
  }
  std::vector<std::string> problems;
  const StmtHandle check = catalog.Db().Prepare("PRAGMA integrity_check");
  while (sqlite3_step(check.get()) == SQLITE_ROW) {
    const auto* line = reinterpret_cast<const char*>(sqlite3_column_text(check.get(), 0));
    if (line != nullptr && std::string_view(line) != "ok") problems.emplace_back(line);
  }
  const DatabaseError summary =
      ServerErrorByNumber(8989, {"0", std::to_string(problems.size()), database});
  if (!problems.empty()) throw WithDetail(summary, problems.front());
  if (!NoInfoMessages(s)) c.out->messages.emplace_back(summary.what());
}

// The database file's log (SQLite's write-ahead log) is written into it, as
// far as no reader still needs it.
void Interpreter::Checkpoint() {
  if (host_.TranCount() > 0) return;  // the open transaction's pages are not done yet
  const StmtHandle checkpoint =
      host_.CurrentCatalog().Db().Prepare("PRAGMA wal_checkpoint(PASSIVE)");
  while (sqlite3_step(checkpoint.get()) == SQLITE_ROW) {
  }
}

// The table's statistics are gathered again for the query planner.
void Interpreter::UpdateStatistics(const UpdateStatisticsStatement& s) {
  Catalog& catalog = host_.CurrentCatalog();
  const TableInfo* table = catalog.FindTable(s.table.name);
  if (table == nullptr || (table->xtype != "U " && table->xtype != "S ")) {
    throw ServerErrorByNumber(1088, {s.table.name});
  }
  if (!s.statistics.empty()) {
    const std::vector<IndexEntry> indexes = catalog.Indexes(table->id);
    const bool known = std::any_of(indexes.begin(), indexes.end(), [&](const IndexEntry& i) {
      return !i.sqliteName.empty() && catalog.Coll().Equal(i.name, s.statistics);
    });
    if (!known) throw ServerErrorByNumber(2767, {s.statistics});
  }
  catalog.Db().Exec("ANALYZE " + QuoteId(table->name));
}

void Interpreter::CheckPermissionStatement(const PermissionStatement& s) {
  Catalog& catalog = host_.CurrentCatalog();
  if (s.securable) {
    const std::string& name = s.securable->name;
    if (s.securableClass == "SCHEMA") {
      if (!catalog.FindSchema(name)) throw ServerErrorByNumber(15151, {"find", "schema", name});
    } else if (s.securableClass == "DATABASE") {
      if (!catalog.Coll().Equal(name, catalog.DatabaseName())) {
        throw ServerErrorByNumber(15151, {"find", "database", name});
      }
    } else if (s.securableClass.empty() || s.securableClass == "OBJECT") {
      if (!catalog.FindObject(name)) throw ServerErrorByNumber(15151, {"find", "object", name});
    } else {
      throw DatabaseError(NotSupported(s.action + " ON " + s.securableClass + "::"));
    }
  }
  for (const std::string& principal : s.principals) {
    const std::optional<int> id = catalog.FindPrincipal(principal);
    if (!id) throw ServerErrorByNumber(15151, {"find", "user", principal});
    // dbo, INFORMATION_SCHEMA and sys hold every permission they can have.
    if (*id == 1 || *id == 3 || *id == 4) throw ServerErrorByNumber(4617);
  }
}

// CREATE STATISTICS gathers SQLite's statistics of the table (its name and
// columns are not kept: SQLite has its own); DROP STATISTICS has nothing
// to drop.
void Interpreter::Statistics(const StatisticsStatement& s) {
  Catalog& catalog = host_.CurrentCatalog();
  for (const auto& [table, name] : s.statistics) {
    const TableInfo* found = catalog.FindTable(table.name);
    if (!found || found->xtype != "U ") throw ServerErrorByNumber(1088, {table.name});
    for (const std::string& column : s.columns) {
      if (!found->Find(catalog.Coll(), column)) throw ServerErrorByNumber(207, {column});
    }
    if (!s.drop) catalog.Db().Exec("ANALYZE " + QuoteId(found->name));
  }
}

}  // namespace moltaro::db::embedded
