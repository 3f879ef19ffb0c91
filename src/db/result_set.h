// A result set read whole when its query opened (static cursor).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/value.h"

namespace moltaro::db {

class ResultSet {
 public:
  ResultSet() = default;
  ResultSet(std::vector<std::string> columns, std::vector<std::vector<Value>> rows);

  const std::vector<std::string>& Columns() const { return columns_; }
  const std::vector<std::vector<Value>>& Rows() const { return rows_; }
  std::size_t RowCount() const { return rows_.size(); }

  // Cursor: starts on the first row.
  bool Eof() const { return position_ >= rows_.size(); }
  void First() { position_ = 0; }
  void Next();
  std::size_t Position() const { return position_; }
  void MoveTo(std::size_t row) { position_ = row; }

  // Index of a column by name ignoring case; -1 when absent.
  int ColumnIndex(std::string_view name) const;

  // The current row's value. Past the end (or in an empty result) every
  // column reads as NULL. A column the result does not have throws db::Error.
  const Value& Field(std::string_view name) const;
  std::string Text(std::string_view name) const { return ToText(Field(name)); }
  std::int64_t Integer(std::string_view name) const { return ToInteger(Field(name)); }
  bool IsNull(std::string_view name) const { return db::IsNull(Field(name)); }

 private:
  std::vector<std::string> columns_;
  std::vector<std::vector<Value>> rows_;
  std::size_t position_ = 0;
};

}  // namespace moltaro::db
