#include <gtest/gtest.h>

#include "instances/main_window_layout.h"
#include "instances/version_cache.h"

namespace moltaro::instances {
namespace {

VersionCache Loaded(std::initializer_list<std::pair<std::string, std::string>> pairs) {
  VersionCache cache;
  cache.Restart();
  for (const auto& [name, version] : pairs) cache.Append(name, version);
  return cache;
}

TEST(VersionCache, InstalledVersionGivesVanVerI) {
  const CalcFields fields = Loaded({{"ceg1", "2.01"}}).Calculate("ceg1");
  EXPECT_EQ(fields.Ver, "2.01");
  EXPECT_EQ(fields.VanVer, "I");
}

TEST(VersionCache, NotInstalledGivesVanVerN) {
  const CalcFields fields = Loaded({{"ceg1", kNotInstalled}}).Calculate("ceg1");
  EXPECT_EQ(fields.Ver, "Nincs telepítve");
  EXPECT_EQ(fields.VanVer, "N");
}

TEST(VersionCache, UnknownDatabaseShowsEmptyVersionButCountsAsInstalled) {
  const CalcFields fields = Loaded({{"ceg1", kNotInstalled}}).Calculate("ceg9");
  EXPECT_EQ(fields.Ver, "");
  EXPECT_EQ(fields.VanVer, "I");
}

TEST(VersionCache, OnlyThePlaceholderSetsNeitherField) {
  const CalcFields fields = Loaded({}).Calculate("a");
  EXPECT_EQ(fields.Ver, "");
  EXPECT_EQ(fields.VanVer, "");
  VersionCache never;
  EXPECT_EQ(never.Calculate("").VanVer, "");
}

TEST(VersionCache, VersionIsCutToFifteenCharactersNotBytes) {
  // 17 characters, several of them two bytes long in UTF-8.
  const CalcFields fields = Loaded({{"ceg1", "ÁrvíztűrőFúrógép!"}}).Calculate("ceg1");
  EXPECT_EQ(fields.Ver, "ÁrvíztűrőFúrógé");
  EXPECT_EQ(fields.VanVer, "I");
}

TEST(VersionCache, LastMatchingPairWinsAndNamesCompareCaseSensitively) {
  const VersionCache cache = Loaded({{"ceg1", "1.0"}, {"CEG1", "9.9"}, {"ceg1", "2.0"}});
  EXPECT_EQ(cache.Calculate("ceg1").Ver, "2.0");
  EXPECT_EQ(cache.Calculate("CEG1").Ver, "9.9");
  EXPECT_EQ(cache.Calculate("Ceg1").Ver, "");
}

TEST(VersionCache, NameIsMatchedExactlyIncludingBlanks) {
  const VersionCache cache = Loaded({{" ceg1 ", "2.0"}});
  EXPECT_EQ(cache.Calculate(" ceg1 ").Ver, "2.0");
  EXPECT_EQ(cache.Calculate("ceg1").Ver, "");
}

TEST(PlaceValtFrame, CentresAcrossAndBelowTheButtons) {
  const Rect placed = PlaceValtFrame(420, 400, FrameSize{280, 73}, Rect{8, 160, 75, 25});
  EXPECT_EQ(placed.left, 70);
  // (400 - (73 + 185)) / 2 + 185
  EXPECT_EQ(placed.top, 71 + 185);
  EXPECT_EQ(placed.width, 280);
  EXPECT_EQ(placed.height, 73);
}

TEST(PlaceValtFrame, DivisionsTruncateTowardZero) {
  // Horizontal: (421 - 280) / 2 = 70.5 → 70; vertical: (256 - 259) / 2 = -1.5 → -1.
  const Rect placed = PlaceValtFrame(421, 256, FrameSize{280, 74}, Rect{8, 160, 75, 25});
  EXPECT_EQ(placed.left, 70);
  EXPECT_EQ(placed.top, 184);
  // A frame wider than the window: (200 - 281) / 2 = -40.5 → -40.
  EXPECT_EQ(PlaceValtFrame(200, 256, FrameSize{281, 73}, Rect{8, 160, 75, 25}).left, -40);
}

}  // namespace
}  // namespace moltaro::instances
