// Terrain textures per climate and season, and the sprite tables (quoting, stripping, comments), read from a
// written game folder.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/sprite_tables.h"
#include "data/terrain_textures.h"
#include "ddf_show.h"
#include "tests/support/game_folder_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::data {
namespace {

using test::DbZipBuilder;
using test::ZipFiles;

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

// One game folder with the terrain tables of three climates and a sprite folder.
class GameTablesTest : public testing::Test {
protected:
    void SetUp() override {
        test::GameFolderWriter game(temp.path());
        game.add_zip("db.zip", DbZipBuilder("DB")
                                   .add("Terrain/dbterrain_arid.csv", terrain_table)
                                   .add("Terrain/DbSeasonalTextureSets_Arid.csv", seasonal_sets)
                                   .add("Terrain/dbterrain_temperate.csv", terrain_table)
                                   .add("Terrain/DbSeasonalTextureSets_temperate.csv", seasonal_sets)
                                   .add("Terrain/dbterrain_bad.csv", terrain_table)
                                   .add("Terrain/DbSeasonalTextureSets_Bad.csv", "grass_set, [a b]\n")
                                   .add("UI/PackedSprites/dbsprite_b_packed.csv",
                                        "//Name,Texture,x,y,w,h,flags\r\n"
                                        "  Ok , \"ui\\Tex\\Buttons.TGA\",0,0,16,16,(mipmap|HasAlpha)\r\n"
                                        "bad,ui\\Tex\\Buttons.TGA,zero,0,16,16\n"
                                        "\" I,\"\"c\"\" \",ui\\Tex\\Icons.tga,1,2,3,4")
                                   .add("UI/PackedSprites/dbsprite_A_packed.CSV", "ok,ui/tex/icons.tga,5,6,7,8,3\n")
                                   .add("UI/PackedSprites/sub/dbsprite_c_packed.csv", "c,c.tga,0,0,1,1\n")
                                   .add("UI/PackedSprites/readme.txt", "r,r.tga,0,0,1,1\n")
                                   .add("ui/packedsprites/lower.csv", "low,l.tga,0,0,1,1\n")
                                   .files());
        game.add_zip("textures.zip", ZipFiles()
                                         .add("t/grass_spring.texcache", "")
                                         .add("t/GRASS_AUTUMN.texcache", "")
                                         .add("t/sand3.texcache", "")
                                         .add("x/buttons.texcache", ""));
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

TEST_F(GameTablesTest, TerrainTexturesAndSpriteTables) {
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
    const SpriteDb sprites = load_sprite_tables(*db_, &*archives_);
    std::string out;
    for (const Sprite& s : sprites.sprites) {
        out += std::to_string(s.index) + " " + s.table + " " + s.name + " " + s.cache_key + " " +
               (s.present ? "present " : "- ") + std::to_string(s.x) + "," + std::to_string(s.y) + "," +
               std::to_string(s.width) + "," + std::to_string(s.height) + " " + std::to_string(s.flags) + "\n";
    }
    EXPECT_EQ(out,
              "0 dbsprite_A_packed.CSV ok icons.texcache - 5,6,7,8 3\n"
              "1 dbsprite_b_packed.csv Ok buttons.texcache present 0,0,16,16 513\n"
              "2 dbsprite_b_packed.csv I,\"c\" icons.texcache - 1,2,3,4 0\n"
              "3 lower.csv low l.texcache - 0,0,1,1 0\n");
    EXPECT_EQ(sprites.by_name, (std::unordered_map<std::string, std::size_t>{{"ok", 1}, {"i,\"c\"", 2}, {"low", 3}}));
    // Without archives nothing is present.
    EXPECT_FALSE(load_sprite_tables(*db_).sprites.at(1).present);
}

}  // namespace
}  // namespace tarkeep::data
