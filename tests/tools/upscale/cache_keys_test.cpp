#include "tools/upscale/cache_keys.h"

#include <gtest/gtest.h>

namespace tarkeep::upscale {
namespace {

TEST(TerrainSettingsString, NamesEverySettingWithTheStrengthRoundedHalfAway) {
    EXPECT_EQ(terrain_settings_string(64, 3, 0.125, false, 10, false, ""), "m64-bp3x13-db0");  // 12.5 rounds up
    EXPECT_EQ(terrain_settings_string(32, 0, 1.0, true, 12, true, "-ot256"), "m32-bp0x100-db12-tta-ot256");
    EXPECT_EQ(round_half_away(-2.5), -3);
}

}  // namespace
}  // namespace tarkeep::upscale
