// The PNG codec: decoding 8-bit RGBA PNGs and encoding images with one IDAT chunk.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "image/rgba_image.h"

namespace tarkeep::image {

// Reads an 8-bit RGBA, non-interlaced PNG. Throws PngError ("png: ..."); damaged
// deflate data comes out of inflate as io::ZipError.
RgbaImage decode_png(std::span<const std::uint8_t> file);

// Writes signature, IHDR, one IDAT and IEND. `pixels` holds width * height * 4 bytes.
// `compress` false writes stored deflate blocks.
std::vector<std::uint8_t> encode_png(std::uint32_t width, std::uint32_t height, const std::uint8_t* pixels,
                                     bool compress);
std::vector<std::uint8_t> encode_png(const RgbaImage& image, bool compress);

}  // namespace tarkeep::image
