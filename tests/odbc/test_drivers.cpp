#include "test_drivers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "db/odbc/connector.h"
#include "db/odbc/handles.h"

namespace moltaro::db::odbc::testing {

namespace {

std::string RegisteredOrInstalled(const std::string& registeredName, const std::string& library) {
  const Handle environment = MakeEnvironment();
  for (const std::string& name : RegisteredDrivers(environment)) {
    if (name == registeredName) return name;
  }
  for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc",
                          "/usr/lib/odbc", "/usr/local/lib"}) {
    const std::filesystem::path path = std::filesystem::path(dir) / library;
    if (std::filesystem::exists(path)) return path.string();
  }
  return {};
}

}  // namespace

std::string SqliteDriver() {
  return RegisteredOrInstalled("SQLite3", "libsqlite3odbc.so");
}

std::string FreeTdsDriver() {
  return RegisteredOrInstalled("FreeTDS", "libtdsodbc.so");
}

ScratchFile::ScratchFile(const std::string& stem) {
  // The process and this object's address tell apart every live scratch file.
  path_ = std::filesystem::temp_directory_path() /
          (stem + "-" + std::to_string(::getpid()) + "-" +
           std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".db");
  std::filesystem::remove(path_);
}

ScratchFile::~ScratchFile() {
  std::error_code ec;
  std::filesystem::remove(path_, ec);
}

int ClosedLocalPort() {
  // Bind to an ephemeral port, note it and close the socket: nothing listens
  // there afterwards, so a connection is refused at once.
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  socklen_t length = sizeof(address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace moltaro::db::odbc::testing
