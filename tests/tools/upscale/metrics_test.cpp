// The quality metrics: consistency against its formula, seam statistics and sprite ring errors.
#include <gtest/gtest.h>

#include <array>

#include "tests/image/naive_image_ops.h"
#include "tests/image/test_images.h"
#include "tools/upscale/metrics.h"

namespace tarkeep::upscale {
namespace {

using test::filled;
using test::random_image;

TEST(Consistency, ZeroForAReplicatedCopyAndMatchesTheFormula) {
    for (std::uint32_t f : {1u, 2u, 4u}) {
        const image::RgbaImage src = random_image(17, 9, f);
        EXPECT_EQ(consistency(test::replicate(src, f), src), 0.0) << f;
        const image::RgbaImage hd = random_image(17 * f, 9 * f, f + 10);
        EXPECT_DOUBLE_EQ(consistency(hd, src), naive::consistency(hd, src));
    }
    // A uniform offset of 3 levels in every colour channel (alpha ignored).
    image::RgbaImage hd = filled(8, 8, 13, 23, 33, 0);
    EXPECT_DOUBLE_EQ(consistency(hd, filled(2, 2, 10, 20, 30, 255)), 3.0);
}

TEST(Consistency, RefusesSizesThatWouldReadOutside) {
    const image::RgbaImage src = random_image(4, 4, 1);
    for (auto [w, h] : {std::pair{16u, 12u}, {3u, 3u}})
        EXPECT_THROW(consistency(random_image(w, h, 2), src), std::runtime_error) << w << "x" << h;
    EXPECT_THROW(consistency(src, image::RgbaImage{}), std::runtime_error);
}

TEST(Consistency, UnusableMessageUsesSixDecimals) {
    EXPECT_EQ(unusable_output_message(61.5), "network output unusable (consistency 61.500000)");
}

TEST(SeamStats, GradientUniformAndThinImages) {
    // A ramp 0..255 along one axis, two pixels across the other.
    for (bool vertical : {false, true}) {
        image::RgbaImage ramp{vertical ? 2u : 256u, vertical ? 256u : 2u, {}};
        for (std::uint32_t i = 0; i < 512; ++i) {
            const auto v = static_cast<std::uint8_t>(vertical ? i / 2 : i);
            ramp.pixels.insert(ramp.pixels.end(), {v, v, v, 255});
        }
        const SeamStats g = seam_stats(ramp);
        const std::array<double, 4> along = {1, 255, 0, 0}, across = {0, 0, 1, 255};
        EXPECT_EQ((std::array{g.inner_x, g.seam_x, g.inner_y, g.seam_y}), vertical ? across : along);
        EXPECT_EQ((std::array{ratio_x(g), ratio_y(g)}), vertical ? (std::array{0.0, 255.0}) : (std::array{255.0, 0.0}));
        EXPECT_DOUBLE_EQ(g.mean_r, 127.5);
    }

    const SeamStats u = seam_stats(filled(5, 4, 9, 8, 7));
    EXPECT_EQ((std::array{u.inner_x, u.seam_x, u.inner_y, u.seam_y, ratio_x(u), ratio_y(u), u.mean_b}),
              (std::array{0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 7.0}));
    // One pixel wide: no horizontal pairs, so inner_x is 0 rather than 0 / 0.
    const SeamStats thin = seam_stats(random_image(1, 6, 3));
    EXPECT_TRUE(thin.inner_x == 0.0 && thin.seam_x == 0.0 && thin.inner_y > 0.0);
    EXPECT_EQ(seam_stats(image::RgbaImage{}).mean_r, 0.0);
}

TEST(SeamStats, DifferenceIsTheMeanOfTheThreeChannels) {
    const SeamStats s = seam_stats(image::RgbaImage{2, 1, {10, 20, 30, 0, 11, 22, 35, 255}});
    EXPECT_DOUBLE_EQ(s.inner_x, 8.0 / 3.0);
    EXPECT_DOUBLE_EQ(s.seam_x, 8.0 / 3.0);
    EXPECT_DOUBLE_EQ(ratio_x(s), 1.0);
}

TEST(SeamStats, TilingTest) {
    EXPECT_TRUE(axis_tiles(1.0, 1.2, 1.25));
    EXPECT_FALSE(axis_tiles(1.0, 1.25, 1.25));
    EXPECT_FALSE(axis_tiles(0.5, 1.0, 1.25));
    EXPECT_FALSE(axis_tiles(1.0, 0.1, 0.0));
}

TEST(RingStats, SplitsRingAndInnerAndHonoursAlpha) {
    // 4x4 source; the HD image equals the replicated source except one offset pixel.
    image::RgbaImage src = filled(4, 4, 100, 100, 100, 255);
    src.pixels[(0 * 4 + 3) * 4 + 3] = 0;  // (3,0) transparent
    image::RgbaImage hd = test::replicate(src, 2);
    for (int c = 0; c < 3; ++c) hd.pixels[(2 * 8 + 2) * 4 + c] = 112;  // HD (2,2) -> source (1,1): +3 levels
    hd.pixels[(0 * 8 + 6) * 4 + 3] = 40;                               // HD (6,0) -> source (3,0): alpha +10
    const PixelRect rects[] = {{0, 0, 4, 4}, {1, 1, 2, 1}};
    const RingStats s = ring_stats(hd, src, rects);
    // The transparent pixel has no colour error; (1,1) is inner in the big rectangle and ring in the thin one.
    EXPECT_EQ((std::array{s.ring_alpha_count, s.inner_alpha_count, s.ring_colour_count, s.inner_colour_count,
                          s.inner_colour_error, s.ring_colour_error, s.ring_alpha_error, s.inner_alpha_error}),
              (std::array{12.0 + 2, 4.0, 11.0 + 2, 4.0, 3.0, 3.0, 10.0, 0.0}));
    const PixelRect outside[] = {{3, 0, 2, 1}};
    EXPECT_THROW(ring_stats(hd, src, outside), std::runtime_error);
    EXPECT_THROW(ring_stats(test::replicate(src, 4), src, rects), std::runtime_error);
}

}  // namespace
}  // namespace tarkeep::upscale
