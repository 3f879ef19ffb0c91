#include "db/embedded/embedded_server.h"

#include "db/errors.h"

namespace moltaro::db::embedded {

std::unique_ptr<Session> OpenEmbeddedSession(const std::filesystem::path&,
                                             const ConnectionString&) {
  throw Error("The embedded server is not built yet.");
}

void InitializeServer(const std::filesystem::path&, const std::string&) {
  throw Error("The embedded server is not built yet.");
}

}  // namespace moltaro::db::embedded
