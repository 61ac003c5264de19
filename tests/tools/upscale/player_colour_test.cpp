#include "tools/upscale/player_colour.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/image/test_images.h"

namespace tarkeep::upscale {
namespace {

using test::filled;

TEST(PlayerColourCurve, StartsAtTheWeightThresholdAndTheFirstKnotAtOrPastTheWeightWins) {
    const PcFit at_threshold{.knot_count = 1, .knot_x = {kPcMinWeight}, .knot_value = {0.7f}},
        ramp{.knot_count = 1, .knot_x = {0.5f}, .knot_value = {1.0f}},
        three{.knot_count = 3, .knot_x = {0.2f, 0.6f, 0.6f}, .knot_value = {0.4f, 0.8f, 0.1f}}, none;
    const std::tuple<const PcFit*, float, float> cases[] = {
        {&at_threshold, 4.0f / 255.0f, 0.7f},  // exactly at the threshold: first segment
        {&at_threshold, 0.0156f, 0.0f},        // just below
        {&ramp, 4.0f / 255.0f, 0.0f},
        {&ramp, (0.5f + kPcMinWeight) / 2, 0.5f},
        {&three, 0.4f, 0.6f},
        {&three, 0.6f, 0.8f},
        {&three, 0.9f, 0.1f},
        {&none, 0.9f, 0.0f},  // past the last knot; no knots
    };
    for (const auto& [fit, w, strength] : cases) EXPECT_NEAR(curve(*fit, w), strength, 1e-5) << w;
}

TEST(PlayerColourTable, InterpolatesBetweenBandsAndClampsAtTheEnds) {
    PcFit banded;
    for (std::size_t b = 0; b < 32; ++b) banded.table[b] = {float(b) * 8, 255 - float(b) * 8, 7};
    const std::pair<float, std::array<float, 3>> table[] = {
        {0.0f, {0, 255, 7}}, {255.0f, {248, 7, 7}}, {12.0f, {8, 247, 7}}, {8.0f, {4, 251, 7}}, {-5.0f, {0, 255, 7}}};
    for (const auto& [luminance, expected] : table)
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_NEAR(table_colour(banded, luminance)[c], expected[c], 1e-4) << luminance;
}

// One sample moved by (10, dy, 0): a strength bin's denominator is 100 + dy².
TEST(FitPlayerColour, AStrengthBinsDenominatorMayExceedAHundred) {
    const image::RgbaImage neutral = filled(1, 1, 100, 100, 100, 255);
    for (int dy : {0, 1}) {
        const PcFit fit = fit_player_colour(neutral, filled(1, 1, 110, std::uint8_t(100 + dy), 100), {0.5f});
        EXPECT_TRUE(fit.valid == (dy == 1) && fit.samples == 1u) << dy;
        const float off = std::abs(fit.knot_x[0] - 0.5f) + std::abs(fit.knot_value[0] - 1.0f) + std::abs(fit.error);
        EXPECT_TRUE(dy == 0 || (fit.knot_count == 1 && off < 1e-5f)) << off;
    }
}

// One sampled bin fills the whole table; the bins between a dark and a light sample take colours on the line
// between theirs.
TEST(FitPlayerColour, FillsTheTableBinsNoSampleReached) {
    const PcFit one = fit_player_colour(filled(4, 4, 100, 100, 100), filled(4, 4, 200, 40, 30), WeightMap(16, 1.0f)),
                two = fit_player_colour(image::RgbaImage{2, 1, {20, 20, 20, 255, 220, 220, 220, 255}},
                                        image::RgbaImage{2, 1, {90, 10, 10, 255, 120, 250, 250, 255}}, {1.0f, 1.0f});
    ASSERT_TRUE(one.valid && two.valid);
    for (std::size_t b = 0; b < 32; ++b)
        for (std::size_t c = 0; c < 3; ++c) {
            EXPECT_NEAR(one.table[b][c], (std::array{200, 40, 30}[c]), 1e-3) << b;
            EXPECT_LE(std::abs(two.table[b][c] - two.table[0][c]) + std::abs(two.table[b][c] - two.table[31][c]),
                      std::abs(two.table[0][c] - two.table[31][c]) + 1e-3);
        }
}

TEST(FitPlayerColour, NoChangeAMismatchedMapOrTooLightWeightsGiveNoFitWhichLeavesImagesAlone) {
    const image::RgbaImage grey = filled(2, 2, 90, 120, 150, 255), black = filled(2, 2, 0, 0, 0, 255);
    for (const PcFit& fit :
         {fit_player_colour(grey, grey, WeightMap(4, 1.0f)), fit_player_colour(grey, black, WeightMap(3, 1.0f)),
          fit_player_colour(grey, black, WeightMap(4, 0.015f))}) {
        EXPECT_FALSE(fit.valid);
        image::RgbaImage image = grey;
        apply_player_colour(image, WeightMap(4, 1.0f), fit);
        EXPECT_EQ(image.pixels, grey.pixels);
    }
}

}  // namespace
}  // namespace tarkeep::upscale
