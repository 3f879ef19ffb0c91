// The database access API every subsystem uses.
//
// A Connection is given a connection string of the system's one layout and
// opened; its `Server` key picks the backend: absent → the embedded server in
// data/ under the working directory; "embedded:PATH" → the embedded server
// at PATH; anything else → SQL Server through ODBC.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "db/procedure.h"
#include "db/result_set.h"
#include "db/session.h"
#include "db/value.h"

namespace moltaro::db {

class Connection {
 public:
  Connection();
  explicit Connection(std::string connectionString);
  ~Connection();
  Connection(Connection&&) noexcept;
  Connection& operator=(Connection&&) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void SetConnectionString(std::string connectionString);
  const std::string& ConnectionString() const { return connectionString_; }

  // Opens with the connection string set; a failure throws DatabaseError
  // (the server refused) or db::Error (the string cannot be used).
  void Open();
  void Open(std::string connectionString);
  void Close();
  bool IsOpen() const { return session_ != nullptr; }

  // Seconds a statement may run; 0 means no limit. Kept across reopening.
  void SetCommandTimeout(int seconds);
  int CommandTimeout() const { return commandTimeout_; }

  // A statement (or batch) that returns no rows.
  void Execute(std::string_view sql, const Params& params = {});

  // A query: its first result set, read whole. A batch without rows gives an
  // empty result with no columns.
  ResultSet Query(std::string_view sql, const Params& params = {});

  // A whole batch: every result set and message.
  BatchResult Run(std::string_view sql, const Params& params = {});

  void CallProcedure(std::string_view name, ProcedureParameters& params);

 private:
  Session& ActiveSession();

  std::string connectionString_;
  int commandTimeout_ = 30;
  std::unique_ptr<Session> session_;
};

}  // namespace moltaro::db
