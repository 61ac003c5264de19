// Texture files to RGBA: uncompressed masks, DXT mip 0, failures and bounds of each decoding call.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "data/texture/dxt.h"
#include "data/texture/texture_image.h"
#include "data/texture/tex_error.h"
#include "tests/data/error_text.h"
#include "data/texture/dxt_encoder.h"
#include "data/texture/texcache_writer.h"
#include "tests/support/naive_dxt.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;
using data::TexcacheFields;
using data::write_texcache;
using test::error_text;

std::string rgba_error(const TexcacheFields& fields) {
    return error_text<TexError>([&] { texture_to_rgba(write_texcache(fields)); });
}

TexcacheFields uncompressed(std::uint32_t format, std::uint32_t bytes_per_pixel, std::array<std::uint32_t, 4> masks,
                            std::uint32_t w, Bytes pixels) {
    const auto size = std::uint32_t(pixels.size());
    return {format, {masks[0], masks[1], masks[2], masks[3]}, 0, -1, bytes_per_pixel, {{w, 1, 0}}, size, pixels};
}

TEST(TextureToRgba, UncompressedMasksAndFailures) {
    const Bytes bytes = {1, 2, 3, 4, 250, 251, 252, 253};
    const std::tuple<const char*, TexcacheFields, Bytes> cases[] = {
        {"RGBA", uncompressed(format_rgba, 4, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 2, bytes), bytes},
        {"no alpha mask",
         uncompressed(format_rgb, 4, {0xFF, 0xFF00, 0xFF0000, 0}, 2, bytes),
         {1, 2, 3, 255, 250, 251, 252, 255}},
        {"BGR, 3 bytes a pixel",
         uncompressed(format_rgb, 3, {0xFF0000, 0xFF00, 0xFF, 0}, 2, {10, 20, 30, 40, 50, 60}),
         {30, 20, 10, 255, 60, 50, 40, 255}},
        // 0xFFFF is white, 0x0800 red 8, 0x0020 green 4: channel scaling truncates.
        {"RGB565",
         uncompressed(format_rgb, 2, {0xF800, 0x07E0, 0x001F, 0}, 3, {0xFF, 0xFF, 0x00, 0x08, 0x20, 0x00}),
         {255, 255, 255, 255, 8, 0, 0, 255, 0, 4, 0, 255}},
        {"bytes_per_pixel 0 reads one byte a pixel",
         uncompressed(format_rgb, 0, {0xFF, 0xFF, 0xFF, 0x0F}, 2, {0x37, 0x0A}),
         {0x37, 0x37, 0x37, 119, 0x0A, 0x0A, 0x0A, 170}},
        // Mask 0b1001: two bits, so a range of 3, but the shifted value reaches 9 (and 8): clamped.
        {"gapped mask",
         uncompressed(format_rgba, 1, {0x9, 0x9, 0x9, 0x9}, 3, {0x09, 0x01, 0x08}),
         {255, 255, 255, 255, 85, 85, 85, 85, 255, 255, 255, 255}},
        {"full 32-bit mask",
         uncompressed(format_rgba, 4, {0xFFFFFFFF, 0, 0, 0}, 1, {0xFF, 0xFF, 0xFF, 0x7F}),
         {127, 0, 0, 255}}};
    for (const auto& [name, fields, expected] : cases)
        EXPECT_EQ(texture_to_rgba(write_texcache(fields)).pixels, expected) << name;
    // Seven bytes and no footer: levels past the data, also by wrapping sizes, and formats it does not decode.
    const std::tuple<std::uint32_t, std::uint32_t, TexcacheMipEntry, const char*> failures[] = {
        {format_rgba, 4, {2, 1, 0}, "truncated mip 0"},
        {format_rgba, 0xFFFFFFFF, {0xFFFFFFFF, 0xFFFFFFFF, 0}, "truncated mip 0"},  // b * w * h overflows 64 bits
        {format_rgba, 0xFFFFFFFF, {641, 6700417, 0}, "truncated mip 0"},  // b * w * h = 2^64 - 1: the start wraps
        {format_rgba, 1, {1, 1, 0xFFFFFFFF}, "truncated mip 0"},
        {format_pal, 1, {1, 1, 0}, "unsupported pixel format PAL"},
        {12, 1, {1, 1, 0}, "unsupported pixel format 12"}};
    for (const auto& [format, bytes_per_pixel, level, message] : failures) {
        auto fields = uncompressed(format, bytes_per_pixel, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 2, Bytes(7));
        std::tie(fields.footer, fields.mipmaps) = std::tuple(Bytes(), std::vector{level});
        EXPECT_EQ(rgba_error(fields), message) << level.width;
    }
}

