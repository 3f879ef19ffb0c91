// Writing operator-typed names into statement text safely.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace moltaro::instances {

// The text with each single quote doubled, for use between single quotes.
std::string DoubleQuotes(std::string_view text);

// The text as a string literal: enclosed in single quotes, inner ones doubled.
std::string QuoteLiteral(std::string_view text);

// Database names go bare into CREATE and ALTER DATABASE, so only a regular
// SQL Server identifier is accepted: a letter or "_" first, then letters,
// decimal digits, "_", "@", "$" or "#", and not a reserved keyword. Letters
// are the ASCII ones and the accented Latin letters (all Hungarian ones).
// Returns why the name is refused, or nothing when it can be used.
std::optional<std::string> DatabaseNameProblem(std::string_view name);

}  // namespace moltaro::instances
