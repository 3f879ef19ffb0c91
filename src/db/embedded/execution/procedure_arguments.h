// The arguments of a call to one of the server's own procedures, by
// parameter name: given by position (in the procedure's order) or by name.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "db/embedded/types/sql_types.h"
#include "db/server_messages.h"
#include "db/value.h"

namespace moltaro::db::embedded {

// The values by parameter name (upper case, with "@"); @RETURN_VALUE and
// the arguments left to their default are left out. Too many arguments by
// position is 8144; with `namesChecked`, a name the procedure does not have
// is 8145.
template <typename CallArguments>
std::map<std::string, Value> ArgumentsByName(const std::string& procedure,
                                             const CallArguments& args,
                                             const std::vector<std::string>& order,
                                             bool namesChecked = false) {
  std::map<std::string, Value> given;
  std::size_t position = 0;
  for (const auto& a : args) {
    std::string parameter;
    if (!a.name.empty()) {
      parameter = ToUpperAscii(a.name);
      if (parameter == "@RETURN_VALUE") continue;
      if (namesChecked && std::find(order.begin(), order.end(), parameter) == order.end()) {
        throw ServerErrorByNumber(8145, {a.name, procedure});
      }
    } else if (position < order.size()) {
      parameter = order[position++];
    } else {
      throw ServerErrorByNumber(8144, {procedure});
    }
    if (a.value) given[parameter] = ToApiValue(*a.value);
  }
  return given;
}

// The same as text, NULL arguments left out too.
template <typename CallArguments>
std::map<std::string, std::string> TextArgumentsByName(const std::string& procedure,
                                                       const CallArguments& args,
                                                       const std::vector<std::string>& order,
                                                       bool namesChecked = false) {
  std::map<std::string, std::string> text;
  for (const auto& [name, value] : ArgumentsByName(procedure, args, order, namesChecked)) {
    if (!IsNull(value)) text[name] = ToText(value);
  }
  return text;
}

}  // namespace moltaro::db::embedded
