#pragma once
#include <cstdint>
#include <filesystem>
#include <span>

#include "image/rgba_image.h"

namespace tarkeep::image {

// Writes `bytes` to <path>.tmp, flushes it to the device and renames it over `path`, so a
// reader sees the old complete file or the new one. Throws std::runtime_error ("cannot
// write <tmp>", "write failed: <tmp>") or the file-system error of "rename"; on every
// failure `path` is left as it was.
void write_file_atomic(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// Reads and decodes a PNG file; "cannot read <path>" when it cannot be opened.
RgbaImage read_png_file(const std::filesystem::path& path);

// Encodes (compressed or stored) and writes atomically.
void write_png_file(const std::filesystem::path& path, const RgbaImage& image, bool compress);

}  // namespace tarkeep::image
