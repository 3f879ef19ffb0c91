// A site on an embedded server driven through the built moltaro-cli: one
// company upgraded with the example version file, ready to take the example
// legacy company. Kept as a snapshot that each test can start from again.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "cli_process.h"
#include "db/connection.h"

namespace moltaro::convert::testing {

namespace fs = std::filesystem;

using moltaro::testing::CliOutcome;

class LegacySite {
 public:
  static constexpr const char* kPassword = "Konv-Teszt-1";
  static constexpr const char* kDatabase = "konv";

  explicit LegacySite(const std::string& name)
      : root_(fs::temp_directory_path() /
              ("moltaro-" + name + "-" + std::to_string(std::random_device{}()))) {
    fs::create_directories(Site());
  }
  ~LegacySite() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  LegacySite(const LegacySite&) = delete;
  LegacySite& operator=(const LegacySite&) = delete;

  fs::path Root() const { return root_; }
  fs::path Site() const { return root_ / "site"; }

  static std::string Quote(const std::string& text) { return moltaro::testing::ShellQuote(text); }

  // Runs moltaro-cli in the site with extra environment settings.
  CliOutcome Cli(const std::string& arguments, const std::string& environment = "") const {
    return moltaro::testing::RunProcess(
        MOLTARO_CLI,
        "-C " + Quote(Site().string()) + " -U sa -P " + Quote(kPassword) + " " + arguments,
        environment, root_ / "stderr.txt");
  }

  static void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // server-init, the company, the upgrade; then the snapshot.
  void Build() const {
    ASSERT_EQ(Cli("server-init data --sa-password " + Quote(kPassword)).status, 0);
    WriteFile(Site() / "VELDORAdb_new.ini", "local$$master\r\n");
    ASSERT_EQ(Cli(std::string("new-company Konvert ") + kDatabase).status, 0);
    WriteFile(Site() / "VELDORAdb_new.ini", "local$$ZMP_Vorel\r\n");
    fs::copy_file(fs::path(MOLTARO_EXAMPLES_DIR) / "verzio.ver", Site() / "verzio.ver");
    const CliOutcome upgrade = Cli(std::string("upgrade ") + kDatabase + " --yes");
    ASSERT_EQ(upgrade.status, 0) << upgrade.err;
    // The upgrade's own journal row is not the conversion's.
    ASSERT_EQ(
        Cli(std::string("sql -d ") + kDatabase + " -Q " + Quote("delete from zmp_naplo")).status,
        0);
    fs::copy(Site(), root_ / "snapshot", fs::copy_options::recursive);
  }

  void RestoreSnapshot() const {
    fs::remove_all(Site());
    fs::copy(root_ / "snapshot", Site(), fs::copy_options::recursive);
  }

  static fs::path ExampleCompany() { return fs::path(MOLTARO_EXAMPLES_DIR) / "legacy"; }

  // A copy of the example company under the root, to be spoiled by a test.
  fs::path CopyOfExample(const std::string& name) const {
    const fs::path copy = root_ / name;
    fs::remove_all(copy);
    fs::copy(ExampleCompany(), copy, fs::copy_options::recursive);
    return copy;
  }

  db::Connection Open(const std::string& database = kDatabase) const {
    db::Connection c("Provider=SQLOLEDB.1;Server=embedded:" + (Site() / "data").string() +
                     ";Password=" + kPassword + ";User ID=sa;Initial Catalog=" + database + ";");
    c.Open();
    return c;
  }

 private:
  fs::path root_;
};

// The lines of an export file (CR LF separated, the closing line last).
inline std::vector<std::string> ExportLines(const fs::path& file) {
  const std::string bytes = LegacySite::ReadFile(file);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(bytes.substr(start, end - start));
  }
  lines.push_back(bytes.substr(start));
  return lines;
}

inline void WriteExportLines(const fs::path& file, const std::vector<std::string>& lines) {
  std::string bytes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) bytes += "\r\n";
    bytes += lines[i];
  }
  LegacySite::WriteFile(file, bytes);
}

}  // namespace moltaro::convert::testing
