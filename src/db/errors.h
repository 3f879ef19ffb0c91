// The two kinds of failure of the database access layer.
#pragma once

#include <stdexcept>
#include <string>

namespace moltaro::db {

// An error raised by the server, carrying its own message (and number when
// the server gives one). Callers that must tell server errors from others
// catch this type.
class DatabaseError : public std::runtime_error {
 public:
  explicit DatabaseError(const std::string& message, int number = 0)
      : std::runtime_error(message), number_(number) {}
  int Number() const { return number_; }

 private:
  int number_;
};

// Any other failure of the access layer: a column asked for that the result
// does not have, a connection used while closed, an unusable connection string.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace moltaro::db
