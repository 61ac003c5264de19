#include <gtest/gtest.h>

#include <random>

#include "data/texture/dxt.h"
#include "data/texture/pcpatch.h"
#include "data/texture/tex_error.h"
#include "data/texture/texture_image.h"
#include "tests/support/pcpatch_writer.h"
#include "tests/support/texcache_writer.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Runs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

template <typename Call>
std::string error_of(Call call) {
    try {
        call();
    } catch (const TexError& e) {
        return e.what();
    }
    return "no error";
}

// A DXT texture whose block n is filled with the byte n (mod 256), levels back to back.
test::TexcacheFields numbered_texture(std::uint32_t format, const std::vector<std::pair<std::uint32_t, std::uint32_t>>& sizes) {
    const std::size_t block = dxt_block_size(format);
    std::vector<test::TexcacheLevel> levels;
    for (auto [w, h] : sizes) {
        const std::size_t blocks = std::size_t(std::max(1u, (w + 3) / 4)) * std::max(1u, (h + 3) / 4);
        Bytes data(blocks * block);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i / block);
        levels.push_back({w, h, data});
    }
    return test::texcache_fields(format, levels);
}

Bytes replacement(std::size_t blocks, std::size_t block_size, std::uint8_t value = 0xEE) {
    return Bytes(blocks * block_size, value);
}

TEST(PcPatch, Names) {
    EXPECT_EQ(pcpatch_name("Knight.texcache", 'A'), "knightA.pcpatch");
    EXPECT_EQ(pcpatch_name("units/Big.Knight.TGA", 'K'), "units/big.knightK.pcpatch");
    EXPECT_EQ(pcpatch_name("knight", 'C'), "knightC.pcpatch");
    EXPECT_EQ(pcpatch_name("dir.v2/knight", 'B'), "dir.v2/knightB.pcpatch");
    EXPECT_EQ(pcpatch_name("dir.v2\\knight", 'B'), "dir.v2\\knightB.pcpatch");
    EXPECT_EQ(pcpatch_name(".hidden", 'A'), ".hiddenA.pcpatch");
    EXPECT_EQ(pcpatch_name("a..b", 'A'), "a..bA.pcpatch");
    EXPECT_EQ(texture_stem("Tex.png"), "tex");
}

TEST(PcPatch, ReadPayload) {
    const PcPatch patch = read_pcpatch(test::write_pcpatch({{3, 2}, {0xFFFFFFFF, 0}, {0, 1}}, Bytes(24, 5)));
    ASSERT_EQ(patch.runs.size(), 3u);
    EXPECT_EQ(patch.runs[0], (std::pair<std::uint32_t, std::uint32_t>{3, 2}));
    EXPECT_EQ(patch.runs[1].first, 0xFFFFFFFFu);
    EXPECT_EQ(patch.blocks, Bytes(24, 5));

    test::TexcacheFields container;
    container.pixels = {1, 0, 0};
    container.num_pixels = 3;
    EXPECT_EQ(error_of([&] { read_pcpatch(test::write_texcache(container)); }), "pcpatch: payload too short");
    container.pixels = {1, 0, 0, 0, 1, 0, 0, 0};  // n = 1 needs 12 bytes
    container.num_pixels = 8;
    EXPECT_EQ(error_of([&] { read_pcpatch(test::write_texcache(container)); }), "pcpatch: run table exceeds the payload");
    container.pixels = {0xFF, 0xFF, 0xFF, 0xFF};
    container.num_pixels = 4;
    EXPECT_EQ(error_of([&] { read_pcpatch(test::write_texcache(container)); }), "pcpatch: run table exceeds the payload");
    EXPECT_EQ(error_of([&] { read_pcpatch(Bytes(120, 0)); }), "not a single-NiPixelData NIF 10.1.0.0");
}

