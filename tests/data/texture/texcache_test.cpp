// The texture file reader: every field, and short, damaged or hostile files failing cleanly.
#include <gtest/gtest.h>

#include <tuple>

#include "data/texture/texcache.h"
#include "data/texture/tex_error.h"
#include "tests/data/error_text.h"
#include "data/texture/texcache_writer.h"

namespace tarkeep::data {
namespace {

using Bytes = std::vector<std::uint8_t>;
using data::write_texcache;

std::string error_of(const Bytes& file) {
    return test::error_text<TexError>([&] { read_texcache(file); });
}

// Distinct fields; of bits_per_pixel (0x0108) only the low byte counts.
data::TexcacheFields two_level_fields() {
    return {6, {0x11, 0, 0, 0x44000000}, 0x0108, 7, 3, {{8, 4, 0}, {4, 2, 32}}, 48, Bytes(48, 0xAB)};
}

constexpr std::size_t pixels_offset = 130 + 24;  // for two levels

TEST(ReadTexcache, EveryFieldAndShortDamagedOrHostileFiles) {
    const auto whole = write_texcache(two_level_fields());
    const TexcacheFile tex = read_texcache(whole);
    EXPECT_EQ(std::tuple(tex.format, tex.masks[0], tex.masks[3], tex.bits_per_pixel, tex.palette, tex.bytes_per_pixel,
                         tex.num_pixels, tex.faces, tex.pixels_offset, tex.trailing),  // the footer is trailing
              std::tuple(6u, 0x11u, 0x44000000u, 8, 7, 3u, 48u, 1u, pixels_offset, 8u));
    ASSERT_EQ(tex.mipmaps.size(), 2u);
    EXPECT_EQ(std::tuple(tex.mipmaps[1].width, tex.mipmaps[1].height, tex.mipmaps[1].offset), std::tuple(4u, 2u, 32u));
    for (std::size_t size = 0; size < pixels_offset + 48; ++size) {
        const std::string expected = size < 99              ? "not a single-NiPixelData NIF 10.1.0.0"
                                     : size < pixels_offset ? "texcache: read past end"  // from the palette on
                                                            : "size mismatch";
        EXPECT_EQ(error_of({whole.begin(), whole.begin() + std::ptrdiff_t(size)}), expected) << size;
    }
    EXPECT_EQ(read_texcache(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(pixels_offset + 48))).trailing, 0u);

    for (std::size_t at : {0u, 38u, 57u, 67u}) {
        auto damaged = whole;
        damaged[at] ^= 0x20;
        EXPECT_EQ(error_of(damaged), "not a single-NiPixelData NIF 10.1.0.0") << at;
    }
    auto other_version = whole;
    other_version[39] = 0x05;  // only the header text is checked
    EXPECT_EQ(error_of(other_version), "no error");
    // A mipmap count whose table cannot fit: rejected before anything is allocated for it.
    auto hostile = whole;
    for (std::uint32_t count : {7u, 1000u, 0x15555555u, 0xFFFFFFFFu}) {
        for (int i = 0; i < 4; ++i) hostile[118 + i] = std::uint8_t(count >> (8 * i));
        EXPECT_EQ(error_of(hostile), "texcache: read past end") << count;
    }
    auto f = two_level_fields();
    f.footer.clear();
    for (std::uint32_t num_pixels : {49u, 0xFFFFFFFFu}) {
        f.num_pixels = num_pixels;
        EXPECT_EQ(error_of(write_texcache(f)), "size mismatch") << num_pixels;
    }
}

}  // namespace
}  // namespace tarkeep::data
