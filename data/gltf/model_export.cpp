// One export run: reading the model, the texture provider with its cache, the .glb bytes.
#include "data/gltf/model_export.h"

#include <algorithm>

#include "data/game_file_names.h"
#include "data/gltf_error.h"
#include "data/nif/nif_file.h"
#include "data/text_lines.h"
#include "data/texture/dxt.h"
#include "data/texture/pcpatch.h"
#include "data/texture/texcache.h"
#include "data/texture/texture_image.h"
#include "image/pixel_channels.h"
#include "image/png.h"

namespace tarkeep::data {
namespace {

// A material's texture name as its file: lower-cased, the suffix added where it is missing.
std::string texture_file_of(const std::string& name) {
    return texture_file(without_suffix(ascii_lower(name), kTextureSuffix));
}

std::shared_ptr<const GltfImage> encoded(std::uint32_t width, std::uint32_t height,
                                         const std::vector<std::uint8_t>& pixels, bool player_colour) {
    auto out = std::make_shared<GltfImage>();
    out->transparent = image::has_transparency(pixels);
    out->player_colour = player_colour;
    out->png = image::encode_png(width, height, pixels.data(), true);
    return out;
}

// The game's own texture in a colour: mip 0, from the patched blocks where a patch exists.
std::shared_ptr<const GltfImage> game_texture(const GameFiles& files, const std::string& name, char colour) {
    const std::vector<std::uint8_t> texture = files.read(texture_file_of(name));
    const TexcacheFile header = read_texcache(texture);
    if (header.mipmaps.empty()) throw GltfError("texture without mip levels: " + name);
    if (!is_dxt_format(header.format)) {
        // Patches replace DXT blocks, so an uncompressed texture has none to apply.
        const image::RgbaImage mip0 = texture_to_rgba(texture);
        return encoded(mip0.width, mip0.height, mip0.pixels, false);
    }
    std::optional<std::vector<std::uint8_t>> patch;
    if (colour != 0) {
        const std::string patch_name = pcpatch_name(ascii_lower(name), colour);
        if (files.contains(patch_name)) patch = files.read(patch_name);
    }
    const image::RgbaImage mip0 =
        patch ? texture_mip0(texture, std::span<const std::uint8_t>(*patch)) : texture_mip0(texture);
    return encoded(mip0.width, mip0.height, mip0.pixels, patch.has_value());
}

}  // namespace

std::shared_ptr<const GltfTextureCache::Image> GltfTextureCache::image(const std::string& key) const {
    const auto found = images_.find(key);
    return found == images_.end() ? nullptr : found->second;
}

void GltfTextureCache::store_image(const std::string& key, std::shared_ptr<const Image> image) {
    images_[key] = std::move(image);
}

std::shared_ptr<const GltfTextureCache::Pbr> GltfTextureCache::pbr(const std::string& key) const {
    const auto found = pbrs_.find(key);
    return found == pbrs_.end() ? nullptr : found->second;
}

void GltfTextureCache::store_pbr(const std::string& key, std::shared_ptr<const Pbr> pbr) {
    pbrs_[key] = std::move(pbr);
}

GameFiles game_files(const GameArchives& archives) {
    return {[&archives](std::string_view name) { return archives.contains(name); },
            [&archives](std::string_view name) { return archives.read(name); }};
}

ModelExportResult export_model_bytes(const GameFiles& files, std::span<const std::uint8_t> model_bytes,
                                     const std::vector<std::string>& kf_paths, const ModelExportOptions& options,
                                     GltfTextureCache& cache) {
    const NifFile model = read_nif(model_bytes);
    std::vector<GltfKeyframeFile> keyframes;
    for (const std::string& path : kf_paths) keyframes.push_back({path, read_nif(files.read(path))});

    GltfConvertOptions convert;
    convert.colour = options.colour;
    convert.embed_textures = options.embed_textures;
    convert.y_up = options.y_up;
    convert.scale = options.scale;
    convert.keyframe_pass = options.keyframe_pass;
    convert.scale_channels = options.scale_channels;
    convert.texture_exists = [&](const std::string& name) { return files.contains(texture_file_of(name)); };
    convert.texture_provider = [&](const std::string& name, char colour) -> std::shared_ptr<const GltfImage> {
        // The high-resolution key is part of the image key: the HD run must not get the
        // original run's images back from the shared cache. A texture without an HD
        // version falls back to the game's own, made once under the key without it.
        const std::string game_key = ascii_lower(name) + "|" + std::string(1, colour) + "|";
        const std::string key = game_key + options.hd_key;
        if (auto hit = cache.image(key)) return hit;
        std::shared_ptr<const GltfImage> image;
        if (options.hd_lookup) {
            const auto hd = options.hd_lookup(name, colour);
            if (hd && hd->width != 0 && hd->height != 0 &&
                hd->pixels.size() == std::size_t{4} * hd->width * hd->height) {
                image = encoded(hd->width, hd->height, hd->pixels, hd->player_colour);
            }
        }
        if (!image) image = cache.image(game_key);
        if (!image) {
            image = game_texture(files, name, colour);
            cache.store_image(game_key, image);
        }
        cache.store_image(key, image);
        return image;
    };
    if (options.companions) {
        convert.companions = [&](const std::string& name, std::uint32_t width,
                                 std::uint32_t height) -> std::shared_ptr<const GltfPbrImages> {
            const std::string key =
                ascii_lower(name) + "|" + options.hd_key + "|" + std::to_string(width) + "x" + std::to_string(height);
            if (auto hit = cache.pbr(key)) return hit;
            const auto maps = options.companions(name, width, height);
            const std::size_t bytes = std::size_t{4} * width * height;
            if (!maps || bytes == 0 || maps->normal.size() != bytes || maps->orm.size() != bytes) return nullptr;
            auto pbr = std::make_shared<GltfPbrImages>();
            pbr->normal_png = image::encode_png(width, height, maps->normal.data(), true);
            pbr->orm_png = image::encode_png(width, height, maps->orm.data(), true);
            pbr->normal_scale = maps->normal_scale.value_or(1.0);
            cache.store_pbr(key, pbr);
            return pbr;
        };
    }
    GltfConvertResult converted = convert_model(model, keyframes, convert);
    ModelExportResult result;
    result.glb = write_glb(converted.doc);
    result.images = converted.stats.images;
    result.player_colour = converted.stats.player_colour;
    result.stats = std::move(converted.stats);
    return result;
}

ModelExportResult export_model(const GameFiles& files, const std::string& model,
                               const std::vector<std::string>& kf_paths, const ModelExportOptions& options,
                               GltfTextureCache& cache) {
    const std::string file = has_suffix(model, kModelSuffix) ? model : model_file(model);
    return export_model_bytes(files, files.read(file), kf_paths, options, cache);
}

ModelExportResult export_model(const GameArchives& archives, const std::string& model,
                               const std::vector<std::string>& kf_paths, const ModelExportOptions& options,
                               GltfTextureCache& cache) {
    return export_model(game_files(archives), model, kf_paths, options, cache);
}

}  // namespace tarkeep::data
