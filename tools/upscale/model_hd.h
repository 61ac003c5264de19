// The HD texture of a model from the model texture cache (declaration; see the note below).
#pragma once
// TEMPORARY on the gltf branch: declaration only. The model texture cache (its own branch)
// defines get_model_hd; until that lands on main, tarkeep_upscale does not link. Replace
// this file by the real header when merging; nothing else here depends on more than this.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "data/game_archives.h"
#include "image/rgba_image.h"

namespace tarkeep::upscale {

struct ModelHdImage {
    image::RgbaImage image;
    bool patched = false;
};

std::optional<ModelHdImage> get_model_hd(const data::GameArchives& archives, const std::filesystem::path& cache_dir,
                                         const std::string& stem, char colour /* 0 = none */, std::uint32_t max_size);

}  // namespace tarkeep::upscale
