// Values crossing into and out of the SQL functions: SQLite's values read as
// the server's values (a blob is an exact number), results written back, and
// errors that keep SQL Server's number through SQLite's message-only error
// channel.
#pragma once

#include <string>
#include <string_view>

#include "db/embedded/types/sql_types.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;
struct sqlite3_stmt;

namespace moltaro::db::embedded {

class SqliteDb;

SourceValue ReadArg(sqlite3_value* v);
// A result column as the server's value (a blob is an exact number).
StoredValue ColumnStoredValue(sqlite3_stmt* stmt, int column);
void ResultValue(sqlite3_context* ctx, const StoredValue& v);
// Fails the statement with the error; its number survives SQLite (see
// ErrorFromMessage).
void ResultError(sqlite3_context* ctx, const SqlError& error);

// The value as text, as CAST(… AS varchar) writes it.
std::string ArgText(sqlite3_value* v);

// A type passed to a function as four arguments (base, length, precision,
// scale): the inverse of TypeArguments.
SqlType TypeFromArguments(sqlite3_value** argv);

using ScalarFunction = void (*)(sqlite3_context*, int, sqlite3_value**);
// Registers a scalar SQL function on the connection; `connection` (its
// SqliteDb) is the function's user data, for SessionDates.
void RegisterScalar(sqlite3* db, const char* name, int argc, ScalarFunction fn,
                    bool deterministic = true, const SqliteDb* connection = nullptr);
// The date settings of the session running a function registered with its
// connection (us_english's otherwise).
const DateSettings& SessionDates(sqlite3_context* ctx);
// SQLite's destructor for a Collation given to a function as its user data.
void DestroyCollation(void* collation);

// The message SQLite carries for an error raised with its number, and back.
// A message without a number reads as number 0.
std::string MessageWithNumber(const SqlError& error);
SqlError ErrorFromMessage(std::string_view message);

}  // namespace moltaro::db::embedded
