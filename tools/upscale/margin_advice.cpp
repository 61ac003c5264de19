// The margin warning of the terrain command.
#include "tools/upscale/margin_advice.h"

#include <algorithm>

namespace tarkeep::upscale {

namespace {
constexpr std::size_t kNamedTextures = 3;
}

std::string margin_warning(int margin, const std::vector<TextureSize>& textures) {
    std::vector<const TextureSize*> small;
    std::uint32_t smallest_side = UINT32_MAX;
    for (const TextureSize& texture : textures) {
        const std::uint32_t side = std::min(texture.width, texture.height);
        if (2 * std::int64_t{margin} <= std::int64_t{side}) continue;
        small.push_back(&texture);
        smallest_side = std::min(smallest_side, side);
    }
    if (small.empty()) return {};
    std::string names;
    for (std::size_t i = 0; i < std::min(small.size(), kNamedTextures); ++i)
        names += (i == 0 ? "" : ", ") + small[i]->stem;
    if (small.size() > kNamedTextures) names += " and " + std::to_string(small.size() - kNamedTextures) + " more";
    return "warning: --margin " + std::to_string(margin) + " is more than half the smaller side of " +
           std::to_string(small.size()) + (small.size() == 1 ? " texture (" : " textures (") + names +
           "), so their network inputs are mostly padding: try --margin " + std::to_string(smallest_side / 2) +
           " or less";
}

}  // namespace tarkeep::upscale
