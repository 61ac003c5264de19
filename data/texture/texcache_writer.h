// Writing texture cache files: every field settable (damaged files too), and consistent DXT files.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarkeep::data {

// One entry of the mipmap table; `offset` is relative to the start of the pixel data.
struct TexcacheMipEntry {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t offset = 0;
};

// Every field of a texture cache file (a one-block NiPixelData NIF 10.1.0.0) as written.
// Tests change single fields to build damaged files: num_pixels may disagree with
// pixels.size(), offsets may point anywhere.
struct TexcacheFields {
    std::uint32_t format = 4;
    std::uint32_t masks[4] = {0, 0, 0, 0};
    std::uint32_t bits_per_pixel = 0;
    std::int32_t palette = -1;
    std::uint32_t bytes_per_pixel = 0;
    std::vector<TexcacheMipEntry> mipmaps;
    std::uint32_t num_pixels = 0;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> footer = {1, 0, 0, 0, 0, 0, 0, 0};  // one root: block 0
};

std::vector<std::uint8_t> write_texcache(const TexcacheFields& fields);

// A level's pixel bytes and size, for building consistent files.
struct TexcacheLevel {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> data;
};

// Levels stored back to back; the table and num_pixels match them.
TexcacheFields texcache_fields(std::uint32_t format, const std::vector<TexcacheLevel>& levels);

// The DXT levels of an RGBA image: mip 0 only, or the whole chain down to 1x1. Encoded with
// DxtQuality::fast, the encoder the made-up game files are written with.
std::vector<TexcacheLevel> dxt_levels(const std::vector<std::uint8_t>& rgba, std::uint32_t width, std::uint32_t height,
                                      std::uint32_t format, bool with_mips);

// The texture file `original` with its levels replaced by `levels` (same pixel format): the
// header fields, masks and footer stay byte for byte as the game wrote them, so a reader that
// looks at more than the levels sees what it knows. Throws TexError for a damaged original.
std::vector<std::uint8_t> texcache_with_levels(std::span<const std::uint8_t> original,
                                               const std::vector<TexcacheLevel>& levels);

// The file `original` with its pixel data replaced by `pixels` and nothing else changed (a
// player-colour patch's container keeps the game's header and footer). Throws TexError.
std::vector<std::uint8_t> texcache_with_pixels(std::span<const std::uint8_t> original,
                                               std::span<const std::uint8_t> pixels);

// A complete DXT texture file of the image.
std::vector<std::uint8_t> dxt_texcache(const std::vector<std::uint8_t>& rgba, std::uint32_t width, std::uint32_t height,
                                       std::uint32_t format, bool with_mips);

}  // namespace tarkeep::data
