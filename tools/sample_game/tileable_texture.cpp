// The terrain material recipes and the periodic noise that make seamless procedural textures.
#include "tools/sample_game/tileable_texture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tarkeep::sample_game {
namespace {

using Colour = std::array<double, 3>;

// One material's look: a base gradient driven by fractal noise, plus optional ridges,
// wind ripples, blade streaks, cracks, scattered accents (stones, leaves) and grain.
struct Recipe {
    std::string_view name;
    Colour dark;
    Colour light;
    std::uint32_t cells = 4;
    int octaves = 5;
    bool ridged = false;
    std::uint32_t ripple_x = 0, ripple_y = 0;  // whole wave periods per tile
    double ripple = 0;
    double streaks = 0;  // weight of stretched high-frequency noise (grass blades)
    bool cracks = false;
    Colour accent{};
    std::uint32_t accent_cells = 0;  // 0: no accents
    double accent_threshold = 1;
    double grain = 6;  // per-pixel noise amplitude in levels
};

constexpr std::array<Recipe, kTerrainMaterialCount> kRecipes = {{
    {"grass", {46, 78, 28}, {104, 150, 52}, 4, 5, false, 0, 0, 0, 0.35, false, {150, 160, 80}, 20, 0.84, 8},
    {"sand", {176, 146, 98}, {226, 200, 150}, 3, 4, false, 3, 7, 0.4, 0, false, {}, 0, 1, 10},
    {"rock", {78, 76, 72}, {160, 156, 148}, 3, 6, true, 0, 0, 0, 0, false, {112, 118, 84}, 6, 0.8, 8},
    {"snow", {196, 206, 222}, {248, 250, 255}, 3, 4, false, 2, 5, 0.15, 0, false, {}, 0, 1, 4},
    {"mud", {58, 42, 28}, {112, 86, 60}, 5, 5, false, 0, 0, 0, 0, false, {38, 32, 28}, 8, 0.68, 6},
    {"dirt", {96, 70, 46}, {150, 116, 80}, 4, 5, false, 0, 0, 0, 0, false, {172, 162, 150}, 24, 0.8, 9},
    {"gravel", {100, 98, 94}, {170, 166, 160}, 8, 4, false, 0, 0, 0, 0, false, {200, 196, 188}, 32, 0.6, 12},
    {"moss", {40, 70, 34}, {90, 130, 60}, 6, 5, false, 0, 0, 0, 0.15, false, {120, 150, 70}, 12, 0.75, 6},
    {"clay", {150, 84, 52}, {200, 130, 90}, 3, 4, false, 0, 0, 0, 0, true, {}, 0, 1, 5},
    {"pebbles", {120, 112, 100}, {196, 188, 176}, 4, 4, false, 0, 0, 0, 0, false, {210, 204, 194}, 16, 0.56, 8},
    {"leaves", {70, 52, 24}, {170, 110, 40}, 5, 4, false, 0, 0, 0, 0.1, false, {120, 140, 40}, 12, 0.6, 10},
    {"ash", {50, 50, 52}, {110, 108, 106}, 4, 5, true, 0, 0, 0, 0, false, {160, 60, 30}, 10, 0.86, 14},
}};

double smooth(double t) { return t * t * (3 - 2 * t); }

Colour lerp(const Colour& a, const Colour& b, double t) {
    return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}

}  // namespace

std::string_view material_name(TerrainMaterial material) { return kRecipes[static_cast<std::size_t>(material)].name; }

