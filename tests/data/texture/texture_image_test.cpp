#include <gtest/gtest.h>

#include "data/texture/dxt.h"
#include "data/texture/tex_error.h"
#include "data/texture/texture_image.h"
#include "tests/support/dxt_encoder.h"
#include "tests/support/texcache_writer.h"

namespace tarkeep::data {
namespace {

using test::TexcacheFields;
using test::write_texcache;

template <typename Call>
std::string error_of(Call call) {
    try {
        call();
    } catch (const TexError& e) {
        return e.what();
    }
    return "no error";
}

TexcacheFields uncompressed(std::uint32_t format, std::uint32_t bytes_per_pixel, std::array<std::uint32_t, 4> masks,
                            std::uint32_t w, std::uint32_t h, std::vector<std::uint8_t> pixels) {
    TexcacheFields f;
    f.format = format;
    for (int c = 0; c < 4; ++c) f.masks[c] = masks[c];
    f.bytes_per_pixel = bytes_per_pixel;
    f.mipmaps = {{w, h, 0}};
    f.num_pixels = std::uint32_t(pixels.size());
    f.pixels = std::move(pixels);
    return f;
}

TEST(TextureToRgba, UncompressedMasks) {
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 250, 251, 252, 253};
    const auto rgba = write_texcache(uncompressed(format_rgba, 4, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 2, 1, bytes));
    EXPECT_EQ(texture_to_rgba(rgba).pixels, bytes);

    const auto no_alpha = write_texcache(uncompressed(format_rgb, 4, {0xFF, 0xFF00, 0xFF0000, 0}, 2, 1, bytes));
    EXPECT_EQ(texture_to_rgba(no_alpha).pixels, (std::vector<std::uint8_t>{1, 2, 3, 255, 250, 251, 252, 255}));

