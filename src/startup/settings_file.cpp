#include "startup/settings_file.h"

#include <fstream>
#include <stdexcept>

#include "common/codepage.h"
#include "common/text.h"
#include "startup/server_settings.h"

namespace moltaro {

namespace {
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
}  // namespace

SettingsFileValues ParseSettingsLine(const std::string& firstLine) {
  SettingsFileValues values;
  values.serverName = Trim(SettingsField(firstLine, 1, "$$"));
  values.commonDatabase = Trim(SettingsField(firstLine, 2, "$$"));
  if (values.commonDatabase.empty()) values.commonDatabase = kDefaultCommonDatabase;
  return values;
}

std::optional<SettingsFileValues> ReadSettingsFile(const std::filesystem::path& directory) {
  const std::filesystem::path path = directory / kSettingsFileName;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("A beállítófájl nem olvasható: " + path.string());
  std::string line;
  if (!std::getline(in, line)) {
    throw std::runtime_error("A beállítófájl üres: " + path.string() +
                             " – első sorában a szerver neve, \"$$\" és a közös adatbázis neve "
                             "álljon.");
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // A file saved in another encoding would read as a garbled server or
  // database name and fail only at the login; it is told for what it is.
  if (line.rfind(kUtf8ByteOrderMark, 0) == 0) {
    throw std::runtime_error(std::string(kNotCp1250Text) + path.string() +
                             " – UTF-8 bájtsorrend-jellel (BOM) kezdődik.");
  }
  if (line.find('\0') != std::string::npos) {
    throw std::runtime_error(std::string(kNotCp1250Text) + path.string() +
                             " – NUL bájtot tartalmaz (talán UTF-16 kódolású).");
  }
  return ParseSettingsLine(Cp1250ToUtf8(line));
}

}  // namespace moltaro
