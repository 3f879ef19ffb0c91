#include "db/connection_port.h"

#include "db/connection.h"

namespace moltaro::db {
namespace {

class ServerConnection : public ConnectionPort {
 public:
  void Open(const std::string& connectionString) override { connection_.Open(connectionString); }
  void Close() override { connection_.Close(); }
  ResultSet Query(std::string_view sql, const Params& params) override {
    return connection_.Query(sql, params);
  }
  void Execute(std::string_view sql, const Params& params) override {
    connection_.Execute(sql, params);
  }

 private:
  Connection connection_;
};

}  // namespace

std::unique_ptr<ConnectionPort> MakeServerConnection() {
  return std::make_unique<ServerConnection>();
}

}  // namespace moltaro::db
