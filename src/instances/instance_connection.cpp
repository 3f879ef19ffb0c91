#include "instances/instance_connection.h"

#include "db/connection.h"

namespace moltaro::instances {
namespace {

class ServerConnection : public InstanceConnection {
 public:
  void Open(const std::string& connectionString) override { connection_.Open(connectionString); }
  void Close() override { connection_.Close(); }
  db::ResultSet Query(std::string_view sql, const db::Params& params) override {
    return connection_.Query(sql, params);
  }
  void Execute(std::string_view sql, const db::Params& params) override {
    connection_.Execute(sql, params);
  }

 private:
  db::Connection connection_;
};

}  // namespace

std::unique_ptr<InstanceConnection> MakeServerConnection() {
  return std::make_unique<ServerConnection>();
}

}  // namespace moltaro::instances
