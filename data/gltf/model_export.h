// One export run of a game model to binary glTF, with the texture cache both runs share.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/game_archives.h"
#include "data/gltf/gltf_convert.h"

namespace tarkeep::data {

// A high-resolution texture: RGBA pixels (4 x width x height bytes) and whether it shows
// player colour.
struct GltfTextureImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;
    bool player_colour = false;
};

using HdLookup = std::function<std::optional<GltfTextureImage>(const std::string& texture, char colour)>;

// Raw PBR companions of a base texture: RGBA normal and occlusion-roughness-metallic
// maps of the base image's size, and the normal scale.
struct GltfCompanionMaps {
    std::vector<std::uint8_t> normal;
    std::vector<std::uint8_t> orm;
    std::optional<double> normal_scale;
};
using CompanionLookup = std::function<std::optional<GltfCompanionMaps>(const std::string& texture, std::uint32_t width,
                                                                       std::uint32_t height)>;

// Embedded images, made once per key and shared by pointer between the runs.
class GltfTextureCache {
public:
    using Image = GltfImage;
    using Pbr = GltfPbrImages;

    std::shared_ptr<const Image> image(const std::string& key) const;
    void store_image(const std::string& key, std::shared_ptr<const Image> image);
    std::shared_ptr<const Pbr> pbr(const std::string& key) const;
    void store_pbr(const std::string& key, std::shared_ptr<const Pbr> pbr);

private:
    std::map<std::string, std::shared_ptr<const Image>> images_;
    std::map<std::string, std::shared_ptr<const Pbr>> pbrs_;
};

// The files export_model reads: bare file names, matched as the game archives match them.
struct GameFiles {
    std::function<bool(std::string_view)> contains;
    std::function<std::vector<std::uint8_t>(std::string_view)> read;
};
GameFiles game_files(const GameArchives& archives);

struct ModelExportOptions {
    char colour = 'A';
    bool embed_textures = true;
    bool y_up = true;
    double scale = 0.27;
    bool keyframe_pass = true;    // keyframe pre-pass and unique node names
    bool scale_channels = false;  // scale keys as "scale" channels
    std::string hd_key;           // empty for the game's own textures
    std::uint32_t max_size = 0;
    HdLookup hd_lookup;          // absent: the game's own textures only
    CompanionLookup companions;  // absent: no PBR maps
};

struct ModelExportResult {
    std::vector<std::uint8_t> glb;
    std::size_t images = 0;
    bool player_colour = false;
    GltfConvertStats stats;
};

// Reads <model>(.nifcache) and the keyframe files from the game data, converts them and
// returns the .glb bytes. Throws GltfError, NifError, TexError and archive errors.
ModelExportResult export_model(const GameFiles& files, const std::string& model,
                               const std::vector<std::string>& kf_paths, const ModelExportOptions& options,
                               GltfTextureCache& cache);
ModelExportResult export_model(const GameArchives& archives, const std::string& model,
                               const std::vector<std::string>& kf_paths, const ModelExportOptions& options,
                               GltfTextureCache& cache);

// The same from model bytes already read (keyframe files still come from `files`).
ModelExportResult export_model_bytes(const GameFiles& files, std::span<const std::uint8_t> model_bytes,
                                     const std::vector<std::string>& kf_paths, const ModelExportOptions& options,
                                     GltfTextureCache& cache);

}  // namespace tarkeep::data
