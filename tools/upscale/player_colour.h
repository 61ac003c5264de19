#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "image/rgba_image.h"

namespace tarkeep::upscale {

// How the game's player-colour patch changes a texture, learned from the small
// texture so that an upscaled one can be recoloured: a colour per luminance of
// the neutral pixel and a strength per mask weight.
struct PcFit {
    std::array<std::array<float, 3>, 32> table{};  // RGB per luminance bin of 8 levels
    std::int32_t knot_count = 0;
    std::array<float, 16> knot_x{};      // ascending weights
    std::array<float, 16> knot_value{};  // strengths in 0..1
    bool valid = false;                  // an invalid fit changes nothing
    std::uint32_t samples = 0;
    float error = 0;  // mean remaining error of the fit, in levels
};

// One value in 0..1 per pixel, row-major.
using WeightMap = std::vector<float>;

// Pixels weighted below this are outside the player-colour area.
inline constexpr float kPcMinWeight = 4.0f / 255.0f;

// 1 where the summed |RGB difference| exceeds `threshold`, else 0; all 0 when
// the pixel counts differ.
WeightMap change_map(const image::RgbaImage& a, const image::RgbaImage& b, int threshold);

// The luminance of each pixel divided by 255.
WeightMap luminance_map(const image::RgbaImage& image);

float pc_luminance(const std::uint8_t* pixel);

// Strength for a weight: 0 below kPcMinWeight, else the piecewise-linear knot
// curve.
float curve(const PcFit& fit, float weight);

// The fully recoloured RGB for a neutral luminance, interpolated between bin
// centres.
std::array<float, 3> table_colour(const PcFit& fit, float luminance);

// Learns the change from `neutral` to `patched` over the pixels weighted at
// least kPcMinWeight. Invalid when nothing changes there or the images and
// weights disagree in size.
PcFit fit_player_colour(const image::RgbaImage& neutral, const image::RgbaImage& patched, const WeightMap& weights);

// Moves each pixel towards the fit's colour by the curve's strength; alpha is
// kept. Nothing happens for an invalid fit or a weight map of another size.
void apply_player_colour(image::RgbaImage& image, const WeightMap& weights, const PcFit& fit);

}  // namespace tarkeep::upscale
