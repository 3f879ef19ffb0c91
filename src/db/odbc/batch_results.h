// Walking through everything an executed statement produced: result sets,
// row counts and the server's messages, up to the last result.
#pragma once

#include <sql.h>

#include "db/odbc/handles.h"
#include "db/session.h"

namespace moltaro::db::odbc {

// Collects every result of a statement that `executeResult` (what
// SQLExecDirect returned) left behind. Server errors, in the first result or
// in a later one, throw DatabaseError.
BatchResult CollectBatch(const Handle& statement, SQLRETURN executeResult);

// Passes over every remaining result without reading it; a procedure's
// output parameters are only filled in after the last one.
void SkipBatch(const Handle& statement, SQLRETURN executeResult);

}  // namespace moltaro::db::odbc
