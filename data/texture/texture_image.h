// Texture files as RGBA images: mip 0 with or without alpha, patched by a player colour.
#pragma once
#include <cstdint>
#include <optional>
#include <span>

#include "image/rgba_image.h"

namespace tarkeep::data {

// Mip 0 of a DXT1/3/5, RGB or RGBA texture file, with its alpha. Throws TexError.
RgbaImage texture_to_rgba(std::span<const std::uint8_t> texture_file);

// Mip 0 of a DXT texture file with every alpha set to 255. Throws TexError.
RgbaImage texture_to_rgb_opaque(std::span<const std::uint8_t> texture_file);

// Mip 0 of a DXT texture file with its alpha, decoded from the patched pixel data when
// a player-colour patch is given. Throws TexError.
RgbaImage texture_mip0(std::span<const std::uint8_t> texture_file,
                       std::optional<std::span<const std::uint8_t>> patch_file = std::nullopt);

}  // namespace tarkeep::data
