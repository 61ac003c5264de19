// Consistency: how far an upscaled image's box averages are from its source.
#include "image/metrics.h"

#include <algorithm>
#include <vector>
#include <cmath>
#include <cstdio>

#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;

std::string unusable_output_message(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return "network output unusable (consistency " + std::string(text) + ")";
}

double consistency(const RgbaImage& hd, const RgbaImage& source) {
    const std::uint32_t f = require_scaled("consistency", hd, source);
    const std::uint32_t w = source.width;
    const double area = double(f) * f;
    const std::size_t hd_stride = std::size_t{hd.width} * 4;
    // Block sums of bytes are exact in integers; the mean and the total are doubles.
    std::vector<std::uint64_t> sums(std::size_t{w} * 3);
    double total = 0;
    for (std::uint32_t y = 0; y < source.height; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (std::uint32_t dy = 0; dy < f; ++dy) {
            const std::uint8_t* row = hd.pixels.data() + (std::size_t{y} * f + dy) * hd_stride;
            for (std::uint32_t x = 0; x < w; ++x) {
                const std::uint8_t* block = row + std::size_t{x} * f * 4;
                std::uint64_t* s = sums.data() + std::size_t{x} * 3;
                for (std::uint32_t dx = 0; dx < f; ++dx) {
                    s[0] += block[dx * 4 + 0];
                    s[1] += block[dx * 4 + 1];
                    s[2] += block[dx * 4 + 2];
                }
            }
        }
        const std::uint8_t* src = source.pixels.data() + std::size_t{y} * w * 4;
        for (std::uint32_t x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) total += std::fabs(double(src[x * 4 + c]) - double(sums[x * 3 + c]) / area);
        }
    }
    return total / (double(w) * source.height * 3);
}

}  // namespace tarkeep::image
