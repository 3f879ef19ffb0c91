// The administration procedures install scripts of SQL Server 2000–2012
// call: binding rules and defaults, the compatibility level, table and
// server options that mean nothing here, statistics, and running a command
// for each table or database.
#include <algorithm>
#include <map>

#include "common/text.h"
#include "db/embedded/catalog/catalog_views.h"
#include "db/embedded/catalog/ddl.h"
#include "db/embedded/execution/interpreter.h"
#include "db/embedded/execution/procedure_arguments.h"
#include "db/embedded/server/server.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

std::optional<std::string> Given(const std::map<std::string, std::string>& bound,
                                 const char* parameter) {
  const auto it = bound.find(parameter);
  return it == bound.end() ? std::nullopt : std::optional<std::string>(it->second);
}

// The entry a name picks, as sp_configure and sp_dboption match names: the
// one of that name, else the only one whose name holds it (`matches`
// counts those that do; more than one picks none).
template <typename Entry, std::size_t N>
const Entry* FindByNamePart(const Entry (&entries)[N], const std::string& written, int& matches) {
  const std::string wanted = ToLowerAscii(Trim(written));
  const Entry* found = nullptr;
  matches = 0;
  for (const Entry& e : entries) {
    const std::string name = ToLowerAscii(e.name);
    if (name == wanted) {
      matches = 1;
      return &e;
    }
    if (!wanted.empty() && name.find(wanted) != std::string::npos) {
      found = &e;
      ++matches;
    }
  }
  return matches == 1 ? found : nullptr;
}

// A server option as sp_configure reports it; `fixed` options would change
// what statements do, so only their default is accepted.
struct ConfigOption {
  const char* name;
  long long minimum, maximum, value;
  bool fixed;
};

// SQL Server 2000's options and their defaults. The server runs every
// statement one way: an option that would change results keeps its default;
// the others (memory, parallelism, network) are accepted and change nothing.
constexpr ConfigOption kConfigOptions[] = {
    {"affinity mask", -2147483648LL, 2147483647, 0, false},
    {"allow updates", 0, 1, 0, true},
    {"awe enabled", 0, 1, 0, false},
    {"c2 audit mode", 0, 1, 0, false},
    {"clr enabled", 0, 1, 0, false},
    {"cost threshold for parallelism", 0, 32767, 5, false},
    {"cross db ownership chaining", 0, 1, 0, false},
    {"cursor threshold", -1, 2147483647, -1, false},
    {"default full-text language", 0, 2147483647, 1033, false},
    {"default language", 0, 9999, 0, true},
    {"disallow results from triggers", 0, 1, 0, true},
    {"fill factor (%)", 0, 100, 0, false},
    {"index create memory (KB)", 704, 2147483647, 0, false},
    {"lightweight pooling", 0, 1, 0, false},
    {"locks", 5000, 2147483647, 0, false},
    {"max degree of parallelism", 0, 32, 0, false},
    {"max server memory (MB)", 4, 2147483647, 2147483647, false},
    {"max text repl size (B)", 0, 2147483647, 65536, false},
    {"max worker threads", 32, 32767, 255, false},
    {"min memory per query (KB)", 512, 2147483647, 1024, false},
    {"min server memory (MB)", 0, 2147483647, 0, false},
    {"nested triggers", 0, 1, 1, true},
    {"network packet size (B)", 512, 65536, 4096, false},
    {"open objects", 0, 2147483647, 0, false},
    {"priority boost", 0, 1, 0, false},
    {"query governor cost limit", 0, 2147483647, 0, false},
    {"query wait (s)", -1, 2147483647, -1, false},
    {"remote access", 0, 1, 1, false},
    {"remote login timeout (s)", 0, 2147483647, 20, false},
    {"remote proc trans", 0, 1, 0, false},
    {"remote query timeout (s)", 0, 2147483647, 600, false},
    {"scan for startup procs", 0, 1, 0, false},
    {"show advanced options", 0, 1, 0, false},
    {"two digit year cutoff", 1753, 9999, 2049, true},
    {"user connections", 0, 32767, 0, false},
    {"user options", 0, 32767, 0, true},
    {"xp_cmdshell", 0, 1, 0, true},
};

// The option a name picks: the one of that name, else the only one whose
// name holds it, as sp_configure matches.
const ConfigOption& FindConfigOption(const std::string& name) {
  int matches = 0;
  const ConfigOption* found = FindByNamePart(kConfigOptions, name, matches);
  if (matches > 1) throw ServerErrorByNumber(15124, {name});
  if (!found) throw ServerErrorByNumber(15123, {name});
  return *found;
}

