// Reading connection strings of the `Key=Value;` form.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace moltaro::db {

// Keys compared ignoring ASCII case.
struct KeyLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

class ConnectionString {
 public:
  // Splits at ";" outside quotes. A value wholly enclosed in ' or " is
  // unquoted (a doubled quote inside stands for one). Blanks around keys and
  // values do not count. Throws db::Error on an unterminated quote.
  static ConnectionString Parse(std::string_view text);

  std::optional<std::string> Get(const std::string& key) const;
  std::string GetOr(const std::string& key, std::string fallback) const;
  bool Has(const std::string& key) const { return values_.count(key) != 0; }
  const std::map<std::string, std::string, KeyLess>& Values() const { return values_; }

 private:
  std::map<std::string, std::string, KeyLess> values_;
};

// A value written into a connection string: as it is when it holds nothing
// that would end or quote it, else enclosed in double quotes with inner
// double quotes doubled. With `keepOuterBlanks` (passwords), a value that
// begins or ends with a blank or control character is quoted too, so that
// reading it back does not trim them away.
std::string QuoteConnectionValue(std::string_view value, bool keepOuterBlanks = false);

}  // namespace moltaro::db
