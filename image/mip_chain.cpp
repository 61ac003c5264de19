// Halving images for mip levels, in linear light or as stored.
#include "image/mip_chain.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tarkeep::image {
namespace {

// sRGB code -> linear light, and the decision points between neighbouring codes: code k is the
// nearest for linear values in [decision[k-1], decision[k]).
struct SrgbTables {
    std::array<float, 256> linear{};
    std::array<float, 255> decision{};
    // For a linear value v, the smallest code whose range can hold it, by floor(v * 4095).
    std::array<std::uint8_t, 4096> first_code{};

    SrgbTables() {
        for (int k = 0; k < 256; ++k) {
            const double s = k / 255.0;
            linear[k] = float(s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4));
        }
        for (int k = 0; k < 255; ++k) decision[k] = (linear[k] + linear[k + 1]) / 2;
        int code = 0;
        for (int i = 0; i < 4096; ++i) {
            const float v = float(i) / 4095.0f;
            while (code < 255 && decision[code] <= v) ++code;
            first_code[i] = std::uint8_t(code);
        }
    }

    std::uint8_t encode(float v) const {
        int code = first_code[std::size_t(std::clamp(v, 0.0f, 1.0f) * 4095.0f)];
        while (code < 255 && decision[code] <= v) ++code;
        return std::uint8_t(code);
    }
};

const SrgbTables& srgb() {
    static const SrgbTables tables;
    return tables;
}

}  // namespace

RgbaImage halve_for_mip(const RgbaImage& level, MipAverage average) {
    RgbaImage half;
    half.width = std::max<std::uint32_t>(1, level.width / 2);
    half.height = std::max<std::uint32_t>(1, level.height / 2);
    half.pixels.resize(std::size_t(half.width) * half.height * 4);
    if (level.width == 0 || level.height == 0) return half;
    const SrgbTables& tables = srgb();
    const bool light = average == MipAverage::light;
    for (std::uint32_t y = 0; y < half.height; ++y) {
        const std::uint8_t* row0 = &level.pixels[std::size_t(std::min(2 * y, level.height - 1)) * level.width * 4];
        const std::uint8_t* row1 = &level.pixels[std::size_t(std::min(2 * y + 1, level.height - 1)) * level.width * 4];
        std::uint8_t* out = &half.pixels[std::size_t(y) * half.width * 4];
        for (std::uint32_t x = 0; x < half.width; ++x, out += 4) {
            const std::size_t a = std::size_t(std::min(2 * x, level.width - 1)) * 4;
            const std::size_t b = std::size_t(std::min(2 * x + 1, level.width - 1)) * 4;
            for (int c = 0; c < 4; ++c) {
                if (light && c < 3) {
                    const float sum = tables.linear[row0[a + c]] + tables.linear[row0[b + c]] +
                                      tables.linear[row1[a + c]] + tables.linear[row1[b + c]];
                    out[c] = tables.encode(sum * 0.25f);
                } else {
                    out[c] = std::uint8_t((row0[a + c] + row0[b + c] + row1[a + c] + row1[b + c] + 2) / 4);
                }
            }
        }
    }
    return half;
}

std::vector<RgbaImage> mip_chain(RgbaImage image, MipAverage average) {
    std::vector<RgbaImage> levels;
    levels.push_back(std::move(image));
    while (levels.back().width > 1 || levels.back().height > 1) {
        levels.push_back(halve_for_mip(levels.back(), average));
    }
    return levels;
}

}  // namespace tarkeep::image
