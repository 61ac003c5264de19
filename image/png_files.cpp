// PNG file reads and writes through the platform's whole-file helpers.
#include "image/png_files.h"

#include "image/png.h"
#include "platform/file_bytes.h"

namespace tarkeep::image {

RgbaImage read_png_file(const std::filesystem::path& path) { return decode_png(platform::read_file(path)); }

void write_png_file(const std::filesystem::path& path, const RgbaImage& image, bool compress) {
    platform::write_file_atomic(path, encode_png(image, compress));
}

}  // namespace tarkeep::image
