// The alpha channel on its own: making an image opaque, finding transparency, and moving alpha
// between an image and the grey image the network upscales it as.
#pragma once
#include <cstdint>
#include <span>

#include "image/rgba_image.h"

namespace tarkeep::image {

// Every alpha byte becomes 255.
void make_opaque(RgbaImage& image);

// True when some alpha byte is below 255 (of an image, or of RGBA bytes).
bool has_transparency(std::span<const std::uint8_t> rgba);
bool has_transparency(const RgbaImage& image);

// Every alpha byte of `image` becomes the red byte of the same pixel of `grey` (the alpha
// channel as a grey image, e.g. a network's output for it). The sizes must match.
void alpha_from_grey(RgbaImage& image, const RgbaImage& grey);

// Every alpha byte of `image` becomes that of the same pixel of `from`. The sizes must match.
void copy_alpha(RgbaImage& image, const RgbaImage& from);

}  // namespace tarkeep::image
