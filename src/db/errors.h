// The two kinds of failure of the database access layer.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

namespace moltaro::db {

// The severity of an error the message table does not list: a user's error.
inline constexpr int kUserErrorSeverity = 16;

struct BatchResult;

// The severity SQL Server gives the error number (server_messages.h).
int SeverityOfNumber(int number);

// An error raised by the server, carrying its own message (and number when
// the server gives one) and its severity. Callers that must tell server
// errors from others catch this type; callers that must tell one error from
// another compare numbers, never messages.
class DatabaseError : public std::runtime_error {
 public:
  // A severity of -1 is the one the message table gives the number.
  explicit DatabaseError(const std::string& message, int number = 0, int severity = -1)
      : std::runtime_error(message), number_(number), severity_(severity) {}
  int Number() const { return number_; }
  int Severity() const { return severity_ >= 0 ? severity_ : SeverityOfNumber(number_); }

  // What the batch sent before it failed (result sets and messages), where
  // the server keeps it; null otherwise. A shell shows it before the error.
  const BatchResult* Partial() const { return partial_.get(); }
  void SetPartial(std::shared_ptr<const BatchResult> partial) { partial_ = std::move(partial); }

 private:
  int number_;
  int severity_;
  std::shared_ptr<const BatchResult> partial_;
};

// Any other failure of the access layer: a column asked for that the result
// does not have, a connection used while closed, an unusable connection string.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace moltaro::db
