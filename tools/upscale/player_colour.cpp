// Learning a player-colour patch's effect on a small texture and applying it to
// an HD one.
#include "tools/upscale/player_colour.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "image/kernel_support.h"

namespace tarkeep::upscale {
namespace {

constexpr int kBins = 32;
constexpr int kStrengthBins = 16;
constexpr int kRounds = 3;

std::size_t pixel_count(const image::RgbaImage& image) { return std::size_t{image.width} * image.height; }

int luminance_bin(float luminance) {
    const int bin = static_cast<int>(luminance * 32.0f * (1.0f / 256.0f));
    return std::clamp(bin, 0, kBins - 1);
}

// Bins without samples take the colour of their filled neighbours; false when
// no bin has any.
bool fill_table(PcFit& fit, const std::array<double, kBins>& weight) {
    std::vector<int> filled;
    for (int b = 0; b < kBins; ++b) {
        if (weight[static_cast<std::size_t>(b)] > 1e-9) filled.push_back(b);
    }
    if (filled.empty()) return false;
    auto& t = fit.table;
    for (int b = 0; b < filled.front(); ++b)
        t[static_cast<std::size_t>(b)] = t[static_cast<std::size_t>(filled.front())];
    for (int b = filled.back() + 1; b < kBins; ++b)
        t[static_cast<std::size_t>(b)] = t[static_cast<std::size_t>(filled.back())];
    for (std::size_t i = 0; i + 1 < filled.size(); ++i) {
        const int a = filled[i], c = filled[i + 1];
        for (int b = a + 1; b < c; ++b) {
            for (std::size_t ch = 0; ch < 3; ++ch) {
                const float from = t[static_cast<std::size_t>(a)][ch], to = t[static_cast<std::size_t>(c)][ch];
                t[static_cast<std::size_t>(b)][ch] =
                    from + (to - from) * static_cast<float>(b - a) / static_cast<float>(c - a);
            }
        }
    }
    return true;
}

struct Sample {
    const std::uint8_t* n;
    const std::uint8_t* p;
    float w;
    float luminance;
};

bool build_table(PcFit& fit, const std::vector<Sample>& samples, int round) {
    std::array<double, kBins> weight{};
    std::array<std::array<double, 3>, kBins> sum{};
    for (const Sample& s : samples) {
        const float strength = round == 0 ? 1.0f : std::max(curve(fit, s.w), 0.001f);
        if (round > 0 && strength < 0.5f) continue;
        const auto b = static_cast<std::size_t>(luminance_bin(s.luminance));
        const double s2 = static_cast<double>(strength) * strength;
        weight[b] += s2;
        for (std::size_t c = 0; c < 3; ++c) {
            const float n = s.n[c];
            const float target = n + (static_cast<float>(s.p[c]) - n) / strength;
            sum[b][c] += static_cast<double>(target) * s2;
        }
    }
    for (std::size_t b = 0; b < kBins; ++b) {
        for (std::size_t c = 0; c < 3; ++c)
            fit.table[b][c] = weight[b] > 0 ? static_cast<float>(sum[b][c] / weight[b]) : 0.0f;
    }
    return fill_table(fit, weight);
}

void build_curve(PcFit& fit, const std::vector<Sample>& samples) {
    std::array<double, kStrengthBins> numerator{}, denominator{}, weight_sum{};
    for (const Sample& s : samples) {
        const std::array<float, 3> colour = table_colour(fit, s.luminance);
        double moved = 0, length = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const double d = static_cast<double>(colour[c]) - s.n[c];
            moved += (static_cast<double>(s.p[c]) - s.n[c]) * d;
            length += d * d;
        }
        const auto k = static_cast<std::size_t>(std::clamp(static_cast<int>(s.w * 16.0f), 0, kStrengthBins - 1));
        numerator[k] += moved;
        denominator[k] += length;
        weight_sum[k] += s.w * length;
    }
    fit.knot_count = 0;
    for (std::size_t k = 0; k < kStrengthBins; ++k) {
        if (!(denominator[k] > 100.0)) continue;
        const auto i = static_cast<std::size_t>(fit.knot_count++);
        fit.knot_x[i] = static_cast<float>(weight_sum[k] / denominator[k]);
        fit.knot_value[i] = static_cast<float>(std::clamp(numerator[k] / denominator[k], 0.0, 1.0));
    }
}

float fit_error(const PcFit& fit, const std::vector<Sample>& samples) {
    double total = 0, weights = 0;
    for (const Sample& s : samples) {
        const std::array<float, 3> colour = table_colour(fit, s.luminance);
        const float strength = curve(fit, s.w);
        double error = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const float n = s.n[c];
            error += std::fabs(static_cast<double>(s.p[c]) - (n + (colour[c] - n) * strength));
        }
        total += s.w * error / 3.0;
        weights += s.w;
    }
    return weights > 0 ? static_cast<float>(total / weights) : 0.0f;
}

}  // namespace

