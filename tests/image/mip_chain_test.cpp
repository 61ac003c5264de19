// Mip levels: sizes down to 1x1, averages in light or as stored, and changes that stay local.
#include <gtest/gtest.h>

#include "image/mip_chain.h"

namespace tarkeep::image {
namespace {

RgbaImage filled(std::uint32_t width, std::uint32_t height, std::uint8_t value) {
    return {width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4, value)};
}

TEST(MipChain, SizesHalveDownToOnePixel) {
    const struct {
        std::uint32_t width, height;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes;
    } cases[] = {
        {8, 2, {{8, 2}, {4, 1}, {2, 1}, {1, 1}}},
        {5, 3, {{5, 3}, {2, 1}, {1, 1}}},
        {1, 1, {{1, 1}}},
    };
    for (const auto& c : cases) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes;
        for (const RgbaImage& level : mip_chain(filled(c.width, c.height, 7), MipAverage::light))
            sizes.emplace_back(level.width, level.height);
        EXPECT_EQ(sizes, c.sizes) << c.width << "x" << c.height;
    }
}

TEST(MipChain, ColoursAverageAsLightAlphaAndWeightsAsStored) {
    // Black and white pixels: half the light is sRGB 188; stored values average to 128.
    RgbaImage checker = filled(2, 2, 0);
    for (std::size_t pixel : {0, 3})
        for (int c = 0; c < 4; ++c) checker.pixels[pixel * 4 + c] = 255;
    const struct {
        MipAverage average;
        std::uint8_t colour;
    } cases[] = {{MipAverage::light, 188}, {MipAverage::plain, 128}};
    for (const auto& c : cases) {
        const RgbaImage half = halve_for_mip(checker, c.average);
        EXPECT_EQ(half.pixels, (std::vector<std::uint8_t>{c.colour, c.colour, c.colour, 128}));
    }
    // Every code survives a level of its own colour (the light round trip is exact).
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(halve_for_mip(filled(2, 2, std::uint8_t(v)), MipAverage::light).pixels[0], v);
}

TEST(MipChain, AChangedPixelChangesOnlyTheLevelsBelowIt) {
    RgbaImage image = filled(16, 16, 90), changed = image;
    changed.pixels[(5 * 16 + 9) * 4] = 200;  // pixel (9, 5)
    const auto a = mip_chain(image, MipAverage::light), b = mip_chain(changed, MipAverage::light);
    for (std::size_t level = 1; level < a.size(); ++level) {
        for (std::uint32_t y = 0; y < a[level].height; ++y)
            for (std::uint32_t x = 0; x < a[level].width; ++x) {
                const bool above_change = x == (9u >> level) && y == (5u >> level);
                const std::size_t at = (std::size_t(y) * a[level].width + x) * 4;
                EXPECT_EQ(a[level].pixels[at] != b[level].pixels[at], above_change) << level << " " << x << "," << y;
            }
    }
}

}  // namespace
}  // namespace tarkeep::image
