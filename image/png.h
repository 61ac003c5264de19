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
// `compress` false writes stored deflate blocks. Throws PngError for a zero width or height.
std::vector<std::uint8_t> encode_png(std::uint32_t width, std::uint32_t height, const std::uint8_t* pixels,
                                     bool compress);
std::vector<std::uint8_t> encode_png(const RgbaImage& image, bool compress);

// The eight bytes every PNG file starts with.
inline constexpr std::uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
// Appends one chunk: the data's length, the type, the data and the CRC of type and data.
void append_png_chunk(std::vector<std::uint8_t>& out, const char type[4], std::span<const std::uint8_t> data);

}  // namespace tarkeep::image
