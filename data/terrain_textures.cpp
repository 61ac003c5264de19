// Reading a climate's terrain tables and resolving each terrain type's texture for a season.
#include "data/terrain_textures.h"

#include <stdexcept>
#include <unordered_map>

#include "data/csv_table.h"
#include "data/ddf_value.h"
#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/game_file_names.h"
#include "data/text_lines.h"

namespace tarkeep::data {
namespace {

using SeasonalSets = std::unordered_map<std::string, std::vector<std::string>>;

// The terrain types in table order, and each one's "High detail texture" value.
void read_terrain_table(const GameDb& db, std::string_view climate, ClimateTerrainTables& tables) {
    const CsvTable table = read_csv_table(db.read_text(db.path("Terrain/dbterrain_" + ascii_lower(climate) + ".csv")));
    for (const DdfValue& row : table.rows) {
        const DdfValue* type = row.find("Terrain Type");
        if (!type || !type->is(DdfKind::string) || !type->truthy()) continue;
        tables.terrain_types.push_back(type->text);
        const DdfValue* texture = row.find("High detail texture");
        tables.high_detail.insert_or_assign(type->text, texture ? *texture : DdfValue::none());
    }
}

std::vector<const DdfValue*> cells_of(const DdfValue& row) {
    std::vector<const DdfValue*> cells;
    if (row.is(DdfKind::list)) {
        for (const DdfValue& item : row.items) cells.push_back(&item);
    } else {
        for (const auto& entry : row.entries) cells.push_back(&entry.second);
    }
    return cells;
}

SeasonalSets read_seasonal_sets(const GameDb& db, std::string_view climate) {
    const CsvTable table =
        read_csv_table(db.read_text(db.path("Terrain/DbSeasonalTextureSets_" + std::string(climate) + ".csv")));
    SeasonalSets sets;
    for (const DdfValue& row : table.rows) {
        const std::vector<const DdfValue*> cells = cells_of(row);
        if (cells.size() < 2) continue;
        const DdfValue& name = *cells[0];
        const DdfValue& entries = *cells[1];
        if (!name.is(DdfKind::string) || !name.truthy() || name.text.starts_with('#') || !entries.truthy()) continue;
        if (!entries.is(DdfKind::string)) {
            throw std::runtime_error("seasonal texture set: unsupported value type for " + name.text);
        }
        std::vector<std::string> words;
        for (std::string_view word : split_words(entries.text)) words.emplace_back(word);
        sets.insert_or_assign(name.text, std::move(words));
    }
    return sets;
}

}  // namespace

std::size_t season_entry(std::size_t count, long long season) {
    const long long n = static_cast<long long>(count);
    return static_cast<std::size_t>((n + season % n) % n);
}

ClimateTerrainTables read_climate_terrain_tables(const GameDb& db, std::string_view climate) {
    ClimateTerrainTables tables;
    read_terrain_table(db, climate, tables);
    tables.seasonal_sets = read_seasonal_sets(db, climate);
    return tables;
}

std::vector<TerrainTexture> resolve_terrain_textures(const GameDb& db, const GameArchives& archives,
                                                     std::string_view climate,
                                                     const std::vector<std::string>& terrain_types, long long season) {
    return resolve_terrain_textures(read_climate_terrain_tables(db, climate), archives, terrain_types, season);
}

std::vector<TerrainTexture> resolve_terrain_textures(const ClimateTerrainTables& tables, const GameArchives& archives,
                                                     const std::vector<std::string>& terrain_types, long long season) {
    const auto& high_detail = tables.high_detail;
    const SeasonalSets& sets = tables.seasonal_sets;
    std::vector<TerrainTexture> result;
    result.reserve(terrain_types.size());
    for (const std::string& type : terrain_types) {
        TerrainTexture texture;
        texture.terrain_type = type;
        if (const auto it = high_detail.find(type);
            it != high_detail.end() && it->second.is(DdfKind::string) && it->second.truthy()) {
            texture.high_detail = it->second.text;
        }
        if (const auto set = sets.find(texture.high_detail); set != sets.end() && !set->second.empty()) {
            texture.pick = set->second[season_entry(set->second.size(), season)];
            texture.texture = ascii_lower(remove_extension(texture.pick));
        }
        if (!texture.texture.empty()) texture.present = archives.contains(texture_file(texture.texture));
        result.push_back(std::move(texture));
    }
    return result;
}

}  // namespace tarkeep::data
