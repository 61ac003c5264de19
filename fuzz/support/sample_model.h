// A model that reaches deep into the export: two bones, a skinned textured mesh with alpha,
// a level-of-detail node, and a keyframe file with rotation, translation, scale,
// visibility and text keys.
#pragma once
#include <cstdint>
#include <vector>

namespace tarkeep::fuzz {

std::vector<std::uint8_t> built_model();
// Animates the model's "Bip01", "Sword" and the body's alpha property.
std::vector<std::uint8_t> built_kf();

}  // namespace tarkeep::fuzz
