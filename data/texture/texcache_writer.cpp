// Writing texture cache files from their fields, and DXT texture files from RGBA images.
#include "data/texture/texcache_writer.h"

#include <cstring>

#include "data/texture/dxt_encoder.h"
#include "data/texture/tex_error.h"
#include "data/texture/texcache.h"
#include "image/mip_chain.h"
#include "io/byte_order.h"

namespace tarkeep::data {

using io::append_le32;

namespace {

void put_text(std::vector<std::uint8_t>& out, const char* text) {
    out.insert(out.end(), text, text + std::strlen(text));
}

}  // namespace

std::vector<std::uint8_t> write_texcache(const TexcacheFields& f) {
    std::vector<std::uint8_t> out;
    put_text(out, "Gamebryo File Format, Version 10.1.0.0\n");
    append_le32(out, 0x0A010000);  // version
    append_le32(out, 0);           // user version
    append_le32(out, 1);           // blocks
    out.push_back(1);              // block types (16-bit)
    out.push_back(0);
    append_le32(out, 11);
    put_text(out, "NiPixelData");
    out.push_back(0);  // type index of block 0 (16-bit)
    out.push_back(0);
    append_le32(out, 0);  // header list count
    append_le32(out, 0);  // block separator
    append_le32(out, f.format);
    for (std::uint32_t mask : f.masks) append_le32(out, mask);
    append_le32(out, f.bits_per_pixel);
    for (int i = 0; i < 8; ++i) out.push_back(0);  // fast-compare bytes
    append_le32(out, 0);                           // tiling
    append_le32(out, std::uint32_t(f.palette));
    append_le32(out, std::uint32_t(f.mipmaps.size()));
    append_le32(out, f.bytes_per_pixel);
    for (const TexcacheMipEntry& mip : f.mipmaps) {
        append_le32(out, mip.width);
        append_le32(out, mip.height);
        append_le32(out, mip.offset);
    }
    append_le32(out, f.num_pixels);
    out.insert(out.end(), f.pixels.begin(), f.pixels.end());
    out.insert(out.end(), f.footer.begin(), f.footer.end());
    return out;
}

TexcacheFields texcache_fields(std::uint32_t format, const std::vector<TexcacheLevel>& levels) {
    TexcacheFields f;
    f.format = format;
    f.bits_per_pixel = format == 4 ? 4 : 8;
    for (const TexcacheLevel& level : levels) {
        f.mipmaps.push_back({level.width, level.height, std::uint32_t(f.pixels.size())});
        f.pixels.insert(f.pixels.end(), level.data.begin(), level.data.end());
    }
    f.num_pixels = std::uint32_t(f.pixels.size());
    return f;
}

std::vector<std::uint8_t> texcache_with_levels(std::span<const std::uint8_t> original,
                                               const std::vector<TexcacheLevel>& levels) {
    const TexcacheFile parsed = read_texcache(original);
    constexpr std::size_t kMipCountAt = 118, kBytesPerPixelAt = 122, kTableAt = 126;
    std::vector<std::uint8_t> out(original.begin(), original.begin() + kMipCountAt);
    append_le32(out, std::uint32_t(levels.size()));
    out.insert(out.end(), original.begin() + kBytesPerPixelAt, original.begin() + kTableAt);
    std::uint64_t offset = 0;
    for (const TexcacheLevel& level : levels) {
        append_le32(out, level.width);
        append_le32(out, level.height);
        append_le32(out, std::uint32_t(offset));
        offset += level.data.size();
    }
    if (offset > 0xFFFFFFFFu) throw TexError("texture too large for a texture file");
    append_le32(out, std::uint32_t(offset));
    for (const TexcacheLevel& level : levels) out.insert(out.end(), level.data.begin(), level.data.end());
    const std::size_t footer = parsed.pixels_offset + parsed.num_pixels;
    out.insert(out.end(), original.begin() + std::ptrdiff_t(footer), original.end());
    return out;
}

std::vector<std::uint8_t> texcache_with_pixels(std::span<const std::uint8_t> original,
                                               std::span<const std::uint8_t> pixels) {
    const TexcacheFile parsed = read_texcache(original);
    if (pixels.size() > 0xFFFFFFFFu) throw TexError("texture too large for a texture file");
    std::vector<std::uint8_t> out(original.begin(), original.begin() + std::ptrdiff_t(parsed.pixels_offset - 4));
    append_le32(out, std::uint32_t(pixels.size()));
    out.insert(out.end(), pixels.begin(), pixels.end());
    const std::size_t footer = parsed.pixels_offset + parsed.num_pixels;
    out.insert(out.end(), original.begin() + std::ptrdiff_t(footer), original.end());
    return out;
}

std::vector<TexcacheLevel> dxt_levels(const std::vector<std::uint8_t>& rgba, std::uint32_t width, std::uint32_t height,
                                      std::uint32_t format, bool with_mips) {
    std::vector<TexcacheLevel> levels;
    image::RgbaImage level{width, height, rgba};
    for (;;) {
        levels.push_back({level.width, level.height,
                          encode_dxt(level.pixels.data(), level.width, level.height, format, {DxtQuality::fast})});
        if (!with_mips || (level.width <= 1 && level.height <= 1)) break;
        level = image::halve_for_mip(level, image::MipAverage::plain);
    }
    return levels;
}

std::vector<std::uint8_t> dxt_texcache(const std::vector<std::uint8_t>& rgba, std::uint32_t width, std::uint32_t height,
                                       std::uint32_t format, bool with_mips) {
    return write_texcache(texcache_fields(format, dxt_levels(rgba, width, height, format, with_mips)));
}

}  // namespace tarkeep::data