    // BGR, 3 bytes a pixel.
    const auto bgr = write_texcache(uncompressed(format_rgb, 3, {0xFF0000, 0xFF00, 0xFF, 0}, 2, 1, {10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(texture_to_rgba(bgr).pixels, (std::vector<std::uint8_t>{30, 20, 10, 255, 60, 50, 40, 255}));

    // RGB565 in 2 bytes; 0xFFFF is white, 0x0800 red 8. Channel scaling truncates.
    const auto rgb565 = write_texcache(uncompressed(format_rgb, 2, {0xF800, 0x07E0, 0x001F, 0}, 3, 1, {0xFF, 0xFF, 0x00, 0x08, 0x20, 0x00}));
    EXPECT_EQ(texture_to_rgba(rgb565).pixels, (std::vector<std::uint8_t>{255, 255, 255, 255, 8, 0, 0, 255, 0, 4, 0, 255}));

    // bytes_per_pixel 0 reads one byte a pixel.
    const auto grey = write_texcache(uncompressed(format_rgb, 0, {0xFF, 0xFF, 0xFF, 0x0F}, 2, 1, {0x37, 0x0A}));
    EXPECT_EQ(texture_to_rgba(grey).pixels, (std::vector<std::uint8_t>{0x37, 0x37, 0x37, 119, 0x0A, 0x0A, 0x0A, 170}));
}

TEST(TextureToRgba, GappedMaskIsClamped) {
    // Mask 0b1001: two bits, so a range of 3, but the shifted value reaches 9.
    const auto tex = write_texcache(uncompressed(format_rgba, 1, {0x9, 0x9, 0x9, 0x9}, 3, 1, {0x09, 0x01, 0x08}));
    const auto pixels = texture_to_rgba(tex).pixels;
    EXPECT_EQ(pixels[0], 255);      // (9 * 255) / 3 clamped
    EXPECT_EQ(pixels[4], 85);       // 1 * 255 / 3
    EXPECT_EQ(pixels[8], 255);      // 8 * 255 / 3 clamped
    // A full 32-bit mask.
    const auto wide = write_texcache(uncompressed(format_rgba, 4, {0xFFFFFFFF, 0, 0, 0}, 1, 1, {0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(texture_to_rgba(wide).pixels[0], 127);
}

TEST(TextureToRgba, Failures) {
    auto fields = uncompressed(format_rgba, 4, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 2, 2, std::vector<std::uint8_t>(15));
    fields.footer.clear();
    EXPECT_EQ(error_of([&] { texture_to_rgba(write_texcache(fields)); }), "truncated mip 0");
    fields.mipmaps = {{0xFFFFFFFF, 0xFFFFFFFF, 0}};
    fields.bytes_per_pixel = 0xFFFFFFFF;  // b * w * h overflows 64 bits
    EXPECT_EQ(error_of([&] { texture_to_rgba(write_texcache(fields)); }), "truncated mip 0");
    fields.mipmaps = {{1, 1, 0xFFFFFFFF}};
    fields.bytes_per_pixel = 1;
    EXPECT_EQ(error_of([&] { texture_to_rgba(write_texcache(fields)); }), "truncated mip 0");
    fields.mipmaps.clear();
    EXPECT_EQ(error_of([&] { texture_to_rgba(write_texcache(fields)); }), "no mip data");
    fields.mipmaps = {{1, 1, 0}};
    fields.format = format_pal;
    EXPECT_EQ(error_of([&] { texture_to_rgba(write_texcache(fields)); }), "unsupported pixel format PAL");
    fields.format = 12;
    EXPECT_EQ(error_of([&] { texture_to_rgba(write_texcache(fields)); }), "unsupported pixel format 12");
    EXPECT_EQ(error_of([&] { texture_to_rgba(std::vector<std::uint8_t>(98)); }), "not a single-NiPixelData NIF 10.1.0.0");
}

// 8x8 DXT1 image: left half opaque grey, right half transparent.
std::vector<std::uint8_t> half_transparent() {
    std::vector<std::uint8_t> image(8 * 8 * 4);
    for (std::size_t i = 0; i < 64; ++i) {
        const bool left = i % 8 < 4;
        image[i * 4] = image[i * 4 + 1] = image[i * 4 + 2] = left ? 128 : 200;
        image[i * 4 + 3] = left ? 255 : 0;
    }
    return image;
}

TEST(TextureToRgba, DxtMip0OfAChain) {
    const auto image = half_transparent();
    const auto file = test::dxt_texcache(image, 8, 8, format_dxt1, true);
    const RgbaImage rgba = texture_to_rgba(file);
    ASSERT_EQ(rgba.width, 8u);
    ASSERT_EQ(rgba.height, 8u);
    EXPECT_EQ(rgba.pixels[3], 255);
    EXPECT_EQ(rgba.pixels[4 * 7 + 3], 0);
    EXPECT_EQ(rgba.pixels[4 * 7], 0);

    const RgbaImage opaque = texture_to_rgb_opaque(file);
    for (std::size_t i = 0; i < 64; ++i) {
        EXPECT_EQ(opaque.pixels[4 * i + 3], 255);
        EXPECT_EQ(opaque.pixels[4 * i], rgba.pixels[4 * i]);  // transparent pixels stay black
    }
    EXPECT_EQ(texture_mip0(file).pixels, rgba.pixels);
}

TEST(TextureToRgba, DxtBoundsAndKinds) {
    const auto image = half_transparent();
    auto fields = test::texcache_fields(format_dxt5, test::dxt_levels(image, 8, 8, format_dxt5, false));
    fields.footer.clear();
    auto file = write_texcache(fields);
    EXPECT_EQ(texture_to_rgba(file).width, 8u);

    auto short_fields = fields;
    short_fields.pixels.pop_back();
    short_fields.num_pixels -= 1;
    const auto short_file = write_texcache(short_fields);
    EXPECT_EQ(error_of([&] { texture_to_rgba(short_file); }), "truncated mip 0");
    EXPECT_EQ(error_of([&] { texture_to_rgb_opaque(short_file); }), "truncated mip 0");
    EXPECT_EQ(error_of([&] { texture_mip0(short_file); }), "decode_dxt: block data truncated");

    // Mip 0 offset past the pixel data: clamped by texture_mip0, caught by the others.
    auto far = fields;
    far.mipmaps[0].offset = 0xFFFFFFF0;
    const auto far_file = write_texcache(far);
    EXPECT_EQ(error_of([&] { texture_to_rgba(far_file); }), "truncated mip 0");
    EXPECT_EQ(error_of([&] { texture_mip0(far_file); }), "decode_dxt: block data truncated");

    // Sides near 2^32: the level's byte size does not fit in 64 bits.
    auto huge = fields;
    huge.mipmaps[0] = {0xFFFFFFFF, 0xFFFFFFFF, 0};
    const auto huge_file = write_texcache(huge);
    EXPECT_EQ(error_of([&] { texture_to_rgba(huge_file); }), "truncated mip 0");
    EXPECT_EQ(error_of([&] { texture_to_rgb_opaque(huge_file); }), "truncated mip 0");

    // Trailing bytes after the pixel data are not block data for texture_mip0.
    auto trailing = short_fields;
    trailing.footer = std::vector<std::uint8_t>(64, 0);
    const auto trailing_file = write_texcache(trailing);
    EXPECT_EQ(texture_to_rgba(trailing_file).width, 8u);
    EXPECT_EQ(error_of([&] { texture_mip0(trailing_file); }), "decode_dxt: block data truncated");

    auto rgba_fields = fields;
    rgba_fields.format = format_rgba;
    const auto rgba_file = write_texcache(rgba_fields);
    EXPECT_EQ(error_of([&] { texture_to_rgb_opaque(rgba_file); }), "not a DXT texture");
    EXPECT_EQ(error_of([&] { texture_mip0(rgba_file); }), "not a DXT texture with mip levels");
    auto no_levels = fields;
    no_levels.mipmaps.clear();
    const auto no_levels_file = write_texcache(no_levels);
    EXPECT_EQ(error_of([&] { texture_to_rgb_opaque(no_levels_file); }), "not a DXT texture");
    EXPECT_EQ(error_of([&] { texture_mip0(no_levels_file); }), "not a DXT texture with mip levels");
}

}  // namespace
}  // namespace tarkeep::data
