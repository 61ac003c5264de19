// Nearest and Lanczos upscaling with precomputed phases, in bands over the worker threads.
#include "tools/ref_upscaler/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "platform/worker_pool.h"

namespace tarkeep::ref_upscaler {
namespace {

using data::RgbaImage;

constexpr std::size_t kBand = 16;  // rows per job

// Runs body(first, last) over [0, count) in bands, on the worker threads when asked.
template <class Body>
void for_bands(std::size_t count, bool parallel, Body&& body) {
    const std::size_t bands = (count + kBand - 1) / kBand;
    auto band = [&](std::size_t b) { body(b * kBand, std::min(count, (b + 1) * kBand)); };
    if (parallel) {
        platform::run_jobs(bands, band);
    } else {
        for (std::size_t b = 0; b < bands; ++b) band(b);
    }
}

image::RgbaImage nearest(const image::RgbaImage& src, std::uint32_t s, bool parallel) {
    image::RgbaImage out{src.width * s, src.height * s, std::vector<std::uint8_t>(src.pixels.size() * s * s)};
    const std::size_t out_stride = std::size_t{out.width} * 4;
    for_bands(src.height, parallel, [&](std::size_t first, std::size_t last) {
        for (std::size_t y = first; y < last; ++y) {
            const std::uint8_t* in = src.pixels.data() + y * src.width * 4;
            std::uint8_t* row = out.pixels.data() + y * s * out_stride;
            for (std::size_t x = 0; x < src.width; ++x)
                for (std::uint32_t k = 0; k < s; ++k) std::memcpy(row + (x * s + k) * 4, in + x * 4, 4);
            for (std::uint32_t k = 1; k < s; ++k) std::memcpy(row + k * out_stride, row, out_stride);
        }
    });
    return out;
}

double lanczos(double x, int radius) {
    if (x == 0) return 1;
    if (std::fabs(x) >= radius) return 0;
    const double px = std::numbers::pi * x;
    return radius * std::sin(px) * std::sin(px / radius) / (px * px);
}

// For each of the s output phases of a source position: the first tap (relative to
// the source position) and 2 * radius normalised weights.
struct Phases {
    int taps = 0;
    std::vector<int> first;
    std::vector<float> weights;
};

Phases make_phases(std::uint32_t s, int radius) {
    Phases ph;
    ph.taps = 2 * radius;
    for (std::uint32_t p = 0; p < s; ++p) {
        const double u = (p + 0.5) / s - 0.5;
        const int base = static_cast<int>(std::floor(u)) - radius + 1;
        std::vector<double> w(static_cast<std::size_t>(ph.taps));
        double sum = 0;
        for (int k = 0; k < ph.taps; ++k) sum += w[k] = lanczos(u - (base + k), radius);
        ph.first.push_back(base);
        for (double v : w) ph.weights.push_back(static_cast<float>(v / sum));
    }
    return ph;
}

image::RgbaImage lanczos_upscale(const image::RgbaImage& src, std::uint32_t s, int radius, bool parallel) {
    const Phases ph = make_phases(s, radius);
    const std::size_t w = src.width, h = src.height, out_w = w * s, out_h = h * s;
    const std::size_t row_values = out_w * 4;
    const std::ptrdiff_t pad = radius + 1;

    // Along x into a float image of out_w x h.
    std::vector<float> across(row_values * h);
    for_bands(h, parallel, [&](std::size_t first, std::size_t last) {
        std::vector<float> padded((w + 2 * pad) * 4);
        for (std::size_t y = first; y < last; ++y) {
            const std::uint8_t* in = src.pixels.data() + y * w * 4;
            for (std::ptrdiff_t x = -pad; x < static_cast<std::ptrdiff_t>(w) + pad; ++x) {
                const std::size_t cx = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(x, 0, w - 1));
                for (int c = 0; c < 4; ++c) padded[(x + pad) * 4 + c] = in[cx * 4 + c];
            }
            float* out = across.data() + y * row_values;
            for (std::size_t x = 0; x < w; ++x) {
                for (std::uint32_t p = 0; p < s; ++p) {
                    const float* tap = padded.data() + (x + pad + ph.first[p]) * 4;
                    const float* wt = ph.weights.data() + p * ph.taps;
                    float acc[4] = {0, 0, 0, 0};
                    for (int k = 0; k < ph.taps; ++k)
                        for (int c = 0; c < 4; ++c) acc[c] += wt[k] * tap[k * 4 + c];
                    std::memcpy(out + (x * s + p) * 4, acc, sizeof acc);
                }
            }
        }
    });

    // Along y, whole rows at a time.
    image::RgbaImage out{static_cast<std::uint32_t>(out_w), static_cast<std::uint32_t>(out_h),
                         std::vector<std::uint8_t>(row_values * out_h)};
    for_bands(out_h, parallel, [&](std::size_t first, std::size_t last) {
        std::vector<float> acc(row_values);
        for (std::size_t Y = first; Y < last; ++Y) {
            const std::size_t y = Y / s, p = Y % s;
            const float* wt = ph.weights.data() + p * ph.taps;
            std::fill(acc.begin(), acc.end(), 0.0f);
            for (int k = 0; k < ph.taps; ++k) {
                const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) + ph.first[p] + k;
                const float* in = across.data() + std::clamp<std::ptrdiff_t>(row, 0, h - 1) * row_values;
                const float weight = wt[k];
                for (std::size_t i = 0; i < row_values; ++i) acc[i] += weight * in[i];
            }
            std::uint8_t* dst = out.pixels.data() + Y * row_values;
            for (std::size_t i = 0; i < row_values; ++i)
                dst[i] = static_cast<std::uint8_t>(std::clamp(acc[i], 0.0f, 255.0f) + 0.5f);
        }
    });
    return out;
}

}  // namespace

image::RgbaImage upscale_image(const image::RgbaImage& source, const RefModel& model, int scale, bool parallel) {
    const auto s = static_cast<std::uint32_t>(scale);
    if (source.width == 0 || source.height == 0) return image::RgbaImage{source.width * s, source.height * s, {}};
    if (model.kernel == RefModel::Kernel::nearest) return nearest(source, s, parallel);
    return lanczos_upscale(source, s, model.radius, parallel);
}

}  // namespace tarkeep::ref_upscaler
