#include "tools/upscale/margin_advice.h"

#include <gtest/gtest.h>

namespace tarkeep::upscale {
namespace {

TEST(MarginWarning, NamesTheTexturesMoreThanTwiceTheMarginAndSuggestsHalfTheSmallestSide) {
    const std::vector<TextureSize> textures = {
        {"a", 64, 64}, {"b", 128, 41}, {"c", 100, 100}, {"d", 64, 66}, {"e", 200, 64}};
    const std::string advice = ", so their network inputs are mostly padding: try --margin 20 or less";
    for (const auto& [margin, named] :
         {std::pair{20, ""}, {21, "1 texture (b)"}, {32, "1 texture (b)"}, {33, "4 textures (a, b, d and 1 more)"}}) {
        const std::string start =
            "warning: --margin " + std::to_string(margin) + " is more than half the smaller side of ";
        EXPECT_EQ(margin_warning(margin, textures), *named ? start + named + advice : "");
    }
}

}  // namespace
}  // namespace tarkeep::upscale
