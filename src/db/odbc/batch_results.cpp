#include "db/odbc/batch_results.h"

#include <sqlext.h>

#include <functional>

#include "db/odbc/diagnostics.h"
#include "db/odbc/result_reader.h"

namespace moltaro::db::odbc {

namespace {

void CollectMessages(const Handle& statement, SQLRETURN rc, BatchResult& batch) {
  if (rc != SQL_SUCCESS_WITH_INFO) return;
  for (const DiagnosticRecord& record : ReadDiagnostics(statement)) {
    std::string message = StripDriverPrefix(record.message);
    if (!message.empty()) batch.messages.push_back(std::move(message));
  }
}

void CollectResult(const Handle& statement, BatchResult& batch) {
  SQLSMALLINT columns = 0;
  Check(SQLNumResultCols(statement.Get(), &columns), statement, "Counting result columns");
  if (columns > 0) {
    batch.results.push_back(ReadResultSet(statement));
    return;
  }
  SQLLEN rows = -1;
  Check(SQLRowCount(statement.Get(), &rows), statement, "Reading the row count");
  if (rows >= 0) batch.rowsAffected = rows;
}

// Moves to the next result. A statement whose execution said "no data" (a
// change that touched no rows) may have no further results to move to; some
// drivers report that as a sequence error rather than as no data.
SQLRETURN NextResult(const Handle& statement, bool afterNoData) {
  const SQLRETURN rc = SQLMoreResults(statement.Get());
  if (rc == SQL_ERROR && afterNoData) {
    for (const DiagnosticRecord& record : ReadDiagnostics(statement)) {
      if (record.state == "HY010") return SQL_NO_DATA;
    }
  }
  return rc;
}

void WalkResults(const Handle& statement, SQLRETURN executeResult,
                 const std::function<void(SQLRETURN)>& onResult) {
  Check(executeResult, statement, "Executing the statement");
  onResult(executeResult);
  bool afterNoData = executeResult == SQL_NO_DATA;
  for (;;) {
    const SQLRETURN rc = NextResult(statement, afterNoData);
    if (rc == SQL_NO_DATA) break;
    Check(rc, statement, "Moving to the next result");
    onResult(rc);
    afterNoData = false;
  }
}

}  // namespace

BatchResult CollectBatch(const Handle& statement, SQLRETURN executeResult) {
  BatchResult batch;
  WalkResults(statement, executeResult, [&](SQLRETURN rc) {
    CollectMessages(statement, rc, batch);
    if (rc == SQL_NO_DATA) {
      batch.rowsAffected = 0;
    } else {
      CollectResult(statement, batch);
    }
  });
  return batch;
}

void SkipBatch(const Handle& statement, SQLRETURN executeResult) {
  WalkResults(statement, executeResult, [](SQLRETURN) {});
}

}  // namespace moltaro::db::odbc
