// A scripted server for the main window's logic: records every statement
// with the catalogue of the connection it went through, and answers from
// results and failures set up by the test.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "db/connection_port.h"
#include "db/connection_string.h"
#include "db/errors.h"

namespace moltaro::instances::testing {

struct Call {
  std::string catalogue;
  std::string sql;
  db::Params params;
};

class FakeServer {
 public:
  using Key = std::pair<std::string, std::string>;  // catalogue, statement

  void Answer(const std::string& catalogue, const std::string& sql, db::ResultSet result) {
    results_[{catalogue, sql}] = std::move(result);
  }
  void Fail(const std::string& catalogue, const std::string& sql, const std::string& message) {
    failures_[{catalogue, sql}] = message;
  }
  void RefuseOpen(const std::string& catalogue) { unopenable_.insert(catalogue); }

  db::ConnectionFactory Factory() {
    return [this] { return std::make_unique<Connection>(*this); };
  }

  // Every statement sent, in order.
  std::vector<Call> calls;
  // The catalogue of every successful open, in order.
  std::vector<std::string> opens;

  std::vector<std::string> Statements() const {
    std::vector<std::string> texts;
    for (const Call& call : calls) texts.push_back(call.sql);
    return texts;
  }

 private:
  class Connection : public db::ConnectionPort {
   public:
    explicit Connection(FakeServer& server) : server_(server) {}
    void Open(const std::string& connectionString) override {
      Close();
      const std::string catalogue =
          db::ConnectionString::Parse(connectionString).GetOr("Initial Catalog", "");
      if (server_.unopenable_.count(catalogue)) {
        throw db::DatabaseError("Cannot open database \"" + catalogue +
                                "\" requested by the login. The login failed.");
      }
      catalogue_ = catalogue;
      server_.opens.push_back(catalogue);
    }
    void Close() override { catalogue_.reset(); }
    db::ResultSet Query(std::string_view sql, const db::Params& params) override {
      return Run(sql, params);
    }
    void Execute(std::string_view sql, const db::Params& params) override { Run(sql, params); }

   private:
    db::ResultSet Run(std::string_view sql, const db::Params& params) {
      if (!catalogue_) throw db::Error("The connection is not open.");
      server_.calls.push_back({*catalogue_, std::string(sql), params});
      const Key key{*catalogue_, std::string(sql)};
      if (auto f = server_.failures_.find(key); f != server_.failures_.end()) {
        throw db::DatabaseError(f->second);
      }
      if (auto r = server_.results_.find(key); r != server_.results_.end()) return r->second;
      // Unscripted statements answer no rows, with every column the window reads.
      return db::ResultSet({"id", "kod", "db", "szam", "filename", "nev", "dbname"}, {});
    }

    FakeServer& server_;
    std::optional<std::string> catalogue_;
  };

  std::map<Key, db::ResultSet> results_;
  std::map<Key, std::string> failures_;
  std::set<std::string> unopenable_;
};

}  // namespace moltaro::instances::testing
