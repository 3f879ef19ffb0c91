// FORMAT(value, format[, culture]): numbers and datetimes written with .NET's
// standard and custom format strings under a culture (en-US, en-GB, hu-HU,
// de-DE). Exact numbers are rounded as exact numbers.
#pragma once

struct sqlite3;

namespace moltaro::db::embedded {

// How tsql_format's last argument says what the value is.
inline constexpr int kFormatNumber = 0;
inline constexpr int kFormatDateTime = 1;
inline constexpr int kFormatText = 2;  // not a value FORMAT takes

// tsql_format(value, format, culture, kind)
void RegisterFormatFunction(sqlite3* db);

}  // namespace moltaro::db::embedded
