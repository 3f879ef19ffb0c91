#include "db/connection.h"

#include "db/backend.h"
#include "db/connection_string.h"
#include "db/crash_points.h"
#include "db/errors.h"

namespace moltaro::db {

Connection::Connection() = default;
Connection::Connection(std::string connectionString)
    : connectionString_(std::move(connectionString)) {}
Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

void Connection::SetConnectionString(std::string connectionString) {
  connectionString_ = std::move(connectionString);
}

void Connection::Open() {
  if (session_) return;
  session_ = OpenSession(ConnectionString::Parse(connectionString_), commandTimeout_);
}

void Connection::Open(std::string connectionString) {
  Close();
  connectionString_ = std::move(connectionString);
  Open();
}

void Connection::Close() {
  session_.reset();
}

void Connection::SetCommandTimeout(int seconds) {
  commandTimeout_ = seconds;
  if (session_) session_->SetCommandTimeout(seconds);
}

Session& Connection::ActiveSession() {
  if (!session_) throw Error("The connection is not open.");
  return *session_;
}

void Connection::Execute(std::string_view sql, const Params& params) {
  PassCrashPoint(sql);
  ActiveSession().Execute(sql, params);
}

ResultSet Connection::Query(std::string_view sql, const Params& params) {
  PassCrashPoint(sql);
  BatchResult batch = ActiveSession().Execute(sql, params);
  if (batch.results.empty()) return ResultSet();
  return std::move(batch.results.front());
}

BatchResult Connection::Run(std::string_view sql, const Params& params) {
  PassCrashPoint(sql);
  return ActiveSession().Execute(sql, params);
}

void Connection::CallProcedure(std::string_view name, ProcedureParameters& params) {
  PassCrashPoint(name);
  ActiveSession().CallProcedure(name, params);
}

}  // namespace moltaro::db
