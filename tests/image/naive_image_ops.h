// Straight per-pixel transcriptions of the kernel formulas: the oracle of the kernel
// tests and the baseline of bench/image_ops.cpp. Written for clarity, not speed.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/rgba_image.h"

namespace tarkeep::naive {

using data::RgbaImage;

inline std::uint8_t get(const RgbaImage& im, std::int64_t x, std::int64_t y, int c) {
    return im.pixels[(static_cast<std::size_t>(y) * im.width + static_cast<std::size_t>(x)) * 4 + c];
}
inline std::uint8_t& at(RgbaImage& im, std::int64_t x, std::int64_t y, int c) {
    return im.pixels[(static_cast<std::size_t>(y) * im.width + static_cast<std::size_t>(x)) * 4 + c];
}
inline std::int64_t wrap(std::int64_t i, std::int64_t n) { return ((i % n) + n) % n; }
inline std::int64_t clamp(std::int64_t i, std::int64_t n) { return std::min(std::max<std::int64_t>(i, 0), n - 1); }

// Mean of channel c over the f x f block of `im` at block (x, y).
inline double block_mean(const RgbaImage& im, std::uint32_t f, std::uint32_t x, std::uint32_t y, int c) {
    double sum = 0;
    for (std::uint32_t dy = 0; dy < f; ++dy)
        for (std::uint32_t dx = 0; dx < f; ++dx) sum += get(im, x * f + dx, y * f + dy, c);
    return sum / (double(f) * f);
}

inline RgbaImage box_down(const RgbaImage& im, std::uint32_t f) {
    if (f <= 1) return im;
    RgbaImage out{im.width / f, im.height / f,
                  std::vector<std::uint8_t>(std::size_t{im.width / f} * (im.height / f) * 4)};
    for (std::uint32_t y = 0; y < out.height; ++y)
        for (std::uint32_t x = 0; x < out.width; ++x)
            for (int c = 0; c < 4; ++c)
                at(out, x, y, c) = static_cast<std::uint8_t>(std::floor(block_mean(im, f, x, y, c) + 0.5));
    return out;
}

inline double consistency(const RgbaImage& hd, const RgbaImage& src) {
    const std::uint32_t f = hd.width / src.width;
    double total = 0;
    for (std::uint32_t y = 0; y < src.height; ++y)
        for (std::uint32_t x = 0; x < src.width; ++x)
            for (int c = 0; c < 3; ++c) total += std::fabs(get(src, x, y, c) - block_mean(hd, f, x, y, c));
    return total / (double(src.width) * src.height * 3);
}

// Edges: wrapped, mirrored with the edge pixel repeated, or clamped.
inline std::int64_t mirror(std::int64_t i, std::int64_t n) {
    const std::int64_t k = wrap(i, 2 * n);
    return k < n ? k : 2 * n - 1 - k;
}

inline RgbaImage pad(const RgbaImage& im, int m, bool mirrored, bool wrap_x, bool wrap_y) {
    auto map = [&](std::int64_t i, std::int64_t n, bool wraps) {
        return wraps ? wrap(i, n) : mirrored ? mirror(i, n) : clamp(i, n);
    };
    RgbaImage out{im.width + 2 * m, im.height + 2 * m, {}};
    for (std::int64_t y = -m; y < im.height + m; ++y)
        for (std::int64_t x = -m; x < im.width + m; ++x)
            for (int c = 0; c < 4; ++c)
                out.pixels.push_back(get(im, map(x, im.width, wrap_x), map(y, im.height, wrap_y), c));
    return out;
}

inline void box_blur3(std::vector<float>& v, std::uint32_t w, std::uint32_t h, int r, bool wrap_edges) {
    auto map = [&](std::int64_t i, std::int64_t n) { return wrap_edges ? wrap(i, n) : clamp(i, n); };
    for (const bool along_rows : {true, false}) {
        const std::vector<float> in = v;
        for (std::int64_t y = 0; y < h; ++y)
            for (std::int64_t x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    double sum = 0;
                    for (int o = -r; o <= r; ++o)
                        sum += along_rows ? in[(y * w + map(x + o, w)) * 3 + c] : in[(map(y + o, h) * w + x) * 3 + c];
                    v[(y * w + x) * 3 + c] = static_cast<float>(sum / (2 * r + 1));
                }
    }
}

inline RgbaImage back_project(const RgbaImage& hd, const RgbaImage& src, int passes, double strength, bool wrap_edges) {
    if (passes <= 0) return hd;
    const std::uint32_t f = hd.width / src.width, w = src.width, h = src.height, W = hd.width, H = hd.height;
    auto map = [&](std::int64_t i, std::int64_t n) { return wrap_edges ? wrap(i, n) : clamp(i, n); };
    std::vector<float> F(std::size_t{W} * H * 4);
    for (std::size_t i = 0; i < F.size(); ++i) F[i] = hd.pixels[i];
    std::vector<float> R(std::size_t{w} * h * 3);
    for (int pass = 0; pass < passes; ++pass) {
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    double sum = 0;
                    for (std::uint32_t dy = 0; dy < f; ++dy)
                        for (std::uint32_t dx = 0; dx < f; ++dx)
                            sum += F[((std::size_t{y} * f + dy) * W + std::size_t{x} * f + dx) * 4 + c];
                    R[(std::size_t{y} * w + x) * 3 + c] = static_cast<float>(get(src, x, y, c) - sum / (double(f) * f));
                }
        std::vector<float> B = R;
        box_blur3(B, w, h, 4, wrap_edges);
        const double weight = pass == 0 ? strength : 0.0;
        for (std::size_t i = 0; i < R.size(); ++i) R[i] = static_cast<float>(B[i] + weight * (R[i] - B[i]));
        for (std::uint32_t Y = 0; Y < H; ++Y)
            for (std::uint32_t X = 0; X < W; ++X) {
                const double u = (X + 0.5) / f - 0.5, v = (Y + 0.5) / f - 0.5;
                const double fu = std::floor(u), fv = std::floor(v);
                const double fx = u - fu, fy = v - fv;
                const std::int64_t x0 = map(std::int64_t(fu), w), x1 = map(std::int64_t(fu) + 1, w);
                const std::int64_t y0 = map(std::int64_t(fv), h), y1 = map(std::int64_t(fv) + 1, h);
                for (int c = 0; c < 3; ++c) {
                    auto r = [&](std::int64_t yy, std::int64_t xx) { return R[(yy * w + xx) * 3 + c]; };
                    float& value = F[(std::size_t{Y} * W + X) * 4 + c];
                    const double add = (r(y0, x0) * (1 - fx) + r(y0, x1) * fx) * (1 - fy) +
                                       (r(y1, x0) * (1 - fx) + r(y1, x1) * fx) * fy;
                    value = static_cast<float>(std::clamp(value + add, 0.0, 255.0));
                }
            }
    }
    RgbaImage out = hd;
    for (std::size_t i = 0; i < out.pixels.size(); ++i)
        if (i % 4 != 3) out.pixels[i] = static_cast<std::uint8_t>(std::round(F[i]));
    return out;
}

