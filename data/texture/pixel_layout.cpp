// Storing images as DXT blocks or as mask-packed pixel words.
#include "data/texture/pixel_layout.h"

#include <bit>
#include <cmath>

#include "data/texture/dxt.h"
#include "data/texture/tex_error.h"

namespace tarkeep::data {
namespace {

bool contiguous(std::uint32_t mask) { return mask == 0 || std::has_single_bit((mask >> std::countr_zero(mask)) + 1); }

}  // namespace

PixelLayout pixel_layout(const TexcacheFile& texture) {
    PixelLayout layout;
    layout.format = texture.format;
    layout.bytes_per_pixel = texture.bytes_per_pixel;
    for (int c = 0; c < 4; ++c) layout.masks[c] = texture.masks[c];
    if (layout.is_dxt()) return layout;
    if (texture.format > 1) throw TexError("cannot write " + format_name(texture.format) + " textures");
    const std::uint32_t word_bytes = std::min<std::uint32_t>(std::max<std::uint32_t>(texture.bytes_per_pixel, 1), 4);
    const std::uint64_t word_mask = (std::uint64_t(1) << (8 * word_bytes)) - 1;
    for (const std::uint32_t mask : layout.masks) {
        if (!contiguous(mask) || mask > word_mask)
            throw TexError("cannot write a texture whose channel masks have gaps");
    }
    return layout;
}

std::vector<std::uint8_t> encode_pixels(const image::RgbaImage& image, const PixelLayout& layout,
                                        const DxtOptions& options) {
    if (layout.is_dxt()) return encode_dxt(image.pixels.data(), image.width, image.height, layout.format, options);
    const std::size_t step = std::max<std::uint32_t>(layout.bytes_per_pixel, 1);
    const std::size_t word_bytes = std::min<std::size_t>(step, 4);
    std::vector<std::uint8_t> out(std::size_t(image.width) * image.height * step);
    for (std::size_t n = 0; n < std::size_t(image.width) * image.height; ++n) {
        std::uint32_t word = 0;
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t mask = layout.masks[c];
            if (mask == 0) continue;
            const int shift = std::countr_zero(mask);
            const std::uint32_t range = mask >> shift;
            // The nearest stored value under the reader's truncating scale-up.
            const auto value = std::uint32_t(std::lround(image.pixels[n * 4 + c] * double(range) / 255.0));
            word |= (value << shift) & mask;
        }
        for (std::size_t i = 0; i < word_bytes; ++i) out[n * step + i] = std::uint8_t(word >> (8 * i));
    }
    return out;
}

}  // namespace tarkeep::data
