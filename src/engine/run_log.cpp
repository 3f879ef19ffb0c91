#include "engine/run_log.h"

#include <system_error>

#include "common/codepage.h"
#include "common/text.h"

namespace moltaro::engine {

std::string RunLogFileName(std::string_view targetDatabase) {
  std::string name(targetDatabase);
  for (char& c : name) {
    if (c == '/' || c == '\\') c = '_';
  }
  name = ReplaceAll(name, "..", "__");
  return name + "_verzio.log";
}

void RunLog::Recreate(const std::filesystem::path& path) {
  Close();
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  file_.open(path, std::ios::binary | std::ios::trunc | std::ios::out);
}

void RunLog::Close() {
  if (file_.is_open()) file_.close();
  file_.clear();
}

void RunLog::WriteLine(std::string_view line) {
  if (!file_.is_open() || !file_.good()) return;
  // Server messages may span lines, ended in LF or CR alone: every line of
  // the log ends in CR LF.
  std::string text = ReplaceAll(ReplaceAll(line, "\r\n", "\n"), "\r", "\n");
  text = ReplaceAll(text, "\n", "\r\n");
  const std::string bytes = Utf8ToCp1250(text) + "\r\n";
  file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  file_.flush();
}

}  // namespace moltaro::engine
