// DXT mip chains and the colour patch between two of them, applied as the game applies patches.
#include <gtest/gtest.h>

#include "data/texture/dxt.h"
#include "data/texture/texture_mips.h"
#include "data/texture/pcpatch.h"
#include "data/texture/pcpatch_writer.h"
#include "data/texture/tex_error.h"
#include "data/texture/texture_image.h"

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
std::vector<std::uint8_t> apply(const TextureMipChain& chain, const PatchRuns& patch) {
    const std::vector<std::uint8_t> file = write_texcache(texcache_fields(chain.layout.format, chain.levels));
    return apply_pcpatch(file, write_pcpatch(patch.runs, patch.blocks));
}

TEST(TextureMips, PatchesHoldTheChangedBlocksTheGameCanAddress) {
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
        const PixelLayout layout{c.format, {}, 0};
        const TextureMipChain chain = encode_mip_chain(neutral, layout, image::MipAverage::light, options);
        const PatchRuns patch = colour_patch_runs(chain, coloured, image::MipAverage::light, options);
        EXPECT_EQ(patch.runs, c.runs) << c.width << "x" << c.height;
        // The game's patch check accepts every run, and level 0 then decodes as the coloured
        // chain's own encoding does.
        const std::vector<std::uint8_t> patched = apply(chain, patch);
        const TextureMipChain direct = encode_mip_chain(coloured, layout, image::MipAverage::light, options);
        EXPECT_TRUE(std::equal(direct.levels[0].data.begin(), direct.levels[0].data.end(), patched.begin()));
        EXPECT_THROW(colour_patch_runs(chain, gradient(c.width, 4), image::MipAverage::light, options),
                     std::invalid_argument);
    }
}

TEST(TextureMips, UncompressedLayoutsReadBackThroughTheGamesDecoder) {
    const struct {
        std::uint32_t format, bytes_per_pixel, masks[4];
        int tolerance;  // one step of the narrowest channel
    } cases[] = {
        {1, 4, {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}, 0},
        {0, 2, {0xF800, 0x07E0, 0x001F, 0}, 255 / 31},
        {0, 3, {0xFF0000, 0x00FF00, 0x0000FF, 0}, 0},
    };
    image::RgbaImage image = gradient(8, 4);
    for (std::size_t i = 0; i < image.pixels.size(); i += 4) image.pixels[i + 3] = std::uint8_t(i * 7);
    for (const auto& c : cases) {
        TexcacheFields fields = texcache_fields(c.format, {{8, 4, {}}});
        std::copy(std::begin(c.masks), std::end(c.masks), fields.masks);
        fields.bytes_per_pixel = c.bytes_per_pixel;
        const PixelLayout layout = pixel_layout(read_texcache(write_texcache(fields)));
        fields.pixels = encode_pixels(image, layout, {});
        fields.num_pixels = std::uint32_t(fields.pixels.size());
        const image::RgbaImage back = texture_to_rgba(write_texcache(fields));
        for (std::size_t i = 0; i < image.pixels.size(); ++i) {
            const int expected = i % 4 == 3 && c.masks[3] == 0 ? 255 : image.pixels[i];
            EXPECT_NEAR(back.pixels[i], expected, c.tolerance) << c.bytes_per_pixel << " bytes, byte " << i;
        }
    }
    TexcacheFields palette = texcache_fields(2, {}), gapped = texcache_fields(1, {});
    gapped.masks[0] = 0x0F0F;
    gapped.bytes_per_pixel = 4;
    for (const TexcacheFields& refused : {palette, gapped})
        EXPECT_THROW(pixel_layout(read_texcache(write_texcache(refused))), TexError);
}

}  // namespace
}  // namespace tarkeep::data
