// The statement pattern of the importers: one parameterised statement per
// target row, its text made of lines, its values bound in marker order.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "convert/convert_context.h"
#include "db/value.h"

namespace moltaro::convert {

// The markers ":x<first>, …" of `count` parameters, two digits each
// (":x00, :x01, :x02").
std::string XParameters(int first, int count);

// The lines joined as one statement text, line ends between them.
std::string StatementText(std::initializer_list<std::string_view> lines);

// Executes the lines as one statement with `values` bound in order.
void ExecuteStatement(ConvertContext& context, std::initializer_list<std::string_view> lines,
                      const db::Params& values);

// A statement without parameters (the fixed code rows, the delete statements).
void RunFixedStatement(ConvertContext& context, std::string_view sql);

}  // namespace moltaro::convert
