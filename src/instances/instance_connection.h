// One of the main window's connections (the common database, the instance
// pointed at, master). The window reaches the server only through this, so
// tests can stand a scripted server in for the real one.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "db/result_set.h"
#include "db/value.h"

namespace moltaro::instances {

class InstanceConnection {
 public:
  virtual ~InstanceConnection() = default;

  // Closes the connection if open and opens it with this string. A refusal
  // throws db::DatabaseError with the server's message.
  virtual void Open(const std::string& connectionString) = 0;
  virtual void Close() = 0;

  // A query read whole; an empty result reads as a row of NULLs.
  virtual db::ResultSet Query(std::string_view sql, const db::Params& params = {}) = 0;
  // A statement that returns no rows.
  virtual void Execute(std::string_view sql, const db::Params& params = {}) = 0;
};

using ConnectionFactory = std::function<std::unique_ptr<InstanceConnection>()>;

// Connections to a real server through the database access layer.
std::unique_ptr<InstanceConnection> MakeServerConnection();

}  // namespace moltaro::instances
