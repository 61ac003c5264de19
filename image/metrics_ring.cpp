// Ring statistics: errors on the border ring and inside of each sprite rectangle.
#include "image/metrics.h"

#include <cmath>
#include <cstdlib>

#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;

RingStats ring_stats(const RgbaImage& hd, const RgbaImage& source, std::span<const PixelRect> rects) {
    const std::uint32_t f = require_scaled("ring_stats", hd, source);
    if (f != 2)
        fail("ring_stats", "HD image " + size_text(hd.width, hd.height) + " is not twice the source " +
                               size_text(source.width, source.height));
    RingStats stats;
    const std::size_t w = source.width, hd_w = hd.width;
    for (const PixelRect& r : rects) {
        if (std::uint64_t{r.x} + r.width > source.width || std::uint64_t{r.y} + r.height > source.height)
            fail("ring_stats", "rectangle " + size_text(r.width, r.height) + " at " + std::to_string(r.x) + "," +
                                   std::to_string(r.y) + " lies outside the source");
        for (std::size_t y = r.y; y < std::size_t{r.y} + r.height; ++y) {
            for (std::size_t x = r.x; x < std::size_t{r.x} + r.width; ++x) {
                const bool ring =
                    x == r.x || x + 1 == std::size_t{r.x} + r.width || y == r.y || y + 1 == std::size_t{r.y} + r.height;
                const std::uint8_t* s = source.pixels.data() + (y * w + x) * 4;
                const std::uint8_t* top = hd.pixels.data() + (2 * y * hd_w + 2 * x) * 4;
                const std::uint8_t* below = top + hd_w * 4;
                double value[4];
                for (int c = 0; c < 4; ++c)
                    value[c] = 0.25 * top[c] + 0.25 * top[4 + c] + 0.25 * below[c] + 0.25 * below[4 + c];
                const double alpha_error = std::fabs(value[3] - s[3]);
                (ring ? stats.ring_alpha_error : stats.inner_alpha_error) += alpha_error;
                (ring ? stats.ring_alpha_count : stats.inner_alpha_count) += 1;
                if (s[3] < 128) continue;
                const double colour_error =
                    (std::fabs(value[0] - s[0]) + std::fabs(value[1] - s[1]) + std::fabs(value[2] - s[2])) / 3.0;
                (ring ? stats.ring_colour_error : stats.inner_colour_error) += colour_error;
                (ring ? stats.ring_colour_count : stats.inner_colour_count) += 1;
            }
        }
    }
    return stats;
}

}  // namespace tarkeep::image
