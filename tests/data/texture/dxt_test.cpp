#include <gtest/gtest.h>

#include <array>
#include <random>

#include "data/texture/dxt.h"
#include "data/texture/tex_error.h"
#include "tests/support/dxt_encoder.h"

namespace tarkeep::data {
namespace {

using Rgba = std::array<int, 4>;

// A colour block: endpoints and one 2-bit index per pixel (pixel 0 first).
std::vector<std::uint8_t> colour_block(std::uint16_t c0, std::uint16_t c1, const std::array<int, 16>& indices) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= std::uint32_t(indices[i]) << (2 * i);
    return {std::uint8_t(c0), std::uint8_t(c0 >> 8), std::uint8_t(c1), std::uint8_t(c1 >> 8),
            std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16), std::uint8_t(bits >> 24)};
}

constexpr std::array<int, 16> index_cycle = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};

Rgba pixel(const std::vector<std::uint8_t>& image, std::uint32_t width, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = image.data() + (std::size_t(y) * width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

std::vector<std::uint8_t> decode(const std::vector<std::uint8_t>& blocks, std::uint32_t w, std::uint32_t h,
                                 std::uint32_t format) {
    return decode_dxt(blocks.data(), blocks.size(), w, h, format);
}

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(DecodeDxt, ColourModes) {
    // Pure red and pure blue endpoints, indices 0..3 along each row.
    struct Case {
        const char* name;
        std::uint32_t format;
        std::uint16_t c0, c1;
        Rgba q2, q3;
    };
    const Case cases[] = {
        {"DXT1 four-colour", format_dxt1, 0xF800, 0x001F, {170, 0, 85, 255}, {85, 0, 170, 255}},
        {"DXT1 three-colour", format_dxt1, 0x001F, 0xF800, {127, 0, 127, 255}, {0, 0, 0, 0}},
        {"DXT1 equal endpoints", format_dxt1, 0x07E0, 0x07E0, {0, 255, 0, 255}, {0, 0, 0, 0}},
        {"DXT3 never three-colour", format_dxt3, 0x001F, 0xF800, {85, 0, 170, 255}, {170, 0, 85, 255}},
        {"DXT5 never three-colour", format_dxt5, 0x001F, 0xF800, {85, 0, 170, 255}, {170, 0, 85, 255}},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> block = colour_block(c.c0, c.c1, index_cycle);
        if (c.format == format_dxt3) block = concat(std::vector<std::uint8_t>(8, 0xFF), block);
        if (c.format == format_dxt5) block = concat({255, 255, 0, 0, 0, 0, 0, 0}, block);
        const auto image = decode(block, 4, 4, c.format);
        const Rgba q0 = c.c0 == 0xF800 ? Rgba{255, 0, 0, 255} : c.c0 == 0x001F ? Rgba{0, 0, 255, 255} : Rgba{0, 255, 0, 255};
        const Rgba q1 = c.c1 == 0xF800 ? Rgba{255, 0, 0, 255} : c.c1 == 0x001F ? Rgba{0, 0, 255, 255} : Rgba{0, 255, 0, 255};
        for (std::uint32_t y = 0; y < 4; ++y) {
            EXPECT_EQ(pixel(image, 4, 0, y), q0) << c.name;
            EXPECT_EQ(pixel(image, 4, 1, y), q1) << c.name;
            EXPECT_EQ(pixel(image, 4, 2, y), c.q2) << c.name;
            EXPECT_EQ(pixel(image, 4, 3, y), c.q3) << c.name;
        }
    }
}

TEST(DecodeDxt, EndpointExpansion) {
    const std::pair<std::uint16_t, Rgba> cases[] = {
        {0xFFFF, {255, 255, 255, 255}}, {0x0000, {0, 0, 0, 255}}, {0x0800, {8, 0, 0, 255}},
        {0x0020, {0, 4, 0, 255}},       {0x0001, {0, 0, 8, 255}}, {0x8410, {131, 129, 131, 255}},
    };
    for (const auto& [c0, expected] : cases) {
        const auto image = decode(colour_block(c0, 0, {}), 4, 4, format_dxt1);
        EXPECT_EQ(pixel(image, 4, 3, 3), expected) << std::hex << c0;
    }
}

TEST(DecodeDxt, Dxt3Alpha) {
    std::vector<std::uint8_t> alpha(8);
    // Nibbles 0, 1, ..., 15 for pixels 0..15.
    for (int i = 0; i < 8; ++i) alpha[i] = std::uint8_t((2 * i) | (2 * i + 1) << 4);
    const auto image = decode(concat(alpha, colour_block(0xFFFF, 0xFFFF, {})), 4, 4, format_dxt3);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(image[4 * i + 3], i * 17) << i;
    EXPECT_EQ(image[0], 255);
}

// DXT5 block whose pixel i uses alpha index indices[i].
std::vector<std::uint8_t> dxt5_block(std::uint8_t a0, std::uint8_t a1, const std::array<int, 16>& indices) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= std::uint64_t(indices[i]) << (3 * i);
    std::vector<std::uint8_t> block{a0, a1};
    for (int b = 0; b < 6; ++b) block.push_back(std::uint8_t(bits >> (8 * b)));
    return concat(block, colour_block(0, 0, {}));
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
        const auto image = decode(dxt5_block(c.a0, c.a1, ramp), 4, 4, format_dxt5);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(image[4 * i + 3], c.palette[ramp[i]]) << int(c.a0) << "/" << i;
    }
}

