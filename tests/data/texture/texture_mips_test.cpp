// Mip chains in a texture's layout, and the colour patch between two DXT chains, applied as the game
// applies patches.
#include <gtest/gtest.h>

#include "data/texture/pcpatch.h"
#include "data/texture/pcpatch_writer.h"
#include "data/texture/tex_error.h"
#include "data/texture/texture_image.h"
#include "data/texture/texture_mips.h"

namespace tarkeep::data {
namespace {

constexpr std::uint32_t sep = pcpatch_separator;

image::RgbaImage gradient(std::uint32_t width, std::uint32_t height) {
    image::RgbaImage image{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4, 255)};
    for (std::size_t i = 0; i < image.pixels.size() / 4; ++i)
        image.pixels[i * 4] = std::uint8_t(i % width * 255 / width), image.pixels[i * 4 + 1] = std::uint8_t(i / width);
    return image;
}

TEST(TextureMips, PatchesHoldTheChangedBlocksTheGameCanAddress) {
    const struct {
        std::uint32_t width, height, format, x0, y0;  // pixels from (x0, y0) on are recoloured
        std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
    } cases[] = {
        // Pixels of block 15 at level 0, then the last block of each smaller level.
        {16, 16, 4, 12, 12, {{15, 1}, {sep, 0}, {3, 1}, {sep, 0}, {0, 1}, {sep, 0}, {0, 1}, {sep, 0}, {0, 1}}},
        {16, 16, 6, 16, 16, {}},  // nothing changed: no runs, no separators
        // 24x40: block 59 of level 0 (6 across), block 14 of level 1 (12x20). Level 2 is 6x10, stored
        // as 2x3 blocks of which the game addresses max(1, 6/4) x max(1, 10/4) = 2, so its changed
        // block 5 stays neutral; the levels below leave the odd last row and column out.
        {24, 40, 6, 20, 36, {{59, 1}, {sep, 0}, {14, 1}}},
    };
    for (const auto& c : cases) {
        const image::RgbaImage neutral = gradient(c.width, c.height);
        image::RgbaImage coloured = neutral;
        for (std::uint32_t y = c.y0; y < c.height; ++y)
            for (std::uint32_t x = c.x0; x < c.width; ++x) coloured.pixels[(std::size_t(y) * c.width + x) * 4 + 2] = 0;
        const DxtOptions options{DxtQuality::best, 2};
        const PixelLayout layout{c.format, {}, 0};
        const TextureMipChain chain = encode_mip_chain(neutral, layout, image::MipAverage::light, options);
        const PatchRuns patch = colour_patch_runs(chain, coloured, image::MipAverage::light, options);
        EXPECT_EQ(patch.runs, c.runs) << c.width << "x" << c.height;
        // The game's patch check takes every run, and level 0 then is the coloured image's encoding.
        const std::vector<std::uint8_t> patched = apply_pcpatch(write_texcache(texcache_fields(c.format, chain.levels)),
                                                                write_pcpatch(patch.runs, patch.blocks));
        const auto direct = encode_mip_chain(coloured, layout, image::MipAverage::light, options).levels[0].data;
        EXPECT_TRUE(std::equal(direct.begin(), direct.end(), patched.begin()));
        EXPECT_THROW(colour_patch_runs(chain, gradient(4, 4), image::MipAverage::light, options),
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
    };
    image::RgbaImage image = gradient(8, 4);
    for (std::size_t i = 3; i < image.pixels.size(); i += 4) image.pixels[i] = std::uint8_t(i * 7);
    for (const auto& c : cases) {
        TexcacheFields fields = texcache_fields(c.format, {{8, 4, {}}});
        std::copy(std::begin(c.masks), std::end(c.masks), fields.masks);
        fields.bytes_per_pixel = c.bytes_per_pixel;
        fields.pixels = encode_pixels(image, pixel_layout(read_texcache(write_texcache(fields))), {});
        fields.num_pixels = std::uint32_t(fields.pixels.size());
        const image::RgbaImage back = texture_to_rgba(write_texcache(fields));
        for (std::size_t i = 0; i < image.pixels.size(); ++i)
            EXPECT_NEAR(back.pixels[i], i % 4 == 3 && c.masks[3] == 0 ? 255 : image.pixels[i], c.tolerance) << i;
    }
    TexcacheFields palette = texcache_fields(2, {}), gapped = texcache_fields(1, {});
    gapped.masks[0] = 0x0F0F;
    for (const TexcacheFields& refused : {palette, gapped})
        EXPECT_THROW(pixel_layout(read_texcache(write_texcache(refused))), TexError);
}

}  // namespace
}  // namespace tarkeep::data
