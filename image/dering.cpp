// Deringing: clamps each upscaled colour into the range of its nearest source pixels.
#include <algorithm>
#include <cmath>

#include "image/kernel_support.h"
#include "image/kernels.h"

namespace tarkeep::image {
using namespace detail;
namespace {

// The two source positions around each HD position: the nearest at or before it and the
// next one. Clamped, the edges pair the first or last position with its inner neighbour;
// wrapped, they pair the last position with the first, as a tiled texture does.
struct Neighbours {
    std::vector<std::uint32_t> first;
    std::vector<std::uint32_t> second;
};

Neighbours neighbour_table(std::uint32_t hd_length, std::uint32_t f, std::uint32_t length, bool wrap) {
    Neighbours table{std::vector<std::uint32_t>(hd_length), std::vector<std::uint32_t>(hd_length)};
    for (std::uint32_t i = 0; i < hd_length; ++i) {
        const auto at = static_cast<std::int64_t>(std::floor((i + 0.5) / f - 0.5));
        const std::int64_t first = wrap ? wrap_index(at, length) : clamp_index(at, length);
        const std::int64_t second = wrap ? wrap_index(at + 1, length) : std::min<std::int64_t>(length - 1, first + 1);
        table.first[i] = static_cast<std::uint32_t>(first);
        table.second[i] = static_cast<std::uint32_t>(second);
    }
    return table;
}

}  // namespace

void dering(RgbaImage& hd, const RgbaImage& source, int margin, bool wrap) {
    const std::uint32_t f = require_scaled("dering", hd, source);
    if (margin < 0) fail("dering", "negative margin " + std::to_string(margin) + " (negative means off)");
    const std::uint32_t w = source.width;
    const Neighbours columns = neighbour_table(hd.width, f, w, wrap);
    const Neighbours rows = neighbour_table(hd.height, f, source.height, wrap);
    // The column pair of x0 is the same for every HD column that starts from x0.
    std::vector<std::uint32_t> next_column(w);
    for (std::uint32_t X = 0; X < hd.width; ++X) next_column[columns.first[X]] = columns.second[X];

    // For the current source row pair, the allowed range of every source column x0
    // (paired with its next column): lo and hi per channel.
    std::vector<std::uint8_t> lo(std::size_t{w} * 3), hi(std::size_t{w} * 3);
    std::uint32_t range_row = UINT32_MAX;
    for (std::uint32_t Y = 0; Y < hd.height; ++Y) {
        const std::uint32_t y0 = rows.first[Y];
        if (y0 != range_row) {
            const std::uint8_t* r0 = source.pixels.data() + std::size_t{y0} * w * 4;
            const std::uint8_t* r1 = source.pixels.data() + std::size_t{rows.second[Y]} * w * 4;
            for (std::uint32_t x0 = 0; x0 < w; ++x0) {
                const std::uint32_t x1 = next_column[x0];
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
            const std::size_t x0 = std::size_t{columns.first[X]} * 3;
            for (int c = 0; c < 3; ++c) {
                std::uint8_t& v = p[std::size_t{X} * 4 + c];
                v = std::clamp(v, lo[x0 + c], hi[x0 + c]);
            }
        }
    }
}

}  // namespace tarkeep::image
