// Procedural terrain textures: the noise repeats every tile and every material wraps without a seam.
#include <gtest/gtest.h>

#include "tools/sample_game/tileable_texture.h"
#include "tools/upscale/metrics.h"

namespace tarkeep::test {

using namespace tarkeep::sample_game;
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
        // Steps in levels per channel.
        const upscale::SeamStats steps = upscale::seam_stats({width, height, rgba});
        EXPECT_GT(steps.inner_x, 2.0 / 3);
        EXPECT_LT(steps.seam_x, 1.6 * steps.inner_x + 1);
        EXPECT_LT(steps.seam_y, 1.6 * steps.inner_y + 1);
        EXPECT_EQ(tileable_texture(material, width, height, 5), rgba);
        EXPECT_NE(tileable_texture(material, width, height, 6), rgba);
    }
}

}  // namespace
}  // namespace tarkeep::test
