// The shared instance data module: two connections and the identifier allocator.
#pragma once

#include <cstdint>

#include "db/connection.h"
#include "startup/server_settings.h"

namespace moltaro {

inline constexpr const char* kIdSequenceProcedure = "ZMP_ID_SEQ_INC";

// The next identifier from "ZMP_ID_SEQ_INC" of the database `connection` is
// on, called with 1 in "@idseq_val". A failing call propagates with the
// server's message; a call that hands back NULL throws db::Error.
std::int64_t NextId(db::Connection& connection);

class TDataModule1 {
 public:
  explicit TDataModule1(const ServerSettings& settings) : settings_(settings) {}

  // Opens adoPeldany on the instance catalogue (the login's default database)
  // and adoKozos on the common database. An error opening either propagates.
  void DataModuleCreate();

  // The next identifier from the login's default database (see NextId above).
  std::int64_t NextId() { return moltaro::NextId(adoPeldany_); }

  db::Connection& adoPeldany() { return adoPeldany_; }
  db::Connection& adoKozos() { return adoKozos_; }

 private:
  const ServerSettings& settings_;
  db::Connection adoPeldany_;
  db::Connection adoKozos_;
};

}  // namespace moltaro
