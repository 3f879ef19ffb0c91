#include "startup/data_module.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "db/errors.h"

namespace moltaro {
namespace {

// The data module on a real embedded server: the identifier allocator runs
// in the login's default database, as the instance catalogue stays empty.
class DataModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::filesystem::temp_directory_path() /
           ("moltaro-datamodule-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    db::embedded::InitializeServer(dir_ / "data", "pw");
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(dir_); }
  ServerSettings Settings(const std::string& common) const {
    ServerSettings s;
    s.SetServerSettings("embedded:" + (dir_ / "data").string(), common, "", "sa", "pw");
    return s;
  }
  static inline std::filesystem::path dir_;
};

TEST_F(DataModule, NextIdHandsOutIdentifiersInOrder) {
  const ServerSettings settings = Settings("master");
  db::Connection master(settings.MasterConnectionString());
  master.Open();
  master.Run(
      "create table ZMP_SYS_ID_SEQ (id int NULL)\n"
      "insert into ZMP_SYS_ID_SEQ (id) values (30)");
  master.Run(
      "create procedure ZMP_ID_SEQ_INC @idseq_val int output as\n"
      "begin\n"
      "  update ZMP_SYS_ID_SEQ set id = id + @idseq_val\n"
      "  select @idseq_val = max(id) from ZMP_SYS_ID_SEQ\n"
      "  return 0\n"
      "end");

  TDataModule1 module(settings);
  module.DataModuleCreate();
  EXPECT_TRUE(module.adoPeldany().IsOpen());
  EXPECT_TRUE(module.adoKozos().IsOpen());
  EXPECT_EQ(module.NextId(), 31);
  EXPECT_EQ(module.NextId(), 32);
}

TEST_F(DataModule, MissingCommonDatabaseFailsCreationAndMissingProcedureFailsNextId) {
  // The module keeps a reference to its settings: they must outlive it.
  const ServerSettings missing = Settings("nincs_ilyen");
  TDataModule1 broken(missing);
  EXPECT_THROW(broken.DataModuleCreate(), db::DatabaseError);

  const ServerSettings settings = Settings("master");
  db::Connection master(settings.MasterConnectionString());
  master.Open();
  master.Run("if object_id('ZMP_ID_SEQ_INC') is not null drop procedure ZMP_ID_SEQ_INC");
  TDataModule1 module(settings);
  module.DataModuleCreate();
  EXPECT_THROW(module.NextId(), db::DatabaseError);
}

}  // namespace
}  // namespace moltaro
