// Mip levels: each level half the one above, down to 1x1.
#pragma once
#include <cstdint>
#include <vector>

#include "image/rgba_image.h"

namespace tarkeep::image {

// How a level's 2x2 pixels are averaged. `light`: colours as the sRGB light they show (decoded
// to linear light, averaged, encoded again), so a contrasty texture keeps its brightness when
// seen from afar; alpha stays plain. `plain`: every channel averaged as stored, for images that
// hold weights rather than colours (player-colour masks).
enum class MipAverage { light, plain };

// The next level: max(1, side / 2) on each axis, each pixel the mean of the 2x2 pixels above it
// (of 1 or 2 where a side is 1; an odd side's last row or column is left out). Pixels depend
// only on their own 2x2 pixels, so an image changed in one place changes only there below.
RgbaImage halve_for_mip(const RgbaImage& level, MipAverage average);

// Level 0 (the image itself) and every halving down to 1x1.
std::vector<RgbaImage> mip_chain(RgbaImage image, MipAverage average);

}  // namespace tarkeep::image
