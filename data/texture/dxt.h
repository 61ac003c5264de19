// The pixel formats of texture files and decoding of DXT-compressed block data.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/texture/texcache.h"

namespace tarkeep::data {

// Pixel format codes as stored in texture files.
enum PixelFormat : std::uint32_t {
    format_rgb = 0,
    format_rgba = 1,
    format_pal = 2,
    format_pala = 3,
    format_dxt1 = 4,
    format_dxt3 = 5,
    format_dxt5 = 6,
    format_rgb24ni = 7,
    format_bump = 8,
    format_bumpluma = 9,
};

constexpr bool is_dxt_format(std::uint32_t format) {
    return format == format_dxt1 || format == format_dxt3 || format == format_dxt5;
}

// Bytes per 4x4 block: 8 for DXT1, 16 for everything else.
constexpr std::size_t dxt_block_size(std::uint32_t format) { return format == format_dxt1 ? 8 : 16; }

// "RGB", "RGBA", ..., "BUMPLUMA"; unknown codes as decimal text.
std::string format_name(std::uint32_t format);

// Byte size of a mip level's block data, saturating at UINT64_MAX for sides near 2^32;
// `level` must index the mipmap table.
std::uint64_t mip_size(const TexcacheFile& tex, std::size_t level);

// Decodes DXT1/3/5 block data into width * height RGBA pixels. Throws TexError:
// "decode_dxt: not a DXT format", "decode_dxt: block data truncated".
std::vector<std::uint8_t> decode_dxt(const std::uint8_t* blocks, std::size_t byte_count, std::uint32_t width,
                                     std::uint32_t height, std::uint32_t format);

}  // namespace tarkeep::data
