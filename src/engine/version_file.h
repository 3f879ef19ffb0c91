// The version file verzio.ver as text: its lines, its record lines, the
// checks a record must pass before it reaches the catalogue, and the default
// normalisation of column records. Pure logic, no database.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace moltaro::engine {

inline constexpr const char* kVersionFileName = "verzio.ver";

// The file's lines as UTF-8. The file is Windows-1250; a line ends at LF,
// and a CR right before the LF (or at the very end) belongs to the line end. A final line end
// does not start another line, so "a\r\nb\r\n" has two lines and
// "a\r\nb\r\n\r\n" three, the last one empty.
std::vector<std::string> SplitVersionLines(std::string_view cp1250Bytes);

// A record line begins with "$$"; every other line is a text line.
bool IsRecordLine(std::string_view line);

// The record kind: character 3 of a record line; '\0' when the line is
// shorter than three characters.
char RecordKind(std::string_view line);

// Kinds that head a text (pre-run script, procedure or function, post-run script).
bool IsTextKind(char kind);

// Why a record (the line without its leading "$$") cannot be loaded: missing
// fields, or a field that must be a whole number for its catalogue column
// and is not one or does not fit. Empty when the record is sound or of a
// kind the loader ignores.
std::optional<std::string> RecordFault(char kind, std::string_view record);

// Why the version number of a header cannot be installed: empty, or longer
// than the version table's column holds. Empty when it can.
std::optional<std::string> VersionNumberFault(std::string_view version);

// The default a column record stores: its quotes removed, a default supplied
// for a NOT NULL column without one, then wrapped in parentheses (with
// quotes for character and datetime types), trimmed.
std::string NormaliseDefault(std::string_view typeCode, std::string_view notNull,
                             std::string_view deflt);

// The message that ends a run on a faulty line: the line's number (from 1),
// the cause, and the line itself (long lines cut).
std::string FaultyLineMessage(std::size_t lineNumber, std::string_view cause,
                              std::string_view line);

}  // namespace moltaro::engine
