// Small test images: random, filled, grey rows, pixel access and block replication.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <random>

#include "image/rgba_image.h"

namespace tarkeep::test {

inline data::RgbaImage random_image(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
    std::mt19937 rng(seed);
    data::RgbaImage im{w, h, std::vector<std::uint8_t>(std::size_t{w} * h * 4)};
    for (auto& b : im.pixels) b = static_cast<std::uint8_t>(rng());
    return im;
}

inline data::RgbaImage filled(std::uint32_t w, std::uint32_t h, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                              std::uint8_t a = 255) {
    data::RgbaImage im{w, h, {}};
    for (std::size_t i = 0; i < std::size_t{w} * h; ++i) im.pixels.insert(im.pixels.end(), {r, g, b, a});
    return im;
}

// One row of grey pixels (r = g = b = value, opaque).
inline data::RgbaImage grey_row(std::initializer_list<std::uint8_t> values) {
    data::RgbaImage im{static_cast<std::uint32_t>(values.size()), 1, {}};
    for (auto v : values) im.pixels.insert(im.pixels.end(), {v, v, v, 255});
    return im;
}

inline std::uint8_t px(const data::RgbaImage& im, std::uint32_t x, std::uint32_t y, int c) {
    return im.pixels[(std::size_t{y} * im.width + x) * 4 + c];
}

// Each source pixel repeated as an f x f block.
inline data::RgbaImage replicate(const data::RgbaImage& src, std::uint32_t f) {
    data::RgbaImage out{src.width * f, src.height * f, std::vector<std::uint8_t>(src.pixels.size() * f * f)};
    for (std::uint32_t y = 0; y < out.height; ++y)
        for (std::uint32_t x = 0; x < out.width; ++x)
            for (int c = 0; c < 4; ++c) out.pixels[(std::size_t{y} * out.width + x) * 4 + c] = px(src, x / f, y / f, c);
    return out;
}

}  // namespace tarkeep::test
