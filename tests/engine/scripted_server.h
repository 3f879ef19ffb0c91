// A scripted server for the engine: records every statement with the
// connection it went through, and answers from results and failures the test
// sets up. The first connection the engine makes is dbForras, the second dbCel.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/connection_port.h"
#include "db/errors.h"

namespace moltaro::engine::testing {

struct Sent {
  std::string connection;  // "dbForras" or "dbCel"
  std::string sql;
  db::Params params;
  bool query = false;
};

// A result with the given columns and rows.
inline db::ResultSet Rows(std::vector<std::string> columns,
                          std::vector<std::vector<db::Value>> rows = {}) {
  return db::ResultSet(std::move(columns), std::move(rows));
}

class ScriptedServer {
 public:
  // Answers the query with this text, whatever its parameters. Several
  // answers to one text are given in turn, the last one from then on.
  void Answer(const std::string& sql, db::ResultSet result) {
    answers_[sql].push_back({std::nullopt, std::move(result)});
  }
  // Answers the query with this text only when sent with these parameters.
  void Answer(const std::string& sql, db::Params params, db::ResultSet result) {
    answers_[sql].push_back({std::move(params), std::move(result)});
  }
  // Sending this text (query or statement) raises a server error.
  void Fail(const std::string& sql, const std::string& message) { failures_[sql] = message; }

  db::ConnectionFactory Factory() {
    return
        [this] { return std::make_unique<Connection>(*this, made_++ == 0 ? "dbForras" : "dbCel"); };
  }

  std::vector<Sent> sent;

  // Texts of the statements (not queries) sent, in order.
  std::vector<std::string> Executed() const {
    std::vector<std::string> texts;
    for (const Sent& s : sent) {
      if (!s.query) texts.push_back(s.sql);
    }
    return texts;
  }

  const Sent* FindExecuted(const std::string& sql) const {
    for (const Sent& s : sent) {
      if (!s.query && s.sql == sql) return &s;
    }
    return nullptr;
  }

 private:
  struct ScriptedAnswer {
    std::optional<db::Params> params;
    db::ResultSet result;
  };

  // Unscripted queries answer no rows, with every column the engine reads.
  static db::ResultSet NoRows() {
    return Rows({"r",     "id",     "nev",    "db",      "szam",  "datum",    "text",  "name",
                 "cname", "aname",  "bname",  "bnev",    "anev",  "tipus",    "deflt", "colid",
                 "hiba",  "utasit", "szoveg", "mid",     "dual",  "typestat", "xtype", "length",
                 "prec",  "xprec",  "xscale", "notnull", "hossz", "tizedes",  "keyno", "indid"});
  }

  db::ResultSet Respond(const std::string& sql, const db::Params& params) {
    const auto scripted = answers_.find(sql);
    if (scripted == answers_.end()) return NoRows();
    // An answer for these very parameters wins; a later one replaces an earlier one.
    for (auto answer = scripted->second.rbegin(); answer != scripted->second.rend(); ++answer) {
      if (answer->params && *answer->params == params) return answer->result;
    }
    std::vector<const ScriptedAnswer*> matching;
    for (const ScriptedAnswer& answer : scripted->second) {
      if (!answer.params) matching.push_back(&answer);
    }
    if (matching.empty()) return NoRows();
    const std::size_t turn = std::min(turns_[sql]++, matching.size() - 1);
    return matching[turn]->result;
  }

  void Record(const std::string& connection, std::string_view sql, const db::Params& params,
              bool query) {
    sent.push_back({connection, std::string(sql), params, query});
    const auto failure = failures_.find(std::string(sql));
    if (failure != failures_.end()) throw db::DatabaseError(failure->second);
  }

  class Connection : public db::ConnectionPort {
   public:
    Connection(ScriptedServer& server, std::string name)
        : server_(server), name_(std::move(name)) {}
    void Open(const std::string&) override {}
    void Close() override {}
    db::ResultSet Query(std::string_view sql, const db::Params& params) override {
      server_.Record(name_, sql, params, true);
      return server_.Respond(std::string(sql), params);
    }
    void Execute(std::string_view sql, const db::Params& params) override {
      server_.Record(name_, sql, params, false);
    }

   private:
    ScriptedServer& server_;
    std::string name_;
  };

  std::map<std::string, std::vector<ScriptedAnswer>> answers_;
  std::map<std::string, std::string> failures_;
  std::map<std::string, std::size_t> turns_;
  int made_ = 0;
};

}  // namespace moltaro::engine::testing
