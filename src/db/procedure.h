// Parameters of a stored procedure call.
#pragma once

#include <string>
#include <vector>

#include "db/value.h"

namespace moltaro::db {

enum class ParameterDirection { Input, Output, InputOutput, ReturnValue };

struct ProcedureParameter {
  std::string name;  // with its "@", e.g. "@idseq_val" or "@RETURN_VALUE"
  ParameterDirection direction = ParameterDirection::Input;
  Value value;  // in: the value sent; out: the value the call handed back
};

using ProcedureParameters = std::vector<ProcedureParameter>;

}  // namespace moltaro::db
