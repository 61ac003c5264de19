// The bounding-box block encoder the made-up game files were written with. Its bytes are
// part of those files: change nothing here that changes its output.
#include <algorithm>
#include <cstdlib>

#include "data/texture/dxt_block_encoders.h"

namespace tarkeep::data {
namespace {

using Pixel = std::array<int, 4>;

unsigned to565(const Pixel& p) {
    const unsigned r = unsigned(p[0] * 31 + 127) / 255, g = unsigned(p[1] * 63 + 127) / 255,
                   b = unsigned(p[2] * 31 + 127) / 255;
    return r << 11 | g << 5 | b;
}

Pixel from565(unsigned c) {
    return {int((c >> 11) * 255 / 31), int(((c >> 5) & 63) * 255 / 63), int((c & 31) * 255 / 31), 255};
}

int distance2(const std::array<std::uint8_t, 4>& a, const Pixel& b) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d += (a[c] - b[c]) * (a[c] - b[c]);
    return d;
}

void store_le16(std::uint8_t* out, unsigned value) {
    out[0] = std::uint8_t(value);
    out[1] = std::uint8_t(value >> 8);
}

}  // namespace

void encode_colour_fast(const RgbaBlock& block, bool dxt1, std::uint8_t* out) {
    Pixel lo{255, 255, 255, 0}, hi{0, 0, 0, 0};
    bool transparent = false;
    for (const auto& p : block) {
        if (dxt1 && p[3] < 128) {
            transparent = true;
            continue;
        }
        for (int c = 0; c < 3; ++c) lo[c] = std::min<int>(lo[c], p[c]), hi[c] = std::max<int>(hi[c], p[c]);
    }
    if (lo[0] > hi[0]) lo = hi = {0, 0, 0, 0};  // every pixel transparent
    unsigned c0 = to565(hi), c1 = to565(lo);
    const bool three_colour = dxt1 && (transparent || c0 == c1);
    if (three_colour ? c0 > c1 : c0 < c1) std::swap(c0, c1);
    const Pixel q0 = from565(c0), q1 = from565(c1);
    std::array<Pixel, 4> palette{q0, q1, q0, q1};
    for (int c = 0; c < 3; ++c) {
        if (three_colour) {
            palette[2][c] = (q0[c] + q1[c]) / 2;
        } else {
            palette[2][c] = (2 * q0[c] + q1[c]) / 3;
            palette[3][c] = (q0[c] + 2 * q1[c]) / 3;
        }
    }
    std::uint32_t indices = 0;
    for (int i = 0; i < 16; ++i) {
        unsigned best = 0;
        if (three_colour && transparent && block[i][3] < 128) {
            best = 3;
        } else {
            const unsigned candidates = three_colour ? 3 : 4;
            for (unsigned k = 1; k < candidates; ++k) {
                if (distance2(block[i], palette[k]) < distance2(block[i], palette[best])) best = k;
            }
        }
        indices |= std::uint32_t(best) << (2 * i);
    }
    store_le16(out, c0);
    store_le16(out + 2, c1);
    store_le16(out + 4, indices & 0xFFFF);
    store_le16(out + 6, indices >> 16);
}

void encode_dxt3_alpha(const RgbaBlock& block, std::uint8_t* out) {
    std::uint64_t word = 0;
    for (int i = 0; i < 16; ++i) word |= std::uint64_t((block[i][3] + 8) / 17) << (4 * i);
    for (int b = 0; b < 8; ++b) out[b] = std::uint8_t(word >> (8 * b));
}

void encode_dxt5_alpha_fast(const RgbaBlock& block, std::uint8_t* out) {
    int a0 = 0, a1 = 255;
    for (const auto& p : block) a0 = std::max<int>(a0, p[3]), a1 = std::min<int>(a1, p[3]);
    std::array<int, 8> palette{a0, a1, 0, 0, 0, 0, 0, 255};
    if (a0 > a1) {
        for (int k = 1; k <= 6; ++k) palette[k + 1] = ((7 - k) * a0 + k * a1) / 7;
    } else {
        for (int k = 1; k <= 4; ++k) palette[k + 1] = ((5 - k) * a0 + k * a1) / 5;
    }
    std::uint64_t word = 0;
    for (int i = 0; i < 16; ++i) {
        int best = 0;
        for (int k = 1; k < 8; ++k) {
            if (std::abs(block[i][3] - palette[k]) < std::abs(block[i][3] - palette[best])) best = k;
        }
        word |= std::uint64_t(best) << (3 * i);
    }
    out[0] = std::uint8_t(a0);
    out[1] = std::uint8_t(a1);
    for (int b = 0; b < 6; ++b) out[2 + b] = std::uint8_t(word >> (8 * b));
}

}  // namespace tarkeep::data
