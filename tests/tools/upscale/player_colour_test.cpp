// Player-colour fitting and recolouring on built images.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/image/test_images.h"
#include "tools/upscale/player_colour.h"

namespace tarkeep::upscale {
namespace {

using test::filled;

PcFit one_knot(float x, float y) {
    PcFit fit;
    fit.knot_count = 1;
    fit.knot_x[0] = x;
    fit.knot_value[0] = y;
    fit.valid = true;
    return fit;
}

TEST(PlayerColour, CurveAroundTheSampleThreshold) {
    const PcFit at_threshold = one_knot(kPcMinWeight, 0.7f);
    const PcFit ramp = one_knot(0.5f, 1.0f);
    PcFit three = one_knot(0.2f, 0.4f);
    three.knot_count = 3;
    three.knot_x[1] = 0.6f, three.knot_value[1] = 0.8f;
    three.knot_x[2] = 0.6f, three.knot_value[2] = 0.1f;
    struct Case {
        const PcFit* fit;
        float w;
        float strength;
    } cases[] = {
        {&at_threshold, 4.0f / 255.0f, 0.7f},  // exactly at the threshold: first segment
        {&at_threshold, 0.0156f, 0.0f},        // just below
        {&ramp, 4.0f / 255.0f, 0.0f},
        {&ramp, (0.5f + kPcMinWeight) / 2, 0.5f},
        {&three, 0.4f, 0.6f},
        {&three, 0.6f, 0.8f},  // the first knot at or past the weight wins
        {&three, 0.9f, 0.1f},  // past the last knot
    };
    for (const Case& c : cases) EXPECT_NEAR(curve(*c.fit, c.w), c.strength, 1e-5) << c.w;
    PcFit none = ramp;
    none.knot_count = 0;
    EXPECT_EQ(curve(none, 0.9f), 0.0f);
}

TEST(PlayerColour, TableColourEndsAndMiddle) {
    PcFit fit;
    for (std::size_t b = 0; b < 32; ++b) fit.table[b] = {float(b) * 8, 255 - float(b) * 8, 7};
    const std::pair<float, std::array<float, 3>> cases[] = {
        {0.0f, {0, 255, 7}}, {255.0f, {248, 7, 7}}, {12.0f, {8, 247, 7}}, {8.0f, {4, 251, 7}}, {-5.0f, {0, 255, 7}}};
    for (const auto& [luminance, expected] : cases) {
        const auto colour = table_colour(fit, luminance);
        for (std::size_t c = 0; c < 3; ++c) EXPECT_NEAR(colour[c], expected[c], 1e-4) << luminance;
    }
}

TEST(PlayerColour, ChangeAndLuminanceMaps) {
    const image::RgbaImage a = filled(2, 1, 100, 150, 60, 255);
    image::RgbaImage b = a;
    b.pixels[0] = 112;  // a difference of 12 is not a change
    b.pixels[4] = 110, b.pixels[5] = 153;
    EXPECT_EQ(change_map(a, b, 12), (WeightMap{0.0f, 1.0f}));
    EXPECT_EQ(change_map(a, filled(1, 1, 0, 0, 0, 0), 12), (WeightMap{0.0f, 0.0f}));
    const WeightMap lum = luminance_map(filled(1, 1, 255, 0, 0, 9));
    ASSERT_EQ(lum.size(), 1u);
    EXPECT_NEAR(lum[0], 0.299f, 1e-6);
}

// One sample moved by (10, dy, 0): a strength bin's denominator is 100 + dy².
TEST(PlayerColour, KnotNeedsDenominatorAboveHundred) {
    const image::RgbaImage neutral = filled(1, 1, 100, 100, 100, 255);
    for (int dy : {0, 1}) {
        const image::RgbaImage patched = filled(1, 1, 110, std::uint8_t(100 + dy), 100);
        const PcFit fit = fit_player_colour(neutral, patched, {0.5f});
        EXPECT_EQ(fit.valid, dy == 1) << dy;
        EXPECT_EQ(fit.samples, 1u);
        const float off = std::abs(fit.knot_x[0] - 0.5f) + std::abs(fit.knot_value[0] - 1.0f) + std::abs(fit.error);
        EXPECT_TRUE(dy == 0 || (fit.knot_count == 1 && off < 1e-5f)) << off;
    }
}

TEST(PlayerColour, OneFilledBinColoursTheWholeTable) {
    const image::RgbaImage neutral = filled(4, 4, 100, 100, 100, 255);
    const image::RgbaImage patched = filled(4, 4, 200, 40, 30, 255);
    const PcFit fit = fit_player_colour(neutral, patched, WeightMap(16, 1.0f));
    ASSERT_TRUE(fit.valid);
    for (const auto& entry : fit.table)
        EXPECT_LT(std::abs(entry[0] - 200) + std::abs(entry[1] - 40) + std::abs(entry[2] - 30), 1e-3);
}

TEST(PlayerColour, UnchangedPatchOrMismatchedSizesGiveAnInvalidFitThatChangesNothing) {
    const image::RgbaImage neutral = filled(2, 2, 90, 120, 150, 255);
    const PcFit fits[] = {
        fit_player_colour(neutral, neutral, WeightMap(4, 1.0f)),
        fit_player_colour(neutral, filled(2, 2, 0, 0, 0, 255), WeightMap(3, 1.0f)),
        fit_player_colour(neutral, filled(2, 2, 0, 0, 0, 255), WeightMap(4, 0.015f)),
    };
    for (const PcFit& fit : fits) {
        EXPECT_FALSE(fit.valid);
        image::RgbaImage image = neutral;
        apply_player_colour(image, WeightMap(4, 1.0f), fit);
        EXPECT_EQ(image.pixels, neutral.pixels);
    }
}

// The game's recolouring as the sample game makes it: grey areas pulled towards
// a shade of the player colour, by a soft mask.
TEST(PlayerColour, FitOfARecolouredTextureHasASmallError) {
    const std::uint32_t side = 64;
    image::RgbaImage neutral{side, side, {}}, patched{side, side, {}};
    WeightMap weights;
    for (std::uint32_t y = 0; y < side; ++y) {
        for (std::uint32_t x = 0; x < side; ++x) {
            const auto grey = static_cast<std::uint8_t>(40 + (x * 3 + y) % 180);
            const float w = std::clamp((static_cast<float>(y) - 16.0f) / 16.0f, 0.0f, 1.0f);
            const std::uint8_t n[4] = {grey, grey, std::uint8_t(grey / 2), std::uint8_t(x * 4)};
            neutral.pixels.insert(neutral.pixels.end(), n, n + 4);
            for (int c = 0; c < 3; ++c) {
                const double target = std::array{30.0, 60.0, 200.0}[c] * (0.4 + 0.8 * grey / 255.0);
                patched.pixels.push_back(static_cast<std::uint8_t>(std::lround(n[c] * (1 - w) + target * w)));
            }
            patched.pixels.push_back(n[3]);
            weights.push_back(w);
        }
    }
    const PcFit fit = fit_player_colour(neutral, patched, weights);
    ASSERT_TRUE(fit.valid);
    EXPECT_GE(fit.knot_count, 8);
    EXPECT_GT(fit.error, 0.1f);  // rounding alone leaves some
    EXPECT_LT(fit.error, 3.0f) << fit.error;

    image::RgbaImage image = neutral;
    apply_player_colour(image, weights, fit);
    double moved_error = 0;
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        if (i % 4 == 3) {
            ASSERT_EQ(image.pixels[i], neutral.pixels[i]);  // alpha is never touched
        } else if (weights[i / 4] < kPcMinWeight) {
            ASSERT_EQ(image.pixels[i], neutral.pixels[i]);
        } else {
            moved_error += std::abs(image.pixels[i] - patched.pixels[i]);
        }
    }
    EXPECT_LT(moved_error / (side * side * 3.0), 3.0);
}

}  // namespace
}  // namespace tarkeep::upscale
