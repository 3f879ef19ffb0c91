// The run log of an upgrade: one file per instance database, recreated by
// every run, Windows-1250 text with CR LF line ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace moltaro::engine {

// The log's file name for a database: the name, "_" and "verzio.log". Path
// separators and ".." in the name are replaced by underscores, so a strange
// database name cannot write outside the directory; other names are kept.
std::string RunLogFileName(std::string_view targetDatabase);

// Best effort throughout: a log that cannot be created or written is skipped
// silently, because the log must never stop an upgrade.
class RunLog {
 public:
  // Deletes any file at `path` and creates it empty.
  void Recreate(const std::filesystem::path& path);
  void Close();
  bool IsOpen() const { return file_.is_open(); }

  // Appends the (UTF-8) line in Windows-1250 and a CR LF; an empty line is
  // just the line end. Flushed at once, so a run that dies leaves its log.
  void WriteLine(std::string_view line);

 private:
  std::ofstream file_;
};

}  // namespace moltaro::engine
