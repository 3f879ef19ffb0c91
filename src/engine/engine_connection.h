// One of the engine's two connections (catalogue side, target side). The
// engine reaches the server only through this, so tests can stand a scripted
// server in for a real one.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/result_set.h"
#include "db/value.h"

namespace moltaro::engine {

class EngineConnection {
 public:
  virtual ~EngineConnection() = default;

  // Closes the connection if open and opens it with this string. A refusal
  // throws db::DatabaseError with the server's message.
  virtual void Open(const std::string& connectionString) = 0;

  // A query read whole; an empty result reads as a row of NULLs.
  virtual db::ResultSet Query(std::string_view sql, const db::Params& params = {}) = 0;

  // A statement (one batch) that returns no rows. Server refusals throw
  // db::DatabaseError; a connection that is not open throws db::Error.
  virtual void Execute(std::string_view sql, const db::Params& params = {}) = 0;
};

using EngineConnectionFactory = std::function<std::unique_ptr<EngineConnection>()>;

// Connections to a real server through the database access layer.
std::unique_ptr<EngineConnection> MakeServerConnection();

}  // namespace moltaro::engine
