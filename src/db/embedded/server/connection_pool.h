// The SQLite connections of this process to one database file, handed from
// session to session between their commands.
//
// Every connection keeps its own copy of the schema and reads all of it again
// after any other connection changed it. Two sessions of one process that
// take turns on a database (the version switch reads the catalogue on one and
// changes the schema on the other) would re-read the whole schema after every
// DDL statement. A session therefore holds a connection only while a command
// of it runs, or while the connection carries something of the session's own
// (an open transaction, temporary tables); otherwise the connection goes back
// here and the next session on the file takes it with its schema still read.
// Sessions that run at the same time each get a connection of their own, so
// locking and isolation between sessions stay what separate connections give.
#pragma once

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/embedded/catalog/catalog.h"
#include "db/embedded/storage/sqlite_db.h"

namespace moltaro::db::embedded {

class SessionHost;

// One connection to a database with what lives on it: its catalogue (with the
// temporary tables made on it) and the statements prepared on it.
struct PooledConnection {
  std::unique_ptr<SqliteDb> db;
  std::unique_ptr<Catalog> catalog;
  std::unordered_map<std::string, StmtHandle> statements;  // by SQLite text
  // The session running on the connection now, for the callbacks SQLite makes
  // on it (user functions, the command time-out); null while idle.
  SessionHost* session = nullptr;
  // The process that opened it: SQLite's connections must not be used by a
  // child forked after they were opened.
  int process = 0;

  PooledConnection() : process(static_cast<int>(::getpid())) {}
  PooledConnection(const PooledConnection&) = delete;
  PooledConnection& operator=(const PooledConnection&) = delete;
  ~PooledConnection();

  // True when nothing on it belongs to the session that used it last: no
  // open transaction and no temporary table.
  bool Reusable() const;
};

class ConnectionPool {
 public:
  static ConnectionPool& Instance();

  // A session's stake in one database file: while any session of the
  // process has one, idle connections to the file are kept; when the last
  // one ends they are closed, so a file no session has open is not held
  // open either (DROP DATABASE removes it). Connections opened under other
  // settings of the data directory (moltaro.conf) are not handed on: a
  // session takes the settings in force when it opened the database.
  class Membership {
   public:
    Membership(ConnectionPool& pool, const std::filesystem::path& file);
    ~Membership();
    Membership(const Membership&) = delete;
    Membership& operator=(const Membership&) = delete;

    // An idle connection to the file, the one given back last (its caches
    // are the warmest); null when there is none.
    std::unique_ptr<PooledConnection> Take();
    // Back for the next session when it is reusable; closed otherwise.
    void Give(std::unique_ptr<PooledConnection> connection);

   private:
    ConnectionPool& pool_;
    std::string key_;
  };

 private:
  ConnectionPool() = default;

  struct File {
    int members = 0;
    std::vector<std::unique_ptr<PooledConnection>> idle;
  };
  // Enough for the sessions of one thread that take turns; sessions of
  // several threads at once open more, and those beyond this are closed.
  static constexpr std::size_t kMaxIdle = 4;

  std::mutex mutex_;
  std::map<std::string, File> files_;
};

}  // namespace moltaro::db::embedded
