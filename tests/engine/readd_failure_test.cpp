// Not built yet: the embedded server still adds a NOT NULL column whose
// default is NULL to a table that has rows (leaving NULL in it), where SQL
// Server refuses. Add this file to engine_server_tests once it refuses.
#include <gtest/gtest.h>

#include "embedded_server_fixture.h"

namespace moltaro::engine {
namespace {

using Strings = std::vector<std::string>;

class ReAddFailureTest : public testing::EmbeddedServerTest {};

// Re-adding the rebuilt column fails after the original was dropped: the
// values now live only in AR_qxq, which must therefore stay.
TEST_F(ReAddFailureTest, AFailedReAddKeepsTheValuesInTheTemporaryColumn) {
  ASSERT_FALSE(Upgrade({"$$V$$1.0$$", "$$T$$10$$ZMP_AR$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
                        "$$t$$12$$10$$2$$AR$$56$$0$$0$$N$$$$", "$$V$$1.0$$"}))
      << frame.LastError();
  sql.Execute("insert into ZMP_AR (ID, AR) values (1, 1234)");
  EXPECT_TRUE(Upgrade({"$$V$$1.1$$", "$$T$$10$$ZMP_AR$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
                       "$$t$$12$$10$$2$$AR$$56$$0$$0$$I$$NULL$$", "$$V$$1.1$$"}));
  EXPECT_EQ(executed.back(), "alter table ZMP_AR add AR Int NOT NULL default (NULL)");
  EXPECT_EQ(Scalar("select AR_qxq from ZMP_AR where ID = 1"), "1234");
  EXPECT_EQ(Scalar("select szam from zmp_obj_ver"), "1.0");
}

}  // namespace
}  // namespace moltaro::engine
