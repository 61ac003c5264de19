#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A synthetic installation of the game: <dir>/zips with db.zip (tables, definitions)
// and asset archives (terrain, model and UI textures, player-colour masks and patches,
// models, animations). The same size and seed always give the same bytes.
namespace tarkeep::sample_game {

enum class SampleSize : std::uint8_t { small, medium, large };

std::optional<SampleSize> parse_sample_size(std::string_view text);
std::string_view sample_size_name(SampleSize size);

struct SampleGameOptions {
    SampleSize size = SampleSize::small;
    std::uint64_t seed = 1;
};

struct SampleArchive {
    std::string name;
    std::size_t entries = 0;
    std::uint64_t bytes = 0;
};

// What was written, for the program's report and for tests.
struct SampleGameSummary {
    std::vector<SampleArchive> archives;  // in file-name order
    std::size_t terrain_textures = 0;
    std::size_t terrain_dxt5 = 0;
    std::size_t terrain_overridden = 0;  // also present in a later-sorting archive
    std::uint32_t terrain_min_side = 0;
    std::uint32_t terrain_max_side = 0;
    std::uint64_t terrain_mip0_pixels = 0;
    std::size_t terrain_types = 0;  // over the three climates
    std::size_t seasonal_sets = 0;
    std::size_t model_textures = 0;
    std::size_t masks = 0;
    std::size_t patches = 0;
    std::size_t models = 0;  // .nifcache files, region variants included
    std::size_t animations = 0;
    std::size_t ui_sheets = 0;
    std::size_t sprites = 0;
    std::size_t definition_files = 0;
    std::size_t unit_models = 0;
};

// Terrain types that deliberately resolve to no texture: "Water" in every climate (its
// table row names no high-detail set) and "Lava" in Arid (its set names a texture that
// no archive holds).
inline constexpr std::string_view kSampleUntexturedType = "Water";
inline constexpr std::string_view kSampleMissingTextureType = "Lava";
inline constexpr std::string_view kSampleMissingTextureClimate = "Arid";

// Writes the archives into <dir>/zips (created; archives of the same names replaced).
SampleGameSummary write_sample_game(const std::filesystem::path& dir, const SampleGameOptions& options);

}  // namespace tarkeep::sample_game
