// Application locks (sp_getapplock / sp_releaseapplock) of one session.
//
// A lock is an advisory lock on a small file under the data directory's
// "locks" folder, one file per database and resource. The operating system
// drops such a lock when its descriptor closes, so a session that ends, or a
// process that is killed, never leaves a lock behind; and since every session
// opens its own descriptor, two sessions of one process exclude each other as
// two processes do.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace moltaro::db::embedded {

enum class AppLockOwner { Transaction, Session };

// sp_getapplock's return codes.
inline constexpr int kAppLockGranted = 0;
inline constexpr int kAppLockGrantedAfterWait = 1;
inline constexpr int kAppLockTimedOut = -1;
inline constexpr int kAppLockCallError = -999;

class AppLocks {
 public:
  explicit AppLocks(std::filesystem::path lockDirectory);
  ~AppLocks();
  AppLocks(const AppLocks&) = delete;
  AppLocks& operator=(const AppLocks&) = delete;

  // Takes `resource` of `database` (exclusive unless `shared`). A lock the
  // session already holds is counted again, as SQL Server counts it.
  // `timeout` below zero waits for ever; `stillWanted` is asked between
  // tries and may throw (the statement's own time-out). Returns one of the
  // codes above.
  int Acquire(const std::string& database, const std::string& resource, bool shared,
              AppLockOwner owner, std::chrono::milliseconds timeout,
              const std::function<void()>& stillWanted);

  // Gives one count of the lock back; false when the session does not hold it.
  bool Release(const std::string& database, const std::string& resource, AppLockOwner owner);

  // The end of the session's transaction ends its transaction-owned locks.
  void ReleaseTransactionLocks();

 private:
  struct Held {
    int descriptor = -1;
    int sessionCount = 0;
    int transactionCount = 0;
  };
  std::filesystem::path FileFor(const std::string& database, const std::string& resource) const;
  static std::string KeyOf(const std::string& database, const std::string& resource);
  void CloseIfUnused(std::map<std::string, Held>::iterator it);

  std::filesystem::path lockDirectory_;
  std::map<std::string, Held> held_;
};

}  // namespace moltaro::db::embedded
