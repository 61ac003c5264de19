// Decoding mip 0 of texture files, DXT or uncompressed, optionally patched, into RGBA images.
#include "data/texture/texture_image.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "data/texture/dxt.h"
#include "data/texture/pcpatch.h"
#include "data/texture/tex_error.h"
#include "data/texture/texcache.h"
#include "image/pixel_channels.h"

namespace tarkeep::data {
namespace {

// a * b, or nullopt when it does not fit in 64 bits.
std::optional<std::uint64_t> checked_mul(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a) return std::nullopt;
    return a * b;
}

RgbaImage decode_dxt_mip0(std::span<const std::uint8_t> file, const TexcacheFile& tex) {
    const MipLevel& mip = tex.mipmaps[0];
    const std::uint64_t start = tex.pixels_offset + std::uint64_t(mip.offset);
    const std::uint64_t size = mip_size(tex, 0);
    if (start > file.size() || size > file.size() - start) throw TexError("truncated mip 0");
    RgbaImage image{mip.width, mip.height, {}};
    image.pixels = decode_dxt(file.data() + start, file.size() - start, mip.width, mip.height, tex.format);
    return image;
}

// One channel of a packed pixel word, scaled to 0..255. A mask with gaps can yield
// values above its 2^k - 1 range; those are clamped.
struct ChannelMask {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t range = 1;

    explicit ChannelMask(std::uint32_t m) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        const int bits = std::popcount(m);
        range = std::max<std::uint64_t>((std::uint64_t(1) << bits) - 1, 1);
    }

    std::uint8_t value(std::uint32_t word, std::uint8_t when_absent) const {
        if (mask == 0) return when_absent;
        const std::uint64_t scaled = std::uint64_t((word & mask) >> shift) * 255 / range;
        return std::uint8_t(std::min<std::uint64_t>(scaled, 255));
    }
};

RgbaImage decode_uncompressed_mip0(std::span<const std::uint8_t> file, const TexcacheFile& tex) {
    const MipLevel& mip = tex.mipmaps[0];
    const std::uint64_t step = tex.bytes_per_pixel == 0 ? 1 : tex.bytes_per_pixel;
    const std::uint64_t start = tex.pixels_offset + std::uint64_t(mip.offset);
    const std::uint64_t pixel_count = std::uint64_t(mip.width) * mip.height;
    const auto data_bytes = checked_mul(step, pixel_count);
    if (!data_bytes || start > file.size() || *data_bytes > file.size() - start) throw TexError("truncated mip 0");

    const ChannelMask red(tex.masks[0]), green(tex.masks[1]), blue(tex.masks[2]), alpha(tex.masks[3]);
    const std::size_t word_bytes = std::size_t(std::min<std::uint64_t>(step, 4));
    RgbaImage image{mip.width, mip.height, std::vector<std::uint8_t>(pixel_count * 4)};
    const std::uint8_t* in = file.data() + start;
    std::uint8_t* out = image.pixels.data();
    for (std::uint64_t n = 0; n < pixel_count; ++n, in += step, out += 4) {
        std::uint32_t word = 0;
        for (std::size_t i = 0; i < word_bytes; ++i) word |= std::uint32_t(in[i]) << (8 * i);
        out[0] = red.value(word, 0);
        out[1] = green.value(word, 0);
        out[2] = blue.value(word, 0);
        out[3] = alpha.value(word, 255);
    }
    return image;
}

}  // namespace

RgbaImage texture_to_rgba(std::span<const std::uint8_t> file) {
    const TexcacheFile tex = read_texcache(file);
    if (tex.mipmaps.empty()) throw TexError("no mip data");
    if (is_dxt_format(tex.format)) return decode_dxt_mip0(file, tex);
    if (tex.format == format_rgb || tex.format == format_rgba) return decode_uncompressed_mip0(file, tex);
    throw TexError("unsupported pixel format " + format_name(tex.format));
}

RgbaImage texture_to_rgb_opaque(std::span<const std::uint8_t> file) {
    const TexcacheFile tex = read_texcache(file);
    if (!is_dxt_format(tex.format) || tex.mipmaps.empty()) throw TexError("not a DXT texture");
    RgbaImage image = decode_dxt_mip0(file, tex);
    image::make_opaque(image);
    return image;
}

RgbaImage texture_mip0(std::span<const std::uint8_t> file, std::optional<std::span<const std::uint8_t>> patch_file) {
    const TexcacheFile tex = read_texcache(file);
    if (!is_dxt_format(tex.format) || tex.mipmaps.empty()) {
        throw TexError("not a DXT texture with mip levels");
    }
    std::vector<std::uint8_t> patched;
    std::span<const std::uint8_t> pixels = file.subspan(tex.pixels_offset, tex.num_pixels);
    if (patch_file) {
        patched = apply_pcpatch(file, *patch_file);
        pixels = patched;
    }
    const MipLevel& mip = tex.mipmaps[0];
    const std::size_t start = std::min<std::size_t>(mip.offset, pixels.size());
    RgbaImage image{mip.width, mip.height, {}};
    image.pixels = decode_dxt(pixels.data() + start, pixels.size() - start, mip.width, mip.height, tex.format);
    return image;
}

}  // namespace tarkeep::data
