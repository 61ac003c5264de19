// Per-pixel DXT decoding, written straight from the format: the reference for the block decoder.
#include "tests/support/naive_dxt.h"

#include <algorithm>

namespace tarkeep::test {

std::vector<std::uint8_t> naive_decode_dxt(const std::uint8_t* blocks, std::uint32_t width, std::uint32_t height,
                                           std::uint32_t format) {
    const std::size_t block_size = format == 4 ? 8 : 16;
    const std::size_t across = std::max<std::uint32_t>(1, (width + 3) / 4);
    std::vector<std::uint8_t> out(std::size_t(width) * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* block = blocks + ((y / 4) * across + x / 4) * block_size;
            const unsigned i = (y % 4) * 4 + x % 4;
            const std::uint8_t* colour = format == 4 ? block : block + 8;
            const unsigned c0 = colour[0] | colour[1] << 8, c1 = colour[2] | colour[3] << 8;
            const std::uint32_t bits = std::uint32_t(colour[4]) | std::uint32_t(colour[5]) << 8 |
                                       std::uint32_t(colour[6]) << 16 | std::uint32_t(colour[7]) << 24;
            const unsigned index = (bits >> (2 * i)) & 3;
            const int e0[3] = {int((c0 >> 11) * 255 / 31), int(((c0 >> 5) & 63) * 255 / 63), int((c0 & 31) * 255 / 31)};
            const int e1[3] = {int((c1 >> 11) * 255 / 31), int(((c1 >> 5) & 63) * 255 / 63), int((c1 & 31) * 255 / 31)};
            int rgba[4] = {0, 0, 0, 255};
            const bool four = c0 > c1 || format != 4;
            for (int c = 0; c < 3; ++c) {
                if (index == 0)
                    rgba[c] = e0[c];
                else if (index == 1)
                    rgba[c] = e1[c];
                else if (index == 2)
                    rgba[c] = four ? (2 * e0[c] + e1[c]) / 3 : (e0[c] + e1[c]) / 2;
                else
                    rgba[c] = four ? (e0[c] + 2 * e1[c]) / 3 : 0;
            }
            if (format == 4 && !four && index == 3) rgba[3] = 0;
            if (format == 5) {
                const unsigned nibble = (block[i / 2] >> (4 * (i % 2))) & 15;
                rgba[3] = int(nibble * 17);
            } else if (format == 6) {
                const int a0 = block[0], a1 = block[1];
                const unsigned bit = 3 * i;
                std::uint64_t word = 0;
                for (int b = 0; b < 6; ++b) word |= std::uint64_t(block[2 + b]) << (8 * b);
                const unsigned k = unsigned(word >> bit) & 7;
                if (k == 0)
                    rgba[3] = a0;
                else if (k == 1)
                    rgba[3] = a1;
                else if (a0 > a1)
                    rgba[3] = (int(8 - k) * a0 + int(k - 1) * a1) / 7;
                else if (k == 6)
                    rgba[3] = 0;
                else if (k == 7)
                    rgba[3] = 255;
                else
                    rgba[3] = (int(6 - k) * a0 + int(k - 1) * a1) / 5;
            }
            for (int c = 0; c < 4; ++c) out[(std::size_t(y) * width + x) * 4 + c] = std::uint8_t(rgba[c]);
        }
    }
    return out;
}

}  // namespace tarkeep::test