std::vector<Value> ConfigRow(const ConfigOption& o) {
  return {Value(std::string(o.name)), Value(std::int64_t{o.minimum}),
          Value(std::int64_t{o.maximum}), Value(std::int64_t{o.value}),
          Value(std::int64_t{o.value})};
}

// 'dbo.[t]' → 't'.
std::string LastPart(const std::string& name) {
  std::string part = name.substr(name.rfind('.') == std::string::npos ? 0 : name.rfind('.') + 1);
  if (part.size() > 1 && part.front() == '[' && part.back() == ']') {
    part = part.substr(1, part.size() - 2);
  }
  return part;
}

// "[name]" with its closing brackets doubled, as sp_MSforeachtable names tables.
std::string Bracketed(const std::string& name) {
  return "[" + ReplaceAll(name, "]", "]]") + "]";
}

}  // namespace

std::optional<Value> Interpreter::AdministrationProcedure(const std::string& key,
                                                          std::vector<CallArgument>& args,
                                                          Context& c) {
  Catalog& catalog = host_.CurrentCatalog();
  const auto messages = [&c](const std::vector<std::string>& lines) {
    for (const std::string& line : lines) c.out->messages.push_back(line);
  };
  if (key == "sp_bindrule" || key == "sp_bindefault") {
    const bool rule = key == "sp_bindrule";
    const auto bound = TextArgumentsByName(
        key, args, {rule ? "@RULENAME" : "@DEFNAME", "@OBJNAME", "@FUTUREONLY"}, true);
    const auto object = Given(bound, rule ? "@RULENAME" : "@DEFNAME");
    const auto target = Given(bound, "@OBJNAME");
    if (!object || !target)
      throw ServerErrorByNumber(201,
                                {key, !object ? (rule ? "@rulename" : "@defname") : "@objname"});
    const bool futureOnly = ToLowerAscii(Given(bound, "@FUTUREONLY").value_or("")) == "futureonly";
    messages(Ddl(catalog, c.text, host_.Code().get()).Bind(rule, *object, *target, futureOnly));
    return Value{std::int64_t{0}};
  }
  if (key == "sp_unbindrule" || key == "sp_unbindefault") {
    const auto bound = TextArgumentsByName(key, args, {"@OBJNAME", "@FUTUREONLY"}, true);
    const auto target = Given(bound, "@OBJNAME");
    if (!target) throw ServerErrorByNumber(201, {key, "@objname"});
    const bool futureOnly = ToLowerAscii(Given(bound, "@FUTUREONLY").value_or("")) == "futureonly";
    messages(Ddl(catalog, c.text, host_.Code().get())
                 .Unbind(key == "sp_unbindrule", *target, futureOnly));
    return Value{std::int64_t{0}};
  }
  if (key == "sp_dbcmptlevel") return CompatibilityLevel(args, c);
  if (key == "sp_dboption") return DatabaseOptions(args, c);
  if (key == "sp_tableoption") {
    const auto bound =
        TextArgumentsByName(key, args, {"@TABLENAMEPATTERN", "@OPTIONNAME", "@OPTIONVALUE"}, true);
    const std::string table = Given(bound, "@TABLENAMEPATTERN").value_or("");
    const std::string option = ToLowerAscii(Trim(Given(bound, "@OPTIONNAME").value_or("")));
    const std::string value = ToLowerAscii(Trim(Given(bound, "@OPTIONVALUE").value_or("")));
    const TableInfo* found = catalog.FindTable(LastPart(table));
    if (!found || found->xtype != "U ") throw ServerErrorByNumber(15388, {table});
    // Storage options: rows and their large values are kept as SQLite keeps
    // them, whatever is asked.
    static const char* kOptions[] = {"pintable", "table lock on bulk load", "text in row",
                                     "large value types out of row", "vardecimal storage format"};
    if (std::find(std::begin(kOptions), std::end(kOptions), option) == std::end(kOptions)) {
      throw ServerErrorByNumber(15600, {key});
    }
    const bool onOff = value == "on" || value == "off" || value == "true" || value == "false" ||
                       value == "1" || value == "0";
    if (option == "text in row" && !onOff) {
      const long long size = std::atoll(value.c_str());
      if (size < 24 || size > 7000 || std::to_string(size) != value) {
        throw ServerErrorByNumber(15112);
      }
    } else if (!onOff) {
      throw ServerErrorByNumber(15231, {"@OptionValue", key});
    }
    return Value{std::int64_t{0}};
  }
  if (key == "sp_configure") {
    const auto bound = TextArgumentsByName(key, args, {"@CONFIGNAME", "@CONFIGVALUE"}, true);
    const std::vector<std::string> columns = {"name", "minimum", "maximum", "config_value",
                                              "run_value"};
    const auto name = Given(bound, "@CONFIGNAME");
    if (!name) {
      std::vector<std::vector<Value>> rows;
      for (const ConfigOption& o : kConfigOptions) rows.push_back(ConfigRow(o));
      c.out->results.emplace_back(columns, std::move(rows));
      return Value{std::int64_t{0}};
    }
    const ConfigOption& option = FindConfigOption(*name);
    const auto value = Given(bound, "@CONFIGVALUE");
    if (!value) {
      c.out->results.emplace_back(columns, std::vector<std::vector<Value>>{ConfigRow(option)});
      return Value{std::int64_t{0}};
    }
    const long long wanted = std::atoll(value->c_str());
    if (wanted < option.minimum || wanted > option.maximum) {
      throw ServerErrorByNumber(15129, {std::to_string(wanted), option.name});
    }
    if (option.fixed && wanted != option.value) {
      throw DatabaseError(NotSupported(std::string("sp_configure '") + option.name +
                                       "' = " + std::to_string(wanted)));
    }
    c.out->messages.push_back(ServerMessageText(
        15457, {option.name, std::to_string(option.value), std::to_string(wanted)}));
    return Value{std::int64_t{0}};
  }
  if (key == "sp_createstats") {
    // Statistics are SQLite's: ANALYZE gathers them for every table.
    TextArgumentsByName(key, args, {"@INDEXONLY", "@FULLSCAN", "@NORECOMPUTE"}, true);
    catalog.Db().Exec("ANALYZE");
    return Value{std::int64_t{0}};
  }
  if (key == "sp_fulltext_database") {
    const auto bound = TextArgumentsByName(key, args, {"@ACTION"}, true);
    const std::string action = ToLowerAscii(Trim(Given(bound, "@ACTION").value_or("")));
    // There is no full-text service: nothing to disable, nothing to enable.
    if (action == "disable") return Value{std::int64_t{0}};
    if (action == "enable") throw ServerErrorByNumber(7609);
    throw ServerErrorByNumber(15600, {key});
  }
  if (key == "sp_msforeachtable" || key == "sp_msforeachdb") return ForEach(key, args, c);
  return std::nullopt;
}

