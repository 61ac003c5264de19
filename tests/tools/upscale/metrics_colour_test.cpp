// The quality metrics (consistency, the tiling test, sprite ring errors; seam statistics are
// checked through the --seam report) and player-colour
// fitting and recolouring, on built images.
#include <gtest/gtest.h>

#include <array>

#include "tests/image/naive_image_ops.h"
#include "tests/image/test_images.h"
#include "tools/upscale/metrics.h"
#include "tools/upscale/player_colour.h"

namespace tarkeep::upscale {
namespace {

using test::filled;
using test::random_image;

TEST(Consistency, ZeroForAReplicatedCopyMatchesTheFormulaAndRefusesSizesThatWouldReadOutside) {
    for (std::uint32_t f : {1u, 2u, 4u}) {
        const image::RgbaImage src = random_image(17, 9, f), hd = random_image(17 * f, 9 * f, f + 10);
        EXPECT_EQ(consistency(test::replicate(src, f), src), 0.0) << f;
        EXPECT_DOUBLE_EQ(consistency(hd, src), naive::consistency(hd, src));
    }
    // A uniform offset of 3 levels in every colour channel (alpha ignored).
    EXPECT_DOUBLE_EQ(consistency(filled(8, 8, 13, 23, 33, 0), filled(2, 2, 10, 20, 30, 255)), 3.0);
    const image::RgbaImage src = random_image(4, 4, 1);
    for (auto [w, h] : {std::pair{16u, 12u}, {3u, 3u}})
        EXPECT_THROW(consistency(random_image(w, h, 2), src), std::runtime_error) << w << "x" << h;
    EXPECT_THROW(consistency(src, image::RgbaImage{}), std::runtime_error);
    EXPECT_EQ(unusable_output_message(61.5), "network output unusable (consistency 61.500000)");
}

TEST(SeamStats, TilingTest) {
    EXPECT_TRUE(axis_tiles(1.0, 1.2, 1.25));
    EXPECT_FALSE(axis_tiles(1.0, 1.25, 1.25) || axis_tiles(0.5, 1.0, 1.25) || axis_tiles(1.0, 0.1, 0.0));
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

PcFit knots(std::vector<std::pair<float, float>> points) {
    PcFit fit;
    fit.valid = true;
    for (const auto& [x, value] : points) {
        fit.knot_x[static_cast<std::size_t>(fit.knot_count)] = x;
        fit.knot_value[static_cast<std::size_t>(fit.knot_count++)] = value;
    }
    return fit;
}

TEST(PlayerColour, CurveAndTableAroundTheirEnds) {
    const PcFit at_threshold = knots({{kPcMinWeight, 0.7f}}), ramp = knots({{0.5f, 1.0f}}),
                three = knots({{0.2f, 0.4f}, {0.6f, 0.8f}, {0.6f, 0.1f}}), none = knots({});
    const std::tuple<const PcFit*, float, float> cases[] = {
        {&at_threshold, 4.0f / 255.0f, 0.7f},  // exactly at the threshold: first segment
        {&at_threshold, 0.0156f, 0.0f},        // just below
        {&ramp, 4.0f / 255.0f, 0.0f},
        {&ramp, (0.5f + kPcMinWeight) / 2, 0.5f},
        {&three, 0.4f, 0.6f},
        {&three, 0.6f, 0.8f},  // the first knot at or past the weight wins
        {&three, 0.9f, 0.1f},
        {&none, 0.9f, 0.0f},  // past the last knot; no knots
    };
    for (const auto& [fit, w, strength] : cases) EXPECT_NEAR(curve(*fit, w), strength, 1e-5) << w;

    PcFit fit;
    for (std::size_t b = 0; b < 32; ++b) fit.table[b] = {float(b) * 8, 255 - float(b) * 8, 7};
    const std::pair<float, std::array<float, 3>> table[] = {
        {0.0f, {0, 255, 7}}, {255.0f, {248, 7, 7}}, {12.0f, {8, 247, 7}}, {8.0f, {4, 251, 7}}, {-5.0f, {0, 255, 7}}};
    for (const auto& [luminance, expected] : table)
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_NEAR(table_colour(fit, luminance)[c], expected[c], 1e-4) << luminance;
}

// One sample moved by (10, dy, 0): a strength bin's denominator is 100 + dy².
TEST(PlayerColour, FitsNeedADenominatorAboveHundredAndFillTheTableFromOneBin) {
    const image::RgbaImage neutral = filled(1, 1, 100, 100, 100, 255);
    for (int dy : {0, 1}) {
        const PcFit fit = fit_player_colour(neutral, filled(1, 1, 110, std::uint8_t(100 + dy), 100), {0.5f});
        EXPECT_TRUE(fit.valid == (dy == 1) && fit.samples == 1u) << dy;
        const float off = std::abs(fit.knot_x[0] - 0.5f) + std::abs(fit.knot_value[0] - 1.0f) + std::abs(fit.error);
        EXPECT_TRUE(dy == 0 || (fit.knot_count == 1 && off < 1e-5f)) << off;
    }
    const PcFit fit = fit_player_colour(filled(4, 4, 100, 100, 100), filled(4, 4, 200, 40, 30), WeightMap(16, 1.0f));
    ASSERT_TRUE(fit.valid);
    for (const auto& entry : fit.table)
        EXPECT_LT(std::abs(entry[0] - 200) + std::abs(entry[1] - 40) + std::abs(entry[2] - 30), 1e-3);
}

TEST(PlayerColour, UnchangedPatchOrMismatchedSizesGiveAnInvalidFitThatChangesNothing) {
    const image::RgbaImage neutral = filled(2, 2, 90, 120, 150, 255), black = filled(2, 2, 0, 0, 0, 255);
    for (const PcFit& fit : {fit_player_colour(neutral, neutral, WeightMap(4, 1.0f)),
                             fit_player_colour(neutral, black, WeightMap(3, 1.0f)),
                             fit_player_colour(neutral, black, WeightMap(4, 0.015f))}) {
        EXPECT_FALSE(fit.valid);
        image::RgbaImage image = neutral;
        apply_player_colour(image, WeightMap(4, 1.0f), fit);
        EXPECT_EQ(image.pixels, neutral.pixels);
    }
}

}  // namespace
}  // namespace tarkeep::upscale
