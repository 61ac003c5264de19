// The terrain cache manifest: from which source, model and settings each stored HD image was made.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace tarkeep::upscale {

// From which source bytes, model and settings one stored terrain HD image was made.
struct TerrainManifestEntry {
    std::string hash;
    std::string model;
    std::string settings;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool operator==(const TerrainManifestEntry&) const = default;
};

using TerrainManifest = std::map<std::string, TerrainManifestEntry>;

// The manifest text's first line: the pipeline family and the format version.
inline constexpr const char* kTerrainManifestHeader = "tarkeep-terrain-hd 1";

// A missing file, or one whose first line is not the current header, gives an empty map;
// lines without all six fields are skipped.
TerrainManifest load_terrain_manifest(const std::filesystem::path& path);

// Writes the header and one line per entry in stem order, atomically.
void save_terrain_manifest(const std::filesystem::path& path, const TerrainManifest& manifest);

// Why the cache folder must not take terrain textures, empty when it may: the model and
// UI pipelines keep a manifest of the same file name there, which would be replaced.
std::string model_manifest_problem(const std::filesystem::path& cache_dir);

// True when nothing that shaped the stored <cache_dir>/<stem>.png has changed and that
// file exists; never with `force`.
bool is_up_to_date(const TerrainManifest& manifest, const std::string& stem, const std::string& hash,
                   const std::string& model, const std::string& settings, bool force,
                   const std::filesystem::path& cache_dir);

}  // namespace tarkeep::upscale
