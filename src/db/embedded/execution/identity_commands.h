// Explicit identity values: SET IDENTITY_INSERT, the checks it puts on an
// INSERT, and DBCC CHECKIDENT.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/embedded/execution/interpreter.h"

namespace moltaro::db::embedded {

// SET IDENTITY_INSERT table ON|OFF in the session's current database.
void SetIdentityInsert(SessionHost& host, const SetOptionStatement& s);

// Before an INSERT runs: 544 when it gives the identity column values
// without IDENTITY_INSERT, 545 when IDENTITY_INSERT is on and it does not.
void RequireIdentityInsertAllows(SessionHost& host, const Translation& t);

enum class CheckIdentMode { Reseed, NoReseed };

// DBCC CHECKIDENT (table [, NORESEED | RESEED [, value]]): corrects or sets
// the table's current identity value; returns the messages it prints.
std::vector<std::string> CheckIdent(SessionHost& host, const std::string& table,
                                    CheckIdentMode mode, std::optional<long long> reseedValue);

}  // namespace moltaro::db::embedded
