#include "db/odbc/procedure_call.h"

#include "common/text.h"
#include "db/errors.h"

namespace moltaro::db::odbc {

namespace {

constexpr int kMaxNameParts = 4;

bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '#' || c == '@' ||
         c >= 0x80;
}

bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$';
}

[[noreturn]] void Reject(std::string_view name, std::string_view why) {
  throw Error("\"" + std::string(name) + "\" is not a stored procedure name: " + std::string(why) +
              ".");
}

// Reads one name part at `i`, leaving `i` after it.
void ReadPart(std::string_view name, std::size_t& i) {
  if (i < name.size() && name[i] == '[') {
    for (++i;; ++i) {
      if (i >= name.size()) Reject(name, "a \"[\" is not closed");
      if (name[i] == ']') {
        if (i + 1 < name.size() && name[i + 1] == ']') {
          ++i;
          continue;
        }
        ++i;
        return;
      }
    }
  }
  if (i >= name.size() || !IsNameStart(static_cast<unsigned char>(name[i]))) {
    Reject(name, "a part is empty or starts with a character a name cannot start with");
  }
  while (i < name.size() && IsNameChar(static_cast<unsigned char>(name[i]))) ++i;
}

// The name without a ";1" group suffix, which only restates the default
// group and which the call escape does not take.
std::string ValidatedName(std::string_view name) {
  std::size_t i = 0;
  for (int part = 1;; ++part) {
    if (part > kMaxNameParts) Reject(name, "it has more than four parts");
    ReadPart(name, i);
    if (i >= name.size() || name[i] != '.') break;
    ++i;
  }
  std::string_view base = name.substr(0, i);
  if (i == name.size()) return std::string(base);
  if (name[i] != ';') Reject(name, "it holds characters a name cannot hold");
  const std::string_view group = name.substr(i + 1);
  if (group.empty() || group.find_first_not_of("0123456789") != std::string_view::npos) {
    Reject(name, "the group number after \";\" is not a number");
  }
  if (group == "1") return std::string(base);
  return std::string(name);
}

}  // namespace

ProcedureCall MakeProcedureCall(std::string_view name, const ProcedureParameters& params) {
  const std::string trimmed = Trim(name);
  ProcedureCall call;
  const std::string procedure = ValidatedName(trimmed);
  std::size_t arguments = 0;
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (params[i].direction != ParameterDirection::ReturnValue) continue;
    if (!call.order.empty()) {
      throw Error("The call of " + trimmed + " has more than one return value parameter.");
    }
    call.order.push_back(i);
  }
  const bool hasReturn = !call.order.empty();
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (params[i].direction == ParameterDirection::ReturnValue) continue;
    call.order.push_back(i);
    ++arguments;
  }
  call.text = hasReturn ? "{? = call " : "{call ";
  call.text += procedure;
  if (arguments > 0) {
    call.text += '(';
    for (std::size_t a = 0; a < arguments; ++a) call.text += a == 0 ? "?" : ", ?";
    call.text += ')';
  }
  call.text += '}';
  return call;
}

}  // namespace moltaro::db::odbc
