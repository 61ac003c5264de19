// Back-projection: pulls an upscaled image towards its source until its box averages match it.
#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/kernels.h"
#include "image/kernel_support.h"

namespace tarkeep::image {
using namespace detail;
namespace {

constexpr int kBlurRadius = 4;

std::vector<std::size_t> tap_table(std::uint32_t length, int radius, bool wrap) {
    std::vector<std::size_t> table(std::size_t{length} * (2 * radius + 1));
    std::size_t k = 0;
    for (std::int64_t i = 0; i < length; ++i) {
        for (std::int64_t o = -radius; o <= radius; ++o)
            table[k++] = static_cast<std::size_t>(wrap ? wrap_index(i + o, length) : clamp_index(i + o, length));
    }
    return table;
}

// Where each HD position samples the source grid: two mapped neighbours and the weight
// of the second.
struct Sample {
    std::size_t i0, i1;
    double frac;
};

std::vector<Sample> sample_table(std::uint32_t hd_length, std::uint32_t f, std::uint32_t length, bool wrap) {
    std::vector<Sample> table(hd_length);
    for (std::uint32_t i = 0; i < hd_length; ++i) {
        const double u = (i + 0.5) / f - 0.5;
        const double floor_u = std::floor(u);
        const auto i0 = static_cast<std::int64_t>(floor_u);
        auto map = [&](std::int64_t at) {
            return static_cast<std::size_t>(wrap ? wrap_index(at, length) : clamp_index(at, length));
        };
        table[i] = {map(i0), map(i0 + 1), u - floor_u};
    }
    return table;
}

// The residual: source minus the f x f box mean of the working image, per source pixel.
void compute_residual(const std::vector<float>& work, std::uint32_t hd_w, const RgbaImage& source, std::uint32_t f,
                      std::vector<float>& residual, std::vector<double>& sums) {
    const std::uint32_t w = source.width;
    const double area = double(f) * f;
    for (std::uint32_t y = 0; y < source.height; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0);
        for (std::uint32_t dy = 0; dy < f; ++dy) {
            const float* row = work.data() + (std::size_t{y} * f + dy) * hd_w * 3;
            for (std::uint32_t x = 0; x < w; ++x) {
                double* s = sums.data() + std::size_t{x} * 3;
                const float* block = row + std::size_t{x} * f * 3;
                for (std::uint32_t dx = 0; dx < f; ++dx) {
                    s[0] += block[dx * 3 + 0];
                    s[1] += block[dx * 3 + 1];
                    s[2] += block[dx * 3 + 2];
                }
            }
        }
        const std::uint8_t* src = source.pixels.data() + std::size_t{y} * w * 4;
        float* r = residual.data() + std::size_t{y} * w * 3;
        for (std::uint32_t x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c)
                r[x * 3 + c] = static_cast<float>(double(src[x * 4 + c]) - sums[x * 3 + c] / area);
        }
    }
}

// One residual row interpolated along x at every HD column.
void interpolate_row(const float* r, const std::vector<Sample>& columns, double* out) {
    for (std::size_t X = 0; X < columns.size(); ++X) {
        const Sample& s = columns[X];
        const double keep = 1 - s.frac;
        for (int c = 0; c < 3; ++c) out[X * 3 + c] = r[s.i0 * 3 + c] * keep + r[s.i1 * 3 + c] * s.frac;
    }
}

// f[i] = clamp(f[i] + (top[i] * keep + bottom[i] * frac), 0, 255), in double. The
// compiler will not vectorise the clamp on its own (it must keep -0.0 and NaN rules), so
// SSE2 does it with the same operations in the same order: max(0, v) and min(255, v)
// return exactly what "v < 0 ? 0 : v" and "v > 255 ? 255 : v" return.
void add_clamped(float* f, const double* top, const double* bottom, double keep, double frac, std::size_t n) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128d k = _mm_set1_pd(keep), fr = _mm_set1_pd(frac);
    const __m128d lo = _mm_setzero_pd(), hi = _mm_set1_pd(255.0);
    for (; i + 2 <= n; i += 2) {
        const __m128d old = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(f + i))));
        const __m128d add = _mm_add_pd(_mm_mul_pd(_mm_loadu_pd(top + i), k), _mm_mul_pd(_mm_loadu_pd(bottom + i), fr));
        const __m128d v = _mm_min_pd(hi, _mm_max_pd(lo, _mm_add_pd(old, add)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(f + i), _mm_castps_si128(_mm_cvtpd_ps(v)));
    }
#endif
    for (; i < n; ++i) {
        double v = f[i] + (top[i] * keep + bottom[i] * frac);
        v = v < 0.0 ? 0.0 : v;
        v = v > 255.0 ? 255.0 : v;
        f[i] = static_cast<float>(v);
    }
}

