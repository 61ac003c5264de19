#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "data/game_archives.h"
#include "data/nif/nif_file.h"

namespace tarkeep::upscale {

// One texture that the game's models use.
struct ModelTexture {
    std::string stem;
    int users = 0;  // distinct models referencing it
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t format = 0;
    std::uint32_t mask_width = 0;  // 0 x 0 without a mask or when masks are not scanned
    std::uint32_t mask_height = 0;
    std::string patches;  // player-colour letters whose patch exists
    bool alpha = false;   // some alpha below 255 (tested for DXT textures only)
    std::string problem;  // why the texture or its mask cannot be read; empty when they can

    bool has_mask() const { return mask_width != 0 || mask_height != 0; }
};

using ModelCatalogue = std::map<std::string, ModelTexture>;

// Prints "<stem>: <problem>" on standard error for a texture that cannot be read, which
// then fails alone; false for a readable one.
bool report_unreadable(const ModelTexture& texture);

// The "--only" names as texture stems: lower-cased, and those that cannot be stems left
// out after a warning on standard error.
std::vector<std::string> only_stems(const std::vector<std::string>& names);

// The texture names (lower-cased, as their files are looked up) of every source
// texture that a texturing property of the model references.
std::set<std::string> texturing_property_textures(const data::NifFile& model);

// Every texture of the archives' .nifcache models that the archives hold, with
// its size, format, alpha, patches and, when `masks` is set, its mask size. A name
// that cannot be a stem is left out with a warning.
// Models are read on the worker threads. `missing`, when given, receives the names that
// models reference but the archives do not hold.
ModelCatalogue scan_model_textures(const data::GameArchives& archives, bool masks,
                                   std::set<std::string>* missing = nullptr);

// The upscale factor for a w x h texture: 0 when it is smaller than `min_size`
// on a side or no factor of two or more keeps its larger side within
// `max_size`.
std::uint32_t choose_scale(std::uint32_t w, std::uint32_t h, std::uint32_t min_size, std::uint32_t max_size,
                           std::uint32_t max_factor);

// Why choose_scale gives 0 for a w x h texture: "WxH below --min-size N" or "WxH above --max-size N".
std::string unscaled_reason(std::uint32_t w, std::uint32_t h, std::uint32_t min_size, std::uint32_t max_size);

}  // namespace tarkeep::upscale
