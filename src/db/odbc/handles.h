// Owning wrappers of ODBC handles: an environment, a connection on it and the
// statements on a connection, each freed exactly once.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>

namespace moltaro::db::odbc {

// One ODBC handle of a given kind; move-only.
class Handle {
 public:
  // Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an
  // environment). Throws db::Error when the driver manager refuses.
  Handle(SQLSMALLINT type, SQLHANDLE parent);
  ~Handle();
  Handle(Handle&& other) noexcept;
  Handle& operator=(Handle&& other) noexcept;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SQLHANDLE Get() const { return handle_; }
  SQLSMALLINT Type() const { return type_; }

 private:
  void Free() noexcept;

  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// An ODBC 3 environment.
Handle MakeEnvironment();

// A connection handle that disconnects before it is freed once connected.
class ConnectionHandle {
 public:
  explicit ConnectionHandle(const Handle& environment);
  ~ConnectionHandle();
  ConnectionHandle(const ConnectionHandle&) = delete;
  ConnectionHandle& operator=(const ConnectionHandle&) = delete;

  const Handle& Get() const { return handle_; }
  void MarkConnected() { connected_ = true; }

 private:
  Handle handle_;
  bool connected_ = false;
};

}  // namespace moltaro::db::odbc