namespace {

// An option of sp_dboption, and what ALTER DATABASE … SET says for it on
// and off (empty: that setting is not one this server can hold).
struct DatabaseOptionName {
  const char* name;
  const char* option;
  const char* on;
  const char* off;
};

constexpr DatabaseOptionName kDatabaseOptions[] = {
    {"ANSI null default", "ANSI_NULL_DEFAULT", "ON", "OFF"},
    {"ANSI nulls", "ANSI_NULLS", "ON", "OFF"},
    {"ANSI padding", "ANSI_PADDING", "ON", "OFF"},
    {"ANSI warnings", "ANSI_WARNINGS", "ON", "OFF"},
    {"arithabort", "ARITHABORT", "ON", "OFF"},
    {"auto create statistics", "AUTO_CREATE_STATISTICS", "ON", "OFF"},
    {"auto update statistics", "AUTO_UPDATE_STATISTICS", "ON", "OFF"},
    {"autoclose", "AUTO_CLOSE", "ON", "OFF"},
    {"autoshrink", "AUTO_SHRINK", "ON", "OFF"},
    {"concat null yields null", "CONCAT_NULL_YIELDS_NULL", "ON", "OFF"},
    {"cursor close on commit", "CURSOR_CLOSE_ON_COMMIT", "ON", "OFF"},
    {"db chaining", "DB_CHAINING", "ON", "OFF"},
    {"dbo use only", "", "", "MULTI_USER"},
    {"default to local cursor", "CURSOR_DEFAULT", "LOCAL", "GLOBAL"},
    {"merge publish", "", "", ""},
    {"numeric roundabort", "NUMERIC_ROUNDABORT", "ON", "OFF"},
    {"offline", "", "", "ONLINE"},
    {"published", "", "", ""},
    {"quoted identifier", "QUOTED_IDENTIFIER", "ON", "OFF"},
    {"read only", "", "", "READ_WRITE"},
    {"recursive triggers", "RECURSIVE_TRIGGERS", "ON", "OFF"},
    {"select into/bulkcopy", "RECOVERY", "BULK_LOGGED", "FULL"},
    {"single user", "", "", "MULTI_USER"},
    {"subscribed", "", "", ""},
    {"torn page detection", "TORN_PAGE_DETECTION", "ON", "OFF"},
    {"trunc. log on chkpt.", "RECOVERY", "SIMPLE", "FULL"},
};

// The option a name or a unique part of one names, as sp_dboption reads it.
const DatabaseOptionName& FindDatabaseOption(const std::string& written) {
  int matches = 0;
  const DatabaseOptionName* found = FindByNamePart(kDatabaseOptions, written, matches);
  if (!found || matches > 1) {
    throw DatabaseError("sp_dboption: '" + written + "' is " +
                        (matches == 0 ? "no database option" : "part of more than one option") +
                        "; run sp_dboption without arguments for the list.");
  }
  return *found;
}

// Whether the option is on in the options ALTER DATABASE recorded.
bool DatabaseOptionIsOn(const DatabaseOptionName& o, const std::string& recorded) {
  if (*o.option == '\0' || *o.on == '\0') return false;
  const std::string key = std::string(o.option) + "=";
  std::size_t at = recorded.find(key);
  if (at != 0) {
    at = recorded.find(";" + key);
    if (at == std::string::npos) return false;
    ++at;
  }
  const std::size_t start = at + key.size();
  return recorded.substr(start, recorded.find(';', start) - start) == o.on;
}

}  // namespace

