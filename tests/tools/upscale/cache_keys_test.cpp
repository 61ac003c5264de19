#include "tools/upscale/cache_keys.h"

#include <gtest/gtest.h>

namespace tarkeep::upscale {
namespace {

TEST(TerrainSettingsString, NamesEverySettingWithTheStrengthRoundedHalfAway) {
    EXPECT_EQ(terrain_settings_string(64, 3, 0.125, false, 10, -1, false, ""), "m64-bp3x13-db0");  // 12.5 rounds up
    EXPECT_EQ(terrain_settings_string(32, 0, 1.0, true, 12, -1, true, "-ot256"), "m32-bp0x100-db12-tta-ot256");
    EXPECT_EQ(terrain_settings_string(64, 3, 0.5, false, 10, 0, true, "-ot256"), "m64-bp3x50-db0-dr0-tta-ot256");
    EXPECT_EQ(round_half_away(-2.5), -3);
}

TEST(StemNames, NamesThatCannotBeFilesOnSomePlatformAreRefused) {
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:x", "a\tb", "a?b", "CON", "nul.x", "Com1", "lpt9"})
        EXPECT_NE(stem_problem(bad), "") << bad;
    for (const char* good : {"console", "com0", "com10", "lpt", "a.con", "a..b"})
        EXPECT_EQ(stem_problem(good), "") << good;
}

}  // namespace
}  // namespace tarkeep::upscale
