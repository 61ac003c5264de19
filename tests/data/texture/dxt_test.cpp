// DXT decoding: colour and alpha modes, odd sizes, truncation, and random blocks against a per-pixel decode.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "data/texture/dxt.h"
#include "data/texture/tex_error.h"
#include "tests/data/error_text.h"
#include "data/texture/dxt_encoder.h"
#include "tests/support/naive_dxt.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgba = std::array<std::uint8_t, 4>;

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A colour block: endpoints and one 2-bit index per pixel (pixel 0 first).
Bytes colour_block(std::uint16_t c0, std::uint16_t c1, const std::array<int, 16>& indices = {}) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= std::uint32_t(indices[i]) << (2 * i);
    return {std::uint8_t(c0),   std::uint8_t(c0 >> 8),   std::uint8_t(c1),         std::uint8_t(c1 >> 8),
            std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16), std::uint8_t(bits >> 24)};
}

// A 4x4 image whose pixel i is colours[i % 4] (or colours[i] for 16 colours).
Bytes image_of(const std::vector<Rgba>& colours) {
    Bytes image;
    for (std::size_t i = 0; i < 16; ++i) {
        const Rgba& colour = colours[i % colours.size()];
        image.insert(image.end(), colour.begin(), colour.end());
    }
    return image;
}

Bytes decode(const Bytes& blocks, std::uint32_t w, std::uint32_t h, std::uint32_t format) {
    return decode_dxt(blocks.data(), blocks.size(), w, h, format);
}

std::string error_of(const Bytes& blocks, std::size_t size, std::uint32_t w, std::uint32_t h, std::uint32_t format) {
    return test::error_text<TexError>([&] { decode_dxt(blocks.data(), size, w, h, format); });
}

// Indices 0..3 along each row; DXT3 alpha nibbles 0..15 for pixels 0..15, DXT5 alpha 255.
TEST(DecodeDxt, ColourModesAndEndpointExpansion) {
    const Rgba red = {255, 0, 0, 255}, blue = {0, 0, 255, 255}, green = {0, 255, 0, 255}, clear = {0, 0, 0, 0};
    struct Case {
        const char* name;
        std::uint32_t format;
        std::uint16_t c0, c1;
        std::vector<Rgba> palette;
    };
    const Case cases[] = {
        {"DXT1 four-colour", format_dxt1, 0xF800, 0x001F, {red, blue, {170, 0, 85, 255}, {85, 0, 170, 255}}},
        {"DXT1 three-colour", format_dxt1, 0x001F, 0xF800, {blue, red, {127, 0, 127, 255}, clear}},
        {"DXT1 equal endpoints", format_dxt1, 0x07E0, 0x07E0, {green, green, green, clear}},
        // Channels expand as c * 255 / 31 (or 63), truncated: 16 -> 131, 32 -> 129, 1 -> 8 (or 4).
        {"DXT1 expansion",
         format_dxt1,
         0x8410,
         0x0821,
         {{131, 129, 131, 255}, {8, 4, 8, 255}, {90, 87, 90, 255}, {49, 45, 49, 255}}},
        {"DXT1 black and white",
         format_dxt1,
         0xFFFF,
         0x0000,
         {{255, 255, 255, 255}, {0, 0, 0, 255}, {170, 170, 170, 255}, {85, 85, 85, 255}}},
        {"DXT3 never three-colour", format_dxt3, 0x001F, 0xF800, {blue, red, {85, 0, 170, 255}, {170, 0, 85, 255}}},
        {"DXT5 never three-colour", format_dxt5, 0x001F, 0xF800, {blue, red, {85, 0, 170, 255}, {170, 0, 85, 255}}},
    };
    Bytes dxt3_alpha;
    for (int i = 0; i < 8; ++i) dxt3_alpha.push_back(std::uint8_t((2 * i) | (2 * i + 1) << 4));
    const Bytes alpha_blocks[] = {{}, dxt3_alpha, {255, 255, 0, 0, 0, 0, 0, 0}};  // DXT1, DXT3, DXT5
    const std::array<int, 16> index_cycle = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
    for (const Case& c : cases) {
        const Bytes block = concat(alpha_blocks[c.format - format_dxt1], colour_block(c.c0, c.c1, index_cycle));
        Bytes expected = image_of(c.palette);
        for (int i = 0; i < 16 && c.format == format_dxt3; ++i) expected[4 * i + 3] = std::uint8_t(i * 17);
        EXPECT_EQ(decode(block, 4, 4, c.format), expected) << c.name;
    }
}

TEST(DecodeDxt, Dxt5AlphaModes) {
    const std::array<int, 16> ramp = {0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0};
    struct Case {
        std::uint8_t a0, a1;
        std::array<int, 8> palette;
    };
    const Case cases[] = {
        {200, 100, {200, 100, 185, 171, 157, 142, 128, 114}},  // eight values
        {10, 200, {10, 200, 48, 86, 124, 162, 0, 255}},        // six values and the two fixed ones
        {50, 50, {50, 50, 50, 50, 50, 50, 0, 255}},            // equal endpoints: six-value mode
        {255, 0, {255, 0, 218, 182, 145, 109, 72, 36}},
    };
    for (const Case& c : cases) {
        std::uint64_t bits = 0;  // pixel i uses alpha index ramp[i]
        for (int i = 0; i < 16; ++i) bits |= std::uint64_t(ramp[i]) << (3 * i);
        Bytes block{c.a0, c.a1};
        for (int b = 0; b < 6; ++b) block.push_back(std::uint8_t(bits >> (8 * b)));
        std::vector<Rgba> expected;
        for (int i = 0; i < 16; ++i) expected.push_back({0, 0, 0, std::uint8_t(c.palette[ramp[i]])});
        EXPECT_EQ(decode(concat(block, colour_block(0, 0)), 4, 4, format_dxt5), image_of(expected)) << int(c.a0);
    }
}

