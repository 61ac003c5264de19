// How a texture file stores its pixels, and storing an image that way.
#pragma once
#include <cstdint>
#include <vector>

#include "data/texture/dxt_encoder.h"
#include "data/texture/texcache.h"
#include "image/rgba_image.h"

namespace tarkeep::data {

// DXT blocks (formats 4 to 6), or words of `bytes_per_pixel` bytes whose channels the masks
// pick out (RGB, RGBA).
struct PixelLayout {
    std::uint32_t format = 4;
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    std::uint32_t bytes_per_pixel = 0;

    bool is_dxt() const { return format >= 4 && format <= 6; }
};

// The layout of a parsed texture file. Throws TexError for a layout this tool cannot write
// (palettes, bump maps, a channel mask with gaps or wider than the pixel).
PixelLayout pixel_layout(const TexcacheFile& texture);

// The image in that layout, as the game's decoders read it back.
std::vector<std::uint8_t> encode_pixels(const image::RgbaImage& image, const PixelLayout& layout,
                                        const DxtOptions& options);

}  // namespace tarkeep::data
