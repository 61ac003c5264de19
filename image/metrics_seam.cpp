// Seam statistics: differences across an image's wrapped borders against those inside it.
#include "image/metrics.h"

#include <cstdlib>

#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;
namespace {

inline double difference(const std::uint8_t* a, const std::uint8_t* b) {
    return (std::abs(int{a[0]} - int{b[0]}) + std::abs(int{a[1]} - int{b[1]}) + std::abs(int{a[2]} - int{b[2]})) / 3.0;
}

// An axis without pairs (a one-pixel side) or an empty image measures 0.
inline double mean_of(double sum, std::uint64_t count) { return count == 0 ? 0.0 : sum / double(count); }

}  // namespace

SeamStats seam_stats(const RgbaImage& image) {
    require_valid("seam_stats", image);
    const std::size_t w = image.width, h = image.height;
    const std::uint8_t* px = image.pixels.data();
    const auto at = [&](std::size_t x, std::size_t y) { return px + (y * w + x) * 4; };
    SeamStats stats;
    if (w == 0 || h == 0) return stats;

    double inner_x = 0, seam_x = 0, inner_y = 0, seam_y = 0;
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 1; x < w; ++x) inner_x += difference(at(x - 1, y), at(x, y));
    }
    for (std::size_t y = 0; y < h; ++y) seam_x += difference(at(w - 1, y), at(0, y));
    for (std::size_t y = 1; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) inner_y += difference(at(x, y - 1), at(x, y));
    }
    for (std::size_t x = 0; x < w; ++x) seam_y += difference(at(x, h - 1), at(x, 0));

    stats.inner_x = mean_of(inner_x, (w - 1) * h);
    stats.seam_x = mean_of(seam_x, h);
    stats.inner_y = mean_of(inner_y, (h - 1) * w);
    stats.seam_y = mean_of(seam_y, w);
    std::uint64_t sum[3] = {0, 0, 0};
    for (std::size_t i = 0; i < w * h; ++i) {
        for (int c = 0; c < 3; ++c) sum[c] += px[i * 4 + c];
    }
    stats.mean_r = double(sum[0]) / double(w * h);
    stats.mean_g = double(sum[1]) / double(w * h);
    stats.mean_b = double(sum[2]) / double(w * h);
    return stats;
}

double ratio_x(const SeamStats& stats) { return stats.inner_x > 0 ? stats.seam_x / stats.inner_x : 0.0; }
double ratio_y(const SeamStats& stats) { return stats.inner_y > 0 ? stats.seam_y / stats.inner_y : 0.0; }

bool axis_tiles(double inner, double ratio, double threshold) {
    return threshold > 0 && inner > 0.5 && ratio < threshold;
}

}  // namespace tarkeep::image
