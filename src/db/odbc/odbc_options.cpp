#include "db/odbc/odbc_options.h"

#include <charconv>
#include <cstdlib>
#include <fstream>

#include "common/text.h"
#include "db/errors.h"

namespace moltaro::db::odbc {

namespace {

// `where` says which file line or variable the value came from.
int ParseTimeout(const std::string& text, const std::string& where) {
  const std::string value = Trim(text);
  int seconds = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
  if (value.empty() || ec != std::errc() || end != value.data() + value.size() || seconds < 0) {
    throw Error(where + ": the login time-out \"" + value +
                "\" is not a whole number of seconds (0 or more).");
  }
  return seconds;
}

void AppendExtra(std::string& extra, std::string_view more) {
  const std::string pairs = Trim(more);
  if (pairs.empty()) return;
  if (!extra.empty() && extra.back() != ';') extra += ';';
  extra += pairs;
}

void ApplyFileLine(OdbcOptions& options, const std::string& line, const std::string& where) {
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) {
    throw Error(where + ": expected Driver=, Extra= or LoginTimeout=, found \"" + line + "\".");
  }
  const std::string key = Trim(line.substr(0, eq));
  const std::string value = Trim(line.substr(eq + 1));
  if (EqualsIgnoreCaseAscii(key, "Driver")) {
    options.driver = value;
  } else if (EqualsIgnoreCaseAscii(key, "Extra")) {
    AppendExtra(options.extra, value);
  } else if (EqualsIgnoreCaseAscii(key, "LoginTimeout")) {
    options.loginTimeout = ParseTimeout(value, where);
  } else {
    throw Error(where + ": unknown key \"" + key + "\" (known: Driver, Extra, LoginTimeout).");
  }
}

void ReadOptionsFile(OdbcOptions& options, const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw Error("The ODBC options file " + file.string() + " cannot be read.");
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    const std::string text = Trim(line);
    if (text.empty() || text[0] == '#' || text[0] == ';' || text[0] == '[') continue;
    ApplyFileLine(options, text, file.string() + " line " + std::to_string(number));
  }
}

}  // namespace

std::optional<std::string> ProcessEnvironment(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

OdbcOptions LoadOdbcOptions(const std::filesystem::path& directory,
                            const EnvironmentLookup& environment) {
  OdbcOptions options;
  const std::filesystem::path file = directory / kOptionsFileName;
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) ReadOptionsFile(options, file);

  if (auto driver = environment(kDriverVariable)) options.driver = Trim(*driver);
  if (auto extra = environment(kExtraVariable)) AppendExtra(options.extra, *extra);
  if (auto timeout = environment(kLoginTimeoutVariable)) {
    options.loginTimeout = ParseTimeout(*timeout, std::string(kLoginTimeoutVariable));
  }
  // odbcinst.ini names are often written braced, as in connection strings.
  if (options.driver.size() >= 2 && options.driver.front() == '{' && options.driver.back() == '}') {
    options.driver = Trim(std::string_view(options.driver).substr(1, options.driver.size() - 2));
  }
  if (options.driver.empty()) {
    throw Error("No ODBC driver is named: set " + std::string(kDriverVariable) +
                " or the Driver line of " + std::string(kOptionsFileName) + ".");
  }
  return options;
}

}  // namespace moltaro::db::odbc
