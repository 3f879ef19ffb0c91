#include "convert/insert_row.h"

#include <cstddef>

#include "convert/statement.h"

namespace moltaro::convert {

std::string InsertText(std::string_view head, const RowValues& row) {
  std::string columns(head);
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) columns += ", ";
    columns += row[i].column;
  }
  columns += ")";
  std::string markers;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) markers += ", ";
    markers += row[i].marker.empty() ? XParameters(static_cast<int>(i), 1)
                                     : ":" + std::string(row[i].marker);
  }
  markers += " )";
  return StatementText({columns, " values ( ", markers});
}

db::Params InsertParams(const RowValues& row) {
  db::Params params;
  params.reserve(row.size());
  for (const ColumnValue& column : row) params.push_back(column.value);
  return params;
}

void InsertRow(ConvertContext& context, std::string_view head, const RowValues& row) {
  context.Execute(InsertText(head, row), InsertParams(row));
}

}  // namespace moltaro::convert
