// PNG reader on hostile input. The first byte picks how the rest is used:
//   0: the whole file as given;
//   1: a chunk stream after the signature, every chunk CRC made right so that the
//      chunk contents are what gets explored;
//   2: width, height (one byte each) and filtered rows, wrapped in a correct file with
//      stored deflate blocks; a decoded image must survive our own writer (both modes)
//      unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "data/gltf_error.h"
#include "image/png.h"
#include "io/byte_order.h"
#include "io/checksum.h"
#include "io/zip_error.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace tarkeep;

const Bytes signature(std::begin(image::kPngSignature), std::end(image::kPngSignature));
using image::append_png_chunk;
using io::append_be32;

Bytes with_fixed_crcs(const std::uint8_t* data, std::size_t size) {
    Bytes file = signature;
    file.insert(file.end(), data, data + size);
    for (std::size_t p = 8; p + 12 <= file.size();) {
        const std::uint64_t n = std::uint64_t(file[p]) << 24 | file[p + 1] << 16 | file[p + 2] << 8 | file[p + 3];
        if (p + n + 12 > file.size()) break;
        const std::uint32_t crc = io::crc32({file.data() + p + 4, std::size_t(n) + 4});
        for (int i = 0; i < 4; ++i) file[p + 8 + n + i] = std::uint8_t(crc >> (24 - 8 * i));
        p += n + 12;
    }
    return file;
}

Bytes from_rows(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return {};
    const std::uint32_t w = data[0] % 64, h = data[1] % 64;
    const std::size_t needed = std::size_t(h) * (4 * w + 1);
    Bytes rows(data + 2, data + 2 + std::min(size - 2, needed));
    rows.resize(needed, 0);
    Bytes zlib = {0x78, 0x01};
    std::size_t offset = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, rows.size() - offset);
        zlib.push_back(offset + n == rows.size() ? 1 : 0);
        zlib.insert(zlib.end(), {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n), std::uint8_t(~n >> 8)});
        zlib.insert(zlib.end(), rows.begin() + std::ptrdiff_t(offset), rows.begin() + std::ptrdiff_t(offset + n));
        offset += n;
    } while (offset < rows.size());
    append_be32(zlib, io::adler32(rows));
    Bytes header;
    append_be32(header, w);
    append_be32(header, h);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    Bytes file = signature;
    append_png_chunk(file, "IHDR", header);
    append_png_chunk(file, "IDAT", zlib);
    append_png_chunk(file, "IEND", {});
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int mode = data[0] % 3;
    Bytes file;
    if (mode == 0) file.assign(data + 1, data + size);
    if (mode == 1) file = with_fixed_crcs(data + 1, size - 1);
    if (mode == 2) file = from_rows(data + 1, size - 1);
    try {
        const data::RgbaImage image = image::decode_png(file);
        if (image.pixels.size() != std::size_t(image.width) * image.height * 4) std::abort();
        if (mode == 2) {
            for (bool compress : {true, false}) {
                if (image::decode_png(image::encode_png(image, compress)).pixels != image.pixels) std::abort();
            }
        }
    } catch (const image::PngError&) {
    } catch (const io::ZipError&) {}
    return 0;
}
