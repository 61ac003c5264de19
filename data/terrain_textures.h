#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace tarkeep::data {

class GameArchives;
class GameDb;

// The texture one terrain type shows in one season.
struct TerrainTexture {
    std::string terrain_type;
    std::string high_detail;  // the seasonal set named by the terrain table, or empty
    std::string pick;         // the set's entry for the season, or empty
    std::string texture;      // pick without extension, lower-case
    bool present = false;     // texture + ".texcache" is in the archives
};

// Resolves each terrain type of `climate` ("Arid", "Temperate", "Tropical") for one
// season; a negative season counts from the end of each seasonal set. Reads
// Terrain/dbterrain_<climate lower-cased>.csv and Terrain/DbSeasonalTextureSets_<climate>.csv.
std::vector<TerrainTexture> resolve_terrain_textures(const GameDb& db, const GameArchives& archives,
                                                     std::string_view climate,
                                                     const std::vector<std::string>& terrain_types,
                                                     long long season);

// Entry `season` of a set of `count` entries (count > 0), negative seasons wrapping.
std::size_t season_entry(std::size_t count, long long season);

}  // namespace tarkeep::data
