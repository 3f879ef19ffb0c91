#include "startup/instance_lock.h"

#include "db/errors.h"

namespace moltaro {

namespace {

// The lock's name inside the instance database; the same for every program
// that runs on an instance, so they exclude each other.
constexpr const char* kResource = "Moltaro: instance run";

constexpr const char* kTakeLock =
    "set nocount on\r\n"
    "declare @r int\r\n"
    "exec @r = sp_getapplock @Resource = :xres, @LockMode = 'Exclusive', "
    "@LockOwner = 'Session', @LockTimeout = 0\r\n"
    "select @r as r";
constexpr const char* kReleaseLock =
    "set nocount on\r\n"
    "declare @r int\r\n"
    "exec @r = sp_releaseapplock @Resource = :xres, @LockOwner = 'Session'\r\n"
    "select @r as r";

}  // namespace

std::string InstanceBusyMessage(std::string_view instance) {
  return "A(z) " + std::string(instance) +
         " példányon éppen fut egy másik verzióváltás, eltávolítás vagy konvertálás. "
         "Várja meg a végét, majd próbálja újra !";
}

InstanceLock::InstanceLock(db::ConnectionPort& connection, std::string instance)
    : InstanceLock(
          [&connection](std::string_view sql, const db::Params& params) {
            return connection.Query(sql, params);
          },
          std::move(instance)) {}

InstanceLock::InstanceLock(db::Connection& connection, std::string instance)
    : InstanceLock(
          [&connection](std::string_view sql, const db::Params& params) {
            return connection.Query(sql, params);
          },
          std::move(instance)) {}

InstanceLock::InstanceLock(QueryFunction query, std::string instance)
    : query_(std::move(query)), instance_(std::move(instance)) {
  const std::int64_t granted = query_(kTakeLock, {std::string(kResource)}).Integer("r");
  if (granted < 0) throw InstanceBusy(InstanceBusyMessage(instance_));
}

InstanceLock::~InstanceLock() {
  // A session that is gone has already let the lock go with it.
  try {
    query_(kReleaseLock, {std::string(kResource)});
  } catch (const std::exception&) {
  }
}

}  // namespace moltaro
