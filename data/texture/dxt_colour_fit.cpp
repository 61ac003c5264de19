// Colour endpoints fitted to a block: the pixels' principal axis, cut evenly between the extreme
// pixels, assigns each a palette entry; the least-squares line for those entries gives the
// endpoints, which are rounded to 5:6:5 and improved against the decoder's own integer palette,
// which alone decides the error. Three colours are tried too in DXT1, and kept where they win.
//
// The loops over pixels run over all lanes of fixed-size arrays without branches (unused lanes
// weigh nothing) so that the compiler works on four lanes at once. A block of at most four
// distinct colours (most blocks of flat-shaded art) is worked on as four weighted lanes instead
// of sixteen. Colour values, palette entries and errors are whole numbers far below 2^24, so
// the float arithmetic on them is exact. "unroll 1" keeps a lane loop a loop: unrolled in full,
// GCC keeps the lanes in scalar registers and works on one at a time.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "data/texture/dxt_block_encoders.h"

namespace tarkeep::data {
namespace {

using Rgb = std::array<float, 3>;
using Codes = std::array<int, 3>;  // 5, 6 and 5 bits

constexpr Codes kCodeMax = {31, 63, 31};

// A pair of codes whose palette entry 2 comes nearest to a value, and how near.
struct SinglePair {
    std::uint8_t e0 = 0, e1 = 0;
    int distance = 256;
};

// The decoder's expansion of each channel's codes, the nearest code to each 8-bit value, and
// for each value the pair whose entry 2 comes nearest in either mode.
struct ChannelTables {
    std::array<std::array<int, 64>, 3> expand{};
    std::array<std::array<std::uint8_t, 256>, 3> nearest{};
    std::array<std::array<SinglePair, 256>, 3> two_thirds{}, half{};

    ChannelTables() {
        for (int c = 0; c < 3; ++c) {
            for (int q = 0; q <= kCodeMax[c]; ++q) expand[c][q] = q * 255 / kCodeMax[c];
            for (int v = 0; v < 256; ++v) {
                for (int q = 0; q <= kCodeMax[c]; ++q) {
                    if (std::abs(expand[c][q] - v) < std::abs(expand[c][nearest[c][v]] - v)) nearest[c][v] = q;
                }
            }
            single_pairs(
                c, [](int p0, int p1) { return (2 * p0 + p1) / 3; }, two_thirds[c]);
            single_pairs(
                c, [](int p0, int p1) { return (p0 + p1) / 2; }, half[c]);
        }
    }

