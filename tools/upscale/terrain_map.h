// The terrain textures the game uses, each with the climates that use it.
#pragma once
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_db.h"

namespace tarkeep::upscale {

inline constexpr std::array<const char*, 3> kClimates = {"Arid", "Temperate", "Tropical"};

// Texture stem -> the climates whose terrain uses it, over the twelve seasons.
using TerrainTextureMap = std::map<std::string, std::set<std::string>>;

// The map without the textures whose names cannot name a file (each warned of): the
// commands that store a file per texture use it.
TerrainTextureMap with_file_names(TerrainTextureMap map);

// `missing`, when given, receives the textures that the tables name and no archive holds.
TerrainTextureMap build_terrain_texture_map(const data::GameArchives& archives, const data::GameDb& db,
                                            std::set<std::string>* missing = nullptr);

// The stems of the map that --only names, in map order; without --only every stem.
// With `warn`, a name that is not in the map is reported on standard error.
std::vector<std::string> select_stems(const TerrainTextureMap& map, const std::vector<std::string>& only, bool warn);

}  // namespace tarkeep::upscale
