// Fetching a cached HD model texture, optionally in a player colour.
#include "tools/upscale/model_hd.h"

#include <algorithm>

#include "data/game_file_names.h"
#include "data/text_lines.h"
#include "data/texture/pcpatch.h"
#include "data/texture/texture_image.h"
#include "image/kernel_support.h"
#include "image/kernels.h"
#include "image/png_files.h"
#include "tools/upscale/cache_keys.h"
#include "tools/upscale/model_catalogue.h"
#include "tools/upscale/player_colour.h"

namespace tarkeep::upscale {
namespace {

namespace fs = std::filesystem;

image::RgbaImage resized_to(image::RgbaImage image, std::uint32_t width, std::uint32_t height) {
    if (image.width == width && image.height == height) return image;
    return resize_bilinear(image, width, height);
}

image::RgbaImage weight_image(const WeightMap& weights, std::uint32_t width, std::uint32_t height) {
    image::RgbaImage image{width, height, std::vector<std::uint8_t>(weights.size() * 4, 255)};
    for (std::size_t i = 0; i < weights.size(); ++i) {
        const std::uint8_t grey = image::detail::round_level(std::clamp(weights[i] * 255.0f, 0.0f, 255.0f));
        image.pixels[i * 4] = image.pixels[i * 4 + 1] = image.pixels[i * 4 + 2] = grey;
    }
    return image;
}

}  // namespace

Recolour recolour_hd(const data::GameArchives& archives, const fs::path& cache_dir, const std::string& stem,
                     std::span<const std::uint8_t> texture, char colour, image::RgbaImage& hd,
                     const image::RgbaImage* cached_mask) {
    if (colour == 0 || colour == '0') return Recolour::unchanged;
    const std::string patch_name = data::pcpatch_name(stem, colour);
    if (!archives.contains(patch_name)) return Recolour::unchanged;
    const std::vector<std::uint8_t> patch = archives.read(patch_name);
    const image::RgbaImage neutral = data::texture_mip0(texture);
    const image::RgbaImage patched = data::texture_mip0(texture, std::span<const std::uint8_t>(patch));
    const bool has_mask = archives.contains(data::mask_file(stem));
    WeightMap source_weights;
    if (has_mask) {
        const image::RgbaImage mask = data::texture_to_rgba(archives.read(data::mask_file(stem)));
        source_weights = luminance_map(resized_to(mask, neutral.width, neutral.height));
    } else {
        source_weights = change_map(neutral, patched, 12);
    }
    const PcFit fit = fit_player_colour(neutral, patched, source_weights);
    if (!fit.valid) return Recolour::unchanged;
    image::RgbaImage hd_mask;
    if (has_mask && cached_mask) {
        hd_mask = *cached_mask;
    } else if (has_mask) {
        try {
            hd_mask = image::read_png_file(cache_file(cache_dir, stem + "_pc.png"));
        } catch (const std::exception&) {
            return Recolour::mask_unreadable;  // missing or damaged, like a missing HD image
        }
    } else {
        hd_mask = weight_image(source_weights, neutral.width, neutral.height);
    }
    apply_player_colour(hd, luminance_map(resized_to(hd_mask, hd.width, hd.height)), fit);
    return Recolour::patched;
}

ModelHdLookup::ModelHdLookup(const data::GameArchives& archives, fs::path cache_dir)
    : archives_(archives),
      cache_dir_(std::move(cache_dir)),
      manifest_(read_model_manifest(cache_dir_ / "manifest.txt")) {}

std::optional<ModelHdImage> ModelHdLookup::get(const std::string& texture_stem, char colour,
                                               std::uint32_t max_size) const {
    // Materials may name the texture file itself; the cache is keyed by stem.
    const std::string stem(data::without_suffix(data::ascii_lower(texture_stem), data::kTextureSuffix));
    const auto record = manifest_.find(stem);
    // A UI sheet of the same name is not this model's texture.
    if (record == manifest_.end() || is_ui_record(record->second) || !stem_problem(stem).empty()) return std::nullopt;
    if (!archives_.contains(data::texture_file(stem))) return std::nullopt;
    const std::vector<std::uint8_t> texture = archives_.read(data::texture_file(stem));
    const std::vector<std::uint8_t> mask = archives_.read_or_empty(data::mask_file(stem));
    if (record->second.hash != model_source_hash(texture, mask)) return std::nullopt;
    ModelHdImage result;
    try {
        result.image = image::read_png_file(cache_file(cache_dir_, stem + ".png"));
    } catch (const std::exception&) {
        return std::nullopt;  // missing or damaged: the cache has no usable HD texture
    }
    if (result.image.width != record->second.width || result.image.height != record->second.height) return std::nullopt;
    while (max_size != 0 && std::max(result.image.width, result.image.height) > max_size &&
           result.image.width % 2 == 0 && result.image.height % 2 == 0)
        result.image = box_down(result.image, 2);
    const Recolour recolour = recolour_hd(archives_, cache_dir_, stem, texture, colour, result.image);
    if (recolour == Recolour::mask_unreadable) return std::nullopt;
    result.patched = recolour == Recolour::patched;
    return result;
}

std::optional<ModelHdImage> get_model_hd(const data::GameArchives& archives, const fs::path& cache_dir,
                                         const std::string& texture_stem, char colour, std::uint32_t max_size) {
    return ModelHdLookup(archives, cache_dir).get(texture_stem, colour, max_size);
}

}  // namespace tarkeep::upscale
