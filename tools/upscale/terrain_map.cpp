// Building the map of terrain textures from every climate and season, and selecting stems from it.
#include "tools/upscale/terrain_map.h"

#include <algorithm>
#include <cstdio>

#include "data/terrain_textures.h"
#include "tools/upscale/cache_keys.h"

namespace tarkeep::upscale {
namespace {

constexpr int kSeasons = 12;

}  // namespace

TerrainTextureMap build_terrain_texture_map(const data::GameArchives& archives, const data::GameDb& db,
                                            std::set<std::string>* missing) {
    TerrainTextureMap map;
    for (const char* climate : kClimates) {
        const data::ClimateTerrainTables tables = data::read_climate_terrain_tables(db, climate);
        for (int season = 0; season < kSeasons; ++season) {
            for (const auto& resolved :
                 data::resolve_terrain_textures(tables, archives, tables.terrain_types, season)) {
                if (resolved.present)
                    map[resolved.texture].insert(climate);
                else if (missing && !resolved.texture.empty())
                    missing->insert(resolved.texture);
            }
        }
    }
    // A texture one season names under a missing file may still be present for another.
    if (missing) std::erase_if(*missing, [&](const std::string& name) { return map.count(name) != 0; });
    return map;
}

TerrainTextureMap with_file_names(TerrainTextureMap map) {
    std::erase_if(map, [](const auto& entry) { return !usable_file_name(entry.first); });
    return map;
}

std::vector<std::string> select_stems(const TerrainTextureMap& map, const std::vector<std::string>& only, bool warn) {
    std::vector<std::string> stems;
    if (only.empty()) {
        for (const auto& [stem, climates] : map) stems.push_back(stem);
        return stems;
    }
    for (const std::string& name : only) {
        if (!map.count(name) && warn) std::fprintf(stderr, "warning: %s is not a terrain texture\n", name.c_str());
    }
    for (const auto& [stem, climates] : map)
        if (std::find(only.begin(), only.end(), stem) != only.end()) stems.push_back(stem);
    return stems;
}

}  // namespace tarkeep::upscale
