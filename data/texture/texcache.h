// Game texture files (.texcache): the mip levels of their single NiPixelData block.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tarkeep::data {

struct MipLevel {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t offset = 0;  // byte offset of the level within the pixel data
};

// Parsed view of a game texture file (a one-block NiPixelData NIF). Levels are read from
// the file bytes at pixels_offset + level offset; the record keeps no bytes itself.
struct TexcacheFile {
    std::uint32_t format = 0;
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    std::uint8_t bits_per_pixel = 0;
    std::int32_t palette = -1;
    std::uint32_t bytes_per_pixel = 0;
    std::vector<MipLevel> mipmaps;
    std::uint32_t num_pixels = 0;
    std::uint32_t faces = 1;
    std::size_t pixels_offset = 0;
    std::size_t trailing = 0;
};

// Throws TexError: "not a single-NiPixelData NIF 10.1.0.0", "texcache: read past end",
// "size mismatch".
TexcacheFile read_texcache(std::span<const std::uint8_t> file);

}  // namespace tarkeep::data
