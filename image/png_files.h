// PNG files: read and decoded, or encoded and written with the atomic write.
#pragma once
#include <filesystem>

#include "image/rgba_image.h"

namespace tarkeep::image {

// Reads and decodes a PNG file; "cannot read <path>" when it cannot be read.
RgbaImage read_png_file(const std::filesystem::path& path);

// True when the file ends with the IEND chunk that a PNG writer writes last: a file another
// program is still writing does not, yet. A missing file is not complete.
bool png_file_complete(const std::filesystem::path& path);

// Encodes (compressed or stored) and writes atomically.
void write_png_file(const std::filesystem::path& path, const RgbaImage& image, bool compress);

}  // namespace tarkeep::image