TEST(DecodeDxt, SmallAndOddSizes) {
    // Blocks in a row-major grid; block b is solid with red = b (r5), so R = b * 255 / 31.
    const auto grid = [](int blocks) {
        std::vector<std::uint8_t> data;
        for (int b = 0; b < blocks; ++b) data = concat(data, colour_block(std::uint16_t((b + 1) << 11), 0, {}));
        return data;
    };
    const int expected_red[] = {8, 16, 24, 32, 41, 49};
    struct Case {
        std::uint32_t w, h;
        int blocks;
    };
    for (const Case& c : {Case{1, 1, 1}, Case{2, 2, 1}, Case{6, 10, 6}, Case{4, 4, 1}, Case{5, 1, 2}}) {
        const auto data = grid(c.blocks);
        const auto image = decode(data, c.w, c.h, format_dxt1);
        ASSERT_EQ(image.size(), std::size_t(c.w) * c.h * 4);
        const std::uint32_t across = (c.w + 3) / 4;
        for (std::uint32_t y = 0; y < c.h; ++y) {
            for (std::uint32_t x = 0; x < c.w; ++x) {
                EXPECT_EQ(pixel(image, c.w, x, y)[0], expected_red[(y / 4) * across + x / 4]) << c.w << "x" << c.h;
            }
        }
        EXPECT_THROW(decode_dxt(data.data(), data.size() - 1, c.w, c.h, format_dxt1), TexError);
    }
    // Pixel positions inside a block, with an edge block cut to 2x1.
    std::array<int, 16> per_pixel{};
    for (int i = 0; i < 16; ++i) per_pixel[i] = i % 4 == 1 || i / 4 == 1 ? 1 : 0;
    const auto two_by_one = decode(colour_block(0xFFFF, 0x0000, per_pixel), 2, 1, format_dxt1);
    EXPECT_EQ(two_by_one, (std::vector<std::uint8_t>{255, 255, 255, 255, 0, 0, 0, 255}));
}

