// Advice on the padding margin: a margin larger than half a texture makes its network input mostly padding.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tarkeep::upscale {

struct TextureSize {
    std::string stem;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The warning line (without "\n") when `margin` is larger than half the smaller side of
// some of the textures: it names them (the first three and a count of the rest) and
// suggests half the smallest such side. Empty when no texture is that small.
std::string margin_warning(int margin, const std::vector<TextureSize>& textures);

}  // namespace tarkeep::upscale