// 8x8 image: left half opaque grey, right half transparent.
Bytes half_transparent() {
    Bytes image;
    for (std::size_t i = 0; i < 64; ++i) {
        const std::uint8_t grey = i % 8 < 4 ? 128 : 200, alpha = i % 8 < 4 ? 255 : 0;
        image.insert(image.end(), {grey, grey, grey, alpha});
    }
    return image;
}

// What texture_to_rgba, texture_to_rgb_opaque and texture_mip0 say about one file.
std::vector<std::string> errors(const TexcacheFields& fields) {
    const Bytes file = write_texcache(fields);
    return {error_text<TexError>([&] { texture_to_rgba(file); }),
            error_text<TexError>([&] { texture_to_rgb_opaque(file); }),
            error_text<TexError>([&] { texture_mip0(file); })};
}

TEST(TextureToRgba, DxtMip0BoundsAndKinds) {
    // Mip 0 of a DXT1 chain against the per-pixel decoder; the opaque form sets alpha to 255.
    const auto fields =
        data::texcache_fields(format_dxt1, data::dxt_levels(half_transparent(), 8, 8, format_dxt1, true));
    const Bytes file = write_texcache(fields),
                decoded = test::naive_decode_dxt(fields.pixels.data(), 8, 8, format_dxt1);
    const RgbaImage image = texture_to_rgba(file);
    EXPECT_EQ(std::tuple(image.width, image.height, image.pixels, texture_mip0(file).pixels),
              std::tuple(8u, 8u, decoded, decoded));
    Bytes opaque = decoded;
    for (std::size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;
    EXPECT_EQ(texture_to_rgb_opaque(file).pixels, opaque);
    // Mip 0 of DXT5 alone: the bounds each call checks, and the kinds it accepts.
    auto dxt5 = data::texcache_fields(format_dxt5, data::dxt_levels(half_transparent(), 8, 8, format_dxt5, false));
    dxt5.footer.clear();
    const auto cut = [](TexcacheFields& f) { f.pixels.pop_back(), f.num_pixels -= 1; };
    const std::string ok = "no error", truncated = "truncated mip 0", blocks = "decode_dxt: block data truncated";
    const std::pair<std::function<void(TexcacheFields&)>, std::vector<std::string>> cases[] = {
        {[](TexcacheFields&) {}, {ok, ok, ok}},
        {cut, {truncated, truncated, blocks}},
        // Bytes after the pixel data are not block data for texture_mip0.
        {[&](TexcacheFields& f) { cut(f), f.footer = Bytes(64, 0); }, {ok, ok, blocks}},
        // An offset past the pixel data: clamped by texture_mip0, caught by the others.
        {[](TexcacheFields& f) { f.mipmaps[0].offset = 0xFFFFFFF0; }, {truncated, truncated, blocks}},
        // Sides near 2^32: the level's byte size does not fit in 64 bits.
        {[](TexcacheFields& f) { f.mipmaps[0].width = f.mipmaps[0].height = 0xFFFFFFFF; },
         {truncated, truncated, blocks}},
        {[](TexcacheFields& f) { f.format = format_rgba; },
         {ok, "not a DXT texture", "not a DXT texture with mip levels"}},
        {[](TexcacheFields& f) { f.mipmaps.clear(); },
         {"no mip data", "not a DXT texture", "not a DXT texture with mip levels"}}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        auto fields = dxt5;
        cases[i].first(fields);
        EXPECT_EQ(errors(fields), cases[i].second) << "case " << i;
    }
}

}  // namespace
}  // namespace tarkeep::data