// sp_dboption [db [, option [, value]]]: the settable options, those on,
// one option's setting, or a setting made through ALTER DATABASE … SET.
// Settings this server cannot hold (read only, single user, replication)
// are refused by name.
Value Interpreter::DatabaseOptions(std::vector<CallArgument>& args, Context& c) {
  const auto bound = TextArgumentsByName(std::string("sp_dboption"), args,
                                         {"@DBNAME", "@OPTNAME", "@OPTVALUE"}, true);
  const auto database = Given(bound, "@DBNAME");
  const auto option = Given(bound, "@OPTNAME");
  const auto value = Given(bound, "@OPTVALUE");
  if (!database) {
    std::vector<std::vector<Value>> rows;
    for (const DatabaseOptionName& o : kDatabaseOptions) rows.push_back({std::string(o.name)});
    c.out->results.emplace_back(std::vector<std::string>{"Settable database options:"},
                                std::move(rows));
    return Value{std::int64_t{0}};
  }
  Server& server = host_.GetServer();
  const std::vector<DatabaseSummary> databases = server.Databases();
  const auto found =
      std::find_if(databases.begin(), databases.end(), [&](const DatabaseSummary& d) {
        return ToUpperAscii(d.name) == ToUpperAscii(Trim(*database));
      });
  if (found == databases.end()) throw ServerErrorByNumber(15010, {*database});
  if (!option) {
    std::vector<std::vector<Value>> rows;
    for (const DatabaseOptionName& o : kDatabaseOptions) {
      if (DatabaseOptionIsOn(o, found->options)) rows.push_back({std::string(o.name)});
    }
    c.out->results.emplace_back(std::vector<std::string>{"The following options are set:"},
                                std::move(rows));
    return Value{std::int64_t{0}};
  }
  const DatabaseOptionName& o = FindDatabaseOption(*option);
  if (!value) {
    c.out->results.emplace_back(
        std::vector<std::string>{"OptionName", "CurrentSetting"},
        std::vector<std::vector<Value>>{
            {std::string(o.name),
             std::string(DatabaseOptionIsOn(o, found->options) ? "ON" : "OFF")}});
    return Value{std::int64_t{0}};
  }
  const std::string wanted = ToLowerAscii(Trim(*value));
  if (wanted != "true" && wanted != "false" && wanted != "on" && wanted != "off") {
    throw DatabaseError("sp_dboption: the value of '" + std::string(o.name) +
                        "' is 'true', 'false', 'on' or 'off', not '" + *value + "'.");
  }
  const bool on = wanted == "true" || wanted == "on";
  const char* setting = on ? o.on : o.off;
  if (*setting == '\0') {
    throw DatabaseError(
        NotSupported("sp_dboption '" + std::string(o.name) + "' " + (on ? "true" : "false")));
  }
  AlterDatabaseStatement alter;
  alter.name = found->name;
  // A state (ONLINE, READ_WRITE, MULTI_USER) is an option of its own.
  if (*o.option == '\0') {
    alter.options.push_back({setting, ""});
  } else {
    alter.options.push_back({o.option, setting});
  }
  server.AlterDatabase(alter);
  return Value{std::int64_t{0}};
}

