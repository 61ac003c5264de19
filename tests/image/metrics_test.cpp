// Quality metrics: consistency against a formula and its refusals, the rejection text, tiling.
#include "image/metrics.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "tests/image/naive_image_ops.h"
#include "tests/image/test_images.h"

namespace tarkeep::image {
namespace {

using namespace test;

TEST(Consistency, ZeroForAReplicatedCopyMatchesTheFormulaAndRefusesSizesThatWouldReadOutside) {
    for (std::uint32_t f : {1u, 2u, 4u}) {
        const RgbaImage src = random_image(17, 9, f), hd = random_image(17 * f, 9 * f, f + 10);
        EXPECT_EQ(consistency(replicate(src, f), src), 0.0) << f;
        EXPECT_DOUBLE_EQ(consistency(hd, src), naive::consistency(hd, src));
    }
    // A uniform offset of 3 levels in every colour channel (alpha ignored).
    EXPECT_DOUBLE_EQ(consistency(filled(8, 8, 13, 23, 33, 0), filled(2, 2, 10, 20, 30, 255)), 3.0);
    const RgbaImage src = random_image(4, 4, 1);
    for (auto [w, h] : {std::pair{16u, 12u}, {3u, 3u}})
        EXPECT_THROW(consistency(random_image(w, h, 2), src), std::runtime_error) << w << "x" << h;
    EXPECT_THROW(consistency(src, RgbaImage{}), std::runtime_error);
    EXPECT_EQ(unusable_output_message(61.5), "network output unusable (consistency 61.500000)");
    EXPECT_TRUE(axis_tiles(1.0, 1.2, 1.25));
    EXPECT_FALSE(axis_tiles(1.0, 1.25, 1.25) || axis_tiles(0.5, 1.0, 1.25) || axis_tiles(1.0, 0.1, 0.0));
}

}  // namespace
}  // namespace tarkeep::image
