// Storage of the values bound to a statement's "?" markers. The driver reads
// input values at execution and writes output values into the same storage
// afterwards, so each parameter keeps a fixed address until the statement is
// done with.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/odbc/handles.h"
#include "db/procedure.h"
#include "db/value.h"

namespace moltaro::db::odbc {

// Texts longer than this many UTF-16 units go as long text (nvarchar(max)),
// since SQL Server's nvarchar(n) ends at 4000.
inline constexpr std::size_t kMaxShortText = 4000;

struct BoundParameter {
  SQLSMALLINT ioType = SQL_PARAM_INPUT;
  SQLSMALLINT cType = SQL_C_WCHAR;
  SQLSMALLINT sqlType = SQL_WVARCHAR;
  SQLULEN columnSize = 1;
  std::int64_t integer = 0;
  double real = 0;
  std::u16string text;  // for output, sized to the room the driver may fill, terminator included
  SQLLEN indicator = 0;

  SQLPOINTER Data();
  SQLLEN BufferLength() const;
};

// How `value` is bound in `direction`: integers as BIGINT, floating point as
// FLOAT, text and NULL as Unicode text. A return value is always an integer,
// the only kind SQL Server's RETURN gives.
BoundParameter MakeBoundParameter(const Value& value, ParameterDirection direction);

// What the driver left in an output parameter.
Value ReadBoundParameter(const BoundParameter& parameter);

class ParameterBuffers {
 public:
  void Add(const Value& value, ParameterDirection direction = ParameterDirection::Input);
  // Binds every parameter in the order added, as markers 1, 2, ...
  void BindAll(const Handle& statement);
  const BoundParameter& At(std::size_t index) const { return *parameters_.at(index); }
  std::size_t Size() const { return parameters_.size(); }

 private:
  std::vector<std::unique_ptr<BoundParameter>> parameters_;
};

}  // namespace moltaro::db::odbc
