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
  // The message SQL Server sends after this one when the statement fails
  // for it (CREATE DATABASE's summary after the file's error, ALTER TABLE's
  // after the dependents); 0 when it comes alone.
  int closedBy = 0;
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
// With a closing message (ServerMessage::closedBy), its text follows on a
// line of its own, formatted from `closingArgs`; the error keeps the first
// message's number and severity.
DatabaseError ServerErrorByNumber(int number, std::initializer_list<std::string_view> args = {},
                                  std::initializer_list<std::string_view> closingArgs = {});

// An operating system error as SQL Server's messages write it: "2(No such
// file or directory)".
std::string OperatingSystemError(int systemError);

// `error` with a detail of the embedded server's own (SQLite's diagnosis of
// a damaged file) on a line after SQL Server's message.
DatabaseError WithDetail(const DatabaseError& error, const std::string& detail);

// The text of the number's message alone, without a closing message.
std::string ServerMessageText(int number, std::initializer_list<std::string_view> args = {});

// `error` after a message of the same number that SQL Server sends before it
// (one 5074 for each dependent object, then the last with its closing 4922).
DatabaseError PrecededBy(const std::string& earlier, const DatabaseError& error);

}  // namespace moltaro::db
