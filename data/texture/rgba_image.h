#pragma once
#include <cstdint>
#include <vector>

namespace tarkeep::data {

// 8-bit RGBA, rows top to bottom, no row padding: pixels.size() == width * height * 4.
struct RgbaImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;
};

}  // namespace tarkeep::data
