#include "db/odbc/diagnostics.h"

#include <algorithm>

#include "common/text.h"
#include "db/odbc/utf16.h"

namespace moltaro::db::odbc {

namespace {

constexpr std::string_view kServerTag = "SQL Server";

std::string ReadMessage(const Handle& handle, SQLSMALLINT index, DiagnosticRecord& record,
                        SQLRETURN& rc) {
  SQLWCHAR state[6] = {};
  SQLINTEGER native = 0;
  std::u16string text(512, u'\0');
  SQLSMALLINT length = 0;
  for (;;) {
    rc = SQLGetDiagRecW(handle.Type(), handle.Get(), index, state, &native,
                        reinterpret_cast<SQLWCHAR*>(text.data()),
                        static_cast<SQLSMALLINT>(text.size()), &length);
    if (rc != SQL_SUCCESS_WITH_INFO || length < static_cast<SQLSMALLINT>(text.size())) break;
    text.resize(static_cast<std::size_t>(length) + 1);
  }
  record.state = ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(state), 5));
  record.nativeError = static_cast<int>(native);
  text.resize(std::min<std::size_t>(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                    text.size()));
  return ToUtf8(text);
}

}  // namespace

std::vector<DiagnosticRecord> ReadDiagnostics(const Handle& handle) {
  std::vector<DiagnosticRecord> records;
  for (SQLSMALLINT i = 1;; ++i) {
    DiagnosticRecord record;
    SQLRETURN rc = SQL_SUCCESS;
    record.message = ReadMessage(handle, i, record, rc);
    if (!SQL_SUCCEEDED(rc)) break;
    records.push_back(std::move(record));
  }
  return records;
}

std::string StripDriverPrefix(std::string_view message) {
  std::size_t pos = 0;
  std::size_t afterServerTag = std::string_view::npos;
  while (pos < message.size() && message[pos] == '[') {
    const std::size_t close = message.find(']', pos + 1);
    if (close == std::string_view::npos) break;
    const std::string_view tag = message.substr(pos + 1, close - pos - 1);
    pos = close + 1;
    if (EqualsIgnoreCaseAscii(tag, kServerTag)) {
      afterServerTag = pos;
      break;
    }
  }
  const std::size_t start = afterServerTag != std::string_view::npos ? afterServerTag : pos;
  return TrimRight(message.substr(start));
}

bool IsInformational(const DiagnosticRecord& record) {
  return record.state.rfind("01", 0) == 0;
}

namespace {

std::vector<std::string> DistinctMessages(const std::vector<DiagnosticRecord>& records,
                                          bool includeInformational, int& number) {
  std::vector<std::string> lines;
  for (const DiagnosticRecord& record : records) {
    if (!includeInformational && IsInformational(record)) continue;
    std::string line = StripDriverPrefix(record.message);
    if (line.empty() || std::find(lines.begin(), lines.end(), line) != lines.end()) continue;
    if (lines.empty()) number = record.nativeError;
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace

DatabaseError ServerError(const std::vector<DiagnosticRecord>& records) {
  int number = 0;
  std::vector<std::string> lines = DistinctMessages(records, false, number);
  // A failed call whose only records are of the message class (unixODBC
  // reports a driver library it cannot open that way) failed for them.
  if (lines.empty()) lines = DistinctMessages(records, true, number);
  std::string message;
  for (const std::string& line : lines) {
    if (!message.empty()) message += '\n';
    message += line;
  }
  if (message.empty() && !records.empty()) {
    // A driver that fails without words still gives its SQLSTATE.
    message = "ODBC error " + records.front().state;
  }
  return DatabaseError(message, number);
}

void Check(SQLRETURN rc, const Handle& handle, std::string_view what) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return;
  if (rc == SQL_INVALID_HANDLE) {
    throw Error(std::string(what) + " failed: the ODBC handle is not valid.");
  }
  const std::vector<DiagnosticRecord> records = ReadDiagnostics(handle);
  if (records.empty()) {
    throw Error(std::string(what) + " failed and the ODBC driver gave no reason.");
  }
  throw ServerError(records);
}

}  // namespace moltaro::db::odbc
