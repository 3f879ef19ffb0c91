// What a driver says when a call fails or succeeds with information: its
// diagnostic records, turned into the server's own message.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/errors.h"
#include "db/odbc/handles.h"

namespace moltaro::db::odbc {

struct DiagnosticRecord {
  std::string state;  // SQLSTATE, five characters
  int nativeError = 0;
  std::string message;  // as the driver gave it, prefixes included
};

// Every diagnostic record the last call on `handle` left behind.
std::vector<DiagnosticRecord> ReadDiagnostics(const Handle& handle);

// Removes the bracketed tags the driver manager and the drivers put before a
// message ("[unixODBC][FreeTDS][SQL Server]"). When one of the tags is
// "[SQL Server]" only the tags up to it go: what follows is the server's own
// text and may itself begin with a bracket.
std::string StripDriverPrefix(std::string_view message);

// SQLSTATE class 01 is a warning or a message (PRINT, "Changed database
// context"), not a failure.
bool IsInformational(const DiagnosticRecord& record);

// The error a failed call stands for: the messages of its error records
// (of all records when none is of an error class), without prefixes and
// without repeats, one per line, with the first one's native error number.
DatabaseError ServerError(const std::vector<DiagnosticRecord>& records);

// Throws for a failed ODBC call (anything but success, success with
// information and no data); `what` names the step for failures the driver
// does not explain.
void Check(SQLRETURN rc, const Handle& handle, std::string_view what);

}  // namespace moltaro::db::odbc
