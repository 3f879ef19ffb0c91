#include "db/backend.h"

#include "common/text.h"
#include "db/embedded/server/embedded_server.h"
#include "db/errors.h"
#include "db/odbc/odbc_session.h"

namespace moltaro::db {

namespace {
constexpr std::string_view kEmbeddedPrefix = "embedded:";
}

ServerTarget ResolveServer(const ConnectionString& settings) {
  ServerTarget target;
  const std::string server = Trim(settings.GetOr("Server", ""));
  const std::filesystem::path workDir = std::filesystem::current_path();
  if (server.empty()) {
    target.kind = ServerTarget::Kind::Embedded;
    target.dataDirectory = workDir / "data";
  } else if (server.rfind(kEmbeddedPrefix, 0) == 0) {
    target.kind = ServerTarget::Kind::Embedded;
    const std::filesystem::path path(server.substr(kEmbeddedPrefix.size()));
    target.dataDirectory = path.is_absolute() ? path : workDir / path;
  } else {
    target.kind = ServerTarget::Kind::Odbc;
    target.host = server;
  }
  return target;
}

std::unique_ptr<Session> OpenSession(const ConnectionString& settings, int commandTimeout) {
  const ServerTarget target = ResolveServer(settings);
  std::unique_ptr<Session> session;
  if (target.kind == ServerTarget::Kind::Embedded) {
    session = embedded::OpenEmbeddedSession(target.dataDirectory, settings);
  } else {
    session = odbc::OpenOdbcSession(settings, commandTimeout);
  }
  session->SetCommandTimeout(commandTimeout);
  return session;
}

}  // namespace moltaro::db
