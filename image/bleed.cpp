// Bleeding opaque colours into transparent pixels, ring by ring from a frontier of edge pixels.
#include "image/kernels.h"
#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;
namespace {

struct Point {
    std::uint32_t x, y;
};

// Calls visit(nx, ny) for the 3 x 3 neighbourhood of (x, y) inside the image (itself included).
template <class Visit>
inline void for_neighbours(std::uint32_t x, std::uint32_t y, std::uint32_t w, std::uint32_t h, Visit&& visit) {
    const std::uint32_t x_lo = x > 0 ? x - 1 : 0, x_hi = x + 1 < w ? x + 1 : x;
    const std::uint32_t y_lo = y > 0 ? y - 1 : 0, y_hi = y + 1 < h ? y + 1 : y;
    for (std::uint32_t ny = y_lo; ny <= y_hi; ++ny)
        for (std::uint32_t nx = x_lo; nx <= x_hi; ++nx) visit(nx, ny);
}

}  // namespace

void bleed(RgbaImage& image, int threshold, int passes) {
    require_valid("bleed", image);
    const std::uint32_t w = image.width, h = image.height;
    const std::size_t count = std::size_t{w} * h;
    std::uint8_t* px = image.pixels.data();

    std::vector<std::uint8_t> set(count);
    std::uint64_t sum[3] = {0, 0, 0};
    std::uint64_t opaque = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (px[i * 4 + 3] <= threshold) continue;
        set[i] = 1;
        ++opaque;
        for (int c = 0; c < 3; ++c) sum[c] += px[i * 4 + c];
    }
    if (opaque == 0 || opaque == count) return;

    // Only unset pixels next to a set one can change in a pass: keep those as the
    // frontier. Each pass reads only pixels set before it began, so the order within a
    // pass does not matter; the mask grows after the pass.
    std::vector<std::uint8_t> queued(count);
    std::vector<Point> frontier, next;
    if (passes > 0) {
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x) {
                const std::size_t i = std::size_t{y} * w + x;
                if (set[i]) continue;
                bool near = false;
                for_neighbours(x, y, w, h,
                               [&](std::uint32_t nx, std::uint32_t ny) { near |= set[std::size_t{ny} * w + nx] != 0; });
                if (near) {
                    queued[i] = 1;
                    frontier.push_back({x, y});
                }
            }
    }
    for (int pass = 0; pass < passes && !frontier.empty(); ++pass) {
        for (const Point& p : frontier) {
            std::uint32_t s[3] = {0, 0, 0}, n = 0;
            for_neighbours(p.x, p.y, w, h, [&](std::uint32_t nx, std::uint32_t ny) {
                const std::size_t j = std::size_t{ny} * w + nx;
                if (!set[j]) return;
                ++n;
                for (int c = 0; c < 3; ++c) s[c] += px[j * 4 + c];
            });
            const std::size_t i = std::size_t{p.y} * w + p.x;
            for (int c = 0; c < 3; ++c) px[i * 4 + c] = static_cast<std::uint8_t>((s[c] + n / 2) / n);
        }
        for (const Point& p : frontier) set[std::size_t{p.y} * w + p.x] = 1;
        next.clear();
        for (const Point& p : frontier) {
            for_neighbours(p.x, p.y, w, h, [&](std::uint32_t nx, std::uint32_t ny) {
                const std::size_t j = std::size_t{ny} * w + nx;
                if (set[j] || queued[j]) return;
                queued[j] = 1;
                next.push_back({nx, ny});
            });
        }
        frontier.swap(next);
    }

    std::uint8_t mean[3];
    for (int c = 0; c < 3; ++c) mean[c] = static_cast<std::uint8_t>((sum[c] + opaque / 2) / opaque);
    for (std::size_t i = 0; i < count; ++i) {
        if (set[i]) continue;
        for (int c = 0; c < 3; ++c) px[i * 4 + c] = mean[c];
    }
}

}  // namespace tarkeep::image
