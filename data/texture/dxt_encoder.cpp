// DXT encoding of whole images (blocks gathered, encoded and placed, rows of blocks shared
// among threads).
#include "data/texture/dxt_encoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "data/texture/dxt.h"
#include "data/texture/dxt_block_encoders.h"
#include "data/texture/tex_error.h"

namespace tarkeep::data {
namespace {

// The block whose top-left pixel is (x, y); pixels past the edge repeat the last row/column.
RgbaBlock gather(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height, std::uint32_t x,
                 std::uint32_t y) {
    RgbaBlock block;
    if (x + 4 <= width && y + 4 <= height) {  // inside the image: four row copies
        for (std::uint32_t row = 0; row < 4; ++row)
            std::memcpy(block[4 * row].data(), rgba + ((std::size_t(y) + row) * width + x) * 4, 16);
        return block;
    }
    for (std::uint32_t i = 0; i < 16; ++i) {
        const std::uint32_t px = std::min(x + i % 4, width - 1);
        const std::uint32_t py = std::min(y + i / 4, height - 1);
        const std::uint8_t* p = rgba + (std::size_t(py) * width + px) * 4;
        block[i] = {p[0], p[1], p[2], p[3]};
    }
    return block;
}

void encode_block(const RgbaBlock& block, std::uint32_t format, DxtQuality quality, std::uint8_t* out) {
    const bool best = quality == DxtQuality::best;
    if (format == format_dxt1) {
        best ? encode_colour_best(block, true, out) : encode_colour_fast(block, true, out);
        return;
    }
    if (format == format_dxt3) {
        encode_dxt3_alpha(block, out);
    } else {
        best ? encode_dxt5_alpha_best(block, out) : encode_dxt5_alpha_fast(block, out);
    }
    best ? encode_colour_best(block, false, out + 8) : encode_colour_fast(block, false, out + 8);
}

}  // namespace

std::vector<std::uint8_t> encode_dxt(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t format, const DxtOptions& options) {
    if (!is_dxt_format(format)) throw TexError("encode_dxt: not a DXT format");
    const std::uint32_t across = std::max<std::uint32_t>(1, (width + 3) / 4);
    const std::uint32_t down = std::max<std::uint32_t>(1, (height + 3) / 4);
    const std::size_t block_size = dxt_block_size(format);
    std::vector<std::uint8_t> out(std::size_t(across) * down * block_size);

    // Rows are handed out one at a time, so threads that meet flat (quick) rows take more.
    std::atomic<std::uint32_t> next_row{0};
    const auto encode_rows = [&] {
        for (std::uint32_t by = next_row++; by < down; by = next_row++) {
            std::uint8_t* row_out = out.data() + std::size_t(by) * across * block_size;
            for (std::uint32_t bx = 0; bx < across; ++bx) {
                const RgbaBlock block = width && height ? gather(rgba, width, height, bx * 4, by * 4) : RgbaBlock{};
                encode_block(block, format, options.quality, row_out + bx * block_size);
            }
        }
    };
    const unsigned threads = std::clamp<unsigned>(options.threads, 1, down);
    {
        std::vector<std::jthread> helpers;  // joined on leaving the scope, also when one fails to start
        for (unsigned t = 1; t < threads; ++t) helpers.emplace_back(encode_rows);
        encode_rows();
    }
    return out;
}

}  // namespace tarkeep::data
