#include "engine/engine_connection.h"

#include "db/connection.h"

namespace moltaro::engine {

namespace {

class ServerConnection : public EngineConnection {
 public:
  void Open(const std::string& connectionString) override { connection_.Open(connectionString); }
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

std::unique_ptr<EngineConnection> MakeServerConnection() {
  return std::make_unique<ServerConnection>();
}

}  // namespace moltaro::engine
