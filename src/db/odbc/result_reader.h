// Reading a statement's open result set whole, as the system's static
// cursors do: every row, every column as integer, floating point, text or NULL.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include "db/odbc/handles.h"
#include "db/result_set.h"

namespace moltaro::db::odbc {

enum class ColumnKind { Integer, Real, Text };

// How a column of an SQL type is read: whole numbers (bit included, and
// decimals without a fraction that fit 64 bits) as integers, approximate and
// fractional numbers as floating point, everything else (dates too) as the
// driver's text.
ColumnKind ColumnKindOf(SQLSMALLINT sqlType, SQLULEN precision, SQLSMALLINT scale);

// Reads the rows of the result set `statement` is positioned on.
ResultSet ReadResultSet(const Handle& statement);

}  // namespace moltaro::db::odbc
