#include "db/embedded/server/database_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

std::filesystem::path LockFile(const std::filesystem::path& dataDirectory) {
  return dataDirectory / "moltaro.lock";
}

int OpenLockFile(const std::filesystem::path& dataDirectory) {
  const std::filesystem::path file = LockFile(dataDirectory);
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) {
    throw ServerErrorByNumber(5120, {file.string(), OperatingSystemError(errno)});
  }
  return fd;
}

// An open-file-description lock on the database's byte; false when it is
// held against us and `wait` is false.
bool Lock(const std::filesystem::path& dataDirectory, int fd, int databaseId, short type,
          bool wait) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = databaseId;
  range.l_len = 1;
  while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &range) != 0) {
    if (errno == EINTR) continue;
    if (!wait && (errno == EAGAIN || errno == EACCES)) return false;
    throw ServerErrorByNumber(
        823, {OperatingSystemError(errno), "lock", LockFile(dataDirectory).string()});
  }
  return true;
}

}  // namespace

DatabaseLock DatabaseLock::Shared(const std::filesystem::path& dataDirectory, int databaseId) {
  DatabaseLock lock(OpenLockFile(dataDirectory));
  Lock(dataDirectory, lock.fd_, databaseId, F_RDLCK, true);
  return lock;
}

std::optional<DatabaseLock> DatabaseLock::Exclusive(const std::filesystem::path& dataDirectory,
                                                    int databaseId) {
  DatabaseLock lock(OpenLockFile(dataDirectory));
  if (!Lock(dataDirectory, lock.fd_, databaseId, F_WRLCK, false)) return std::nullopt;
  return lock;
}

DatabaseLock::DatabaseLock(DatabaseLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DatabaseLock& DatabaseLock::operator=(DatabaseLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

DatabaseLock::~DatabaseLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace moltaro::db::embedded