std::uint64_t mix64(std::uint64_t value) {
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

double hash_unit(std::uint64_t seed, std::uint64_t a, std::uint64_t b) {
    const std::uint64_t h = mix64(seed ^ mix64(a ^ mix64(b)));
    return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}

PeriodicNoise::PeriodicNoise(std::uint64_t seed, std::uint32_t cells_x, std::uint32_t cells_y)
    : seed_(mix64(seed)), cells_x_(std::max(cells_x, 1u)), cells_y_(std::max(cells_y, 1u)) {}

double PeriodicNoise::lattice(std::int64_t ix, std::int64_t iy, std::uint32_t scale) const {
    const std::int64_t period_x = std::int64_t{cells_x_} * scale;
    const std::int64_t period_y = std::int64_t{cells_y_} * scale;
    const auto wrap = [](std::int64_t i, std::int64_t period) { return ((i % period) + period) % period; };
    return hash_unit(seed_ + scale, static_cast<std::uint64_t>(wrap(ix, period_x)),
                     static_cast<std::uint64_t>(wrap(iy, period_y)));
}

double PeriodicNoise::at(double u, double v) const {
    const double x = u * cells_x_;
    const double y = v * cells_y_;
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
    const double tx = smooth(x - fx), ty = smooth(y - fy);
    const double top = lattice(ix, iy, 1) + (lattice(ix + 1, iy, 1) - lattice(ix, iy, 1)) * tx;
    const double bottom = lattice(ix, iy + 1, 1) + (lattice(ix + 1, iy + 1, 1) - lattice(ix, iy + 1, 1)) * tx;
    return top + (bottom - top) * ty;
}

double PeriodicNoise::fractal(double u, double v, int octaves) const {
    double sum = 0, weight = 0, amplitude = 1;
    for (int octave = 0; octave < octaves; ++octave) {
        const std::uint32_t scale = 1u << octave;
        const double x = u * cells_x_ * scale;
        const double y = v * cells_y_ * scale;
        const double fx = std::floor(x), fy = std::floor(y);
        const auto ix = static_cast<std::int64_t>(fx), iy = static_cast<std::int64_t>(fy);
        const double tx = smooth(x - fx), ty = smooth(y - fy);
        const double a = lattice(ix, iy, scale), b = lattice(ix + 1, iy, scale);
        const double c = lattice(ix, iy + 1, scale), d = lattice(ix + 1, iy + 1, scale);
        const double top = a + (b - a) * tx;
        const double bottom = c + (d - c) * tx;
        sum += amplitude * (top + (bottom - top) * ty);
        weight += amplitude;
        amplitude *= 0.5;
    }
    // Sums of octaves crowd around the middle; stretch them back over [0, 1].
    return clamp01((sum / weight - 0.5) * 1.8 + 0.5);
}

std::vector<std::uint8_t> tileable_texture(TerrainMaterial material, std::uint32_t width, std::uint32_t height,
                                           std::uint64_t seed, bool height_in_alpha) {
    const Recipe& recipe = kRecipes[static_cast<std::size_t>(material)];
    const std::uint64_t base_seed = mix64(seed ^ (static_cast<std::uint64_t>(material) << 56));
    const PeriodicNoise base(base_seed, recipe.cells, recipe.cells);
    const PeriodicNoise warp(base_seed + 1, 3, 3);
    const PeriodicNoise streaks(base_seed + 2, recipe.cells * 24, recipe.cells * 3);
    const PeriodicNoise cracks(base_seed + 3, recipe.cells * 2, recipe.cells * 2);
    const PeriodicNoise accents(base_seed + 4, recipe.accent_cells, recipe.accent_cells);
    constexpr double two_pi = 2 * std::numbers::pi;

    std::vector<std::uint8_t> rgba(std::size_t{width} * height * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        const double v = (y + 0.5) / height;
        for (std::uint32_t x = 0; x < width; ++x) {
            const double u = (x + 0.5) / width;
            double n = base.fractal(u, v, recipe.octaves);
            if (recipe.ridged) n = 1 - std::abs(2 * n - 1);
            if (recipe.ripple > 0) {
                const double phase = two_pi * (recipe.ripple_x * u + recipe.ripple_y * v) + 4 * warp.fractal(u, v, 3);
                n = n * (1 - recipe.ripple) + (0.5 + 0.5 * std::sin(phase)) * recipe.ripple;
            }
            if (recipe.streaks > 0) n = n * (1 - recipe.streaks) + streaks.at(u, v) * recipe.streaks;
            Colour colour = lerp(recipe.dark, recipe.light, n);
            if (recipe.cracks) {
                const double distance = std::abs(cracks.fractal(u, v, 3) - 0.5);
                const double shade = 0.55 + 0.45 * clamp01(distance / 0.03);
                for (double& channel : colour) channel *= shade;
            }
            if (recipe.accent_cells > 0) {
                const double a = accents.fractal(u, v, 2);
                if (a > recipe.accent_threshold) {
                    // Accents keep the shading underneath so that they do not look pasted on.
                    const double t = 0.7 * clamp01((a - recipe.accent_threshold) / 0.08);
                    const double shade = 0.7 + 0.6 * n;
                    colour =
                        lerp(colour, {recipe.accent[0] * shade, recipe.accent[1] * shade, recipe.accent[2] * shade}, t);
                }
            }
            const double grain = (hash_unit(base_seed + 5, x, y) - 0.5) * 2 * recipe.grain;
            std::uint8_t* pixel = rgba.data() + (std::size_t{y} * width + x) * 4;
            pixel[0] = to_byte(colour[0] + grain);
            pixel[1] = to_byte(colour[1] + grain);
            pixel[2] = to_byte(colour[2] + grain);
            pixel[3] = height_in_alpha ? to_byte(40 + 200 * n) : 255;
        }
    }
    return rgba;
}

}  // namespace tarkeep::sample_game
