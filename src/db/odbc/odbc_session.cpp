#include "db/odbc/odbc_session.h"

#include "db/errors.h"

namespace moltaro::db::odbc {

std::unique_ptr<Session> OpenOdbcSession(const ConnectionString&, int) {
  throw Error("The ODBC backend is not built yet.");
}

}  // namespace moltaro::db::odbc
