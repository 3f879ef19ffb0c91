// One run per instance at a time: an upgrade, an uninstall or a conversion
// holds the instance lock for its whole run.
//
// The lock is the server's application lock (sp_getapplock), owned by the
// run's session on the instance database, so it ends with that session: when
// the run ends, or when the process dies, never a stale lock that an operator
// would have to clear by hand. A second run is refused at once, not queued.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "db/connection_port.h"

namespace moltaro {

// Another session holds the lock; what() is the operator's message.
class InstanceBusy : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message that names the busy instance.
std::string InstanceBusyMessage(std::string_view instance);

class InstanceLock {
 public:
  using QueryFunction = std::function<db::ResultSet(std::string_view, const db::Params&)>;

  // Takes the lock over `connection`, an open session on the instance
  // database. Throws InstanceBusy when another session holds it, and the
  // server's error when the lock cannot be asked for at all.
  InstanceLock(db::ConnectionPort& connection, std::string instance);
  InstanceLock(db::Connection& connection, std::string instance);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

 private:
  InstanceLock(QueryFunction query, std::string instance);

  QueryFunction query_;
  std::string instance_;
};

}  // namespace moltaro
