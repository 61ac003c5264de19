#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/sample_game/sample_game.h"
#include "tools/sample_game/tileable_texture.h"

// The pieces the sample game builder assembles; each part adds its files to the
// archives it belongs in.
namespace tarkeep::sample_game::parts {

struct ArchiveFile {
    std::string name;  // entry name; a name ending in '/' is a folder entry
    std::vector<std::uint8_t> bytes;
    bool deflate = false;
};

// Archive file name -> its files in central-directory order.
using ArchiveSet = std::map<std::string, std::vector<ArchiveFile>>;

inline constexpr const char* kTerrainArchive = "Terrain.zip";
inline constexpr const char* kArtArchive = "art0.zip";
inline constexpr const char* kModelArchive = "art1.zip";
inline constexpr const char* kDbArchive = "db.zip";
inline constexpr const char* kPatchArchive = "patch1.zip";
inline constexpr const char* kUiArchive = "ui.zip";

struct TerrainTexturePlan {
    std::string stem;
    TerrainMaterial material = TerrainMaterial::grass;
    int variant = 0;
    std::uint32_t side = 0;
    std::uint32_t format = 4;
    std::string entry;  // full entry name
    std::string archive;
};

struct SeasonalSetPlan {
    std::string name;
    std::vector<std::string> entries;  // as written: mixed case, .tga/.dds or no extension
};

struct TerrainTypePlan {
    std::string type;
    std::string set;  // empty: no high-detail texture
};

struct ClimatePlan {
    std::string name;  // "Arid", "Temperate", "Tropical"
    std::vector<TerrainTypePlan> types;
    std::vector<SeasonalSetPlan> sets;
};

struct TerrainPlan {
    std::vector<TerrainTexturePlan> textures;
    std::vector<ClimatePlan> climates;
    std::size_t overridden = 0;  // index of the texture a later archive replaces
};

TerrainPlan plan_terrain(SampleSize size);

// Terrain and seasonal tables of one climate, with the sloppiness of the game's own.
std::string terrain_table_text(const ClimatePlan& climate);
std::string seasonal_sets_text(const ClimatePlan& climate);

void add_terrain_textures(const TerrainPlan& plan, std::uint64_t seed, ArchiveSet& archives,
                          SampleGameSummary& summary);
void add_database(const TerrainPlan& plan, SampleSize size, ArchiveSet& archives, SampleGameSummary& summary);
void add_unit_assets(SampleSize size, std::uint64_t seed, ArchiveSet& archives, SampleGameSummary& summary);
void add_ui_assets(SampleSize size, std::uint64_t seed, ArchiveSet& archives, SampleGameSummary& summary);

// Side of the sprite cells and sheets, shared by the sprite tables and the sheet images.
struct UiLayout {
    std::uint32_t icon_cell = 32;
    std::uint32_t icon_sheet = 128;  // 4 x 4 cells
    std::uint32_t hud_width = 256;
    std::uint32_t hud_height = 128;
    std::uint32_t cursor_cell = 32;
};
UiLayout ui_layout(SampleSize size);
std::string sprite_tables_icons_text(const UiLayout& layout, bool actions);
std::string sprite_table_hud_text(const UiLayout& layout);
std::string sprite_table_cursor_text(const UiLayout& layout);

std::vector<std::uint8_t> text_bytes(std::string_view text);

}  // namespace tarkeep::sample_game::parts