TEST(DecodeDxt, RejectsTruncationAndOtherFormats) {
    const auto expect_message = [](auto call, const std::string& message) {
        try {
            call();
            ADD_FAILURE() << "no error, expected " << message;
        } catch (const TexError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    };
    std::vector<std::uint8_t> data(6 * 16, 0);
    expect_message([&] { decode_dxt(data.data(), 95, 6, 10, format_dxt5); }, "decode_dxt: block data truncated");
    expect_message([&] { decode_dxt(data.data(), 47, 6, 10, format_dxt1); }, "decode_dxt: block data truncated");
    EXPECT_EQ(decode_dxt(data.data(), 96, 6, 10, format_dxt5).size(), 240u);
    expect_message([&] { decode_dxt(data.data(), 96, 4, 4, format_rgba); }, "decode_dxt: not a DXT format");
    expect_message([&] { decode_dxt(data.data(), 96, 4, 4, 7); }, "decode_dxt: not a DXT format");
    // Sides whose block count overflows 64 bits when multiplied by the block size.
    expect_message([&] { decode_dxt(data.data(), 96, 0xFFFFFFFF, 0xFFFFFFFF, format_dxt5); },
                   "decode_dxt: block data truncated");
    // Zero-sized images still need their one block.
    expect_message([&] { decode_dxt(data.data(), 7, 0, 0, format_dxt1); }, "decode_dxt: block data truncated");
    EXPECT_TRUE(decode_dxt(data.data(), 8, 0, 4, format_dxt1).empty());
}

TEST(DecodeDxt, MatchesPerPixelDecodingOnRandomBlocks) {
    std::mt19937 random(42);
    for (std::uint32_t format : {format_dxt1, format_dxt3, format_dxt5}) {
        for (auto [w, h] : {std::pair{37u, 23u}, std::pair{64u, 64u}, std::pair{3u, 9u}}) {
            const std::size_t bytes = ((w + 3) / 4) * ((h + 3) / 4) * dxt_block_size(format);
            std::vector<std::uint8_t> data(bytes);
            for (auto& b : data) b = std::uint8_t(random());
            EXPECT_EQ(decode_dxt(data.data(), bytes, w, h, format), test::naive_decode_dxt(data.data(), w, h, format))
                << format_name(format) << " " << w << "x" << h;
        }
    }
}

TEST(DecodeDxt, FixtureEncoderRoundTrip) {
    // Correlated gradients with an alpha ramp: every decoded channel stays within half its
    // block's range (bounding-box endpoints) plus the 5/6-bit quantisation.
    const std::uint32_t w = 30, h = 18;
    std::vector<std::uint8_t> image(w * h * 4);
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
            std::uint8_t* p = &image[(y * w + x) * 4];
            p[0] = std::uint8_t(7 * x + 2 * y), p[1] = std::uint8_t(3 * x + 9 * y), p[2] = std::uint8_t(5 * x + 5 * y);
            p[3] = std::uint8_t(x * y);
        }
    }
    for (std::uint32_t format : {format_dxt1, format_dxt3, format_dxt5}) {
        const auto blocks = test::encode_dxt(image.data(), w, h, format);
        const auto decoded = decode(blocks, w, h, format);
        for (std::uint32_t by = 0; by < h; by += 4) {
            for (std::uint32_t bx = 0; bx < w; bx += 4) {
                int lo[4] = {255, 255, 255, 255}, hi[4] = {0, 0, 0, 0};
                for (std::uint32_t y = by; y < std::min(by + 4, h); ++y)
                    for (std::uint32_t x = bx; x < std::min(bx + 4, w); ++x)
                        for (int c = 0; c < 4; ++c)
                            lo[c] = std::min<int>(lo[c], image[(y * w + x) * 4 + c]), hi[c] = std::max<int>(hi[c], image[(y * w + x) * 4 + c]);
                for (std::uint32_t y = by; y < std::min(by + 4, h); ++y) {
                    for (std::uint32_t x = bx; x < std::min(bx + 4, w); ++x) {
                        const std::size_t at = (y * w + x) * 4;
                        const bool transparent = format == format_dxt1 && image[at + 3] < 128;
                        for (int c = 0; c < 3; ++c) {
                            if (transparent) {
                                EXPECT_EQ(decoded[at + c], 0);
                            } else {
                                EXPECT_LE(std::abs(decoded[at + c] - image[at + c]), (hi[c] - lo[c]) / 2 + 6)
                                    << format << " " << x << "," << y << " channel " << c;
                            }
                        }
                        const int alpha_error = std::abs(decoded[at + 3] - image[at + 3]);
                        if (format == format_dxt1) {
                            EXPECT_EQ(decoded[at + 3], transparent ? 0 : 255);
                        } else if (format == format_dxt3) {
                            EXPECT_LE(alpha_error, 8);
                        } else {
                            EXPECT_LE(alpha_error, (hi[3] - lo[3]) / 14 + 1);
                        }
                    }
                }
            }
        }
    }
}

TEST(DxtNames, FormatNameAndMipSize) {
    EXPECT_EQ(format_name(0), "RGB");
    EXPECT_EQ(format_name(4), "DXT1");
    EXPECT_EQ(format_name(6), "DXT5");
    EXPECT_EQ(format_name(9), "BUMPLUMA");
    EXPECT_EQ(format_name(10), "10");
    EXPECT_EQ(format_name(4294967295u), "4294967295");

    TexcacheFile tex;
    tex.mipmaps = {{64, 64, 0}, {6, 10, 0}, {1, 1, 0}, {0, 0, 0}};
    tex.format = format_dxt1;
    EXPECT_EQ(mip_size(tex, 0), 2048u);
    EXPECT_EQ(mip_size(tex, 1), 48u);
    EXPECT_EQ(mip_size(tex, 2), 8u);
    EXPECT_EQ(mip_size(tex, 3), 8u);
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
