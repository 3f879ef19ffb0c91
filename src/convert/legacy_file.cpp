#include "convert/legacy_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/codepage.h"
#include "convert/convert_error.h"

namespace moltaro::convert {

std::string LegacyRecord::Field(std::size_t pos, std::size_t len) const {
  if (pos == 0 || pos > bytes_.size()) return {};
  return Cp1250ToUtf8(std::string_view(bytes_).substr(pos - 1, len));
}

std::string LegacyRecord::Text() const {
  return Cp1250ToUtf8(bytes_);
}

LegacyFile SplitLegacyText(std::string_view bytes, bool converted) {
  bytes = bytes.substr(0, bytes.find('\0'));
  const std::string text = converted ? Cp852ToCp1250(bytes) : std::string(bytes);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  LegacyFile file;
  file.lineCount = lines.size();
  if (!lines.empty()) lines.pop_back();  // the last line is never a record
  file.records.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    file.records.emplace_back(std::move(lines[i]), i + 1);
  }
  return file;
}

LegacyFile ReadLegacyFile(const std::filesystem::path& path, bool converted) {
  // A directory opens as an empty stream here, which would pass for an empty
  // export file and convert nothing without a word.
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    throw ConvertError("A(z) " + path.string() +
                       " file nem nyitható meg: " + std::strerror(EISDIR));
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw ConvertError("A(z) " + path.string() + " file nem nyitható meg: " + std::strerror(errno));
  }
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) throw ConvertError("A(z) " + path.string() + " file nem olvasható.");
  return SplitLegacyText(bytes, converted);
}

}  // namespace moltaro::convert
