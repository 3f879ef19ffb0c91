// The settings file "VELDORAdb_new.ini": first line "server$$common database".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace moltaro {

inline constexpr const char* kSettingsFileName = "VELDORAdb_new.ini";
// Begins the message for a settings file that is not Windows-1250 text.
inline constexpr const char* kNotCp1250Text = "A beállítófájl nem Windows-1250 kódolású szöveg: ";

struct SettingsFileValues {
  std::string serverName;
  std::string commonDatabase;
};

// Reads the first line of `directory`/VELDORAdb_new.ini (Windows-1250).
// No file gives nullopt; a file without any line, or one whose first line is
// plainly in another encoding (a UTF-8 byte-order mark, NUL bytes), throws
// std::runtime_error.
std::optional<SettingsFileValues> ReadSettingsFile(const std::filesystem::path& directory);

// The two fields of a first line, trimmed; an empty common database becomes
// "ZMP_Vorel".
SettingsFileValues ParseSettingsLine(const std::string& firstLine);

}  // namespace moltaro
