// SQL Server's messages: every number the embedded server raises, with its
// severity and text, in one table. An error is raised by its number and the
// text's arguments; nothing decides by an error's wording, only by its number.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "db/errors.h"

namespace moltaro::db {

struct ServerMessage {
  int number;
  int severity;
  // SQL Server's text with its own placeholders (%ls, %.*ls, %d, %S_MSG …),
  // each taking the next argument.
  std::string_view text;
};

// The table's entry for the number; nullptr when the server raises no such
// message.
const ServerMessage* FindServerMessage(int number);

// The text with its placeholders replaced, in order, by the arguments; a
// placeholder without an argument is left empty, "%%" is one "%".
std::string FormatServerMessage(std::string_view text,
                                std::initializer_list<std::string_view> args);

// The error with that number, its text formatted from the table. A number
// missing from the table is a fault of the caller (std::logic_error).
DatabaseError ServerErrorByNumber(int number, std::initializer_list<std::string_view> args = {});

}  // namespace moltaro::db
