#include "data/terrain_textures.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "ddf_show.h"
#include "tests/support/game_folder_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::data {
namespace {

const char* const terrain_table =
    "// Terrain Type, High detail texture, Speed\n"
    "Grass, grass_set, 1\n"
    "Sand, sand_set, 2\n"
    "Sand, sand_set2, 3\n"
    "Water, , 0\n"
    "Rock, 12\n"
    "Swamp, no_such_set\n"
    ", grass_set\n";

const char* const seasonal_sets =
    "// Name, Textures\n"
    "grass_set,\"Terrain\\Grass_Spring.TGA grass_summer.tga\tgrass_autumn\"\n"
    "#comment_set, x.tga\n"
    "sand_set, sand.tga\n"
    "sand_set2, Sand2.dds  sand3.dds\n"
    "empty_set,\n";

// One game folder with the terrain tables of three climates.
class TerrainTexturesTest : public testing::Test {
protected:
    void SetUp() override {
        test::GameFolderWriter game(temp.path());
        game.add_zip("db.zip", test::DbZipBuilder("DB")
                                   .add("Terrain/dbterrain_arid.csv", terrain_table)
                                   .add("Terrain/DbSeasonalTextureSets_Arid.csv", seasonal_sets)
                                   .add("Terrain/dbterrain_temperate.csv", terrain_table)
                                   .add("Terrain/DbSeasonalTextureSets_temperate.csv", seasonal_sets)
                                   .add("Terrain/dbterrain_bad.csv", terrain_table)
                                   .add("Terrain/DbSeasonalTextureSets_Bad.csv", "grass_set, [a b]\n")
                                   .files());
        game.add_zip("textures.zip", test::ZipFiles()
                                         .add("t/grass_spring.texcache", "")
                                         .add("t/GRASS_AUTUMN.texcache", "")
                                         .add("t/sand3.texcache", ""));
        db_.emplace(game.zips() / "db.zip");
        archives_.emplace(game.dir());
    }

    // One line "type|set|pick|texture|present" per terrain type.
    std::string terrain(std::string_view climate, const std::vector<std::string>& types, long long season) const {
        std::string out;
        for (const TerrainTexture& t : resolve_terrain_textures(*db_, *archives_, climate, types, season)) {
            out += t.terrain_type + "|" + t.high_detail + "|" + t.pick + "|" + t.texture + "|" +
                   (t.present ? "present" : "-") + "\n";
        }
        return out;
    }

    test::TempDir temp;
    std::optional<GameDb> db_;
    std::optional<GameArchives> archives_;
};

TEST_F(TerrainTexturesTest, TheLastRowOfATypePicksTheSeasonsEntryOfItsSetFoundByTheClimatesName) {
    EXPECT_EQ(terrain("Arid", {"Grass", "Sand", "Water", "Rock", "Swamp", "Unknown"}, 0),
              "Grass|grass_set|Terrain\\Grass_Spring.TGA|terrain\\grass_spring|-\n"
              "Sand|sand_set2|Sand2.dds|sand2|-\n"
              "Water||||-\n"
              "Rock||||-\n"
              "Swamp|no_such_set|||-\n"
              "Unknown||||-\n");
    EXPECT_EQ(terrain("Arid", {"Grass", "Sand"}, -1),
              "Grass|grass_set|grass_autumn|grass_autumn|present\n"
              "Sand|sand_set2|sand3.dds|sand3|present\n");
    EXPECT_EQ(terrain("Arid", {"Grass"}, 5), "Grass|grass_set|grass_autumn|grass_autumn|present\n");
    // The terrain table is found lower-cased, the seasonal one only with the case given; sets must be text.
    EXPECT_EQ(test::error_text<io::ZipError>([&] { terrain("Temperate", {"Grass"}, 0); }),
              "no such entry: DB/Terrain/DbSeasonalTextureSets_Temperate.csv");
    EXPECT_EQ(terrain("temperate", {"Grass"}, 1), "Grass|grass_set|grass_summer.tga|grass_summer|-\n");
    EXPECT_EQ(test::error_text<std::runtime_error>([&] { terrain("Bad", {"Grass"}, 0); }),
              "seasonal texture set: unsupported value type for grass_set");
}

}  // namespace
}  // namespace tarkeep::data