TEST(PcPatch, RunBoundsOn64x64) {
    const auto fields = numbered_texture(format_dxt1, {{64, 64}});
    const Bytes texture = test::write_texcache(fields);
    const Bytes patched = apply_pcpatch(texture, test::write_pcpatch({{250, 6}}, replacement(6, 8)));
    Bytes expected = fields.pixels;
    std::fill(expected.begin() + 250 * 8, expected.end(), 0xEE);
    EXPECT_EQ(patched, expected);
    EXPECT_EQ(error_of([&] { apply_pcpatch(texture, test::write_pcpatch({{250, 7}}, replacement(7, 8))); }),
              "pcpatch: run 250+7 outside mip 0 (256 blocks)");
    // start + count beyond 32 bits is still caught.
    EXPECT_EQ(error_of([&] { apply_pcpatch(texture, test::write_pcpatch({{0xFFFFFFF0, 0x20}}, {})); }),
              "pcpatch: run 4294967280+32 outside mip 0 (256 blocks)");
}

TEST(PcPatch, LevelsAndConsumption) {
    const auto fields = numbered_texture(format_dxt5, {{8, 8}, {4, 4}, {2, 2}, {1, 1}});
    const Bytes texture = test::write_texcache(fields);
    const std::size_t block = 16;

    // Unchanged without runs.
    EXPECT_EQ(apply_pcpatch(texture, test::write_pcpatch({}, {})), fields.pixels);

    // One block on each level; the 2x2 and 1x1 levels hold one block each.
    const Runs runs = {{1, 2}, {0xFFFFFFFF, 99}, {0, 1}, {0xFFFFFFFF, 0}, {0, 1}, {0xFFFFFFFF, 0}, {0, 1}};
    Bytes blocks;
    for (std::uint8_t v : {0xA1, 0xA2, 0xB0, 0xC0, 0xD0}) blocks.resize(blocks.size() + block, v);
    const Bytes patched = apply_pcpatch(texture, test::write_pcpatch(runs, blocks));
    Bytes expected = fields.pixels;
    std::fill_n(expected.begin() + 1 * block, block, 0xA1);
    std::fill_n(expected.begin() + 2 * block, block, 0xA2);
    std::fill_n(expected.begin() + fields.mipmaps[1].offset, block, 0xB0);
    std::fill_n(expected.begin() + fields.mipmaps[2].offset, block, 0xC0);
    std::fill_n(expected.begin() + fields.mipmaps[3].offset, block, 0xD0);
    EXPECT_EQ(patched, expected);

    EXPECT_EQ(error_of([&] { apply_pcpatch(texture, test::write_pcpatch({{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0, 2}}, replacement(2, block))); }),
              "pcpatch: run 0+2 outside mip 2 (1 blocks)");
    EXPECT_EQ(error_of([&] { apply_pcpatch(texture, test::write_pcpatch({{0, 1}}, replacement(2, block))); }),
              "pcpatch: patch payload not fully consumed");
    EXPECT_EQ(error_of([&] { apply_pcpatch(texture, test::write_pcpatch({{0, 2}}, replacement(1, block))); }),
              "pcpatch: patch payload not fully consumed");

    const auto single = test::write_texcache(numbered_texture(format_dxt1, {{8, 8}}));
    EXPECT_EQ(error_of([&] { apply_pcpatch(single, test::write_pcpatch({{0xFFFFFFFF, 0}, {0, 1}}, replacement(1, 8))); }),
              "pcpatch: mip level 1 does not exist");
    // Separators alone never fail.
    EXPECT_NO_THROW(apply_pcpatch(single, test::write_pcpatch({{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}}, {})));
}

TEST(PcPatch, NonDxtTextures) {
    auto fields = numbered_texture(format_dxt1, {{4, 4}});
    const Bytes patch = test::write_pcpatch({}, {});
    fields.format = format_rgba;
    EXPECT_EQ(error_of([&] { apply_pcpatch(test::write_texcache(fields), patch); }), "pcpatch on non-DXT texture: RGBA");
    fields.format = 31;
    EXPECT_EQ(error_of([&] { apply_pcpatch(test::write_texcache(fields), patch); }), "pcpatch on non-DXT texture: 31");
}

