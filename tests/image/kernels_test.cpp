// The image kernels against their straight per-pixel formulas, edge modes and refused arguments.
#include <gtest/gtest.h>

#include <tuple>

#include "image/kernels.h"
#include "tests/image/naive_image_ops.h"
#include "tests/image/test_images.h"

namespace tarkeep::upscale {
namespace {

using test::filled;
using test::grey_row;
using test::px;
using test::random_image;

// Copies, so that images made on the spot can be compared whole.
std::tuple<std::uint32_t, std::uint32_t, std::vector<std::uint8_t>> whole(const image::RgbaImage& im) {
    return {im.width, im.height, im.pixels};
}

std::vector<int> reds(const image::RgbaImage& im) {
    std::vector<int> v;
    for (std::size_t i = 0; i < im.pixels.size(); i += 4) v.push_back(im.pixels[i]);
    return v;
}

TEST(Pad, EveryEdgeModeAndMarginMatchesTheFormula) {
    for (auto [w, h] : {std::pair{1u, 3u}, {3u, 1u}, {2u, 2u}, {5u, 4u}})
        for (int margin : {0, 1, 2, 7})
            for (int flags = 0; flags < 8; ++flags) {
                const image::RgbaImage src = random_image(w, h, margin * 8 + flags);
                const bool mirror = flags & 1, wrap_x = flags & 2, wrap_y = flags & 4;
                const image::RgbaImage out = pad(src, margin, mirror, wrap_x, wrap_y);
                ASSERT_EQ(whole(out), whole(naive::pad(src, margin, mirror, wrap_x, wrap_y)))
                    << w << "x" << h << " margin " << margin << " flags " << flags;
                if (flags == 6) {
                    EXPECT_EQ(pad_wrap(src, margin).pixels, out.pixels);
                }
            }
    for (const image::RgbaImage& bad : {image::RgbaImage{0, 4, {}}, image::RgbaImage{3, 0, {}},
                                        image::RgbaImage{2, 2, std::vector<std::uint8_t>(15)}}) {
        EXPECT_THROW(pad_wrap(bad, 1), std::runtime_error);
        EXPECT_THROW(pad(bad, 1, true, false, false), std::runtime_error);
    }
    EXPECT_THROW(pad_wrap(filled(2, 2, 1, 2, 3), -1), std::runtime_error);
}

TEST(Crop, CopiesTheRectangleAndRefusesOneOutside) {
    const image::RgbaImage src = random_image(7, 5, 2);
    const image::RgbaImage out = crop(src, 2, 1, 4, 3);
    ASSERT_EQ(out.pixels.size(), 4u * 3 * 4);
    for (std::size_t i = 0; i < out.pixels.size(); ++i)
        ASSERT_EQ(out.pixels[i], px(src, i / 4 % 4 + 2, i / 16 + 1, i % 4));
    EXPECT_EQ(crop(src, 7, 5, 0, 0).pixels.size(), 0u);
    EXPECT_THROW(crop(src, 4, 0, 4, 1), std::runtime_error);
    EXPECT_THROW(crop(src, 0, 3, 1, 3), std::runtime_error);
    EXPECT_THROW(crop(src, 0xFFFFFFFFu, 0, 2, 1), std::runtime_error);
}

TEST(Deblock, SmoothsEdgesUpToTheThresholdWithWrapOnBothAxes) {
    // A row and the same values as a column: the horizontal edges read the vertical pass.
    for (bool column : {false, true}) {
        image::RgbaImage im = grey_row({10, 10, 10, 10, 20, 20, 20, 20});
        if (column) std::swap(im.width, im.height);
        for (std::size_t i = 3; i < im.pixels.size(); i += 4) im.pixels[i] = 77;
        const image::RgbaImage smoothed = deblock(im, 10);
        EXPECT_EQ(reds(smoothed), (std::vector<int>{13, 10, 10, 13, 18, 20, 20, 18})) << column;
        EXPECT_EQ(reds(deblock(im, 9)), reds(im));
        EXPECT_EQ(deblock(im, 0).pixels, im.pixels);
        for (std::size_t i = 3; i < smoothed.pixels.size(); i += 4) EXPECT_EQ(smoothed.pixels[i], 77);
    }
}

TEST(BoxDown, RoundsHalvesUpAndDropsRemainders) {
    // Random blocks of 2 x 2 often sum to a half: rounded up, as the formula says.
    for (std::uint32_t f : {0u, 1u, 2u, 3u, 4u, 7u}) {  // 0 and 1 leave the image as it is
        const image::RgbaImage src = random_image(29, 17, f);
        EXPECT_EQ(whole(box_down(src, f)), whole(naive::box_down(src, f))) << f;
    }
}

TEST(ResizeBilinear, FollowsTheWeightsAndClampsEdges) {
    const image::RgbaImage one = filled(1, 1, 9, 8, 7, 6);
    EXPECT_EQ(resize_bilinear(one, 3, 3).pixels, filled(3, 3, 9, 8, 7, 6).pixels);
    EXPECT_TRUE(resize_bilinear(one, 0, 3).pixels.empty());
    EXPECT_EQ(resize_bilinear(image::RgbaImage{}, 2, 2).pixels, std::vector<std::uint8_t>(16, 0));
    const image::RgbaImage src = random_image(13, 9, 3);
    for (auto [w, h] : {std::pair{26u, 18u}, {40u, 7u}, {5u, 30u}, {13u, 9u}, {1u, 1u}, {64u, 64u}})
        EXPECT_EQ(whole(resize_bilinear(src, w, h)), whole(naive::resize_bilinear(src, w, h))) << w << "x" << h;
}

TEST(BackProject, MatchesTheFormulaLeavesAConsistentImageAndRefusesPartSizes) {
    struct Case {
        std::uint32_t w, h, f;
        int passes;
        double strength;
        bool wrap;
    };
    for (const Case& c : {Case{16, 12, 4, 3, 0.5, true}, Case{16, 12, 4, 1, 0.0, false}, Case{9, 14, 2, 2, 1.0, false},
                          Case{5, 3, 3, 3, 0.25, true}, Case{1, 1, 4, 2, 0.5, true}}) {
        const image::RgbaImage src = random_image(c.w, c.h, c.w * 31 + c.f);
        const image::RgbaImage hd = random_image(c.w * c.f, c.h * c.f, c.h);
        const image::RgbaImage out = back_project(hd, src, c.passes, c.strength, c.wrap);
        ASSERT_EQ(out.pixels, naive::back_project(hd, src, c.passes, c.strength, c.wrap).pixels) << c.w << "x" << c.h;
        const image::RgbaImage replicated = test::replicate(src, c.f);
        EXPECT_EQ(back_project(replicated, src, c.passes, c.strength, c.wrap).pixels, replicated.pixels);
    }
    const image::RgbaImage hd = random_image(8, 8, 9);  // no passes: even an inconsistent image stays as it is
    EXPECT_EQ(back_project(hd, random_image(2, 2, 10), 0, 0.5, true).pixels, hd.pixels);
    // Sizes that are not a whole multiple are refused.
    const image::RgbaImage src = random_image(4, 4, 5);
    for (auto [w, h] : {std::pair{16u, 15u}, {17u, 16u}, {3u, 3u}})
        EXPECT_THROW(back_project(random_image(w, h, 1), src, 1, 0.5, true), std::runtime_error) << w << "x" << h;
    EXPECT_THROW(back_project(random_image(3, 3, 1), image::RgbaImage{}, 1, 0.5, true), std::runtime_error);
}

TEST(Dering, ClampsOnlyValuesOutsideTheWidenedRange) {
    const image::RgbaImage src = random_image(11, 7, 7);
    for (int margin : {0, 3, 40}) {
        image::RgbaImage hd = random_image(44, 28, 8);
        const image::RgbaImage before = hd;
        image::RgbaImage expected = hd;
        naive::dering(expected, src, margin);
        dering(hd, src, margin);
        ASSERT_EQ(hd.pixels, expected.pixels);
        std::size_t moved = 0;
        for (std::size_t i = 0; i < hd.pixels.size(); ++i) moved += hd.pixels[i] != before.pixels[i];
        EXPECT_GT(moved, 0u);
    }
    image::RgbaImage hd = random_image(44, 28, 8);
    EXPECT_THROW(dering(hd, src, -1), std::runtime_error);
}

// A tiled texture deringed, cut back out, is its tile deringed with wrapped neighbours: the
// middle of a 3 x 3 tiling has its true neighbours even when clamped.
TEST(Dering, WrappedEqualsTheMiddleOfTheTiledTextureDeringed) {
    const auto tiled3 = [](const image::RgbaImage& im) {
        const std::uint32_t m = im.width * im.height;
        return crop(pad_wrap(im, static_cast<int>(m)), m - im.width, m - im.height, 3 * im.width, 3 * im.height);
    };
    for (const auto& [w, h, f, margin] :
         {std::tuple{5u, 3u, 4u, 0}, {7u, 5u, 3u, 10}, {2u, 6u, 1u, 0}, {1u, 1u, 4u, 0}}) {
        const image::RgbaImage src = random_image(w, h, w * 7 + f);
        image::RgbaImage hd = random_image(w * f, h * f, h + f), big = tiled3(hd);
        dering(hd, src, margin, true);
        dering(big, tiled3(src), margin);
        EXPECT_EQ(crop(big, w * f, h * f, w * f, h * f).pixels, hd.pixels) << w << "x" << h;
    }
}

TEST(Bleed, FillsTransparentPixelsFromOpaqueNeighboursAsTheFormulaDoesOnSparseMasks) {
    image::RgbaImage im = filled(4, 1, 0, 0, 0, 0);
    im.pixels[0] = 100, im.pixels[3] = 255;             // x = 0 opaque red 100
    im.pixels[4 * 3] = 51, im.pixels[4 * 3 + 3] = 200;  // x = 3 opaque red 51
    bleed(im, 0, 0);  // no passes: every transparent pixel takes the mean (75.5 -> 76)
    EXPECT_EQ(reds(im), (std::vector<int>{100, 76, 76, 51}));

    for (std::uint8_t alpha : {0, 255}) {  // nothing to fill from, or nothing to fill
        image::RgbaImage uniform = filled(3, 3, 5, 6, 7, alpha);
        bleed(uniform, 0, 4);
        EXPECT_EQ(uniform.pixels, filled(3, 3, 5, 6, 7, alpha).pixels) << int(alpha);
    }
    // The formula on sparse masks.
    for (int passes : {0, 1, 2, 16}) {
        for (int threshold : {0, 200}) {
            image::RgbaImage sparse = random_image(23, 19, static_cast<std::uint32_t>(passes * 7 + threshold));
            for (std::size_t i = 3; i < sparse.pixels.size(); i += 4)
                sparse.pixels[i] = sparse.pixels[i] > 240 ? 255 : 0;
            image::RgbaImage expected = sparse;
            naive::bleed(expected, threshold, passes);
            bleed(sparse, threshold, passes);
            EXPECT_EQ(sparse.pixels, expected.pixels) << passes << " " << threshold;
        }
    }
}

TEST(ChannelToGrey, SpreadsOneChannel) {
    const image::RgbaImage src = random_image(3, 2, 9);
    for (int k = 0; k < 4; ++k) {
        const image::RgbaImage grey = channel_to_grey(src, k);
        for (std::size_t i = 0; i < src.pixels.size(); ++i)
            EXPECT_EQ(grey.pixels[i], i % 4 == 3 ? 255 : src.pixels[i - i % 4 + k]) << k << " " << i;
    }
    EXPECT_THROW(channel_to_grey(src, 4), std::runtime_error);
}

}  // namespace
}  // namespace tarkeep::upscale
