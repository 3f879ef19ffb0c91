// The ODBC drivers the tests run against, scratch databases and a closed port.
#pragma once

#include <filesystem>
#include <string>

namespace moltaro::db::odbc::testing {

// The registered name of the SQLite 3 ODBC driver, or the path of its library
// when Debian did not register it. Empty when neither is found.
std::string SqliteDriver();

// FreeTDS's driver likewise: its registered name or its library path.
std::string FreeTdsDriver();

// A file name in the temporary directory no other test uses; removed with the object.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& stem);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A TCP port on 127.0.0.1 that nothing listens on.
int ClosedLocalPort();

}  // namespace moltaro::db::odbc::testing
