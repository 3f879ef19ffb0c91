// A session on a server reached through ODBC: one environment and one
// connection, a fresh statement for every batch or call.
#pragma once

#include <string>
#include <string_view>

#include "db/odbc/connection_translation.h"
#include "db/odbc/handles.h"
#include "db/session.h"

namespace moltaro::db::odbc {

class OdbcConnection final : public Session {
 public:
  // Connects at once; see Connect for what a failure throws.
  OdbcConnection(const OdbcConnectTarget& target, int loginTimeoutSeconds,
                 std::string_view driverName);

  BatchResult Execute(std::string_view sql, const Params& params) override;
  void CallProcedure(std::string_view name, ProcedureParameters& params) override;
  void SetCommandTimeout(int seconds) override { commandTimeout_ = seconds < 0 ? 0 : seconds; }

 private:
  Handle NewStatement() const;

  Handle environment_;
  ConnectionHandle connection_;
  int commandTimeout_ = 30;
};

}  // namespace moltaro::db::odbc
