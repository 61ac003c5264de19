// DXT5 alpha endpoints searched against the decoder's two modes: a0 > a1 spreads six steps
// between the endpoints; a0 <= a1 spreads four and adds exact 0 and 255. Each mode starts
// from the endpoints the values suggest and moves either endpoint a step while the exact error
// falls; the lower error wins, and every pixel takes its nearest entry.
//
// The pixel loops run over float lanes without branches, so that the compiler works on four
// pixels at once; the values are whole numbers far below 2^24, so the arithmetic is exact.
// "unroll 1" keeps such a loop a loop: unrolled in full, GCC keeps the lanes in scalar
// registers and works on one at a time.
#include <algorithm>
#include <climits>

#include "data/texture/dxt_block_encoders.h"

namespace tarkeep::data {
namespace {

using Alphas = std::array<float, 16>;
using AlphaPalette = std::array<float, 8>;

// Entry k is (w0[k] * a0 + w1[k] * a1) / d, and the six-value mode puts 0 and 255 last. Up to
// 7 * 255, s / 7 and s / 5 are exact as trunc(s * (1/7.f)) and trunc(s * (1/5.f)).
constexpr AlphaPalette kEight0 = {7, 0, 6, 5, 4, 3, 2, 1}, kEight1 = {0, 7, 1, 2, 3, 4, 5, 6};
constexpr AlphaPalette kSix0 = {5, 0, 4, 3, 2, 1, 0, 0}, kSix1 = {0, 5, 1, 2, 3, 4, 0, 0};

AlphaPalette alpha_palette(int a0, int a1) {
    const bool eight = a0 > a1;
    const AlphaPalette& w0 = eight ? kEight0 : kSix0;
    const AlphaPalette& w1 = eight ? kEight1 : kSix1;
    const float a = float(a0), b = float(a1), scale = eight ? 1 / 7.0f : 1 / 5.0f;
    AlphaPalette p;
    for (int k = 0; k < 8; ++k) p[k] = float(int((w0[k] * a + w1[k] * b) * scale));
    if (!eight) p[7] = 255;
    return p;
}

// Each pixel's squared distance to its nearest entry.
std::array<float, 16> distances(const Alphas& alphas, const AlphaPalette& palette) {
    std::array<float, 16> nearest;
    nearest.fill(1e9f);
    for (const float entry : palette) {
#pragma GCC unroll 1
        for (int i = 0; i < 16; ++i) {
            const float d = alphas[i] - entry;
            nearest[i] = std::min(nearest[i], d * d);
        }
    }
    return nearest;
}

int alpha_error(const Alphas& alphas, int a0, int a1) {
    const std::array<float, 16> d = distances(alphas, alpha_palette(a0, a1));
    std::array<float, 4> part{};  // four running sums, one vector register
    for (int i = 0; i < 16; i += 4) {
        for (int j = 0; j < 4; ++j) part[j] += d[i + j];
    }
    return int((part[0] + part[1]) + (part[2] + part[3]));
}

// Each pixel's nearest entry, the first of equals.
std::array<std::int32_t, 16> nearest_entries(const Alphas& alphas, const AlphaPalette& palette) {
    std::array<float, 16> nearest;
    nearest.fill(1e9f);
    std::array<std::int32_t, 16> index{};
    for (std::int32_t k = 0; k < 8; ++k) {
#pragma GCC unroll 1
        for (int i = 0; i < 16; ++i) {
            const float d = alphas[i] - palette[k];
            const std::int32_t closer = -std::int32_t(d * d < nearest[i]);  // all ones or zero
            index[i] = (index[i] & ~closer) | (k & closer);
            nearest[i] = std::min(nearest[i], d * d);
        }
    }
    return index;
}

struct AlphaEnds {
    int a0 = 0, a1 = 0;
    int error = INT_MAX;
};

// One-step moves of either endpoint within the mode, taking the best while the error falls
// (for a few rounds at most: the start is nearly always close).
AlphaEnds descend(const Alphas& alphas, AlphaEnds ends, bool eight_values) {
    const auto in_mode = [&](int a0, int a1) {
        return a0 >= 0 && a1 >= 0 && a0 <= 255 && a1 <= 255 && (a0 > a1) == eight_values;
    };
    ends.error = alpha_error(alphas, ends.a0, ends.a1);
    for (int round = 0; round < 8 && ends.error > 0; ++round) {
        const AlphaEnds start = ends;
        for (const auto& [d0, d1] : {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1}}) {
            const int a0 = start.a0 + d0, a1 = start.a1 + d1;
            if (!in_mode(a0, a1)) continue;
            const int error = alpha_error(alphas, a0, a1);
            if (error < ends.error) ends = {a0, a1, error};
        }
        if (ends.error == start.error) break;
    }
    return ends;
}

// The extremes of a block's alpha, and those of the values other than 0 and 255.
struct AlphaRange {
    int low = 255, high = 0, inner_low = 255, inner_high = 0;
};

AlphaRange range_of(const RgbaBlock& block) {
    AlphaRange range;
    for (const auto& pixel : block) {
        const int a = pixel[3], edge = int(a == 0) | int(a == 255);
        range.low = std::min(range.low, a), range.high = std::max(range.high, a);
        range.inner_low = std::min(range.inner_low, a | (-edge & 255));
        range.inner_high = std::max(range.inner_high, a & (edge - 1));
    }
    return range;
}

// The walk from `start`, and again from the least-squares endpoints for the entries the
// pixels then take, which can lie many steps away (blocks of noisy values).
AlphaEnds fit(const Alphas& alphas, const AlphaEnds& start, bool eight_values) {
    const AlphaEnds walked = descend(alphas, start, eight_values);
    if (walked.error == 0) return walked;
    const std::array<std::int32_t, 16> index = nearest_entries(alphas, alpha_palette(walked.a0, walked.a1));
    const AlphaPalette& w0 = eight_values ? kEight0 : kSix0;  // 0 and 255 weigh nothing
    const AlphaPalette& w1 = eight_values ? kEight1 : kSix1;
    float aa = 0, ab = 0, bb = 0, av = 0, bv = 0;
    for (int i = 0; i < 16; ++i) {
        const float a = w0[std::size_t(index[i])], b = w1[std::size_t(index[i])];
        aa += a * a, ab += a * b, bb += b * b, av += a * alphas[i], bv += b * alphas[i];
    }
    const float det = aa * bb - ab * ab, scale = eight_values ? 7.0f : 5.0f;
    if (!(det > 0)) return walked;
    const int a0 = int(std::clamp(scale * (bb * av - ab * bv) / det, 0.0f, 255.0f) + 0.5f);
    const int a1 = int(std::clamp(scale * (aa * bv - ab * av) / det, 0.0f, 255.0f) + 0.5f);
    if ((a0 > a1) != eight_values || (a0 == walked.a0 && a1 == walked.a1)) return walked;
    const AlphaEnds refitted = descend(alphas, {a0, a1}, eight_values);
    return refitted.error < walked.error ? refitted : walked;
}

// For a block of more than one value.
AlphaEnds search(const Alphas& alphas, const AlphaRange& range) {
    const AlphaEnds eight = fit(alphas, {range.high, range.low}, true);
    // Six values leave 0 and 255 to their own entries and span the values between: only worth
    // trying where 0 or 255 occur.
    if ((range.low != 0 && range.high != 255) || range.inner_low > range.inner_high || eight.error == 0) return eight;
    const AlphaEnds six = fit(alphas, {range.inner_low, range.inner_high}, false);
    return six.error < eight.error ? six : eight;
}

}  // namespace

void encode_dxt5_alpha_best(const RgbaBlock& block, std::uint8_t* out) {
    const AlphaRange range = range_of(block);
    if (range.low == range.high) {  // one value: entry 0 (the commonest block, all clear or all opaque)
        out[0] = out[1] = std::uint8_t(range.low);
        std::fill(out + 2, out + 8, 0);
        return;
    }
    Alphas alphas;
    for (int i = 0; i < 16; ++i) alphas[i] = block[i][3];
    const AlphaEnds ends = search(alphas, range);
    out[0] = std::uint8_t(ends.a0);
    out[1] = std::uint8_t(ends.a1);
    const std::array<std::int32_t, 16> index = nearest_entries(alphas, alpha_palette(ends.a0, ends.a1));
    std::uint64_t word = 0;
    for (int i = 0; i < 16; ++i) word |= std::uint64_t(index[i]) << (3 * i);
    for (int b = 0; b < 6; ++b) out[2 + b] = std::uint8_t(word >> (8 * b));
}

}  // namespace tarkeep::data