TEST(PcPatch, BlocksCountedAsTheDecoderLaysThemOut) {
    // A 6x6 level has 2x2 blocks for the decoder; the last one is patchable.
    const auto fields = numbered_texture(format_dxt1, {{6, 6}});
    const Bytes texture = test::write_texcache(fields);
    const Bytes patched = apply_pcpatch(texture, test::write_pcpatch({{3, 1}}, replacement(1, 8)));
    EXPECT_TRUE(std::equal(patched.begin() + 24, patched.end(), replacement(1, 8).begin()));
    EXPECT_EQ(error_of([&] { apply_pcpatch(texture, test::write_pcpatch({{3, 2}}, replacement(2, 8))); }),
              "pcpatch: run 3+2 outside mip 0 (4 blocks)");
}

TEST(PcPatch, RunsBeyondThePixelData) {
    // The table claims a 16x16 level but the pixel data holds 4 blocks.
    auto fields = numbered_texture(format_dxt1, {{8, 8}});
    fields.mipmaps[0] = {16, 16, 0};
    const Bytes texture = test::write_texcache(fields);
    EXPECT_EQ(error_of([&] { apply_pcpatch(texture, test::write_pcpatch({{4, 1}}, replacement(1, 8))); }),
              "pcpatch: run 4+1 outside mip 0 pixel data (32 bytes)");
    // A run reaching past the end is copied as far as the data goes.
    const Bytes patched = apply_pcpatch(texture, test::write_pcpatch({{3, 2}}, replacement(2, 8)));
    EXPECT_EQ(patched.size(), 32u);
    EXPECT_TRUE(std::all_of(patched.begin() + 24, patched.end(), [](std::uint8_t b) { return b == 0xEE; }));
    // A level whose offset is beyond the data.
    fields.mipmaps[0].offset = 0xFFFFFFF0;
    EXPECT_EQ(error_of([&] { apply_pcpatch(test::write_texcache(fields), test::write_pcpatch({{0, 1}}, replacement(1, 8))); }),
              "pcpatch: run 0+1 outside mip 0 pixel data (32 bytes)");
}

TEST(PcPatch, DiffedPatchRecolours) {
    // A neutral texture and its coloured version (a red square in the corner of every
    // level): the diffed patch turns the one into the other, and texture_mip0 decodes it.
    const std::uint32_t w = 32, h = 24;
    Bytes neutral(w * h * 4), coloured;
    std::mt19937 random(3);
    for (std::size_t i = 0; i < neutral.size(); ++i) neutral[i] = i % 4 == 3 ? 255 : std::uint8_t(100 + random() % 20);
    coloured = neutral;
    for (std::uint32_t y = 0; y < 12; ++y)
        for (std::uint32_t x = 0; x < 12; ++x) coloured[(y * w + x) * 4] = 250, coloured[(y * w + x) * 4 + 1] = 0;
    for (std::uint32_t format : {format_dxt1, format_dxt5}) {
        const auto base = test::texcache_fields(format, test::dxt_levels(neutral, w, h, format, true));
        const auto target = test::texcache_fields(format, test::dxt_levels(coloured, w, h, format, true));
        const Bytes patch = test::diff_pcpatch(base, target);
        const Bytes base_file = test::write_texcache(base);
        EXPECT_EQ(apply_pcpatch(base_file, patch), target.pixels);
        EXPECT_LT(read_pcpatch(patch).blocks.size(), target.pixels.size() / 2);
        EXPECT_EQ(texture_mip0(base_file, patch).pixels, texture_mip0(test::write_texcache(target)).pixels);
        EXPECT_NE(texture_mip0(base_file, patch).pixels, texture_mip0(base_file).pixels);
    }
}

}  // namespace
}  // namespace tarkeep::data
