#include "db/odbc/odbc_connection.h"

#include <cstdint>

#include "db/errors.h"
#include "db/odbc/batch_results.h"
#include "db/odbc/connector.h"
#include "db/odbc/diagnostics.h"
#include "db/odbc/parameter_buffers.h"
#include "db/odbc/parameter_markers.h"
#include "db/odbc/procedure_call.h"
#include "db/odbc/utf16.h"

namespace moltaro::db::odbc {

namespace {

constexpr std::size_t kQuotedStatementLength = 200;

std::string Excerpt(std::string_view sql) {
  if (sql.size() <= kQuotedStatementLength) return std::string(sql);
  return std::string(sql.substr(0, kQuotedStatementLength)) + "...";
}

void CheckParameterCount(const MarkedStatement& marked, const Params& params,
                         std::string_view sql) {
  if (marked.names.size() == params.size()) return;
  throw Error("The statement has " + std::to_string(marked.names.size()) +
              " parameter markers but " + std::to_string(params.size()) +
              " values were given: " + Excerpt(sql));
}

SQLRETURN ExecuteText(const Handle& statement, std::string_view text) {
  std::u16string wide = ToUtf16(text);
  return SQLExecDirectW(statement.Get(), reinterpret_cast<SQLWCHAR*>(wide.data()),
                        static_cast<SQLINTEGER>(wide.size()));
}

}  // namespace

OdbcConnection::OdbcConnection(const OdbcConnectTarget& target, int loginTimeoutSeconds,
                               std::string_view driverName)
    : environment_(MakeEnvironment()), connection_(environment_) {
  Connect(environment_, connection_, target, loginTimeoutSeconds, driverName);
}

Handle OdbcConnection::NewStatement() const {
  Handle statement(SQL_HANDLE_STMT, connection_.Get().Get());
  const SQLRETURN rc =
      SQLSetStmtAttr(statement.Get(), SQL_ATTR_QUERY_TIMEOUT,
                     reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(commandTimeout_)), 0);
  Check(rc, statement, "Setting the command time-out");
  return statement;
}

BatchResult OdbcConnection::Execute(std::string_view sql, const Params& params) {
  const MarkedStatement marked = MarkParameters(sql);
  CheckParameterCount(marked, params, sql);
  Handle statement = NewStatement();
  // A batch goes to the server as composed: the driver is not to rewrite
  // anything in it that looks like an ODBC escape sequence. Drivers without
  // the switch (SQLite's, for one) refuse it and scan, which changes nothing
  // for the system's statements, so the refusal is not an error.
  SQLSetStmtAttr(statement.Get(), SQL_ATTR_NOSCAN,
                 reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(SQL_NOSCAN_ON)), 0);
  ParameterBuffers buffers;
  for (const Value& value : params) buffers.Add(value);
  buffers.BindAll(statement);
  return CollectBatch(statement, ExecuteText(statement, marked.text));
}

void OdbcConnection::CallProcedure(std::string_view name, ProcedureParameters& params) {
  const ProcedureCall call = MakeProcedureCall(name, params);
  Handle statement = NewStatement();
  ParameterBuffers buffers;
  for (const std::size_t index : call.order) {
    buffers.Add(params[index].value, params[index].direction);
  }
  buffers.BindAll(statement);
  SkipBatch(statement, ExecuteText(statement, call.text));
  for (std::size_t k = 0; k < call.order.size(); ++k) {
    ProcedureParameter& param = params[call.order[k]];
    if (param.direction != ParameterDirection::Input) {
      param.value = ReadBoundParameter(buffers.At(k));
    }
  }
}

}  // namespace moltaro::db::odbc
