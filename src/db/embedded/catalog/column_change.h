// SQL Server's rules for ALTER COLUMN under the objects that use the column:
// which of them a change of the column's type leaves in place.
#pragma once

#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

struct ColumnChange {
  bool alter = false;           // false: DROP COLUMN, which no object survives
  bool sameType = false;        // only the length, precision or scale differ
  bool variableLength = false;  // varchar or nvarchar
  bool notShorter = false;      // the new length holds every old value

  static ColumnChange Of(const SqlType& from, const SqlType& to);

  // A default allows a new length, precision or scale of the same type.
  bool KeepsDefault() const { return alter && sameType; }
  // A CHECK constraint allows a new length of a variable-length column.
  bool KeepsCheck() const { return alter && sameType && variableLength; }
  // An index or UNIQUE constraint (never a primary key) allows a
  // variable-length column to keep or grow its length.
  bool KeepsIndex() const { return KeepsCheck() && notShorter; }
};

}  // namespace moltaro::db::embedded
