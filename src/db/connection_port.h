// A connection as the main window and the engine hold it. They reach the
// server only through this, so tests can stand a scripted server in for a
// real one.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/result_set.h"
#include "db/value.h"

namespace moltaro::db {

class ConnectionPort {
 public:
  virtual ~ConnectionPort() = default;

  // Closes the connection if open and opens it with this string. A refusal
  // throws DatabaseError with the server's message.
  virtual void Open(const std::string& connectionString) = 0;
  virtual void Close() = 0;

  // A query read whole; an empty result reads as a row of NULLs.
  virtual ResultSet Query(std::string_view sql, const Params& params = {}) = 0;

  // A statement (one batch) that returns no rows. Server refusals throw
  // DatabaseError; a connection that is not open throws db::Error.
  virtual void Execute(std::string_view sql, const Params& params = {}) = 0;
};

using ConnectionFactory = std::function<std::unique_ptr<ConnectionPort>()>;

// Connections to a real server through db::Connection.
std::unique_ptr<ConnectionPort> MakeServerConnection();

}  // namespace moltaro::db
