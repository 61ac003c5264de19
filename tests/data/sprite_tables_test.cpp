// Texture flags of sprite table rows: names, numbers and noise.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/game_archives.h"
#include "data/game_db.h"
#include "data/sprite_tables.h"
#include "tests/support/game_folder_writer.h"
#include "tests/support/temp_dir.h"

namespace tarkeep::data {
namespace {

TEST(TextureFlags, NamesNumbersAndNoise) {
    const std::pair<const char*, std::uint32_t> cases[] = {{"(mipmap|HasAlpha)", 0x201},
                                                           {" ( MirrorU | mirrorv | clampu|clampv ) ", 0x1e},
                                                           {"flipu|flipv|rotate|subtractalpha", 0x1e0},
                                                           {"mipmap|unknown|", 0x1},
                                                           {"((513))", 513},
                                                           {"()", 0},
                                                           {"", 0},
                                                           {"99999999999", 0x7fffffff},
                                                           {"-1", 0},
                                                           {"mip map", 0}};
    for (const auto& [text, flags] : cases) EXPECT_EQ(parse_texture_flags(text), flags) << text;
}

// A game folder with sprite tables in several cases and places, and one of their textures.
TEST(LoadSpriteTables, ReadsEveryPackedTableUnquotedAndMarksTheTexturesPresent) {
    test::TempDir temp;
    test::GameFolderWriter game(temp.path());
    game.add_zip("db.zip", test::DbZipBuilder("DB")
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
    game.add_zip("textures.zip", test::ZipFiles().add("x/buttons.texcache", ""));
    const GameDb db(game.zips() / "db.zip");
    const GameArchives archives(game.dir());
    const SpriteDb sprites = load_sprite_tables(db, &archives);
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
    EXPECT_FALSE(load_sprite_tables(db).sprites.at(1).present);
}

}  // namespace
}  // namespace tarkeep::data