inline void dering(RgbaImage& hd, const RgbaImage& src, int d) {
    const std::uint32_t f = hd.width / src.width;
    const std::int64_t w = src.width, h = src.height;
    for (std::uint32_t Y = 0; Y < hd.height; ++Y)
        for (std::uint32_t X = 0; X < hd.width; ++X) {
            const std::int64_t y0 = clamp(std::int64_t(std::floor((Y + 0.5) / f - 0.5)), h),
                               y1 = std::min(h - 1, y0 + 1);
            const std::int64_t x0 = clamp(std::int64_t(std::floor((X + 0.5) / f - 0.5)), w),
                               x1 = std::min(w - 1, x0 + 1);
            for (int c = 0; c < 3; ++c) {
                const int vals[4] = {get(src, x0, y0, c), get(src, x1, y0, c), get(src, x0, y1, c),
                                     get(src, x1, y1, c)};
                const int lo = std::max(*std::min_element(vals, vals + 4) - d, 0);
                const int hi = std::min(*std::max_element(vals, vals + 4) + d, 255);
                at(hd, X, Y, c) = static_cast<std::uint8_t>(std::clamp<int>(get(hd, X, Y, c), lo, hi));
            }
        }
}

inline void bleed(RgbaImage& im, int t, int n) {
    const std::int64_t w = im.width, h = im.height;
    std::vector<char> mask(std::size_t(w * h));
    std::uint64_t sum[3] = {0, 0, 0}, count = 0;
    for (std::int64_t y = 0; y < h; ++y)
        for (std::int64_t x = 0; x < w; ++x)
            if (get(im, x, y, 3) > t) {
                mask[std::size_t(y * w + x)] = 1;
                ++count;
                for (int c = 0; c < 3; ++c) sum[c] += get(im, x, y, c);
            }
    if (count == 0 || count == std::uint64_t(w * h)) return;
    for (int pass = 0; pass < n; ++pass) {
        std::vector<char> next = mask;
        bool changed = false;
        for (std::int64_t y = 0; y < h; ++y)
            for (std::int64_t x = 0; x < w; ++x) {
                if (mask[std::size_t(y * w + x)]) continue;
                unsigned s[3] = {0, 0, 0}, k = 0;
                for (std::int64_t dy = -1; dy <= 1; ++dy)
                    for (std::int64_t dx = -1; dx <= 1; ++dx) {
                        const std::int64_t nx = x + dx, ny = y + dy;
                        if (nx < 0 || ny < 0 || nx >= w || ny >= h || !mask[std::size_t(ny * w + nx)]) continue;
                        ++k;
                        for (int c = 0; c < 3; ++c) s[c] += get(im, nx, ny, c);
                    }
                if (k == 0) continue;
                for (int c = 0; c < 3; ++c) at(im, x, y, c) = static_cast<std::uint8_t>((s[c] + k / 2) / k);
                next[std::size_t(y * w + x)] = 1;
                changed = true;
            }
        mask = next;
        if (!changed) break;
    }
    for (std::int64_t y = 0; y < h; ++y)
        for (std::int64_t x = 0; x < w; ++x)
            if (!mask[std::size_t(y * w + x)])
                for (int c = 0; c < 3; ++c)
                    at(im, x, y, c) = static_cast<std::uint8_t>(std::round(double(sum[c]) / double(count)));
}

