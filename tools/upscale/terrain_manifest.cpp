// Loading and saving the terrain manifest, and the up-to-date check of a stored terrain image.
#include "tools/upscale/terrain_manifest.h"

#include <fstream>
#include <sstream>

#include "platform/cmdline.h"
#include "platform/file_bytes.h"
#include "platform/files.h"
#include "tools/upscale/cache_keys.h"

namespace tarkeep::upscale {
TerrainManifest load_terrain_manifest(const std::filesystem::path& path) {
    TerrainManifest manifest;
    std::ifstream in(platform::stream_path(path), std::ios::binary);
    std::string line;
    if (!in || !read_manifest_line(in, line) || line != kTerrainManifestHeader) return manifest;
    while (read_manifest_line(in, line)) {
        std::istringstream fields(line);
        std::string stem;
        TerrainManifestEntry entry;
        if (fields >> stem >> entry.hash >> entry.model >> entry.settings >> entry.width >> entry.height) {
            entry.model = unescape_manifest_field(entry.model);
            entry.settings = unescape_manifest_field(entry.settings);
            manifest[unescape_manifest_field(stem)] = std::move(entry);
        }
    }
    return manifest;
}

std::string model_manifest_problem(const std::filesystem::path& cache_dir) {
    if (cache_family(cache_dir) != CacheFamily::models) return {};
    return "cache folder " + platform::path_to_utf8(cache_dir) +
           " holds the model and UI textures' manifest; use another folder for terrain textures";
}

void save_terrain_manifest(const std::filesystem::path& path, const TerrainManifest& manifest) {
    std::string text = std::string(kTerrainManifestHeader) + "\n";
    for (const auto& [stem, e] : manifest) {
        text += escape_manifest_field(stem) + " " + e.hash + " " + escape_manifest_field(e.model) + " " +
                escape_manifest_field(e.settings) + " " + std::to_string(e.width) + " " + std::to_string(e.height) +
                "\n";
    }
    platform::write_file_atomic(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool is_up_to_date(const TerrainManifest& manifest, const std::string& stem, const std::string& hash,
                   const std::string& model, const std::string& settings, bool force,
                   const std::filesystem::path& cache_dir) {
    if (force) return false;
    const auto it = manifest.find(stem);
    if (it == manifest.end()) return false;
    const TerrainManifestEntry& e = it->second;
    if (e.hash != hash || e.model != model || e.settings != settings) return false;
    return platform::path_exists(cache_file(cache_dir, stem + ".png"));
}

}  // namespace tarkeep::upscale
