#include <gtest/gtest.h>

#include "data/texture/tex_error.h"
#include "data/texture/texcache.h"
#include "tests/support/texcache_writer.h"

namespace tarkeep::data {
namespace {

using test::TexcacheFields;
using test::write_texcache;

std::string error_of(const std::vector<std::uint8_t>& file) {
    try {
        read_texcache(file);
    } catch (const TexError& e) {
        return e.what();
    }
    return "no error";
}

TexcacheFields two_level_fields() {
    TexcacheFields f;
    f.format = 6;
    f.masks[0] = 0x11;
    f.masks[3] = 0x44000000;
    f.bits_per_pixel = 0x0108;  // only the low byte counts
    f.palette = 7;
    f.bytes_per_pixel = 3;
    f.mipmaps = {{8, 4, 0}, {4, 2, 32}};
    f.pixels.assign(48, 0xAB);
    f.num_pixels = 48;
    return f;
}

TEST(ReadTexcache, ParsesEveryField) {
    const auto file = write_texcache(two_level_fields());
    const TexcacheFile tex = read_texcache(file);
    EXPECT_EQ(tex.format, 6u);
    EXPECT_EQ(tex.masks[0], 0x11u);
    EXPECT_EQ(tex.masks[3], 0x44000000u);
    EXPECT_EQ(tex.bits_per_pixel, 8);
    EXPECT_EQ(tex.palette, 7);
    EXPECT_EQ(tex.bytes_per_pixel, 3u);
    ASSERT_EQ(tex.mipmaps.size(), 2u);
    EXPECT_EQ(tex.mipmaps[1].width, 4u);
    EXPECT_EQ(tex.mipmaps[1].height, 2u);
    EXPECT_EQ(tex.mipmaps[1].offset, 32u);
    EXPECT_EQ(tex.num_pixels, 48u);
    EXPECT_EQ(tex.pixels_offset, 130u + 24u);
    EXPECT_EQ(tex.trailing, 8u);  // the footer
    EXPECT_EQ(tex.faces, 1u);
    EXPECT_EQ(file[tex.pixels_offset], 0xAB);
}

TEST(ReadTexcache, PrefixChecks) {
    auto file = write_texcache(two_level_fields());
    file.resize(98);
    EXPECT_EQ(error_of(file), "not a single-NiPixelData NIF 10.1.0.0");
    file.resize(99);
    EXPECT_EQ(error_of(file), "texcache: read past end");  // at the palette

    for (std::size_t at : {0u, 38u, 57u, 67u}) {
        auto damaged = write_texcache(two_level_fields());
        damaged[at] ^= 0x20;
        EXPECT_EQ(error_of(damaged), "not a single-NiPixelData NIF 10.1.0.0") << at;
    }
    auto other_version = write_texcache(two_level_fields());
    other_version[39] = 0x05;  // only the header text is checked
    EXPECT_EQ(error_of(other_version), "no error");
}

TEST(ReadTexcache, EveryShortFileFailsCleanly) {
    const auto file = write_texcache(two_level_fields());
    const std::size_t pixels_offset = 130 + 24;
    for (std::size_t size = 99; size < pixels_offset; ++size) {
        EXPECT_EQ(error_of({file.begin(), file.begin() + std::ptrdiff_t(size)}), "texcache: read past end") << size;
    }
    for (std::size_t size = pixels_offset; size < pixels_offset + 48; ++size) {
        EXPECT_EQ(error_of({file.begin(), file.begin() + std::ptrdiff_t(size)}), "size mismatch") << size;
    }
    const std::vector<std::uint8_t> exact(file.begin(), file.begin() + std::ptrdiff_t(pixels_offset + 48));
    EXPECT_EQ(read_texcache(exact).trailing, 0u);
}

TEST(ReadTexcache, HostileCountsAndSizes) {
    // A mipmap count whose table cannot fit: rejected before anything is allocated for it.
    auto f = two_level_fields();
    auto file = write_texcache(f);
    for (std::uint32_t count : {7u, 1000u, 0x15555555u, 0xFFFFFFFFu}) {
        for (int i = 0; i < 4; ++i) file[118 + i] = std::uint8_t(count >> (8 * i));
        EXPECT_EQ(error_of(file), "texcache: read past end") << count;
    }
    f = two_level_fields();
    f.num_pixels = 49;
    f.footer.clear();
    EXPECT_EQ(error_of(write_texcache(f)), "size mismatch");
    f.num_pixels = 0xFFFFFFFF;
    EXPECT_EQ(error_of(write_texcache(f)), "size mismatch");

    // Nothing is range-checked here: no levels, wild offsets and unknown formats pass.
    TexcacheFields empty;
    empty.format = 99;
    const TexcacheFile tex = read_texcache(write_texcache(empty));
    EXPECT_TRUE(tex.mipmaps.empty());
    EXPECT_EQ(tex.format, 99u);
    f = two_level_fields();
    f.mipmaps[0] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(read_texcache(write_texcache(f)).mipmaps[0].offset, 0xFFFFFFFFu);
}

}  // namespace
}  // namespace tarkeep::data
