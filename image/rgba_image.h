// The 8-bit RGBA image that every decoder produces and every kernel and encoder takes.
#pragma once
#include <cstdint>
#include <vector>

namespace tarkeep::image {

// 8-bit RGBA, rows top to bottom, no row padding: pixels.size() == width * height * 4.
struct RgbaImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;
};

}  // namespace tarkeep::image

namespace tarkeep::data {
// The game-data decoders (DXT, texture files) hand out the same image type.
using image::RgbaImage;
}  // namespace tarkeep::data
