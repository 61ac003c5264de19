#include "tools/upscale/image_ops.h"
#include "tools/upscale/image_support.h"

namespace tarkeep::upscale {
using namespace detail;
namespace {

// Sums each f x f block row by row into one accumulator per output value, then rounds.
template <class Sum>
void reduce(const RgbaImage& image, std::uint32_t f, RgbaImage& out) {
    const std::size_t out_values = std::size_t{out.width} * 4;
    const std::size_t in_stride = std::size_t{image.width} * 4;
    const Sum area = Sum{f} * f;
    std::vector<Sum> sums(out_values);
    for (std::uint32_t oy = 0; oy < out.height; ++oy) {
        std::fill(sums.begin(), sums.end(), Sum{0});
        for (std::uint32_t dy = 0; dy < f; ++dy) {
            const std::uint8_t* row = image.pixels.data() + (std::size_t{oy} * f + dy) * in_stride;
            for (std::uint32_t ox = 0; ox < out.width; ++ox) {
                const std::uint8_t* block = row + std::size_t{ox} * f * 4;
                Sum* s = sums.data() + std::size_t{ox} * 4;
                for (std::uint32_t dx = 0; dx < f; ++dx) {
                    s[0] += block[dx * 4 + 0];
                    s[1] += block[dx * 4 + 1];
                    s[2] += block[dx * 4 + 2];
                    s[3] += block[dx * 4 + 3];
                }
            }
        }
        std::uint8_t* dst = out.pixels.data() + std::size_t{oy} * out_values;
        for (std::size_t i = 0; i < out_values; ++i) dst[i] = static_cast<std::uint8_t>((sums[i] + area / 2) / area);
    }
}

}  // namespace

RgbaImage box_down(const RgbaImage& image, std::uint32_t factor) {
    require_valid("box_down", image);
    if (factor <= 1) return image;
    RgbaImage out{image.width / factor, image.height / factor, {}};
    out.pixels.resize(std::size_t{out.width} * out.height * 4);
    // 32-bit sums hold any block up to 4096 x 4096.
    if (factor <= 4096) {
        reduce<std::uint32_t>(image, factor, out);
    } else {
        reduce<std::uint64_t>(image, factor, out);
    }
    return out;
}

}  // namespace tarkeep::upscale
