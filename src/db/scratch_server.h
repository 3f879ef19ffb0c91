// A scratch copy of one database of an embedded server: a server of its own
// in a private temporary directory, holding a snapshot of master and of that
// database, and nothing else. Whatever runs on it leaves the original server
// untouched, which is how the version switch shows what a run would do
// without doing it. The directory goes when the object does.
#pragma once

#include <filesystem>

namespace moltaro::db {

class ScratchServer {
 public:
  // Snapshots `dataDirectory`/master.mdf and `databaseFile` (the database's
  // file as sysdatabases names it). The snapshot is consistent even while
  // other sessions write. Throws db::Error when the file lies outside the
  // data directory (a copy of master would still point at the original) or
  // a copy cannot be made.
  ScratchServer(const std::filesystem::path& dataDirectory,
                const std::filesystem::path& databaseFile);
  ~ScratchServer();
  ScratchServer(const ScratchServer&) = delete;
  ScratchServer& operator=(const ScratchServer&) = delete;

  // The copy's data directory, for a connection string's "Server=embedded:".
  std::filesystem::path DataDirectory() const { return root_ / "data"; }
  // A directory beside it for anything else a run on the copy writes.
  std::filesystem::path WorkDirectory() const { return root_ / "work"; }

 private:
  std::filesystem::path root_;
};

}  // namespace moltaro::db
