// Reading a statement's open result set whole, as the system's static
// cursors do: every row, every column as integer, floating point, text or NULL.
// Exact numbers (decimal, numeric, money) arrive as their text with every
// digit of their scale, as SQL Server's own conversion to text writes them and
// as the embedded server hands them over.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>

#include "db/odbc/handles.h"
#include "db/result_set.h"

namespace moltaro::db::odbc {

enum class ColumnKind { Integer, Real, Exact, Text };

// How a column of an SQL type is read: whole numbers (bit included, and
// decimals without a fraction that fit 64 bits) as integers, approximate
// numbers as floating point, other decimals as exact text, everything else
// (dates too) as the driver's text.
ColumnKind ColumnKindOf(SQLSMALLINT sqlType, SQLULEN precision, SQLSMALLINT scale);

// An exact number's text as the driver gave it, written as SQL Server writes
// a decimal of scale `scale` as text: a zero before the point (drivers send
// "-.50" for -0.50) and the fraction filled to the scale (a driver that keeps
// numeric(10,2) 2.50 as a float sends "2.5"). Digits are never dropped; text
// that is no plain decimal number (an exponent form) is returned as it is.
std::string ExactText(std::string_view driverText, int scale);

// Reads the rows of the result set `statement` is positioned on.
ResultSet ReadResultSet(const Handle& statement);

}  // namespace moltaro::db::odbc
