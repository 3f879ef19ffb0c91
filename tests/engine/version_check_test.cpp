#include "engine/version_check.h"

#include <gtest/gtest.h>

#include "engine/elapsed_text.h"

namespace moltaro::engine {
namespace {

TEST(IsNewerVersion, ComparesAsTextInCodeOrder) {
  EXPECT_TRUE(IsNewerVersion("2.0", "2.1"));
  EXPECT_FALSE(IsNewerVersion("2.1", "2.1"));
  EXPECT_FALSE(IsNewerVersion("2.1", "2.0"));
  // Text order, as installed sites expect: 2.10 sorts before 2.9.
  EXPECT_FALSE(IsNewerVersion("2.9", "2.10"));
  EXPECT_TRUE(IsNewerVersion("2", "2.0"));
}

TEST(IsNewerVersion, UsesWindows1250CodesNotUtf8Bytes) {
  // ő is 0xF5 and ú 0xFA in Windows-1250, while their UTF-8 bytes sort the
  // other way round.
  EXPECT_TRUE(IsNewerVersion("1ő", "1ú"));
  EXPECT_FALSE(IsNewerVersion("1ú", "1ő"));
}

TEST(AlreadyInstalledMessage, QuotesTheVersionAndNamesTheDate) {
  EXPECT_EQ(AlreadyInstalledMessage("2.0", "2026. 01. 02. 3:04:05"),
            "A(z) \"2.0\" verziót már 2026. 01. 02. 3:04:05 telepítette !");
}

TEST(ServerDateTimeText, FormatsServerDatetimesTheHungarianWay) {
  EXPECT_EQ(ServerDateTimeText(std::string("2026-01-02 03:04:05.123")), "2026. 01. 02. 3:04:05");
  EXPECT_EQ(ServerDateTimeText(std::string("2026-01-02T13:04:05")), "2026. 01. 02. 13:04:05");
  // Midnight shows the date alone.
  EXPECT_EQ(ServerDateTimeText(std::string("2026-01-02 00:00:00.000")), "2026. 01. 02.");
  EXPECT_EQ(ServerDateTimeText(std::string("2026-01-02")), "2026. 01. 02.");
  EXPECT_EQ(ServerDateTimeText(db::Null()), "");
  EXPECT_EQ(ServerDateTimeText(std::string("tegnap")), "tegnap");
}

TEST(ElapsedText, ShowsMinutesAndSecondsDroppingHours) {
  using std::chrono::seconds;
  EXPECT_EQ(ElapsedText(seconds(0)), "00:00");
  EXPECT_EQ(ElapsedText(seconds(75)), "01:15");
  EXPECT_EQ(ElapsedText(seconds(3723)), "02:03");
  EXPECT_EQ(ElapsedText(std::chrono::milliseconds(59999)), "00:59");
}

}  // namespace
}  // namespace moltaro::engine
