#include "db/embedded/server/connection_pool.h"

#include <utility>

namespace moltaro::db::embedded {

PooledConnection::~PooledConnection() {
  // Statements before the catalogue, the catalogue before its connection.
  statements.clear();
  catalog.reset();
  db.reset();
}

bool PooledConnection::Reusable() const {
  return db && sqlite3_get_autocommit(db->Handle()) != 0 && catalog &&
         catalog->TempTableNames().empty();
}

namespace {

// Connections a child inherited through fork() are neither used nor closed
// in it (closing would touch the parent's file and locks): they are the
// parent's.
void ForgetInherited(std::vector<std::unique_ptr<PooledConnection>>& idle) {
  const int self = static_cast<int>(::getpid());
  if (idle.empty() || idle.front()->process == self) return;
  for (auto& inherited : idle) static_cast<void>(inherited.release());
  idle.clear();
}

}  // namespace

ConnectionPool& ConnectionPool::Instance() {
  // Process-wide by nature: it is what the sessions of the process share.
  static ConnectionPool pool;
  return pool;
}

ConnectionPool::Membership::Membership(ConnectionPool& pool, const std::filesystem::path& file)
    : pool_(pool),
      key_(std::filesystem::absolute(file).lexically_normal().string() + '\n' +
           ConnectionSettings(file)) {
  std::lock_guard lock(pool_.mutex_);
  ++pool_.files_[key_].members;
}

ConnectionPool::Membership::~Membership() {
  std::vector<std::unique_ptr<PooledConnection>> closing;
  {
    std::lock_guard lock(pool_.mutex_);
    auto it = pool_.files_.find(key_);
    if (it == pool_.files_.end()) return;
    if (--it->second.members > 0) return;
    ForgetInherited(it->second.idle);
    closing = std::move(it->second.idle);
    pool_.files_.erase(it);
  }
  // Closed outside the lock: closing checkpoints the file.
}

std::unique_ptr<PooledConnection> ConnectionPool::Membership::Take() {
  std::lock_guard lock(pool_.mutex_);
  auto& idle = pool_.files_[key_].idle;
  ForgetInherited(idle);
  if (idle.empty()) return nullptr;
  std::unique_ptr<PooledConnection> connection = std::move(idle.back());
  idle.pop_back();
  return connection;
}

void ConnectionPool::Membership::Give(std::unique_ptr<PooledConnection> connection) {
  if (!connection || !connection->Reusable()) return;  // closed here: it rolls back
  connection->session = nullptr;
  connection->db->SetLockPolicy(nullptr);
  connection->db->SetDateSettings(nullptr);
  std::unique_ptr<PooledConnection> surplus;
  {
    std::lock_guard lock(pool_.mutex_);
    auto& idle = pool_.files_[key_].idle;
    if (idle.size() < kMaxIdle) {
      idle.push_back(std::move(connection));
    } else {
      surplus = std::move(connection);
    }
  }
}

}  // namespace moltaro::db::embedded