TEST(DecodeDxt, SmallAndOddSizes) {
    // Blocks in a row-major grid; block b is solid with red = b + 1 (r5), so R = (b + 1) * 255 / 31.
    const int expected_red[] = {8, 16, 24, 32, 41, 49};
    struct Case {
        std::uint32_t w, h;
        int blocks;
    };
    for (const Case& c : {Case{1, 1, 1}, Case{2, 2, 1}, Case{6, 10, 6}, Case{4, 4, 1}, Case{5, 1, 2}}) {
        Bytes data;
        for (int b = 0; b < c.blocks; ++b) data = concat(data, colour_block(std::uint16_t((b + 1) << 11), 0));
        const Bytes image = decode(data, c.w, c.h, format_dxt1);
        ASSERT_EQ(image.size(), std::size_t(c.w) * c.h * 4);
        for (std::uint32_t y = 0; y < c.h; ++y)
            for (std::uint32_t x = 0; x < c.w; ++x)
                EXPECT_EQ(image[(y * c.w + x) * 4], expected_red[(y / 4) * ((c.w + 3) / 4) + x / 4])
                    << c.w << "x" << c.h;
        EXPECT_EQ(error_of(data, data.size() - 1, c.w, c.h, format_dxt1), "decode_dxt: block data truncated");
    }
    // Pixel positions inside a block, with an edge block cut to 2x1.
    std::array<int, 16> per_pixel{};
    for (int i = 0; i < 16; ++i) per_pixel[i] = i % 4 == 1 || i / 4 == 1 ? 1 : 0;
    EXPECT_EQ(decode(colour_block(0xFFFF, 0x0000, per_pixel), 2, 1, format_dxt1),
              (Bytes{255, 255, 255, 255, 0, 0, 0, 255}));
}

TEST(DecodeDxt, RejectsTruncationAndOtherFormats) {
    const Bytes data(6 * 16, 0);
    struct Case {
        std::size_t size;
        std::uint32_t w, h, format;
        const char* message;
    };
    const Case cases[] = {
        {95, 6, 10, format_dxt5, "decode_dxt: block data truncated"},
        {47, 6, 10, format_dxt1, "decode_dxt: block data truncated"},
        {96, 4, 4, format_rgba, "decode_dxt: not a DXT format"},
        {96, 4, 4, 7, "decode_dxt: not a DXT format"},
        // Sides whose block count overflows 64 bits when multiplied by the block size.
        {96, 0xFFFFFFFF, 0xFFFFFFFF, format_dxt5, "decode_dxt: block data truncated"},
        // Zero-sized images still need their one block.
        {7, 0, 0, format_dxt1, "decode_dxt: block data truncated"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(error_of(data, c.size, c.w, c.h, c.format), c.message) << c.size << " " << c.w;
    EXPECT_EQ(decode_dxt(data.data(), 96, 6, 10, format_dxt5).size(), 240u);
    EXPECT_TRUE(decode_dxt(data.data(), 8, 0, 4, format_dxt1).empty());
}

TEST(DecodeDxt, MatchesPerPixelDecodingOnRandomBlocks) {
    std::mt19937 random(42);
    for (std::uint32_t format : {format_dxt1, format_dxt3, format_dxt5}) {
        for (auto [w, h] : {std::pair{37u, 23u}, std::pair{64u, 64u}, std::pair{3u, 9u}}) {
            Bytes data(((w + 3) / 4) * ((h + 3) / 4) * dxt_block_size(format));
            for (auto& b : data) b = std::uint8_t(random());
            EXPECT_EQ(decode(data, w, h, format), test::naive_decode_dxt(data.data(), w, h, format))
                << format_name(format) << " " << w << "x" << h;
        }
    }
}

TEST(DxtNames, FormatNameAndMipSize) {
    const std::pair<std::uint32_t, std::string> names[] = {{0, "RGB"},      {4, "DXT1"}, {6, "DXT5"},
                                                           {9, "BUMPLUMA"}, {10, "10"},  {4294967295u, "4294967295"}};
    for (const auto& [format, name] : names) EXPECT_EQ(format_name(format), name);

    TexcacheFile tex;
    tex.mipmaps = {{64, 64, 0}, {6, 10, 0}, {1, 1, 0}, {0, 0, 0}};
    tex.format = format_dxt1;
    EXPECT_EQ((std::vector<std::uint64_t>{mip_size(tex, 0), mip_size(tex, 1), mip_size(tex, 2), mip_size(tex, 3)}),
              (std::vector<std::uint64_t>{2048, 48, 8, 8}));
    tex.format = format_rgba;  // anything but DXT1 counts 16 bytes a block
    EXPECT_EQ(mip_size(tex, 1), 96u);
    // 2^30 x 2^30 blocks: 2^63 bytes for DXT1, too many for 64 bits at 16 bytes a block.
    tex.mipmaps = {{0xFFFFFFFF, 0xFFFFFFFF, 0}};
    EXPECT_EQ(mip_size(tex, 0), UINT64_MAX);
    tex.format = format_dxt1;
    EXPECT_EQ(mip_size(tex, 0), std::uint64_t(1) << 63);
}

}  // namespace
}  // namespace tarkeep::data
