// A plain DXT encoder and the 2x2 reduction for mip chains.
#include "data/texture/dxt_encoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>

#include "io/byte_order.h"

namespace tarkeep::data {

using io::append_le16;

namespace {

using Pixel = std::array<int, 4>;
using Block = std::array<Pixel, 16>;

Block gather(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height, std::uint32_t bx, std::uint32_t by) {
    Block block{};
    for (std::uint32_t i = 0; i < 16; ++i) {
        const std::uint32_t x = std::min(bx * 4 + i % 4, width - 1);
        const std::uint32_t y = std::min(by * 4 + i / 4, height - 1);
        const std::uint8_t* p = rgba + (std::size_t(y) * width + x) * 4;
        block[i] = {p[0], p[1], p[2], p[3]};
    }
    return block;
}

unsigned to565(const Pixel& p) {
    const unsigned r = unsigned(p[0] * 31 + 127) / 255, g = unsigned(p[1] * 63 + 127) / 255,
                   b = unsigned(p[2] * 31 + 127) / 255;
    return r << 11 | g << 5 | b;
}

Pixel from565(unsigned c) {
    return {int((c >> 11) * 255 / 31), int(((c >> 5) & 63) * 255 / 63), int((c & 31) * 255 / 31), 255};
}

int distance2(const Pixel& a, const Pixel& b) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d += (a[c] - b[c]) * (a[c] - b[c]);
    return d;
}

void encode_colour(const Block& block, bool dxt1, std::vector<std::uint8_t>& out) {
    Pixel lo{255, 255, 255, 0}, hi{0, 0, 0, 0};
    bool transparent = false;
    for (const Pixel& p : block) {
        if (dxt1 && p[3] < 128) {
            transparent = true;
            continue;
        }
        for (int c = 0; c < 3; ++c) lo[c] = std::min(lo[c], p[c]), hi[c] = std::max(hi[c], p[c]);
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
    append_le16(out, c0);
    append_le16(out, c1);
    append_le16(out, indices & 0xFFFF);
    append_le16(out, indices >> 16);
}

void encode_dxt3_alpha(const Block& block, std::vector<std::uint8_t>& out) {
    std::uint64_t word = 0;
    for (int i = 0; i < 16; ++i) word |= std::uint64_t((block[i][3] + 8) / 17) << (4 * i);
    for (int b = 0; b < 8; ++b) out.push_back(std::uint8_t(word >> (8 * b)));
}

void encode_dxt5_alpha(const Block& block, std::vector<std::uint8_t>& out) {
    int a0 = 0, a1 = 255;
    for (const Pixel& p : block) a0 = std::max(a0, p[3]), a1 = std::min(a1, p[3]);
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
    out.push_back(std::uint8_t(a0));
    out.push_back(std::uint8_t(a1));
    for (int b = 0; b < 6; ++b) out.push_back(std::uint8_t(word >> (8 * b)));
}

}  // namespace

std::vector<std::uint8_t> encode_dxt(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t format) {
    if (format < 4 || format > 6) throw std::invalid_argument("encode_dxt: not a DXT format");
    const std::uint32_t across = std::max<std::uint32_t>(1, (width + 3) / 4);
    const std::uint32_t down = std::max<std::uint32_t>(1, (height + 3) / 4);
    std::vector<std::uint8_t> out;
    out.reserve(std::size_t(across) * down * (format == 4 ? 8 : 16));
    for (std::uint32_t by = 0; by < down; ++by) {
        for (std::uint32_t bx = 0; bx < across; ++bx) {
            const Block block = width && height ? gather(rgba, width, height, bx, by) : Block{};
            if (format == 5) encode_dxt3_alpha(block, out);
            if (format == 6) encode_dxt5_alpha(block, out);
            encode_colour(block, format == 4, out);
        }
    }
    return out;
}

std::vector<std::uint8_t> encode_dxt(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t format, const DxtOptions&) {
    return encode_dxt(rgba, width, height, format);
}

std::vector<std::uint8_t> halve_rgba(const std::uint8_t* rgba, std::uint32_t width, std::uint32_t height,
                                     std::uint32_t& half_width, std::uint32_t& half_height) {
    half_width = std::max<std::uint32_t>(1, width / 2);
    half_height = std::max<std::uint32_t>(1, height / 2);
    std::vector<std::uint8_t> out(std::size_t(half_width) * half_height * 4);
    for (std::uint32_t y = 0; y < half_height; ++y) {
        for (std::uint32_t x = 0; x < half_width; ++x) {
            const std::uint32_t x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
            const std::uint32_t y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
            for (int c = 0; c < 4; ++c) {
                const auto at = [&](std::uint32_t px, std::uint32_t py) {
                    return rgba[(std::size_t(py) * width + px) * 4 + c];
                };
                out[(std::size_t(y) * half_width + x) * 4 + c] =
                    std::uint8_t((at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1) + 2) / 4);
            }
        }
    }
    return out;
}

}  // namespace tarkeep::data
