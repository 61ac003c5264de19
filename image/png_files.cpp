// PNG file reads and writes through the platform's whole-file helpers.
#include "image/png_files.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "image/png.h"
#include "platform/file_bytes.h"

namespace tarkeep::image {

RgbaImage read_png_file(const std::filesystem::path& path) { return decode_png(platform::read_file(path)); }

bool png_file_complete(const std::filesystem::path& path) {
    // Length 0, "IEND", and the CRC of "IEND".
    static constexpr std::uint8_t kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    const std::vector<std::uint8_t> tail = platform::read_file_tail(path, sizeof kIend);
    return tail.size() == sizeof kIend && std::equal(tail.begin(), tail.end(), kIend);
}

void write_png_file(const std::filesystem::path& path, const RgbaImage& image, bool compress) {
    platform::write_file_atomic(path, encode_png(image, compress));
}

}  // namespace tarkeep::image
