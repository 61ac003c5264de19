// Player-colour patches: names, payloads, blocks written level by level, and runs past the pixel data.
#include <gtest/gtest.h>

#include "data/texture/dxt.h"
#include "data/texture/pcpatch.h"
#include "data/texture/tex_error.h"
#include "tests/data/error_text.h"
#include "data/texture/pcpatch_writer.h"
#include "data/texture/texcache_writer.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::error_text;
using Runs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
constexpr std::uint32_t separator = pcpatch_separator;

// A DXT texture whose block n is filled with the byte n (mod 256), levels back to back.
data::TexcacheFields numbered_texture(std::uint32_t format, const Runs& sizes) {
    const std::size_t block = dxt_block_size(format);
    std::vector<data::TexcacheLevel> levels;
    for (auto [w, h] : sizes) {
        Bytes data(std::size_t(std::max(1u, (w + 3) / 4)) * std::max(1u, (h + 3) / 4) * block);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i / block);
        levels.push_back({w, h, data});
    }
    return data::texcache_fields(format, levels);
}

TEST(PcPatch, NamesAndPayloads) {
    EXPECT_EQ(pcpatch_name("Knight.texcache", 'A'), "knightA.pcpatch");
    EXPECT_EQ(pcpatch_name("units/Big.Knight.TGA", 'K'), "units/big.knightK.pcpatch");
    EXPECT_EQ(pcpatch_name("dir.v2\\knight", 'B'), "dir.v2\\knightB.pcpatch");
    EXPECT_EQ(pcpatch_name("a..b", 'A'), "a..bA.pcpatch");
    EXPECT_EQ(pcpatch_name("d\\a.b", 'A'), "d\\aA.pcpatch");  // a one-letter name after the folder
    EXPECT_EQ(texture_stem("Tex.png"), "tex");
    // Good payloads are read by every apply below.
    const std::pair<Bytes, std::string> payloads[] = {
        {{1, 0, 0}, "pcpatch: payload too short"},
        {{1, 0, 0, 0, 1, 0, 0, 0}, "pcpatch: run table exceeds the payload"},  // n = 1 needs 12 bytes
        {{0xFF, 0xFF, 0xFF, 0xFF}, "pcpatch: run table exceeds the payload"}};
    for (const auto& [payload, message] : payloads) {
        data::TexcacheFields container;
        container.pixels = payload;
        container.num_pixels = std::uint32_t(payload.size());
        EXPECT_EQ(error_text<TexError>([&] { read_pcpatch(data::write_texcache(container)); }), message);
    }
}

Bytes apply(const data::TexcacheFields& texture, const Runs& runs, const Bytes& blocks) {
    return apply_pcpatch(data::write_texcache(texture), data::write_pcpatch(runs, blocks));
}

// The error of a patch with `runs` and `count` blocks of 0xEE.
std::string apply_error(const data::TexcacheFields& texture, const Runs& runs, std::size_t count) {
    return error_text<TexError>([&] { apply(texture, runs, Bytes(count * dxt_block_size(texture.format), 0xEE)); });
}

// `pixels` with `data` written at `offset`.
Bytes written(Bytes pixels, std::size_t offset, std::span<const std::uint8_t> data) {
    std::copy(data.begin(), data.end(), pixels.begin() + std::ptrdiff_t(offset));
    return pixels;
}

TEST(PcPatch, ApplyLevelByLevelAndRunsBeyondThePixelData) {
    const auto dxt1_64 = numbered_texture(format_dxt1, {{64, 64}});
    EXPECT_EQ(apply(dxt1_64, {{250, 6}}, Bytes(48, 0xEE)), written(dxt1_64.pixels, 250 * 8, Bytes(48, 0xEE)));
    EXPECT_EQ(apply_error(dxt1_64, {{250, 7}}, 7), "pcpatch: run 250+7 outside mip 0 (256 blocks)");
    // start + count beyond 32 bits is still caught.
    EXPECT_EQ(apply_error(dxt1_64, {{0xFFFFFFF0, 0x20}}, 0), "pcpatch: run 4294967280+32 outside mip 0 (256 blocks)");

    const auto chain = numbered_texture(format_dxt5, {{8, 8}, {4, 4}, {2, 2}, {1, 1}});  // levels at 0, 64, 80, 96
    EXPECT_EQ(apply(chain, {}, {}), chain.pixels);
    // Blocks 1 and 2 of mip 0, then the one block of each further level; a separator
    // moves to the next level, whatever its count.
    Bytes five;
    for (std::uint8_t v : {0xA1, 0xA2, 0xB0, 0xC0, 0xD0}) five.resize(five.size() + 16, v);
    const Runs runs = {{1, 2}, {separator, 99}, {0, 1}, {separator, 0}, {0, 1}, {separator, 0}, {0, 1}};
    EXPECT_EQ(apply(chain, runs, five),
              written(written(chain.pixels, 16, {five.data(), 32}), 64, {five.data() + 32, 48}));
    EXPECT_EQ(apply_error(chain, {{separator, 0}, {separator, 0}, {0, 2}}, 2),
              "pcpatch: run 0+2 outside mip 2 (1 blocks)");
    EXPECT_EQ(apply_error(chain, {{0, 1}}, 2), "pcpatch: patch payload not fully consumed");
    EXPECT_EQ(apply_error(chain, {{0, 2}}, 1), "pcpatch: patch payload not fully consumed");

    auto single = numbered_texture(format_dxt1, {{8, 8}});
    EXPECT_EQ(apply_error(single, {{separator, 0}, {0, 1}}, 1), "pcpatch: mip level 1 does not exist");
    EXPECT_EQ(apply(single, {{separator, 0}, {separator, 0}}, {}), single.pixels);  // separators alone never fail
    single.format = format_rgba;
    EXPECT_EQ(apply_error(single, {}, 0), "pcpatch on non-DXT texture: RGBA");
    single.format = 31;
    EXPECT_EQ(apply_error(single, {}, 0), "pcpatch on non-DXT texture: 31");
    // The table claims a 16x16 level but the pixel data holds 4 blocks.
    auto fields = numbered_texture(format_dxt1, {{8, 8}});
    fields.mipmaps[0] = {16, 16, 0};
    EXPECT_EQ(apply_error(fields, {{4, 1}}, 1), "pcpatch: run 4+1 outside mip 0 pixel data (32 bytes)");
    // A run reaching past the end is copied as far as the data goes.
    EXPECT_EQ(apply(fields, {{3, 2}}, Bytes(16, 0xEE)), written(fields.pixels, 24, Bytes(8, 0xEE)));
    // A level whose offset is beyond the data.
    fields.mipmaps[0].offset = 0xFFFFFFF0;
    EXPECT_EQ(apply_error(fields, {{0, 1}}, 1), "pcpatch: run 0+1 outside mip 0 pixel data (32 bytes)");
}

}  // namespace
}  // namespace tarkeep::data
