// Files of the pipelines: the atomic write every cache file goes through, and PNG files.
#pragma once
#include <cstdint>
#include <filesystem>
#include <span>

#include "image/rgba_image.h"

namespace tarkeep::image {

// What the atomic write appends to a file's name while writing it.
inline constexpr char kTemporarySuffix[] = ".tmp";

// Writes `bytes` to <path>.tmp, flushes it to the device and renames it over `path`, so a
// reader sees the old complete file or the new one. Throws std::runtime_error ("cannot
// write <tmp>", "write failed: <tmp>") or the file-system error of "rename"; on every
// failure `path` is left as it was.
void write_file_atomic(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// A run killed while writing leaves "<name>.tmp" files behind; they are never read, and
// this removes them from `folder` (not its subfolders). Errors are ignored.
void remove_stale_temporaries(const std::filesystem::path& folder);

// Reads and decodes a PNG file; "cannot read <path>" when it cannot be opened.
RgbaImage read_png_file(const std::filesystem::path& path);

// Encodes (compressed or stored) and writes atomically.
void write_png_file(const std::filesystem::path& path, const RgbaImage& image, bool compress);

}  // namespace tarkeep::image