float pc_luminance(const std::uint8_t* pixel) {
    return 0.299f * static_cast<float>(pixel[0]) + 0.587f * static_cast<float>(pixel[1]) +
           0.114f * static_cast<float>(pixel[2]);
}

WeightMap change_map(const image::RgbaImage& a, const image::RgbaImage& b, int threshold) {
    WeightMap map(pixel_count(a), 0.0f);
    if (pixel_count(a) != pixel_count(b) || a.pixels.size() != b.pixels.size()) return map;
    for (std::size_t i = 0; i < map.size(); ++i) {
        const std::uint8_t* p = &a.pixels[i * 4];
        const std::uint8_t* q = &b.pixels[i * 4];
        const int difference = std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]);
        if (difference > threshold) map[i] = 1.0f;
    }
    return map;
}

WeightMap luminance_map(const image::RgbaImage& image) {
    WeightMap map(std::min(pixel_count(image), image.pixels.size() / 4));
    for (std::size_t i = 0; i < map.size(); ++i)
        map[i] = std::clamp(pc_luminance(&image.pixels[i * 4]) / 255.0f, 0.0f, 1.0f);
    return map;
}

float curve(const PcFit& fit, float w) {
    if (w < kPcMinWeight || fit.knot_count <= 0) return 0.0f;
    const auto& x = fit.knot_x;
    const auto& y = fit.knot_value;
    if (w <= x[0]) return x[0] > kPcMinWeight ? (w - kPcMinWeight) * y[0] / (x[0] - kPcMinWeight) : y[0];
    const auto count = static_cast<std::size_t>(std::min(fit.knot_count, 16));
    for (std::size_t k = 1; k < count; ++k) {
        if (x[k] >= w) {
            const float step = std::max(x[k] - x[k - 1], 0.000001f);
            return std::clamp(y[k - 1] + (w - x[k - 1]) / step * (y[k] - y[k - 1]), 0.0f, 1.0f);
        }
    }
    return y[count - 1];
}

std::array<float, 3> table_colour(const PcFit& fit, float luminance) {
    const float p = std::min(std::max(luminance, 0.0f), 256.0f) * 32.0f / 256.0f - 0.5f;
    const int i0 = std::clamp(static_cast<int>(std::floor(p)), 0, kBins - 1);
    const int i1 = std::min(i0 + 1, kBins - 1);
    const float f = std::clamp(p - static_cast<float>(i0), 0.0f, 1.0f);
    const auto& a = fit.table[static_cast<std::size_t>(i0)];
    const auto& b = fit.table[static_cast<std::size_t>(i1)];
    return {a[0] + (b[0] - a[0]) * f, a[1] + (b[1] - a[1]) * f, a[2] + (b[2] - a[2]) * f};
}

PcFit fit_player_colour(const image::RgbaImage& neutral, const image::RgbaImage& patched, const WeightMap& weights) {
    PcFit fit;
    const std::size_t count = pixel_count(neutral);
    if (pixel_count(patched) != count || weights.size() != count || neutral.pixels.size() != count * 4 ||
        patched.pixels.size() != count * 4)
        return fit;
    std::vector<Sample> samples;
    bool changed = false;
    for (std::size_t i = 0; i < count; ++i) {
        if (!(weights[i] >= kPcMinWeight)) continue;
        const std::uint8_t* n = &neutral.pixels[i * 4];
        const std::uint8_t* p = &patched.pixels[i * 4];
        changed = changed || n[0] != p[0] || n[1] != p[1] || n[2] != p[2];
        samples.push_back({n, p, weights[i], pc_luminance(n)});
    }
    fit.samples = static_cast<std::uint32_t>(samples.size());
    if (!changed) return fit;
    for (int round = 0; round < kRounds; ++round) {
        if (!build_table(fit, samples, round)) return fit;
        build_curve(fit, samples);
    }
    fit.valid = true;
    fit.error = fit_error(fit, samples);
    return fit;
}

void apply_player_colour(image::RgbaImage& image, const WeightMap& weights, const PcFit& fit) {
    const std::size_t count = pixel_count(image);
    if (!fit.valid || weights.size() != count || image.pixels.size() != count * 4) return;
    for (std::size_t i = 0; i < count; ++i) {
        const float strength = curve(fit, weights[i]);
        if (!(strength > 0)) continue;
        std::uint8_t* pixel = &image.pixels[i * 4];
        const std::array<float, 3> colour = table_colour(fit, pc_luminance(pixel));
        for (std::size_t c = 0; c < 3; ++c) {
            const float v = pixel[c];
            pixel[c] = image::detail::round_level(std::clamp(v + (colour[c] - v) * strength, 0.0f, 255.0f));
        }
    }
}

}  // namespace tarkeep::upscale
