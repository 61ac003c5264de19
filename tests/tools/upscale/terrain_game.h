// Game folders for the pipeline tests: a small one with the terrain tables of three climates and
// tileable terrain textures, and the shared sample game.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "data/texture/texcache_writer.h"
#include "tests/support/game_folder_writer.h"
#include "tests/support/temp_dir.h"
#include "tools/sample_game/sample_game.h"
#include "tools/sample_game/tileable_texture.h"

namespace tarkeep::test {

struct TerrainGame {
    std::vector<std::string> stems;  // "t0", "t1", ...
};

// A game folder with the three climates' terrain tables and one archive of `count` tileable
// textures. Climate c uses textures c, c+3, c+6, ...; the two others also use t0 in summer.
inline TerrainGame write_terrain_game(const std::filesystem::path& dir, int count, std::uint32_t side) {
    test::DbZipBuilder db("DB");
    test::ZipFiles textures;
    TerrainGame result;
    for (int i = 0; i < count; ++i) {
        const auto material = static_cast<sample_game::TerrainMaterial>(i % sample_game::kTerrainMaterialCount);
        const auto file =
            data::dxt_texcache(sample_game::tileable_texture(material, side, side, i), side, side, 4, true);
        result.stems.push_back("t" + std::to_string(i));
        textures.add("art/terrain/" + result.stems.back() + ".texcache", std::string(file.begin(), file.end()));
    }
    const std::string climates[] = {"Arid", "Temperate", "Tropical"};
    for (int c = 0; c < 3; ++c) {
        const std::string& climate = climates[c];
        std::string terrain = "// Terrain Type, High detail texture\n", sets;
        for (int i = c, type = 0; i < count; i += 3, ++type) {
            const std::string n = std::to_string(type);
            terrain += "Type" + n + ", Set" + n + "\n";
            sets += "Set" + n + ", T" + std::to_string(i) + ".tga" + (c != 0 && type == 0 ? " t0.dds\n" : "\n");
        }
        db.add("Terrain/dbterrain_" + std::string(1, static_cast<char>(climate[0] + 32)) + climate.substr(1) + ".csv",
               terrain);
        db.add("Terrain/DbSeasonalTextureSets_" + climate + ".csv", sets);
    }
    test::GameFolderWriter game(dir);
    game.add_zip("db.zip", db.files());
    game.add_zip("terrain.zip", textures);
    return result;
}

// A small sample game written once for the whole test program (it is only read).
inline const std::filesystem::path& sample_game() {
    static const TempDir dir;
    static const bool written = (sample_game::write_sample_game(dir.path(), {sample_game::SampleSize::small, 3}), true);
    return written ? dir.path() : dir.path();
}

}  // namespace tarkeep::test