inline RgbaImage resize_bilinear(const RgbaImage& im, std::uint32_t W, std::uint32_t H) {
    RgbaImage out{W, H, std::vector<std::uint8_t>(std::size_t{W} * H * 4, 0)};
    if (W == 0 || H == 0 || im.width == 0 || im.height == 0) return out;
    for (std::uint32_t y = 0; y < H; ++y)
        for (std::uint32_t x = 0; x < W; ++x) {
            const double tx = (x + 0.5) * im.width / W - 0.5, ty = (y + 0.5) * im.height / H - 0.5;
            const double fx = std::floor(tx), fy = std::floor(ty);
            const float wx = static_cast<float>(tx - fx), wy = static_cast<float>(ty - fy);
            const std::int64_t x0 = clamp(std::int64_t(fx), im.width), x1 = clamp(std::int64_t(fx) + 1, im.width);
            const std::int64_t y0 = clamp(std::int64_t(fy), im.height), y1 = clamp(std::int64_t(fy) + 1, im.height);
            for (int c = 0; c < 4; ++c) {
                const float a = get(im, x0, y0, c), b = get(im, x1, y0, c);
                const float a2 = get(im, x0, y1, c), b2 = get(im, x1, y1, c);
                const float top = a + (b - a) * wx, bottom = a2 + (b2 - a2) * wx;
                const float v = std::clamp(top + (bottom - top) * wy, 0.0f, 255.0f);
                at(out, x, y, c) = static_cast<std::uint8_t>(std::round(v));
            }
        }
    return out;
}

}  // namespace tarkeep::naive
