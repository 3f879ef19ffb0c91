// Legacy export files of the DOS generation: fixed-width records, one a line.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace moltaro::convert {

// One record: a line of the file without its line end, held as Windows-1250
// bytes (one byte per character, so positions count bytes).
class LegacyRecord {
 public:
  LegacyRecord(std::string cp1250, std::size_t lineNumber)
      : bytes_(std::move(cp1250)), lineNumber_(lineNumber) {}

  // The field at 1-based position `pos` of length `len`, as UTF-8. Cutting
  // takes what exists: a field running past the end is shorter, one starting
  // past it is empty. Untrimmed.
  std::string Field(std::size_t pos, std::size_t len) const;

  // The whole record as UTF-8.
  std::string Text() const;

  const std::string& Bytes() const { return bytes_; }
  std::size_t Length() const { return bytes_.size(); }
  std::size_t LineNumber() const { return lineNumber_; }  // 1-based line of the file

 private:
  std::string bytes_;
  std::size_t lineNumber_;
};

struct LegacyFile {
  std::size_t lineCount = 0;          // lines of the file, the last one included
  std::vector<LegacyRecord> records;  // every line but the last, in file order
};

// Splits the bytes of a file: a NUL ends the text; CR LF, a lone CR and a
// lone LF end a line; a line end at the very end opens no further line. When
// `converted`, the 18 accented letters of code page 852 become Windows-1250
// first; otherwise the bytes stay as they are.
LegacyFile SplitLegacyText(std::string_view bytes, bool converted);

// Reads a whole file and splits it; a file that cannot be read throws
// ConvertError naming the path.
LegacyFile ReadLegacyFile(const std::filesystem::path& path, bool converted);

}  // namespace moltaro::convert
