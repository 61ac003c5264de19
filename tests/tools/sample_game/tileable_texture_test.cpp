#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/tileable_texture.h"

namespace tarkeep::test {
namespace {

TEST(TileableTexture, NoiseRepeatsEveryTileAndStaysInRange) {
    for (const std::uint32_t cells : {1u, 3u, 7u}) {
        const PeriodicNoise noise(cells * 11, cells, cells + 2);
        for (int i = 0; i < 200; ++i) {
            const double u = hash_unit(1, i, 0), v = hash_unit(2, i, 0);
            const double value = noise.fractal(u, v, 4);
            EXPECT_GE(value, 0.0);
            EXPECT_LE(value, 1.0);
            EXPECT_NEAR(noise.fractal(u + 1, v, 4), value, 1e-9) << cells;
            EXPECT_NEAR(noise.fractal(u, v - 2, 4), value, 1e-9) << cells;
            EXPECT_NEAR(noise.at(u - 1, v + 1), noise.at(u, v), 1e-9) << cells;
        }
    }
}

// Every material, at a size that is not a power of two and not square: the step across
// each wrap must look like a step between neighbours, and the image must not be flat.
TEST(TileableTexture, EveryMaterialWrapsWithoutASeam) {
    constexpr std::uint32_t width = 48, height = 40;
    for (std::size_t m = 0; m < kTerrainMaterialCount; ++m) {
        const auto material = static_cast<TerrainMaterial>(m);
        SCOPED_TRACE(std::string(material_name(material)));
        const auto rgba = tileable_texture(material, width, height, 5);
        ASSERT_EQ(rgba.size(), std::size_t{width} * height * 4);
        const auto step = [&](std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1) {
            const std::uint8_t* a = &rgba[(std::size_t{y0} * width + x0) * 4];
            const std::uint8_t* b = &rgba[(std::size_t{y1} * width + x1) * 4];
            return double(std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]));
        };
        double wrap_x = 0, inner_x = 0, wrap_y = 0, inner_y = 0;
        for (std::uint32_t y = 0; y < height; ++y) {
            wrap_x += step(width - 1, y, 0, y) / height;
            for (std::uint32_t x = 0; x + 1 < width; ++x) inner_x += step(x, y, x + 1, y) / (double(height) * (width - 1));
        }
        for (std::uint32_t x = 0; x < width; ++x) {
            wrap_y += step(x, height - 1, x, 0) / width;
            for (std::uint32_t y = 0; y + 1 < height; ++y) inner_y += step(x, y, x, y + 1) / (double(width) * (height - 1));
        }
        EXPECT_GT(inner_x, 2.0);
        EXPECT_LT(wrap_x, 1.6 * inner_x + 3);
        EXPECT_LT(wrap_y, 1.6 * inner_y + 3);
        EXPECT_EQ(tileable_texture(material, width, height, 5), rgba);
        EXPECT_NE(tileable_texture(material, width, height, 6), rgba);
    }
}

}  // namespace
}  // namespace tarkeep::test
