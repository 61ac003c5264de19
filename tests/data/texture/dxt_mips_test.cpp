// DXT mip chains and the colour patch between two of them, applied as the game applies patches.
#include <gtest/gtest.h>

#include "data/texture/dxt.h"
#include "data/texture/dxt_mips.h"
#include "data/texture/pcpatch.h"
#include "data/texture/pcpatch_writer.h"

namespace tarkeep::data {
namespace {

using Runs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

image::RgbaImage gradient(std::uint32_t width, std::uint32_t height) {
    image::RgbaImage image{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4, 255)};
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            std::uint8_t* p = &image.pixels[(std::size_t(y) * width + x) * 4];
            p[0] = std::uint8_t(x * 255 / width), p[1] = std::uint8_t(y * 255 / height), p[2] = 60;
        }
    return image;
}

// The texture file of the chain, patched with `runs` as the game does.
std::vector<std::uint8_t> apply(const DxtMipChain& chain, const PatchRuns& patch) {
    const std::vector<std::uint8_t> file = write_texcache(texcache_fields(chain.format, chain.levels));
    return apply_pcpatch(file, write_pcpatch(patch.runs, patch.blocks));
}

TEST(DxtMips, PatchesHoldTheChangedBlocksTheGameCanAddress) {
    const struct {
        std::uint32_t width, height, format;
        std::uint32_t x0, y0, x1, y1;  // the recoloured rectangle
        Runs runs;
    } cases[] = {
        // One block changed at level 0 (block 5 of 4 across), then its parents: level 1 is 8x8
        // (2x2 blocks) and every smaller level one block.
        {16,
         16,
         4,
         4,
         4,
         8,
         8,
         {{5, 1},
          {0xFFFFFFFFu, 0},
          {0, 1},
          {0xFFFFFFFFu, 0},
          {0, 1},
          {0xFFFFFFFFu, 0},
          {0, 1},
          {0xFFFFFFFFu, 0},
          {0, 1}}},
        // Nothing changed: no runs, no separators.
        {16, 16, 6, 0, 0, 0, 0, {}},
        // 24x40, the bottom-right pixels changed: block 59 of level 0 (6 across), block 14 of level 1
        // (12x20). Level 2 is 6x10, stored as 2x3 blocks of which the game addresses only
        // max(1, 6/4) x max(1, 10/4) = 2, so its changed block 5 stays neutral; the levels below
        // leave the odd last row and column out and do not change.
        {24, 40, 6, 20, 36, 24, 40, {{59, 1}, {0xFFFFFFFFu, 0}, {14, 1}}},
    };
    for (const auto& c : cases) {
        const image::RgbaImage neutral = gradient(c.width, c.height);
        image::RgbaImage coloured = neutral;
        for (std::uint32_t y = c.y0; y < c.y1; ++y)
            for (std::uint32_t x = c.x0; x < c.x1; ++x) coloured.pixels[(std::size_t(y) * c.width + x) * 4 + 2] = 250;
        const DxtOptions options{DxtQuality::best, 2};
        const DxtMipChain chain = encode_mip_chain(neutral, c.format, image::MipAverage::light, options);
        const PatchRuns patch = colour_patch_runs(chain, coloured, image::MipAverage::light, options);
        EXPECT_EQ(patch.runs, c.runs) << c.width << "x" << c.height;
        // The game's patch check accepts every run, and level 0 then decodes as the coloured
        // chain's own encoding does.
        const std::vector<std::uint8_t> patched = apply(chain, patch);
        const DxtMipChain direct = encode_mip_chain(coloured, c.format, image::MipAverage::light, options);
        EXPECT_TRUE(std::equal(direct.levels[0].data.begin(), direct.levels[0].data.end(), patched.begin()));
    }
}

}  // namespace
}  // namespace tarkeep::data
