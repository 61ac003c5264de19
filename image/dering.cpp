// Deringing: clamps each upscaled colour into the range of its nearest source pixels.
#include <algorithm>
#include <cmath>

#include "image/kernels.h"
#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;
namespace {

// The nearest source position at or before each HD position, clamped to the image.
std::vector<std::uint32_t> lower_neighbour(std::uint32_t hd_length, std::uint32_t f, std::uint32_t length) {
    std::vector<std::uint32_t> table(hd_length);
    for (std::uint32_t i = 0; i < hd_length; ++i) {
        const auto at = static_cast<std::int64_t>(std::floor((i + 0.5) / f - 0.5));
        table[i] = static_cast<std::uint32_t>(clamp_index(at, length));
    }
    return table;
}

}  // namespace

void dering(RgbaImage& hd, const RgbaImage& source, int margin) {
    const std::uint32_t f = require_scaled("dering", hd, source);
    if (margin < 0) fail("dering", "negative margin " + std::to_string(margin) + " (negative means off)");
    const std::uint32_t w = source.width, h = source.height;
    const auto columns = lower_neighbour(hd.width, f, w);
    const auto rows = lower_neighbour(hd.height, f, h);

    // For the current source row pair, the allowed range of every source column x0
    // (paired with x0 + 1): lo and hi per channel.
    std::vector<std::uint8_t> lo(std::size_t{w} * 3), hi(std::size_t{w} * 3);
    std::uint32_t range_row = UINT32_MAX;
    for (std::uint32_t Y = 0; Y < hd.height; ++Y) {
        const std::uint32_t y0 = rows[Y];
        if (y0 != range_row) {
            const std::uint32_t y1 = std::min(h - 1, y0 + 1);
            const std::uint8_t* r0 = source.pixels.data() + std::size_t{y0} * w * 4;
            const std::uint8_t* r1 = source.pixels.data() + std::size_t{y1} * w * 4;
            for (std::uint32_t x0 = 0; x0 < w; ++x0) {
                const std::uint32_t x1 = std::min(w - 1, x0 + 1);
                for (int c = 0; c < 3; ++c) {
                    const int a = r0[x0 * 4 + c], b = r0[x1 * 4 + c], d = r1[x0 * 4 + c], e = r1[x1 * 4 + c];
                    const int low = std::min(std::min(a, b), std::min(d, e));
                    const int high = std::max(std::max(a, b), std::max(d, e));
                    lo[x0 * 3 + c] = static_cast<std::uint8_t>(std::max(low - margin, 0));
                    hi[x0 * 3 + c] =
                        static_cast<std::uint8_t>(std::min<std::int64_t>(std::int64_t{high} + margin, 255));
                }
            }
            range_row = y0;
        }
        std::uint8_t* p = hd.pixels.data() + std::size_t{Y} * hd.width * 4;
        for (std::uint32_t X = 0; X < hd.width; ++X) {
            const std::size_t x0 = std::size_t{columns[X]} * 3;
            for (int c = 0; c < 3; ++c) {
                std::uint8_t& v = p[std::size_t{X} * 4 + c];
                v = std::clamp(v, lo[x0 + c], hi[x0 + c]);
            }
        }
    }
}

}  // namespace tarkeep::image
