// Mip levels: sizes down to 1x1, and colours averaged as light while alpha and weights are not.
#include <gtest/gtest.h>

#include "image/mip_chain.h"

namespace tarkeep::image {
namespace {

RgbaImage filled(std::uint32_t width, std::uint32_t height, std::uint8_t value) {
    return {width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4, value)};
}

TEST(MipChain, SizesHalveDownToOnePixelAndColoursAverageAsLight) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes;
    for (const RgbaImage& level : mip_chain(filled(5, 12, 7), MipAverage::light))
        sizes.emplace_back(level.width, level.height);
    EXPECT_EQ(sizes, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{5, 12}, {2, 6}, {1, 3}, {1, 1}}));
    // Black and white: half the light is sRGB 188, the stored values average to 128.
    RgbaImage checker = filled(2, 2, 0);
    std::fill_n(checker.pixels.begin(), 4, 255), std::fill_n(checker.pixels.begin() + 12, 4, 255);
    EXPECT_EQ(halve_for_mip(checker, MipAverage::light).pixels, (std::vector<std::uint8_t>{188, 188, 188, 128}));
    EXPECT_EQ(halve_for_mip(checker, MipAverage::plain).pixels, (std::vector<std::uint8_t>{128, 128, 128, 128}));
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(halve_for_mip(filled(2, 2, std::uint8_t(v)), MipAverage::light).pixels[0], v);
}

}  // namespace
}  // namespace tarkeep::image
