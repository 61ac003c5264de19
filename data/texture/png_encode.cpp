#include <cstring>

#include "data/texture/deflate.h"
#include "data/texture/png.h"
#include "io/checksum.h"

namespace tarkeep::data {
namespace {

constexpr std::uint8_t png_signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t max_stored_block = 65535;

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

void put_chunk(std::vector<std::uint8_t>& out, const char type[4], std::span<const std::uint8_t> data) {
    put_be32(out, std::uint32_t(data.size()));
    const std::size_t type_at = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put_be32(out, io::crc32({out.data() + type_at, data.size() + 4}));
}

// Each row: filter byte 0, then the row's pixels.
std::vector<std::uint8_t> filtered_rows(std::uint32_t width, std::uint32_t height, const std::uint8_t* pixels) {
    const std::size_t stride = std::size_t(width) * 4;
    std::vector<std::uint8_t> rows((stride + 1) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* row = rows.data() + y * (stride + 1);
        row[0] = 0;
        if (stride != 0) std::memcpy(row + 1, pixels + y * stride, stride);
    }
    return rows;
}

void append_stored_blocks(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> data) {
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min(max_stored_block, data.size() - offset);
        const bool last = offset + length == data.size();
        out.push_back(last ? 1 : 0);
        out.push_back(std::uint8_t(length));
        out.push_back(std::uint8_t(length >> 8));
        out.push_back(std::uint8_t(~length));
        out.push_back(std::uint8_t(~length >> 8));
        out.insert(out.end(), data.begin() + std::ptrdiff_t(offset), data.begin() + std::ptrdiff_t(offset + length));
        offset += length;
    } while (offset < data.size());
}

std::vector<std::uint8_t> zlib_stream(std::span<const std::uint8_t> data, bool compress) {
    std::vector<std::uint8_t> stream{0x78, std::uint8_t(compress ? 0x9C : 0x01)};
    if (compress) {
        const std::vector<std::uint8_t> deflated = deflate_compress(data);
        stream.insert(stream.end(), deflated.begin(), deflated.end());
    } else {
        stream.reserve(data.size() + data.size() / max_stored_block * 5 + 16);
        append_stored_blocks(stream, data);
    }
    put_be32(stream, io::adler32(data));
    return stream;
}

}  // namespace

std::vector<std::uint8_t> encode_png(std::uint32_t width, std::uint32_t height, const std::uint8_t* pixels,
                                     bool compress) {
    const std::vector<std::uint8_t> zlib = zlib_stream(filtered_rows(width, height, pixels), compress);
    std::vector<std::uint8_t> header;
    put_be32(header, width);
    put_be32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});

    std::vector<std::uint8_t> file(png_signature, png_signature + 8);
    file.reserve(zlib.size() + 8 + 25 + 12 + 12);
    put_chunk(file, "IHDR", header);
    put_chunk(file, "IDAT", zlib);
    put_chunk(file, "IEND", {});
    return file;
}

std::vector<std::uint8_t> encode_png(const RgbaImage& image, bool compress) {
    return encode_png(image.width, image.height, image.pixels.data(), compress);
}

}  // namespace tarkeep::data
