#include "db/odbc/handles.h"

#include <utility>

#include "db/errors.h"

namespace moltaro::db::odbc {

namespace {

std::string KindName(SQLSMALLINT type) {
  switch (type) {
    case SQL_HANDLE_ENV:
      return "an environment";
    case SQL_HANDLE_DBC:
      return "a connection";
    case SQL_HANDLE_STMT:
      return "a statement (is the connection still alive?)";
    default:
      return "a handle of kind " + std::to_string(type);
  }
}

}  // namespace

Handle::Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
  const SQLRETURN rc = SQLAllocHandle(type, parent, &handle_);
  if (!SQL_SUCCEEDED(rc)) {
    handle_ = SQL_NULL_HANDLE;
    throw Error("The ODBC driver manager could not allocate " + KindName(type) + ".");
  }
}

Handle::~Handle() {
  Free();
}

Handle::Handle(Handle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, SQLHANDLE{})) {}

Handle& Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    Free();
    type_ = other.type_;
    handle_ = std::exchange(other.handle_, SQLHANDLE{});
  }
  return *this;
}

void Handle::Free() noexcept {
  if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  handle_ = SQL_NULL_HANDLE;
}

Handle MakeEnvironment() {
  Handle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
  const SQLRETURN rc = SQLSetEnvAttr(env.Get(), SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(rc)) throw Error("The ODBC driver manager does not offer ODBC 3.");
  return env;
}

ConnectionHandle::ConnectionHandle(const Handle& environment)
    : handle_(SQL_HANDLE_DBC, environment.Get()) {}

ConnectionHandle::~ConnectionHandle() {
  if (connected_) SQLDisconnect(handle_.Get());
}

}  // namespace moltaro::db::odbc
