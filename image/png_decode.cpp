// PNG reader: chunks, the zlib stream of the IDAT chunks and the five row filters.
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "image/png.h"
#include "image/png_error.h"
#include "image/png_unfilter.h"
#include "io/byte_order.h"
#include "io/checksum.h"
#include "io/zlib_stream.h"

namespace tarkeep::image {
namespace {

struct ChunkWalk {
    bool have_header = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> zlib;
};

void read_header(const std::uint8_t* data, std::uint32_t length, ChunkWalk& walk) {
    if (length < 13) throw PngError("png: short IHDR");
    walk.width = io::load_be32(data);
    walk.height = io::load_be32(data + 4);
    const std::uint8_t bit_depth = data[8], colour_type = data[9], interlace = data[12];
    if (bit_depth != 8 || colour_type != 6 || interlace != 0) {
        throw PngError("png: only 8-bit RGBA without interlace");
    }
    walk.have_header = true;
}

ChunkWalk walk_chunks(std::span<const std::uint8_t> file) {
    ChunkWalk walk;
    std::uint64_t p = 8;
    for (;;) {
        const std::uint32_t length = io::load_be32(file.data() + p);
        if (p + length + 12 > file.size()) throw PngError("png: truncated chunk");
        const std::uint8_t* type = file.data() + p + 4;
        const std::uint8_t* data = type + 4;
        const std::uint32_t stored_crc = io::load_be32(data + length);
        if (io::crc32({type, std::size_t(length) + 4}) != stored_crc) throw PngError("png: chunk CRC mismatch");
        if (std::memcmp(type, "IHDR", 4) == 0) {
            read_header(data, length, walk);
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (walk.zlib.empty()) walk.zlib.reserve(file.size() - p);  // the rest of the file bounds the data
            walk.zlib.insert(walk.zlib.end(), data, data + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            break;
        }
        p += std::uint64_t(length) + 12;
        if (p + 12 > file.size()) break;  // a file without IEND is accepted
    }
    return walk;
}

// Size of the filtered rows, or nullopt when a buffer that large cannot exist. The header
// may claim up to 2^32 - 1 on each side, far beyond 64 bits of filtered data.
std::optional<std::uint64_t> filtered_size(std::uint32_t width, std::uint32_t height) {
    const std::uint64_t row = 4 * std::uint64_t(width) + 1;
    const std::uint64_t limit =
        std::min<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max(), std::numeric_limits<std::size_t>::max());
    if (height != 0 && row > limit / height) return std::nullopt;
    return row * height;
}

}  // namespace

RgbaImage decode_png(std::span<const std::uint8_t> file) {
    if (file.size() < 8 || std::memcmp(file.data(), kPngSignature, 8) != 0) throw PngError("png: bad signature");
    if (file.size() < 20) throw PngError("png: missing header or bad zlib stream");
    const ChunkWalk walk = walk_chunks(file);
    if (!walk.have_header || !io::zlib_header_plausible(walk.zlib)) {
        throw PngError("png: missing header or bad zlib stream");
    }
    const std::optional<std::uint64_t> size = filtered_size(walk.width, walk.height);
    if (!size) throw PngError("png: image too large");
    const std::uint64_t expected = *size;

    io::ZlibPayload payload = io::zlib_unwrap(walk.zlib, std::size_t(expected), std::size_t(expected));
    if (payload.data.size() != expected) throw PngError("png: unexpected image data size");
    if (!payload.checksum_matches) throw PngError("png: adler32 mismatch");
    // The pixels take the inflated buffer over: one image-sized allocation per decode.
    unfilter_rgba_in_place(payload.data.data(), walk.width, walk.height);
    payload.data.resize(std::size_t(walk.width) * walk.height * 4);
    return RgbaImage{walk.width, walk.height, std::move(payload.data)};
}

}  // namespace tarkeep::image
