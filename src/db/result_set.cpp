#include "db/result_set.h"

#include "common/text.h"
#include "db/errors.h"

namespace moltaro::db {

ResultSet::ResultSet(std::vector<std::string> columns, std::vector<std::vector<Value>> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {}

void ResultSet::Next() {
  if (position_ < rows_.size()) ++position_;
}

int ResultSet::ColumnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (EqualsIgnoreCaseAscii(columns_[i], name)) return static_cast<int>(i);
  }
  return -1;
}

const Value& ResultSet::Field(std::string_view name) const {
  static const Value kNull;
  const int index = ColumnIndex(name);
  if (index < 0) {
    throw Error("The result has no column '" + std::string(name) + "'.");
  }
  if (Eof()) return kNull;
  return rows_[position_][static_cast<std::size_t>(index)];
}

}  // namespace moltaro::db
