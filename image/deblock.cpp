// Softening the 4x4 block edges that DXT compression leaves on tiling textures.
#include <algorithm>
#include <cstdlib>

#include "image/kernels.h"
#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;
namespace {

// Softens one block edge p0 p1 | q0 q1 (byte offsets into `in`), writing p1 and q0 of `out`.
inline void soften(const std::uint8_t* in, std::uint8_t* out, std::size_t p0, std::size_t p1, std::size_t q0,
                   std::size_t q1, int threshold) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int{in[q0 + c]} - int{in[p1 + c]}));
    if (d == 0 || d > threshold) return;
    for (int c = 0; c < 3; ++c) {
        const int a = in[p0 + c], b = in[p1 + c], e = in[q0 + c], g = in[q1 + c];
        out[p1 + c] = static_cast<std::uint8_t>((a + 2 * b + e + 2) >> 2);
        out[q0 + c] = static_cast<std::uint8_t>((b + 2 * e + g + 2) >> 2);
    }
}

}  // namespace

RgbaImage deblock(const RgbaImage& image, int threshold) {
    require_valid("deblock", image);
    const std::int64_t w = image.width, h = image.height;
    if (w == 0 || h == 0 || threshold <= 0) return image;

    // Pass 1: vertical edges, read from the input, written into a fresh copy.
    RgbaImage across = image;
    for (std::int64_t y = 0; y < h; ++y) {
        const std::size_t row = static_cast<std::size_t>(y * w) * 4;
        for (std::int64_t x = 0; x < w; x += 4) {
            soften(image.pixels.data(), across.pixels.data(), row + wrap_index(x - 2, w) * 4,
                   row + wrap_index(x - 1, w) * 4, row + x * 4, row + wrap_index(x + 1, w) * 4, threshold);
        }
    }
    // Pass 2: horizontal edges, read from pass 1.
    RgbaImage out = across;
    const std::size_t stride = static_cast<std::size_t>(w) * 4;
    for (std::int64_t y = 0; y < h; y += 4) {
        const std::size_t p0 = wrap_index(y - 2, h) * stride, p1 = wrap_index(y - 1, h) * stride;
        const std::size_t q0 = y * stride, q1 = wrap_index(y + 1, h) * stride;
        for (std::int64_t x = 0; x < w; ++x) {
            const std::size_t col = static_cast<std::size_t>(x) * 4;
            soften(across.pixels.data(), out.pixels.data(), p0 + col, p1 + col, q0 + col, q1 + col, threshold);
        }
    }
    return out;
}

}  // namespace tarkeep::image
