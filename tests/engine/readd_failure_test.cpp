// A rebuild whose re-add the server refuses: a NOT NULL column whose default
// is NULL cannot be added to a table that has rows.
#include <gtest/gtest.h>

#include <algorithm>

#include "embedded_server_fixture.h"

namespace moltaro::engine {
namespace {

using Strings = std::vector<std::string>;

class ReAddFailureTest : public testing::EmbeddedServerTest {};

// Re-adding the rebuilt column fails after the original was dropped: the
// rebuild is rolled back, so the values are back in AR and nothing is left
// in a temporary column.
TEST_F(ReAddFailureTest, AFailedReAddRollsTheRebuildBack) {
  ASSERT_FALSE(Upgrade({"$$V$$1.0$$", "$$T$$10$$ZMP_AR$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
                        "$$t$$12$$10$$2$$AR$$56$$0$$0$$N$$$$", "$$V$$1.0$$"}))
      << frame.LastError();
  sql.Execute("insert into ZMP_AR (ID, AR) values (1, 1234)");
  EXPECT_TRUE(Upgrade({"$$V$$1.1$$", "$$T$$10$$ZMP_AR$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
                       "$$t$$12$$10$$2$$AR$$56$$0$$0$$I$$NULL$$", "$$V$$1.1$$"}));
  EXPECT_NE(std::find(executed.begin(), executed.end(),
                      "alter table ZMP_AR add AR Int NOT NULL default (NULL)"),
            executed.end());
  EXPECT_EQ(executed.back(), "if @@trancount > 0 rollback transaction");
  EXPECT_EQ(Scalar("select AR from ZMP_AR where ID = 1"), "1234");
  EXPECT_EQ(Scalar("select count(*) from syscolumns where name = 'AR_qxq'"), "0");
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.0");
}

}  // namespace
}  // namespace moltaro::engine
