// PNG writer: one IDAT with unfiltered rows, compressed by our deflate or stored.
#include <cstring>
#include <string>

#include "image/png.h"
#include "image/png_error.h"
#include "io/byte_order.h"
#include "io/checksum.h"
#include "io/zlib_stream.h"

namespace tarkeep::image {
namespace {

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

}  // namespace

std::vector<std::uint8_t> encode_png(std::uint32_t width, std::uint32_t height, const std::uint8_t* pixels,
                                     bool compress) {
    // PNG sides start at 1: a file with a zero side is one that readers refuse.
    if (width == 0 || height == 0) {
        throw PngError("png: cannot write an image with a zero side: " + std::to_string(width) + "x" +
                       std::to_string(height));
    }
    const std::vector<std::uint8_t> zlib = io::zlib_wrap(filtered_rows(width, height, pixels), compress);
    std::vector<std::uint8_t> header;
    io::append_be32(header, width);
    io::append_be32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});

    std::vector<std::uint8_t> file(kPngSignature, kPngSignature + 8);
    file.reserve(zlib.size() + 8 + 25 + 12 + 12);
    append_png_chunk(file, "IHDR", header);
    append_png_chunk(file, "IDAT", zlib);
    append_png_chunk(file, "IEND", {});
    return file;
}

void append_png_chunk(std::vector<std::uint8_t>& out, const char type[4], std::span<const std::uint8_t> data) {
    io::append_be32(out, std::uint32_t(data.size()));
    const std::size_t type_at = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    io::append_be32(out, io::crc32({out.data() + type_at, data.size() + 4}));
}

std::vector<std::uint8_t> encode_png(const RgbaImage& image, bool compress) {
    return encode_png(image.width, image.height, image.pixels.data(), compress);
}

}  // namespace tarkeep::image
