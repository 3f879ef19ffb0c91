// ODBC connection strings as an ordered list of keys: `KEY=VALUE;` pairs,
// a value enclosed in braces when it holds what would end or open one.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace moltaro::db::odbc {

// A value as written into an ODBC connection string: as it is, or in braces
// (with "}" doubled) when it holds ";", braces, or blanks at either end.
std::string QuoteOdbcValue(std::string_view value);

class OdbcKeyList {
 public:
  // Adds a pair; a key already present (ignoring ASCII case) keeps its place
  // and takes the new value. `value` is quoted as needed.
  void Set(std::string_view key, std::string_view value);

  // Like Set, with the value already in connection-string form.
  void SetRaw(std::string_view key, std::string_view rawValue);

  // Parses `KEY=VALUE;...` (braced values allowed) and sets each pair raw,
  // so the operator's quoting reaches the driver untouched. Throws db::Error
  // for a piece without "=" or an unclosed brace.
  void Merge(std::string_view pairs);

  // Value as written (quoted form); empty when absent.
  std::string Raw(std::string_view key) const;
  bool Has(std::string_view key) const;

  std::string Text() const;

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

}  // namespace moltaro::db::odbc
