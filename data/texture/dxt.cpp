// DXT1/3/5 block decoding into RGBA pixels, format names and mip level sizes.
#include "data/texture/dxt.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "data/texture/tex_error.h"
#include "io/byte_order.h"

namespace tarkeep::data {
namespace {

using io::load_le16;
using io::load_le32;

inline std::uint64_t load_u64(const std::uint8_t* p) {
    return std::uint64_t(load_le32(p)) | std::uint64_t(load_le32(p + 4)) << 32;
}

// Pixels are assembled as R | G << 8 | B << 16 | A << 24 and stored little-endian.
inline std::uint32_t pack(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    return r | g << 8 | b << 16 | a << 24;
}

inline void store_pixel(std::uint8_t* out, std::uint32_t rgba) {
    out[0] = std::uint8_t(rgba);
    out[1] = std::uint8_t(rgba >> 8);
    out[2] = std::uint8_t(rgba >> 16);
    out[3] = std::uint8_t(rgba >> 24);
}

// Colour part of a block: four palette entries (alpha included) and the 2-bit indices.
void decode_colour(const std::uint8_t* block, bool three_colour_allowed, std::uint32_t tile[16]) {
    const std::uint32_t c0 = load_le16(block);
    const std::uint32_t c1 = load_le16(block + 2);
    const std::uint32_t indices = load_le32(block + 4);
    const std::uint32_t r0 = (c0 >> 11) * 255 / 31, g0 = ((c0 >> 5) & 63) * 255 / 63, b0 = (c0 & 31) * 255 / 31;
    const std::uint32_t r1 = (c1 >> 11) * 255 / 31, g1 = ((c1 >> 5) & 63) * 255 / 63, b1 = (c1 & 31) * 255 / 31;
    std::uint32_t palette[4];
    palette[0] = pack(r0, g0, b0, 255);
    palette[1] = pack(r1, g1, b1, 255);
    if (c0 > c1 || !three_colour_allowed) {
        palette[2] = pack((2 * r0 + r1) / 3, (2 * g0 + g1) / 3, (2 * b0 + b1) / 3, 255);
        palette[3] = pack((r0 + 2 * r1) / 3, (g0 + 2 * g1) / 3, (b0 + 2 * b1) / 3, 255);
    } else {
        palette[2] = pack((r0 + r1) / 2, (g0 + g1) / 2, (b0 + b1) / 2, 255);
        palette[3] = 0;
    }
    for (int i = 0; i < 16; ++i) tile[i] = palette[(indices >> (2 * i)) & 3];
}

// Replaces the alpha byte of each tile pixel.
void apply_alpha(const std::uint8_t alpha[16], std::uint32_t tile[16]) {
    for (int i = 0; i < 16; ++i) tile[i] = (tile[i] & 0x00FFFFFFu) | std::uint32_t(alpha[i]) << 24;
}

void decode_dxt3_alpha(const std::uint8_t* block, std::uint8_t alpha[16]) {
    const std::uint64_t word = load_u64(block);
    for (int i = 0; i < 16; ++i) alpha[i] = std::uint8_t(((word >> (4 * i)) & 15) * 17);
}

void decode_dxt5_alpha(const std::uint8_t* block, std::uint8_t alpha[16]) {
    const std::uint32_t a0 = block[0];
    const std::uint32_t a1 = block[1];
    std::uint8_t palette[8];
    palette[0] = std::uint8_t(a0);
    palette[1] = std::uint8_t(a1);
    if (a0 > a1) {
        for (std::uint32_t k = 1; k <= 6; ++k) palette[k + 1] = std::uint8_t(((7 - k) * a0 + k * a1) / 7);
    } else {
        for (std::uint32_t k = 1; k <= 4; ++k) palette[k + 1] = std::uint8_t(((5 - k) * a0 + k * a1) / 5);
        palette[6] = 0;
        palette[7] = 255;
    }
    const std::uint64_t indices = load_u64(block + 2) & 0xFFFFFFFFFFFFull;
    for (int i = 0; i < 16; ++i) alpha[i] = palette[(indices >> (3 * i)) & 7];
}

void decode_block(const std::uint8_t* block, std::uint32_t format, std::uint32_t tile[16]) {
    if (format == format_dxt1) {
        decode_colour(block, true, tile);
        return;
    }
    std::uint8_t alpha[16];
    if (format == format_dxt3) {
        decode_dxt3_alpha(block, alpha);
    } else {
        decode_dxt5_alpha(block, alpha);
    }
    decode_colour(block + 8, false, tile);
    apply_alpha(alpha, tile);
}

// Copies the part of a decoded tile that lies inside the image.
void copy_tile(const std::uint32_t tile[16], std::uint8_t* out, std::size_t row_bytes, std::uint32_t columns,
               std::uint32_t rows) {
    // A full-width tile row is one 16-byte copy where the host byte order matches `pack`.
    if (columns == 4 && std::endian::native == std::endian::little) {
        for (std::uint32_t row = 0; row < rows; ++row) std::memcpy(out + row * row_bytes, tile + 4 * row, 16);
        return;
    }
    for (std::uint32_t row = 0; row < rows; ++row) {
        for (std::uint32_t column = 0; column < columns; ++column) {
            store_pixel(out + row * row_bytes + 4 * column, tile[4 * row + column]);
        }
    }
}

}  // namespace

std::string format_name(std::uint32_t format) {
    static const char* const names[] = {"RGB",  "RGBA", "PAL",     "PALA", "DXT1",
                                        "DXT3", "DXT5", "RGB24NI", "BUMP", "BUMPLUMA"};
    if (format < std::size(names)) return names[format];
    return std::to_string(format);
}

std::uint64_t mip_size(const TexcacheFile& tex, std::size_t level) {
    const MipLevel& mip = tex.mipmaps.at(level);
    const std::uint64_t across = std::max<std::uint64_t>(1, (std::uint64_t(mip.width) + 3) / 4);
    const std::uint64_t down = std::max<std::uint64_t>(1, (std::uint64_t(mip.height) + 3) / 4);
    const std::uint64_t blocks = across * down;  // at most 2^60
    const std::uint64_t block_size = dxt_block_size(tex.format);
    if (blocks > UINT64_MAX / block_size) return UINT64_MAX;
    return blocks * block_size;
}

std::vector<std::uint8_t> decode_dxt(const std::uint8_t* blocks, std::size_t byte_count, std::uint32_t width,
                                     std::uint32_t height, std::uint32_t format) {
    if (!is_dxt_format(format)) throw TexError("decode_dxt: not a DXT format");
    const std::size_t block_size = dxt_block_size(format);
    const std::uint64_t across = std::max<std::uint64_t>(1, (std::uint64_t(width) + 3) / 4);
    const std::uint64_t down = std::max<std::uint64_t>(1, (std::uint64_t(height) + 3) / 4);
    // Compared by division: across * down * block_size may not fit in 64 bits.
    if (across * down > byte_count / block_size) throw TexError("decode_dxt: block data truncated");

    const std::size_t row_bytes = std::size_t(width) * 4;
    std::vector<std::uint8_t> out(row_bytes * height);
    if (out.empty()) return out;
    std::uint32_t tile[16];
    const std::uint8_t* block = blocks;
    for (std::uint64_t by = 0; by < down; ++by) {
        const std::uint32_t y = std::uint32_t(by * 4);
        const std::uint32_t rows = std::min<std::uint32_t>(4, height - y);
        std::uint8_t* out_row = out.data() + y * row_bytes;
        for (std::uint64_t bx = 0; bx < across; ++bx, block += block_size) {
            const std::uint32_t x = std::uint32_t(bx * 4);
            const std::uint32_t columns = std::min<std::uint32_t>(4, width - x);
            decode_block(block, format, tile);
            copy_tile(tile, out_row + std::size_t(x) * 4, row_bytes, columns, rows);
        }
    }
    return out;
}

}  // namespace tarkeep::data
