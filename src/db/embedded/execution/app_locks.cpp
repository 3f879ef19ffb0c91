#include "db/embedded/execution/app_locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <thread>

#include "common/text.h"
#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

constexpr auto kRetryPause = std::chrono::milliseconds(10);

// FNV-1a: file names need a stable spread of the key, not secrecy.
std::uint64_t Fnv1a(const std::string& text) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (const unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  return hash;
}

int OpenLockFile(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    throw ServerErrorByNumber(5120, {file.string(), OperatingSystemError(errno)});
  }
  return fd;
}

}  // namespace

AppLocks::AppLocks(std::filesystem::path lockDirectory)
    : lockDirectory_(std::move(lockDirectory)) {}

AppLocks::~AppLocks() {
  for (auto& [key, held] : held_) ::close(held.descriptor);
}

std::string AppLocks::KeyOf(const std::string& database, const std::string& resource) {
  // Database names are found in any letter case; resources compare as bytes.
  return ToLowerAscii(database) + '\n' + resource;
}

std::filesystem::path AppLocks::FileFor(const std::string& database,
                                        const std::string& resource) const {
  char name[32];
  std::snprintf(name, sizeof name, "applock-%016llx",
                static_cast<unsigned long long>(Fnv1a(KeyOf(database, resource))));
  return lockDirectory_ / name;
}

int AppLocks::Acquire(const std::string& database, const std::string& resource, bool shared,
                      AppLockOwner owner, std::chrono::milliseconds timeout,
                      const std::function<void()>& stillWanted) {
  const std::string key = KeyOf(database, resource);
  auto it = held_.find(key);
  if (it == held_.end()) {
    std::error_code ignored;
    std::filesystem::create_directories(lockDirectory_, ignored);
    ::chmod(lockDirectory_.c_str(), 0700);
    const std::filesystem::path file = FileFor(database, resource);
    const int fd = OpenLockFile(file);
    const int operation = (shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool waited = false;
    while (::flock(fd, operation) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        const int error = errno;
        ::close(fd);
        throw ServerErrorByNumber(823, {OperatingSystemError(error), "lock", file.string()});
      }
      if (timeout.count() >= 0 && std::chrono::steady_clock::now() >= deadline) {
        ::close(fd);
        return kAppLockTimedOut;
      }
      try {
        if (stillWanted) stillWanted();
      } catch (...) {
        ::close(fd);
        throw;
      }
      std::this_thread::sleep_for(kRetryPause);
      waited = true;
    }
    it = held_.emplace(key, Held{fd, 0, 0}).first;
    ++(owner == AppLockOwner::Session ? it->second.sessionCount : it->second.transactionCount);
    return waited ? kAppLockGrantedAfterWait : kAppLockGranted;
  }
  ++(owner == AppLockOwner::Session ? it->second.sessionCount : it->second.transactionCount);
  return kAppLockGranted;
}

bool AppLocks::Release(const std::string& database, const std::string& resource,
                       AppLockOwner owner) {
  auto it = held_.find(KeyOf(database, resource));
  if (it == held_.end()) return false;
  int& count =
      owner == AppLockOwner::Session ? it->second.sessionCount : it->second.transactionCount;
  if (count == 0) return false;
  --count;
  CloseIfUnused(it);
  return true;
}

void AppLocks::ReleaseTransactionLocks() {
  for (auto it = held_.begin(); it != held_.end();) {
    auto next = std::next(it);
    it->second.transactionCount = 0;
    CloseIfUnused(it);
    it = next;
  }
}

void AppLocks::CloseIfUnused(std::map<std::string, Held>::iterator it) {
  if (it->second.sessionCount > 0 || it->second.transactionCount > 0) return;
  ::close(it->second.descriptor);  // closing the descriptor drops the lock
  held_.erase(it);
}

}  // namespace moltaro::db::embedded
