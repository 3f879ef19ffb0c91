// One row written by an importer: its columns in statement order, each with
// the value bound to it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "convert/convert_context.h"
#include "db/value.h"

namespace moltaro::convert {

struct ColumnValue {
  std::string_view column;
  db::Value value;
  std::string_view marker = {};  // its own parameter name; empty: the next :xNN
};

using RowValues = std::vector<ColumnValue>;

// The statement text: `head` (such as "insert into  zmp_csp( ") with the
// column list, the line " values ( " and the parameter markers in column
// order: :x00, :x01, … by position unless a column names its own.
std::string InsertText(std::string_view head, const RowValues& row);

// The values alone, in column order.
db::Params InsertParams(const RowValues& row);

// Writes the row with one statement. Every value is worked out before the
// call, so a value that cannot be converted sends nothing.
void InsertRow(ConvertContext& context, std::string_view head, const RowValues& row);

}  // namespace moltaro::convert
