// sp_executesql: a statement with typed parameters, run as a batch of its own.

#include <algorithm>

#include "common/text.h"
#include "db/embedded/execution/interpreter.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

// "@a int, @b varchar(10) OUTPUT" read as a procedure's parameter list, so
// types, defaults and OUTPUT are understood as everywhere else.
Batch ParameterDefinitions(const std::string& definitions) {
  return ParseBatch("CREATE PROCEDURE sp_executesql_parameters " + definitions + " AS RETURN");
}

}  // namespace

Value Interpreter::ExecuteSql(std::vector<CallArgument>& args, Context& c) {
  std::optional<StoredValue> statement, definitions;
  std::vector<CallArgument*> values;
  for (std::size_t i = 0; i < args.size(); ++i) {
    CallArgument& a = args[i];
    const std::string name = ToUpperAscii(a.name);
    if (name == "@STATEMENT" || (name.empty() && i == 0)) {
      statement = a.value;
    } else if (name == "@PARAMS" || (name.empty() && i == 1)) {
      definitions = a.value;
    } else {
      values.push_back(&a);
    }
  }
  if (!statement || std::holds_alternative<std::monostate>(*statement)) {
    throw ServerErrorByNumber(201, {"sp_executesql", "@statement"});
  }
  const std::string text = TextOf(*statement);
  Frame frame;
  // Values convert into the declared types as an assignment does.
  Context declaring = c;
  declaring.frame = &frame;
  std::vector<std::pair<std::string, std::function<void(const StoredValue&)>>> writeBacks;
  if (definitions && !std::holds_alternative<std::monostate>(*definitions)) {
    const std::string declared = TextOf(*definitions);
    const Batch batch = ParameterDefinitions(declared);
    const auto& def = static_cast<const CreateRoutineStatement&>(*batch.statements.at(0));
    int position = 1;
    for (const RoutineParameter& p : def.parameters) {
      frame.Declare(p.name, ResolveType(p.type, position++), StoredValue{});
      if (p.defaultValue) Assign(declaring, p.name, Evaluate(*p.defaultValue, c));
    }
    std::size_t next = 0;
    for (CallArgument* a : values) {
      const RoutineParameter* target = nullptr;
      if (!a->name.empty()) {
        for (const RoutineParameter& p : def.parameters) {
          if (ToUpperAscii(p.name) == ToUpperAscii(a->name)) target = &p;
        }
        if (!target) throw ServerErrorByNumber(8145, {a->name, "sp_executesql"});
      } else {
        if (next >= def.parameters.size()) throw ServerErrorByNumber(8144, {"sp_executesql"});
        target = &def.parameters[next++];
      }
      if (a->value) Assign(declaring, target->name, *a->value);
      if (a->output && target->output && a->writeBack) {
        writeBacks.emplace_back(target->name, a->writeBack);
      }
    }
  } else if (!values.empty()) {
    throw ServerErrorByNumber(8144, {"sp_executesql"});
  }
  RunDynamic(text, frame, c);
  c.frame->rowCount = frame.rowCount;
  for (const auto& [name, writeBack] : writeBacks) writeBack(frame.Find(name)->value);
  return std::int64_t{0};
}

}  // namespace moltaro::db::embedded
