#include "convert/statement.h"

#include <cstdio>

namespace moltaro::convert {

std::string XParameters(int first, int count) {
  std::string text;
  for (int k = first; k < first + count; ++k) {
    char marker[16];
    std::snprintf(marker, sizeof marker, ":x%02d", k);
    if (!text.empty()) text += ", ";
    text += marker;
  }
  return text;
}

std::string StatementText(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  return text;
}

void ExecuteStatement(ConvertContext& context, std::initializer_list<std::string_view> lines,
                      const db::Params& values) {
  context.Execute(StatementText(lines), values);
}

void RunFixedStatement(ConvertContext& context, std::string_view sql) {
  context.Execute(sql);
}

}  // namespace moltaro::convert
