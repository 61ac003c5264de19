// The HD texture of a model from the model texture cache, recoloured for a player colour.
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "data/game_archives.h"
#include "image/rgba_image.h"
#include "tools/upscale/model_manifest.h"

namespace tarkeep::upscale {

struct ModelHdImage {
    image::RgbaImage image;
    bool patched = false;  // recoloured for a player colour
};

// The HD textures of one cache folder, its manifest read once; `get` only reads, so
// worker threads may share one lookup.
class ModelHdLookup {
public:
    ModelHdLookup(const data::GameArchives& archives, std::filesystem::path cache_dir);

    // The cached HD texture of `stem`, halved while its larger side exceeds
    // `max_size` (0: no limit) and both sides are even, then recoloured for
    // `colour` ('A'..'K'; 0 or '0' for none) when the archives hold that colour's
    // patch. Empty when the cache has no usable HD image for the texture (no record,
    // changed source, unreadable or resized PNG, a mask PNG that recolouring needs
    // and cannot read, or a name that is no stem): the caller keeps the game's own.
    std::optional<ModelHdImage> get(const std::string& stem, char colour /* 0 = none */, std::uint32_t max_size) const;

private:
    const data::GameArchives& archives_;
    std::filesystem::path cache_dir_;
    ModelManifest manifest_;
};

// One lookup for one texture.
std::optional<ModelHdImage> get_model_hd(const data::GameArchives& archives, const std::filesystem::path& cache_dir,
                                         const std::string& stem, char colour /* 0 = none */, std::uint32_t max_size);

enum class Recolour { unchanged, patched, mask_unreadable };

// Recolours an HD image of `stem` for `colour` as the game's patch recolours
// the small texture; weights come from the mask (the cached <stem>_pc.png at HD
// size) or, without one, from where the patch changes the texture. `hd` stays
// unchanged when there is no colour, no patch for it, a patch that changes nothing
// (no usable fit) or no readable mask PNG.
// `texture` holds the bytes of <stem>.texcache, which the caller has read already; `cached_mask`,
// when given, is <stem>_pc.png as the caller read it (a caller recolouring for every colour reads
// it once).
Recolour recolour_hd(const data::GameArchives& archives, const std::filesystem::path& cache_dir,
                     const std::string& stem, std::span<const std::uint8_t> texture, char colour, image::RgbaImage& hd,
                     const image::RgbaImage* cached_mask = nullptr);

}  // namespace tarkeep::upscale
