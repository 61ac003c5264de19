// The alpha channel helpers: only alpha bytes change, from the right channel; sizes must match.
#include <gtest/gtest.h>

#include "image/pixel_channels.h"
#include "tests/image/test_images.h"

namespace tarkeep::image {
namespace {

TEST(PixelChannels, OnlyAlphaChangesFromTheRightChannelAndTransparencyIsAnyAlphaBelowFull) {
    const RgbaImage source = test::random_image(3, 2, 7), other = test::random_image(3, 2, 8);
    const std::pair<void (*)(RgbaImage&, const RgbaImage&), int> cases[] = {
        {[](RgbaImage& im, const RgbaImage&) { make_opaque(im); }, -1}, {alpha_from_grey, 0}, {copy_alpha, 3}};
    for (const auto& [change, from] : cases) {  // from: the channel of `other` that alpha takes, -1 for 255
        RgbaImage image = source;
        change(image, other);
        for (std::size_t i = 0; i < image.pixels.size(); ++i)
            ASSERT_EQ(image.pixels[i], i % 4 != 3 ? source.pixels[i] : from < 0 ? 255 : other.pixels[i - 3 + from]);
        EXPECT_EQ(from >= 0, has_transparency(image));
        if (from >= 0) {
            EXPECT_THROW(change(image, test::random_image(2, 3, 1)), std::runtime_error);
        }
    }
}

}  // namespace
}  // namespace tarkeep::image
