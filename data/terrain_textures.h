// Terrain textures per climate and season, from the terrain and seasonal texture set tables.
#pragma once
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "data/ddf_value.h"

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

// The two terrain tables of one climate, read once and resolved for every season.
struct ClimateTerrainTables {
    std::vector<std::string> terrain_types;                                   // in table order, as named
    std::unordered_map<std::string, DdfValue> high_detail;                    // terrain type -> "High detail texture"
    std::unordered_map<std::string, std::vector<std::string>> seasonal_sets;  // set name -> its entries
};

// Reads Terrain/dbterrain_<climate lower-cased>.csv and Terrain/DbSeasonalTextureSets_<climate>.csv.
ClimateTerrainTables read_climate_terrain_tables(const GameDb& db, std::string_view climate);

// Resolves each of `terrain_types` for one season from tables already read; a negative
// season counts from the end of each seasonal set.
std::vector<TerrainTexture> resolve_terrain_textures(const ClimateTerrainTables& tables, const GameArchives& archives,
                                                     const std::vector<std::string>& terrain_types, long long season);

// Resolves each terrain type of `climate` ("Arid", "Temperate", "Tropical") for one
// season; a negative season counts from the end of each seasonal set. Reads
// Terrain/dbterrain_<climate lower-cased>.csv and Terrain/DbSeasonalTextureSets_<climate>.csv.
std::vector<TerrainTexture> resolve_terrain_textures(const GameDb& db, const GameArchives& archives,
                                                     std::string_view climate,
                                                     const std::vector<std::string>& terrain_types, long long season);

// Entry `season` of a set of `count` entries (count > 0), negative seasons wrapping.
std::size_t season_entry(std::size_t count, long long season);

}  // namespace tarkeep::data
