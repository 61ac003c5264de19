// Procedural textures that wrap seamlessly: every ingredient is periodic over the image
// (value noise on a lattice that wraps, sinusoids with whole periods per tile), so the
// right edge continues into the left one and the bottom into the top.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarkeep::sample_game {

// Shading arithmetic shared by every generated image of the sample game.
inline double clamp01(double t) { return std::clamp(t, 0.0, 1.0); }
inline std::uint8_t to_byte(double value) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

enum class TerrainMaterial : std::uint8_t {
    grass,
    sand,
    rock,
    snow,
    mud,
    dirt,
    gravel,
    moss,
    clay,
    pebbles,
    leaves,
    ash,
};
inline constexpr std::size_t kTerrainMaterialCount = 12;

// "grass", "sand", ...
std::string_view material_name(TerrainMaterial material);

// 64-bit mixing (splitmix64 finaliser): the one source of randomness of the sample game,
// so that a seed gives the same bytes on every platform.
std::uint64_t mix64(std::uint64_t value);
// A value in [0, 1) from a seed and two coordinates.
double hash_unit(std::uint64_t seed, std::uint64_t a, std::uint64_t b);

// Value noise in [0, 1] with `cells_x` x `cells_y` lattice cells per tile; u and v are
// tile coordinates (1.0 is one whole tile), so noise(u + 1, v) == noise(u, v).
class PeriodicNoise {
public:
    PeriodicNoise(std::uint64_t seed, std::uint32_t cells_x, std::uint32_t cells_y);
    double at(double u, double v) const;
    // Octaves with doubled cell counts and halved amplitudes, normalised to [0, 1].
    double fractal(double u, double v, int octaves) const;

private:
    double lattice(std::int64_t ix, std::int64_t iy, std::uint32_t scale) const;
    std::uint64_t seed_;
    std::uint32_t cells_x_;
    std::uint32_t cells_y_;
};

// An RGBA image of the material, width x height. With `height_in_alpha` the alpha
// channel carries a bump height (as some terrain textures do); otherwise it is 255.
std::vector<std::uint8_t> tileable_texture(TerrainMaterial material, std::uint32_t width, std::uint32_t height,
                                           std::uint64_t seed, bool height_in_alpha = false);

}  // namespace tarkeep::sample_game
