// Table-valued functions of SQLite: eponymous virtual tables whose hidden
// columns take the call's arguments (`name(a, b) AS x` in a FROM clause), so
// their arguments may read the columns of the tables on their left, as
// CROSS APPLY does. Each call produces its rows whole; they are read as the
// columns c0, c1, … the translator names for every source that is not a
// table.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/embedded/types/sql_types.h"

struct sqlite3;
struct sqlite3_value;

namespace moltaro::db::embedded {

using TableRows = std::vector<std::vector<StoredValue>>;

struct TableFunction {
  std::string name;
  int resultColumns = 1;  // c0 … c(n-1)
  int arguments = 1;      // at most this many; those not given are NULL
  std::string collation;  // of the result columns, as the database's text compares
  // The rows for one call; `arguments` holds one value for each argument
  // (null pointers for those not given). Throws DatabaseError to fail the
  // statement with SQL Server's number.
  std::function<TableRows(const std::vector<sqlite3_value*>& arguments)> rows;
};

void RegisterTableFunction(sqlite3* db, TableFunction function);

// tsql_tvf(name, arguments…): the user functions whose bodies the
// interpreter runs. Their result columns and arguments are the most such a
// function may have here.
constexpr int kUserTableFunctionColumns = 128;
constexpr int kUserTableFunctionArguments = 64;

}  // namespace moltaro::db::embedded
