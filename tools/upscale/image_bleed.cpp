#include "tools/upscale/image_ops.h"
#include "tools/upscale/image_support.h"

namespace tarkeep::upscale {
using namespace detail;

void bleed(RgbaImage& image, int threshold, int passes) {
    require_valid("bleed", image);
    const std::size_t w = image.width, h = image.height, count = w * h;
    std::uint8_t* px = image.pixels.data();

    std::vector<std::uint8_t> set(count);
    std::vector<std::size_t> unset;
    std::uint64_t sum[3] = {0, 0, 0};
    std::uint64_t opaque = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (px[i * 4 + 3] > threshold) {
            set[i] = 1;
            ++opaque;
            for (int c = 0; c < 3; ++c) sum[c] += px[i * 4 + c];
        } else {
            unset.push_back(i);
        }
    }
    if (opaque == 0 || opaque == count) return;

    // Each pass reads only pixels set before it began, so colours can be written at once;
    // the mask grows after the pass.
    std::vector<std::size_t> still_unset, newly_set;
    for (int pass = 0; pass < passes && !unset.empty(); ++pass) {
        still_unset.clear();
        newly_set.clear();
        for (std::size_t i : unset) {
            const std::size_t x = i % w, y = i / w;
            const std::size_t x_lo = x > 0 ? x - 1 : 0, x_hi = x + 1 < w ? x + 1 : x;
            const std::size_t y_lo = y > 0 ? y - 1 : 0, y_hi = y + 1 < h ? y + 1 : y;
            std::uint32_t s[3] = {0, 0, 0};
            std::uint32_t n = 0;
            for (std::size_t ny = y_lo; ny <= y_hi; ++ny) {
                for (std::size_t nx = x_lo; nx <= x_hi; ++nx) {
                    const std::size_t j = ny * w + nx;
                    if (!set[j]) continue;
                    ++n;
                    for (int c = 0; c < 3; ++c) s[c] += px[j * 4 + c];
                }
            }
            if (n == 0) {
                still_unset.push_back(i);
                continue;
            }
            for (int c = 0; c < 3; ++c) px[i * 4 + c] = static_cast<std::uint8_t>((s[c] + n / 2) / n);
            newly_set.push_back(i);
        }
        if (newly_set.empty()) break;
        for (std::size_t i : newly_set) set[i] = 1;
        unset.swap(still_unset);
    }

    std::uint8_t mean[3];
    for (int c = 0; c < 3; ++c) mean[c] = static_cast<std::uint8_t>((sum[c] + opaque / 2) / opaque);
    for (std::size_t i : unset) {
        for (int c = 0; c < 3; ++c) px[i * 4 + c] = mean[c];
    }
}

}  // namespace tarkeep::upscale