    // For each value the pair whose entry comes nearest (the lower entry of equally near ones,
    // the first pair in code order that gives it).
    template <class Entry>
    void single_pairs(int c, Entry entry, std::array<SinglePair, 256>& best) const {
        std::array<SinglePair, 256> exact{};  // the pair giving each value exactly, if any
        for (int e0 = kCodeMax[c]; e0 >= 0; --e0) {
            for (int e1 = kCodeMax[c]; e1 >= 0; --e1)
                exact[entry(expand[c][e0], expand[c][e1])] = {std::uint8_t(e0), std::uint8_t(e1), 0};
        }
        for (int v = 0; v < 256; ++v) {
            for (int at = 0; at < 256; ++at) {
                if (exact[at].distance == 0 && std::abs(at - v) < best[v].distance)
                    best[v] = {exact[at].e0, exact[at].e1, std::abs(at - v)};
            }
        }
    }
};

// Built before main, so the hot paths read it without a guard.
const ChannelTables kTables;

// Sums over the lanes in four running parts, which the compiler keeps in one vector register
// (a single running sum would have to be added up in order).
template <std::size_t N>
float lane_dot(const std::array<float, N>& x, const std::array<float, N>& y) {
    std::array<float, 4> part{};
    for (std::size_t i = 0; i < N; i += 4) {
        for (std::size_t j = 0; j < 4; ++j) part[j] += x[i + j] * y[i + j];
    }
    return (part[0] + part[1]) + (part[2] + part[3]);
}

// The colours the endpoints serve, in the first `count` of N lanes, each weighted by its
// number of pixels; the other lanes weigh nothing.
template <std::size_t N>
struct Colours {
    using Lanes = std::array<float, N>;
    int count = 0;
    std::array<Lanes, 3> value{};
    Lanes weight{};
    float pixels = 0;  // the sum of the weights
};

// Endpoint codes and the mode they are meant for; entry 0 is `e0`, entry 1 is `e1`.
struct Endpoints {
    Codes e0{}, e1{};
    bool three_colour = false;
};

// The palette entries as the decoder computes them (entry 3 goes unused with three colours).
struct Palette {
    std::array<Rgb, 4> entry{};
    int entries = 4;
};

Palette palette_of(const Endpoints& ends) {
    Palette palette;
    palette.entries = ends.three_colour ? 3 : 4;
    for (int c = 0; c < 3; ++c) {
        const int p0 = kTables.expand[c][ends.e0[c]], p1 = kTables.expand[c][ends.e1[c]];
        palette.entry[0][c] = float(p0);
        palette.entry[1][c] = float(p1);
        palette.entry[2][c] = float(ends.three_colour ? (p0 + p1) / 2 : (2 * p0 + p1) / 3);
        palette.entry[3][c] = float((p0 + 2 * p1) / 3);
    }
    return palette;
}

// The endpoints with each lane's nearest palette entry (the first of equals) and the summed
// squared error.
template <std::size_t N>
struct Encoding {
    Endpoints ends;
    std::array<std::uint8_t, N> index{};
    float error = 0;
};

template <std::size_t N>
Encoding<N> encoding_of(const Colours<N>& colours, const Endpoints& ends) {
    const Palette palette = palette_of(ends);
    std::array<float, N> nearest;
    nearest.fill(1e9f);
    std::array<std::int32_t, N> index{};
    for (std::int32_t k = 0; k < palette.entries; ++k) {
        const float r = palette.entry[k][0], g = palette.entry[k][1], b = palette.entry[k][2];
#pragma GCC unroll 1
        for (std::size_t i = 0; i < N; ++i) {
            const float dr = colours.value[0][i] - r, dg = colours.value[1][i] - g, db = colours.value[2][i] - b;
            const float d = dr * dr + dg * dg + db * db;
            const std::int32_t closer = -std::int32_t(d < nearest[i]);  // all ones or zero
            index[i] = (index[i] & ~closer) | (k & closer);
            nearest[i] = std::min(nearest[i], d);
        }
    }
    Encoding<N> encoding{ends, {}, lane_dot(colours.weight, nearest)};
    for (std::size_t i = 0; i < N; ++i) encoding.index[i] = std::uint8_t(index[i]);
    return encoding;
}

// With the entries held, each channel is independent: the pair of codes within one step of
// the present ones that gives that channel's pixels the least error. Its error is the sum over
// entries of p (n p - 2 s) plus a constant, n the pixels on the entry and s the sum of their
// values. The nine pairs are priced side by side; k / 3 is exact as trunc(k * (1/3.f)) for
// every k up to 765.
template <std::size_t N>
bool refine_channels(const Colours<N>& colours, const Encoding<N>& encoding, Endpoints& ends) {
    std::array<float, 4> count{};
    std::array<std::array<float, 4>, 3> twice_sum{};
    for (int i = 0; i < colours.count; ++i) {
        const int k = encoding.index[i];
        count[k] += colours.weight[i];
        for (int c = 0; c < 3; ++c) twice_sum[c][k] += 2 * colours.weight[i] * colours.value[c][i];
    }
    bool changed = false;
    for (int c = 0; c < 3; ++c) {
        std::array<int, 3> codes0, codes1;
        for (int d = 0; d < 3; ++d) {
            codes0[d] = std::clamp(ends.e0[c] + d - 1, 0, kCodeMax[c]);
            codes1[d] = std::clamp(ends.e1[c] + d - 1, 0, kCodeMax[c]);
        }
        std::array<float, 12> p0{}, p1{}, error{};
        for (int pair = 0; pair < 9; ++pair) {
            p0[pair] = float(kTables.expand[c][codes0[pair / 3]]);
            p1[pair] = float(kTables.expand[c][codes1[pair % 3]]);
        }
        const auto& sum = twice_sum[c];
        for (int pair = 0; pair < 12; ++pair) {
            const float a = p0[pair], b = p1[pair];
            const float p2 = ends.three_colour ? float(int((a + b) * 0.5f)) : float(int((2 * a + b) * (1 / 3.0f)));
            const float p3 = float(int((a + 2 * b) * (1 / 3.0f)));
            error[pair] = a * (count[0] * a - sum[0]) + b * (count[1] * b - sum[1]) + p2 * (count[2] * p2 - sum[2]) +
                          p3 * (count[3] * p3 - sum[3]);
        }
        int best = 4;  // the present pair, kept unless another is strictly better
        for (int pair = 0; pair < 9; ++pair) best = error[pair] < error[best] ? pair : best;
        if (best != 4) {
            ends.e0[c] = codes0[best / 3];
            ends.e1[c] = codes1[best % 3];
            changed = true;
        }
    }
    return changed;
}

template <std::size_t N>
Encoding<N> lower(const Encoding<N>& a, const Encoding<N>& b) {
    return b.error < a.error ? b : a;
}

// The endpoints refined channel by channel with the entries held, then the entries chosen
// anew; kept where the error falls. (A second pass took 0.2% off the error of photo-like art
// for a tenth more time.) Blocks of at most four colours, mostly the edges of flat-shaded art,
// keep their rounded least-squares endpoints: refining them took 3% off the error of such art
// but a quarter more time, and its speed matters as much.
template <std::size_t N>
Encoding<N> refine(const Colours<N>& colours, const Encoding<N>& start) {
    Endpoints ends = start.ends;
    if (N == 4 || start.error == 0 || !refine_channels(colours, start, ends)) return start;
    return lower(start, encoding_of(colours, ends));
}

// The direction along which the colours spread most: the principal eigenvector of their
// covariance, by power iteration on the matrix squared twice (the fourth power, applied twice,
// is eight plain steps). Scaled by the trace first so that the powers stay in range.
template <std::size_t N>
Rgb principal_axis(const Colours<N>& colours, const Rgb& mean) {
    std::array<std::array<float, N>, 3> weighted;
    for (int c = 0; c < 3; ++c) {
#pragma GCC unroll 1
        for (std::size_t i = 0; i < N; ++i) weighted[c][i] = colours.value[c][i] * colours.weight[i];
    }
    const auto moment = [&](int a, int b) {
        return lane_dot(weighted[a], colours.value[b]) - colours.pixels * mean[a] * mean[b];
    };
    std::array<float, 6> m = {moment(0, 0), moment(0, 1), moment(0, 2), moment(1, 1), moment(1, 2), moment(2, 2)};
    const float trace = m[0] + m[3] + m[5];
    if (!(trace > 0)) return {1, 1, 1};
    for (float& v : m) v /= trace;
    // Symmetric 3x3 as rr rg rb gg gb bb.
    const auto square = [](const std::array<float, 6>& a) {
        return std::array<float, 6>{a[0] * a[0] + a[1] * a[1] + a[2] * a[2], a[0] * a[1] + a[1] * a[3] + a[2] * a[4],
                                    a[0] * a[2] + a[1] * a[4] + a[2] * a[5], a[1] * a[1] + a[3] * a[3] + a[4] * a[4],
                                    a[1] * a[2] + a[3] * a[4] + a[4] * a[5], a[2] * a[2] + a[4] * a[4] + a[5] * a[5]};
    };
    const auto times = [](const std::array<float, 6>& a, const Rgb& v) {
        return Rgb{a[0] * v[0] + a[1] * v[1] + a[2] * v[2], a[1] * v[0] + a[3] * v[1] + a[4] * v[2],
                   a[2] * v[0] + a[4] * v[1] + a[5] * v[2]};
    };
    const std::array<float, 6> fourth = square(square(m));
    // Start from the row of the widest channel, which cannot be orthogonal to the axis.
    const int widest = m[0] >= m[3] && m[0] >= m[5] ? 0 : m[3] >= m[5] ? 1 : 2;
    const int row[3][3] = {{0, 1, 2}, {1, 3, 4}, {2, 4, 5}};
    Rgb axis = times(fourth, times(fourth, {m[row[widest][0]], m[row[widest][1]], m[row[widest][2]]}));
    const float largest = std::max({std::abs(axis[0]), std::abs(axis[1]), std::abs(axis[2])});
    if (!(largest > 0)) return {1, 1, 1};
    for (float& v : axis) v /= largest;
    return axis;
}

// Where the colours lie along their principal axis.
template <std::size_t N>
struct Spread {
    Rgb mean{};
    std::array<float, N> position{};
    float low = 0, high = 0;  // of the lanes in use
};

template <std::size_t N>
Spread<N> spread_of(const Colours<N>& colours) {
    Spread<N> spread;
    for (int c = 0; c < 3; ++c) spread.mean[c] = lane_dot(colours.value[c], colours.weight) / colours.pixels;
    const Rgb axis = principal_axis(colours, spread.mean);
#pragma GCC unroll 1
    for (std::size_t i = 0; i < N; ++i) {
        spread.position[i] =
            axis[0] * colours.value[0][i] + axis[1] * colours.value[1][i] + axis[2] * colours.value[2][i];
    }
    spread.low = spread.high = spread.position[0];
    for (int i = 1; i < colours.count; ++i) {
        spread.low = std::min(spread.low, spread.position[i]);
        spread.high = std::max(spread.high, spread.position[i]);
    }
    return spread;
}

// The least-squares line through the colours for the palette of `Levels` entries (4 or 3), each
// colour taking the entry its place along the axis suggests when the axis between the extreme
// colours is cut evenly. With the entries at a / s of the way from `end` to `start`
// (a = s ... 0), the endpoints solve
//     aa * start + ab * end = s * ax,   ab * start + bb * end = s * bx
// on the centred colour values, where bx = -ax.
template <int Levels, std::size_t N>
Endpoints fit_line(const Colours<N>& colours, const Spread<N>& spread, bool three_colour) {
    constexpr float s = Levels - 1;
    std::array<std::int32_t, N> entry{};  // the entry each colour takes, counted from `start`
    for (int cut = 0; cut < Levels - 1; ++cut) {
        const float at = spread.low + (spread.high - spread.low) * float(2 * cut + 1) / float(2 * Levels - 2);
#pragma GCC unroll 1
        for (std::size_t i = 0; i < N; ++i) entry[i] += std::int32_t(spread.position[i] > at);
    }
    std::array<float, N> a, b, weighted_a, weighted_b;  // each lane's share of `start` and of `end`, times s
#pragma GCC unroll 1
    for (std::size_t i = 0; i < N; ++i) {
        a[i] = s - float(entry[i]);
        b[i] = float(entry[i]);
        weighted_a[i] = a[i] * colours.weight[i];
        weighted_b[i] = b[i] * colours.weight[i];
    }
    const float aa = lane_dot(a, weighted_a), ab = lane_dot(a, weighted_b), bb = lane_dot(b, weighted_b);
    // det > 0 as long as both end entries hold a colour; should rounding have emptied one, the
    // line shrinks to the mean (and the refinement starts from there).
    const float det = aa * bb - ab * ab, scale = det > 0 ? s / det : 0;
    Endpoints ends;
    ends.three_colour = three_colour;
    for (int c = 0; c < 3; ++c) {
        const float mean = spread.mean[c];
        // The sum of weight * a * (x - mean); the sum of weight * a is (aa + ab) / s.
        const float ax = lane_dot(weighted_a, colours.value[c]) - (aa + ab) / s * mean;
        const float start = mean + scale * (bb + ab) * ax, end = mean - scale * (aa + ab) * ax;
        ends.e0[c] = kTables.nearest[c][int(std::clamp(start, 0.0f, 255.0f) + 0.5f)];
        ends.e1[c] = kTables.nearest[c][int(std::clamp(end, 0.0f, 255.0f) + 0.5f)];
    }
    return ends;
}

// One colour: every channel takes the pair whose entry 2 comes nearest, every pixel entry 2.
template <std::size_t N>
Encoding<N> single_colour(const Colours<N>& colours, bool three_colour) {
    Encoding<N> encoding;
    encoding.ends.three_colour = three_colour;
    int error = 0;
    for (int c = 0; c < 3; ++c) {
        const SinglePair& pair = (three_colour ? kTables.half : kTables.two_thirds)[c][int(colours.value[c][0])];
        encoding.ends.e0[c] = pair.e0;
        encoding.ends.e1[c] = pair.e1;
        error += pair.distance * pair.distance;
    }
    encoding.index.fill(2);
    encoding.error = float(error) * colours.pixels;
    return encoding;
}

// Transparent pixels need entry 3 of the three-colour mode; DXT3/5 decode four colours only.
template <std::size_t N>
Encoding<N> encode_colours(const Colours<N>& colours, bool three_only, bool three_allowed) {
    if (colours.count == 1) {
        const Encoding<N> first = single_colour(colours, three_only);
        return three_allowed ? lower(first, single_colour(colours, true)) : first;
    }
    const Spread<N> spread = spread_of(colours);
    if (three_only) return refine(colours, encoding_of(colours, fit_line<3>(colours, spread, true)));
    const Encoding<N> four = refine(colours, encoding_of(colours, fit_line<4>(colours, spread, false)));
    // Three colours rarely win, and never by much where four leave little error (400 summed
    // over the block is an average of 3 per channel): they are tried only above that, and
    // refined only where they already win (refining only lowers the error).
    constexpr float kWorthTrying = 400;
    if (!three_allowed || four.error <= kWorthTrying) return four;
    const Encoding<N> three = encoding_of(colours, fit_line<3>(colours, spread, true));
    return three.error < four.error ? lower(four, refine(colours, three)) : four;
}

// The block bytes. The decoder picks the mode from the order of the packed endpoints, so the
// pair is swapped (with the indices that name them) to match; equal endpoints in four-colour
// mode would read as three colours in DXT1, so every pixel then takes entry 0, which is the same.
template <std::size_t N>
void write_block(const std::array<std::int8_t, 16>& lane, const Encoding<N>& encoding, std::uint8_t* out) {
    const Endpoints& ends = encoding.ends;
    const auto pack = [](const Codes& e) { return unsigned(e[0] << 11 | e[1] << 5 | e[2]); };
    unsigned c0 = pack(ends.e0), c1 = pack(ends.e1);
    std::array<unsigned, 4> renamed = {0, 1, 2, 3};
    if (ends.three_colour ? c0 > c1 : c0 < c1) {
        std::swap(c0, c1);
        renamed = ends.three_colour ? std::array<unsigned, 4>{1, 0, 2, 3} : std::array<unsigned, 4>{1, 0, 3, 2};
    }
    if (!ends.three_colour && c0 == c1) renamed = {0, 0, 0, 0};
    std::array<std::uint32_t, N + 1> index_of_lane;  // lane + 1; the pixels of no lane are transparent
    index_of_lane[0] = 3;
    for (std::size_t k = 0; k < N; ++k) index_of_lane[k + 1] = renamed[encoding.index[k]];
    std::uint32_t indices = 0;
    for (int i = 0; i < 16; ++i) indices |= index_of_lane[std::size_t(lane[i] + 1)] << (2 * i);
    const std::uint32_t words[2] = {c0 | c1 << 16, indices};
    for (int b = 0; b < 8; ++b) out[b] = std::uint8_t(words[b / 4] >> (8 * (b % 4)));
}

// Each pixel's colour as R | G << 8 | B << 16, or kClear for a DXT1 pixel that becomes transparent.
constexpr std::uint32_t kClear = 0xFFFFFFFFu;

std::array<std::uint32_t, 16> colour_keys(const RgbaBlock& block, bool dxt1) {
    std::array<std::uint32_t, 16> keys;
    for (int i = 0; i < 16; ++i) {
        const auto& p = block[i];
        const std::uint32_t rgb = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
        keys[i] = dxt1 && p[3] < 128 ? kClear : rgb;
    }
    return keys;
}

template <std::size_t N>
void set_colour(Colours<N>& colours, int lane, std::uint32_t key) {
    for (int c = 0; c < 3; ++c) colours.value[c][lane] = float((key >> (8 * c)) & 0xFF);
}

// Up to four distinct colours, weighted, in four lanes; false where there are more.
bool few_colours(const std::array<std::uint32_t, 16>& keys, Colours<4>& colours, std::array<std::int8_t, 16>& lane) {
    std::array<std::uint32_t, 4> seen{};
    for (int i = 0; i < 16; ++i) {
        lane[i] = -1;
        if (keys[i] == kClear) continue;
        int at = 0;
        while (at < colours.count && seen[at] != keys[i]) ++at;
        if (at == 4) return false;
        if (at == colours.count) {
            seen[at] = keys[i];
            set_colour(colours, at, keys[i]);
            ++colours.count;
        }
        colours.weight[at] += 1;
        colours.pixels += 1;
        lane[i] = std::int8_t(at);
    }
    return true;
}

// Every pixel that is not transparent in a lane of its own.
Colours<16> all_colours(const std::array<std::uint32_t, 16>& keys, std::array<std::int8_t, 16>& lane) {
    Colours<16> colours;
    for (int i = 0; i < 16; ++i) {
        lane[i] = -1;
        if (keys[i] == kClear) continue;
        set_colour(colours, colours.count, keys[i]);
        colours.weight[colours.count] = 1;
        lane[i] = std::int8_t(colours.count++);
    }
    colours.pixels = float(colours.count);
    return colours;
}

}  // namespace

void encode_colour_best(const RgbaBlock& block, bool dxt1, std::uint8_t* out) {
    const std::array<std::uint32_t, 16> keys = colour_keys(block, dxt1);
    std::uint32_t differ = 0;
    for (const std::uint32_t key : keys) differ |= key ^ keys[0];
    if (differ == 0 && keys[0] != kClear) {  // one colour, the commonest block of flat art
        std::array<std::int8_t, 16> lane{};
        Colours<4> one;
        one.count = 1;
        set_colour(one, 0, keys[0]);
        one.weight[0] = one.pixels = 16;
        write_block(lane, encode_colours(one, false, dxt1), out);
        return;
    }
    const bool transparent = std::find(keys.begin(), keys.end(), kClear) != keys.end();
    std::array<std::int8_t, 16> lane;
    Colours<4> few;
    if (few_colours(keys, few, lane)) {
        if (few.count == 0) {  // every pixel transparent
            write_block(lane, Encoding<4>{{{}, {}, true}, {}, 0}, out);
            return;
        }
        write_block(lane, encode_colours(few, transparent, dxt1), out);
        return;
    }
    const Colours<16> colours = all_colours(keys, lane);
    write_block(lane, encode_colours(colours, transparent, dxt1), out);
}

}  // namespace tarkeep::data