// Adds the bilinearly upsampled residual to the working image, clamped to 0..255.
void add_upsampled(std::vector<float>& work, std::uint32_t hd_w, std::uint32_t hd_h, const std::vector<float>& residual,
                   std::uint32_t w, const std::vector<Sample>& columns, const std::vector<Sample>& rows) {
    std::vector<double> top(std::size_t{hd_w} * 3), bottom(std::size_t{hd_w} * 3);
    std::size_t top_row = SIZE_MAX, bottom_row = SIZE_MAX;
    for (std::uint32_t Y = 0; Y < hd_h; ++Y) {
        const Sample& s = rows[Y];
        // Consecutive rows share source rows: reuse their horizontal interpolation.
        if (s.i0 != top_row) {
            if (s.i0 == bottom_row) {
                top.swap(bottom);
                bottom_row = SIZE_MAX;
            } else {
                interpolate_row(residual.data() + s.i0 * w * 3, columns, top.data());
            }
            top_row = s.i0;
        }
        if (s.i1 != bottom_row) {
            if (s.i1 == top_row) {
                bottom = top;
            } else {
                interpolate_row(residual.data() + s.i1 * w * 3, columns, bottom.data());
            }
            bottom_row = s.i1;
        }
        const double keep = 1 - s.frac;
        float* f = work.data() + std::size_t{Y} * hd_w * 3;
        add_clamped(f, top.data(), bottom.data(), keep, s.frac, std::size_t{hd_w} * 3);
    }
}

}  // namespace

void box_blur3(std::vector<float>& values, std::uint32_t width, std::uint32_t height, int radius, bool wrap) {
    if (values.size() != std::size_t{width} * height * 3)
        fail("box_blur3", "buffer of " + std::to_string(values.size()) + " values does not match " +
                              size_text(width, height) + " x 3");
    if (radius < 0) fail("box_blur3", "negative radius " + std::to_string(radius));
    if (width == 0 || height == 0) return;
    const std::size_t taps = 2 * static_cast<std::size_t>(radius) + 1;
    const double divisor = static_cast<double>(taps);

    // Along x, one row at a time.
    const auto columns = tap_table(width, radius, wrap);
    std::vector<float> row(std::size_t{width} * 3);
    for (std::uint32_t y = 0; y < height; ++y) {
        float* line = values.data() + std::size_t{y} * width * 3;
        std::copy(line, line + row.size(), row.begin());
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t* tap = columns.data() + x * taps;
            double s0 = 0, s1 = 0, s2 = 0;
            for (std::size_t k = 0; k < taps; ++k) {
                const float* p = row.data() + tap[k] * 3;
                s0 += p[0];
                s1 += p[1];
                s2 += p[2];
            }
            line[x * 3 + 0] = static_cast<float>(s0 / divisor);
            line[x * 3 + 1] = static_cast<float>(s1 / divisor);
            line[x * 3 + 2] = static_cast<float>(s2 / divisor);
        }
    }

    // Along y: every output row is the mean of whole input rows, summed in tap order.
    const auto rows = tap_table(height, radius, wrap);
    const std::vector<float> input = values;
    const std::size_t stride = std::size_t{width} * 3;
    std::vector<double> sums(stride);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0);
        for (std::size_t k = 0; k < taps; ++k) {
            const float* src = input.data() + rows[std::size_t{y} * taps + k] * stride;
            for (std::size_t i = 0; i < stride; ++i) sums[i] += src[i];
        }
        float* dst = values.data() + std::size_t{y} * stride;
        for (std::size_t i = 0; i < stride; ++i) dst[i] = static_cast<float>(sums[i] / divisor);
    }
}

RgbaImage back_project(const RgbaImage& hd, const RgbaImage& source, int passes, double strength, bool wrap) {
    const std::uint32_t f = require_scaled("back_project", hd, source);
    if (passes <= 0) return hd;
    const std::uint32_t w = source.width, h = source.height;
    const std::size_t hd_pixels = std::size_t{hd.width} * hd.height;

    std::vector<float> work(hd_pixels * 3);
    for (std::size_t i = 0; i < hd_pixels; ++i) {
        for (int c = 0; c < 3; ++c) work[i * 3 + c] = hd.pixels[i * 4 + c];
    }
    const auto columns = sample_table(hd.width, f, w, wrap);
    const auto rows = sample_table(hd.height, f, h, wrap);
    std::vector<float> residual(std::size_t{w} * h * 3);
    std::vector<double> sums(std::size_t{w} * 3);

    for (int pass = 0; pass < passes; ++pass) {
        compute_residual(work, hd.width, source, f, residual, sums);
        std::vector<float> smooth = residual;
        box_blur3(smooth, w, h, kBlurRadius, wrap);
        // The first pass keeps part of the residual's fine detail; later ones only the smooth part.
        const double weight = pass == 0 ? strength : 0.0;
        for (std::size_t i = 0; i < residual.size(); ++i)
            residual[i] = static_cast<float>(smooth[i] + weight * (residual[i] - smooth[i]));
        add_upsampled(work, hd.width, hd.height, residual, w, columns, rows);
    }

    RgbaImage out = hd;
    for (std::size_t i = 0; i < hd_pixels; ++i) {
        for (int c = 0; c < 3; ++c) out.pixels[i * 4 + c] = round_level(work[i * 3 + c]);
    }
    return out;
}

}  // namespace tarkeep::image
