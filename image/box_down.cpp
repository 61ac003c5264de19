// Box reduction by an integer factor, unrolled for the common factors 2 and 4.
#include "image/kernels.h"
#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;
namespace {

// Sums each f x f block of bytes per channel and rounds; F > 0 fixes the factor at
// compile time so the common factors unroll.
template <class Sum, std::uint32_t F>
void reduce(const RgbaImage& image, std::uint32_t runtime_f, RgbaImage& out) {
    const std::uint32_t f = F > 0 ? F : runtime_f;
    const std::size_t in_stride = std::size_t{image.width} * 4;
    const Sum area = Sum{f} * f;
    for (std::uint32_t oy = 0; oy < out.height; ++oy) {
        const std::uint8_t* rows = image.pixels.data() + std::size_t{oy} * f * in_stride;
        std::uint8_t* dst = out.pixels.data() + std::size_t{oy} * out.width * 4;
        for (std::uint32_t ox = 0; ox < out.width; ++ox) {
            Sum s[4] = {0, 0, 0, 0};
            for (std::uint32_t dy = 0; dy < f; ++dy) {
                const std::uint8_t* block = rows + dy * in_stride + std::size_t{ox} * f * 4;
                for (std::uint32_t dx = 0; dx < f; ++dx)
                    for (int c = 0; c < 4; ++c) s[c] += block[dx * 4 + c];
            }
            for (int c = 0; c < 4; ++c) dst[ox * 4 + c] = static_cast<std::uint8_t>((s[c] + area / 2) / area);
        }
    }
}

}  // namespace

RgbaImage box_down(const RgbaImage& image, std::uint32_t factor) {
    require_valid("box_down", image);
    if (factor <= 1) return image;
    RgbaImage out{image.width / factor, image.height / factor, {}};
    out.pixels.resize(std::size_t{out.width} * out.height * 4);
    // 32-bit sums hold any block up to 4096 x 4096.
    switch (factor) {
        case 2: reduce<std::uint32_t, 2>(image, factor, out); break;
        case 4: reduce<std::uint32_t, 4>(image, factor, out); break;
        default:
            if (factor <= 4096) {
                reduce<std::uint32_t, 0>(image, factor, out);
            } else {
                reduce<std::uint64_t, 0>(image, factor, out);
            }
    }
    return out;
}

}  // namespace tarkeep::image
