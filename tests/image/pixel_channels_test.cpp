// The alpha channel helpers: which bytes they touch, and refused size mismatches.
#include <gtest/gtest.h>

#include "image/pixel_channels.h"
#include "tests/image/test_images.h"

namespace tarkeep::image {
namespace {

using test::filled;
using test::random_image;

TEST(PixelChannels, OnlyAlphaBytesChangeAndTheyComeFromTheRightChannel) {
    const RgbaImage source = random_image(3, 2, 7), other = random_image(3, 2, 8);
    struct Case {
        const char* name;
        void (*change)(RgbaImage&, const RgbaImage&);
        int from_channel;  // -1: every alpha becomes 255
    };
    const Case cases[] = {{"make_opaque", [](RgbaImage& im, const RgbaImage&) { make_opaque(im); }, -1},
                          {"alpha_from_grey", alpha_from_grey, 0},
                          {"copy_alpha", copy_alpha, 3}};
    for (const Case& c : cases) {
        RgbaImage image = source;
        c.change(image, other);
        for (std::size_t i = 0; i < image.pixels.size(); ++i) {
            const std::size_t channel = i % 4, pixel = i - channel;
            const int expected = channel != 3         ? source.pixels[i]
                                 : c.from_channel < 0 ? 255
                                                      : other.pixels[pixel + c.from_channel];
            ASSERT_EQ(image.pixels[i], expected) << c.name << " byte " << i;
        }
        if (c.from_channel >= 0) {
            EXPECT_THROW(c.change(image, random_image(2, 3, 1)), std::runtime_error) << c.name;
            EXPECT_THROW(c.change(image, random_image(3, 1, 1)), std::runtime_error) << c.name;
        }
    }
}

TEST(PixelChannels, TransparencyIsAnyAlphaBelowFullOnlyInTheAlphaChannel) {
    EXPECT_FALSE(has_transparency(filled(4, 4, 0, 0, 0)));
    EXPECT_FALSE(has_transparency(RgbaImage{}));
    for (std::size_t last : {0, 15})
        for (std::uint8_t alpha : {0, 254}) {
            RgbaImage image = filled(4, 4, 10, 20, 30);
            image.pixels[last * 4 + 3] = alpha;
            EXPECT_TRUE(has_transparency(image)) << last << " " << int{alpha};
        }
}

}  // namespace
}  // namespace tarkeep::image
