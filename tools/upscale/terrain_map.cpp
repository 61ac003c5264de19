#include "tools/upscale/terrain_map.h"

#include <algorithm>
#include <cstdio>

#include "data/csv_table.h"
#include "data/terrain_textures.h"

namespace tarkeep::upscale {
namespace {

constexpr int kSeasons = 12;

std::string lower_ascii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::vector<std::string> terrain_types(const data::GameDb& db, const std::string& climate) {
    const auto table = data::read_csv_table(db.read_text(db.path("Terrain/dbterrain_" + lower_ascii(climate) + ".csv")));
    std::vector<std::string> types;
    for (const data::DdfValue& row : table.rows) {
        const data::DdfValue* type = row.find("Terrain Type");
        if (type && type->is(data::DdfKind::String) && type->truthy()) types.push_back(type->text);
    }
    return types;
}

}  // namespace

TerrainTextureMap build_terrain_texture_map(const data::GameArchives& archives, const data::GameDb& db) {
    TerrainTextureMap map;
    for (const char* climate : kClimates) {
        const auto types = terrain_types(db, climate);
        for (int season = 0; season < kSeasons; ++season) {
            for (const auto& resolved : data::resolve_terrain_textures(db, archives, climate, types, season))
                if (resolved.present) map[resolved.texture].insert(climate);
        }
    }
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
