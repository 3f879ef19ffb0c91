// The settings file "VELDORAdb_new.ini": first line "server$$common database".
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace moltaro {

inline constexpr const char* kSettingsFileName = "VELDORAdb_new.ini";

struct SettingsFileValues {
  std::string serverName;
  std::string commonDatabase;
};

// Reads the first line of `directory`/VELDORAdb_new.ini (Windows-1250).
// No file gives nullopt; a file without any line throws std::runtime_error,
// since there is no first line to read.
std::optional<SettingsFileValues> ReadSettingsFile(const std::filesystem::path& directory);

// The two fields of a first line, trimmed; an empty common database becomes
// "ZMP_Vorel".
SettingsFileValues ParseSettingsLine(const std::string& firstLine);

}  // namespace moltaro
