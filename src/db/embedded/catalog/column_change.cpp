#include "db/embedded/catalog/column_change.h"

namespace moltaro::db::embedded {

ColumnChange ColumnChange::Of(const SqlType& from, const SqlType& to) {
  ColumnChange change;
  change.alter = true;
  change.sameType = from.base == to.base;
  change.variableLength = to.base == BaseType::VarChar || to.base == BaseType::NVarChar;
  // A length of -1 is max.
  change.notShorter = to.length < 0 || (from.length >= 0 && to.length >= from.length);
  return change;
}

}  // namespace moltaro::db::embedded