Value Interpreter::CompatibilityLevel(std::vector<CallArgument>& args, Context& c) {
  const auto bound =
      TextArgumentsByName(std::string("sp_dbcmptlevel"), args, {"@DBNAME", "@NEW_CMPTLEVEL"}, true);
  const auto database = Given(bound, "@DBNAME");
  if (!database) throw ServerErrorByNumber(15416);
  Server& server = host_.GetServer();
  const std::vector<DatabaseSummary> databases = server.Databases();
  const auto found =
      std::find_if(databases.begin(), databases.end(), [&](const DatabaseSummary& d) {
        return ToUpperAscii(d.name) == ToUpperAscii(Trim(*database));
      });
  if (found == databases.end()) throw ServerErrorByNumber(15010, {*database});
  const auto level = Given(bound, "@NEW_CMPTLEVEL");
  if (!level) {
    int current = found->compatibilityLevel;
    const std::string key = "COMPATIBILITY_LEVEL=";
    if (const std::size_t at = found->options.find(key); at != std::string::npos) {
      current = std::atoi(found->options.c_str() + at + key.size());
    }
    c.out->messages.push_back(ServerMessageText(15054, {std::to_string(current)}));
    return Value{std::int64_t{0}};
  }
  // The levels SQL Server 2000 knows, which this server says it is.
  const std::string wanted = Trim(*level);
  if (wanted != "60" && wanted != "65" && wanted != "70" && wanted != "80") {
    c.out->messages.push_back(ServerMessageText(15048, {"60", "65", "70", "80"}));
    return Value{std::int64_t{1}};
  }
  AlterDatabaseStatement alter;
  alter.name = found->name;
  alter.options.push_back({"COMPATIBILITY_LEVEL", wanted});
  server.AlterDatabase(alter);
  return Value{std::int64_t{0}};
}

// sp_MSforeachtable / sp_MSforeachdb: each command with the replace
// character standing for the table (as [schema].[name]) or the database.
Value Interpreter::ForEach(const std::string& key, std::vector<CallArgument>& args, Context& c) {
  const bool tables = key == "sp_msforeachtable";
  std::vector<std::string> parameters = {"@COMMAND1", "@REPLACECHAR", "@COMMAND2", "@COMMAND3"};
  if (tables) parameters.push_back("@WHEREAND");
  parameters.push_back("@PRECOMMAND");
  parameters.push_back("@POSTCOMMAND");
  const auto bound = TextArgumentsByName(key, args, parameters, true);
  const auto first = Given(bound, "@COMMAND1");
  if (!first) throw ServerErrorByNumber(201, {key, "@command1"});
  const std::string replace = Given(bound, "@REPLACECHAR").value_or("?");
  std::vector<std::string> commands = {*first};
  for (const char* more : {"@COMMAND2", "@COMMAND3"}) {
    if (const auto command = Given(bound, more)) commands.push_back(*command);
  }
  // The names, read through the engine so that @whereand is T-SQL over o (sysobjects).
  std::vector<std::string> names;
  {
    BatchResult listed;
    Context listing = c;
    listing.out = &listed;
    Frame frame;
    const std::string query =
        tables ? "SELECT o.name FROM sysobjects o WHERE o.xtype = 'U' " +
                     Given(bound, "@WHEREAND").value_or("") + " ORDER BY o.name"
               : std::string("SELECT name FROM master.dbo.sysdatabases ORDER BY dbid");
    RunDynamic(query, frame, listing);
    if (!listed.results.empty()) {
      for (const auto& row : listed.results.back().Rows()) names.push_back(ToText(row.at(0)));
    }
  }
  Frame frame;
  if (const auto pre = Given(bound, "@PRECOMMAND")) RunDynamic(*pre, frame, c);
  for (const std::string& name : names) {
    const std::string standIn = tables ? "[dbo]." + Bracketed(name) : name;
    for (const std::string& command : commands) {
      Frame each;
      RunDynamic(replace.empty() ? command : ReplaceAll(command, replace, standIn), each, c);
    }
  }
  if (const auto post = Given(bound, "@POSTCOMMAND")) RunDynamic(*post, frame, c);
  return Value{std::int64_t{0}};
}

}  // namespace moltaro::db::embedded
